// The text of a regedit export ("Windows Registry Editor Version 5.00"), read
// and written the same way on every platform: by vekhost on Linux, which
// keeps the registry stand-in's whole registry in such files, and on Windows,
// which moves the settings between such a file and the real registry. Both
// must write byte for byte the same text for the same keys and values, so the
// format lives here once. Nothing here touches a registry; it is plain data in
// portable C++.
//
// Keys are named by "\"-separated paths below HKEY_CURRENT_USER without the
// root's name (u"SOFTWARE\\Denmarrow\\VEK\\Sorvane"); the empty path is the
// root itself. Names compare as Windows compares them, folding ASCII letters
// only. An empty value name is the key's default value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace regtext {

// Windows' documented limits. A registry that keeps to them can always be
// written as text and read back.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxDepth = 512;

// Bounds on a text read in, so that a hostile or corrupt file costs a clear
// error rather than the process's memory. A logical line holds one value; 4 Mi
// characters carry about 1.3 MiB of hex data.
inline constexpr std::size_t kMaxImportBytes = 64u << 20;
inline constexpr std::size_t kMaxLogicalLine = 4u << 20;

inline constexpr char kHeader[] = "Windows Registry Editor Version 5.00";

// Win32 value types the text spells out by name or needs to tell apart.
inline constexpr uint32_t kTypeNone = 0;
inline constexpr uint32_t kTypeString = 1;
inline constexpr uint32_t kTypeBinary = 3;
inline constexpr uint32_t kTypeDword = 4;

struct Value {
  uint32_t type = kTypeNone;
  std::vector<uint8_t> bytes;
  bool operator==(const Value&) const = default;
};

struct NamedValue {
  std::u16string name;
  Value value;
};

// ---- Names and paths.

std::u16string FoldName(std::u16string_view name);
bool SameName(std::u16string_view a, std::u16string_view b);

enum class PathProblem {
  kNone,
  // A leading "\" or two in a row: a key name would be empty.
  kEmptyName,
  // A name longer than kMaxKeyNameLength or holding a line break, or more
  // than kMaxDepth names.
  kInvalid,
};
// Splits a key path into its names; one trailing "\" is allowed, as Windows
// allows it. The empty path gives no names.
PathProblem SplitPath(std::u16string_view path, std::vector<std::u16string>& parts);
std::u16string JoinPath(std::u16string_view base, std::u16string_view sub);
std::u16string Join(const std::vector<std::u16string>& parts);
bool IsValidValueName(std::u16string_view name);

// ---- Text data.

// The data read as UTF-16 up to its first NUL, whatever its type; an odd last
// byte is ignored.
std::u16string TextOf(const std::vector<uint8_t>& bytes);
// Text as REG_SZ data the way the module writes it: UTF-16LE with one
// terminating NUL.
std::vector<uint8_t> StringBytes(std::u16string_view text);
// In UTF-8 (support/utf.h, which keeps lone surrogates) and double quotes,
// with "\" and '"' escaped, as the text writes names.
std::string Quote(std::u16string_view text);

// ---- Reading.

// One change the text asks for, as regedit applies it: sections create keys,
// values overwrite, [-key] removes a key, "name"=- removes a value.
// The names of a key's path. A section's path is shared by the changes of
// all its values, so that a deep key with many values is neither copied nor
// walked once per value.
using KeyPath = std::vector<std::u16string>;
struct Change {
  enum class Kind { kEnsureKey, kRemoveKey, kSetValue, kRemoveValue };
  Kind kind = Kind::kEnsureKey;
  std::shared_ptr<const KeyPath> path = std::make_shared<const KeyPath>();
  std::u16string name;
  Value value;
};

struct ParseError {
  std::size_t line = 0;
  std::string problem;
};

// Reads the whole text, UTF-8 (with or without a byte-order mark) or UTF-16LE
// with one, into the changes it asks for, in order. False with the first
// problem and its line when any line cannot be read: nothing is half-read.
bool Parse(const std::string& text, std::vector<Change>& changes, ParseError& error);

// ---- Files.

// A file name given as UTF-8, as vekhost takes every file name. A plain
// std::string would be read in the C library's code page on Windows.
std::filesystem::path PathFromUtf8(const std::string& utf8);

// The whole file; "PATH: cannot be read: reason" when it cannot be, and
// "PATH:1: the text is larger than ..." when it exceeds kMaxImportBytes.
bool ReadFile(const std::string& path, std::string& text, std::string& error);

// ---- A registry as plain data.

// The values of one key, listed in the order they were first stored, which is the order Windows
// enumerates them in. A name is found without a scan, folded as SameName folds it, so a key with
// tens of thousands of values still loads in time proportional to its size.
class ValueList {
 public:
  ValueList() = default;
  ValueList(const ValueList& other);
  ValueList& operator=(const ValueList& other);
  // Moving keeps the nodes, and with them the names the index points at.
  ValueList(ValueList&&) = default;
  ValueList& operator=(ValueList&&) = default;

  const NamedValue* Find(std::u16string_view name) const;
  // An overwrite keeps the name's original case and its place, as Windows
  // reuses the existing value.
  void Store(std::u16string_view name, Value value);
  bool Erase(std::u16string_view name);

  std::size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  std::list<NamedValue>::const_iterator begin() const { return values_.begin(); }
  std::list<NamedValue>::const_iterator end() const { return values_.end(); }

 private:
  struct FoldedHash {
    std::size_t operator()(std::u16string_view name) const;
  };
  struct FoldedEqual {
    bool operator()(std::u16string_view a, std::u16string_view b) const { return SameName(a, b); }
  };
  // The index keys are views of the names held in the list's nodes, which
  // stay where they are until their value is erased.
  std::list<NamedValue> values_;
  std::unordered_map<std::u16string_view, std::list<NamedValue>::iterator, FoldedHash, FoldedEqual>
      byName_;
};

// Keys and values with no handles and no access rules: what a text describes,
// and what the Linux registry stand-in keeps its registry in. Subkeys are
// listed in the case-insensitive order of their names, as regedit lists them.
class Tree {
 public:
  struct Key {
    std::u16string name;
    ValueList values;
    // Keyed by the folded name.
    std::map<std::u16string, std::unique_ptr<Key>> children;

    Key* Child(std::u16string_view childName) const;
    // `created`, when given, tells whether the child is new.
    Key& ChildCreating(std::u16string_view childName, bool* created = nullptr);
  };

  Key& root() { return *root_; }
  const Key& root() const { return *root_; }
  Key* Find(const std::vector<std::u16string>& path) const;
  Key& FindCreating(const std::vector<std::u16string>& path);
  // Takes the key and everything below it out of the tree; null when there
  // was none. The root cannot be taken out.
  std::unique_ptr<Key> Detach(const std::vector<std::u16string>& path);
  bool Remove(const std::vector<std::u16string>& path) { return Detach(path) != nullptr; }
  // Puts `key` (its name is replaced by the path's last) where `path` says,
  // in place of whatever was there, creating the parents.
  void Replace(const std::vector<std::u16string>& path, std::unique_ptr<Key> key);

  // The keys that [-key] changes take out go to `removed` when it is given,
  // for a caller that may still point at them; otherwise they are freed.
  void Apply(const std::vector<Change>& changes,
             std::vector<std::unique_ptr<Key>>* removed = nullptr);
  // The whole tree as text: the header, then one section per key in
  // depth-first order, each followed by a blank line; the root gets a section
  // only when it holds values.
  std::string Export() const;

 private:
  std::unique_ptr<Key> root_ = std::make_unique<Key>();
};

}  // namespace regtext
