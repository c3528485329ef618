#include "support/reg_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <optional>
#include <utility>

#include "support/utf.h"
#include "support/whole_file.h"

namespace regtext {

namespace {

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool HasLineBreak(std::u16string_view name) {
  return name.find_first_of(u"\r\n") != std::u16string_view::npos;
}

}  // namespace

std::u16string FoldName(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) c = Fold(c);
  return folded;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return Fold(x) == Fold(y); });
}

PathProblem SplitPath(std::u16string_view path, std::vector<std::u16string>& parts) {
  parts.clear();
  if (path.empty()) return PathProblem::kNone;
  if (path.back() == u'\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    const std::u16string_view part = path.substr(start, end - start);
    if (part.empty()) return PathProblem::kEmptyName;
    if (part.size() > kMaxKeyNameLength || HasLineBreak(part)) return PathProblem::kInvalid;
    parts.emplace_back(part);
    if (parts.size() > kMaxDepth) return PathProblem::kInvalid;
    if (end == path.size()) break;
    start = end + 1;
  }
  return PathProblem::kNone;
}

std::u16string Join(const std::vector<std::u16string>& parts) {
  std::u16string joined;
  for (const std::u16string& part : parts) joined.append(joined.empty() ? u"" : u"\\").append(part);
  return joined;
}

std::u16string JoinPath(std::u16string_view base, std::u16string_view sub) {
  if (base.empty() || sub.empty()) return std::u16string(base.empty() ? sub : base);
  return std::u16string(base).append(u"\\").append(sub);
}

bool IsValidValueName(std::u16string_view name) {
  return name.size() <= kMaxValueNameLength && !HasLineBreak(name);
}

std::u16string TextOf(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::vector<uint8_t> StringBytes(std::u16string_view text) {
  std::vector<uint8_t> bytes(2 * text.size() + 2, 0);  // the NUL included
  for (std::size_t i = 0; i < text.size(); ++i) {
    bytes[2 * i] = uint8_t(text[i] & 0xFF);
    bytes[2 * i + 1] = uint8_t(text[i] >> 8);
  }
  return bytes;
}

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  for (char c : utf::ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

constexpr std::u16string_view kRootName = u"HKEY_CURRENT_USER";

// A REG_SZ can be written as "text" only when reading that text back gives
// the same bytes: exactly one terminating NUL, nothing that would break the
// line, no unpaired surrogate.
bool IsCleanString(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  const std::size_t count = bytes.size() / 2;
  auto at = [&](std::size_t i) { return char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
  if (at(count - 1) != 0) return false;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    const char16_t c = at(i);
    if (c < 0x20 && c != u'\t') return false;
    if (utf::IsHighSurrogate(c)) {
      if (i + 2 >= count || !utf::IsLowSurrogate(at(i + 1))) return false;
      ++i;
    } else if (utf::IsLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHexList(std::string& out, std::size_t lineStart, const std::vector<uint8_t>& bytes) {
  // Wrapped like regedit's own output: lines of about 80 columns, continued
  // with a trailing backslash and indented by two spaces.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out += kHexDigits[bytes[i] >> 4];
    out += kHexDigits[bytes[i] & 0xF];
    if (i + 1 == bytes.size()) break;
    out += ',';
    if (out.size() - lineStart > 76) {
      out += "\\\r\n  ";
      lineStart = out.size() - 2;
    }
  }
}

std::string Printed(const char* format, uint32_t number) {
  char text[16];
  (void)std::snprintf(text, sizeof text, format, unsigned(number));
  return text;
}

// One value line: "name"="text" for clean REG_SZ strings, dword:xxxxxxxx for
// four-byte REG_DWORD data, hex:.. for REG_BINARY and hex(N):.. for everything
// else, including REG_SZ data that is not one NUL-terminated string. Long hex
// data is wrapped as regedit wraps it.
void AppendValue(std::string& out, const NamedValue& named) {
  const std::size_t lineStart = out.size();
  out += named.name.empty() ? std::string("@") : Quote(named.name);
  out += '=';
  const Value& value = named.value;
  if (value.type == kTypeString && IsCleanString(value.bytes)) {
    out += Quote(TextOf(value.bytes));
  } else if (value.type == kTypeDword && value.bytes.size() == 4) {
    const uint32_t number = uint32_t(value.bytes[0]) | (uint32_t(value.bytes[1]) << 8) |
                            (uint32_t(value.bytes[2]) << 16) | (uint32_t(value.bytes[3]) << 24);
    out += Printed("dword:%08x", number);
  } else {
    out += value.type == kTypeBinary ? std::string("hex:") : Printed("hex(%x):", value.type);
    AppendHexList(out, lineStart, value.bytes);
  }
  out += "\r\n";
}

// "[HKEY_CURRENT_USER\path]" ("[HKEY_CURRENT_USER]" for the root), its values, then its subkeys.
void ExportKey(std::string& out, const Tree::Key& key, const std::u16string& path, bool isRoot) {
  const bool section = !isRoot || !key.values.empty();
  if (section)
    out += "[HKEY_CURRENT_USER" + (path.empty() ? "" : "\\" + utf::ToUtf8(path)) + "]\r\n";
  for (const NamedValue& value : key.values) AppendValue(out, value);
  if (section) out += "\r\n";
  for (const auto& [folded, child] : key.children) {
    ExportKey(out, *child, JoinPath(path, child->name), false);
  }
}

// ---- Import.

// Decodes the whole text to UTF-16 before parsing, so the parser deals with
// one encoding. Only a failure pays for counting the lines up to it.
bool Decode(const std::string& text, std::u16string& out, ParseError& error) {
  auto lineAt = [&](std::size_t offset) {
    return std::size_t(1) +
           std::size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n'));
  };
  auto fail = [&](std::size_t line, const char* problem) {
    error = {line, problem};
    return false;
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    return fail(1, "UTF-16 big-endian text is not supported; save it as UTF-16LE or UTF-8");
  }
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    if (size % 2 != 0) return fail(1, "UTF-16LE text with an odd number of bytes");
    out.reserve(size / 2);
    std::size_t line = 1;
    for (std::size_t i = 2; i < size; i += 2) {
      const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
      if (c == 0) return fail(line, "NUL character in the text");
      if (c == u'\n') ++line;
      out += c;
    }
    return true;
  }
  std::size_t i = (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
  out.reserve(size);
  while (i < size) {
    const utf::Decoded decoded = utf::DecodeAt(text, i);
    if (decoded.problem != utf::Decoded::Problem::kNone) {
      const bool truncated = decoded.problem == utf::Decoded::Problem::kTruncated;
      return fail(lineAt(i),
                  truncated ? "truncated UTF-8 byte sequence" : "invalid UTF-8 byte sequence");
    }
    if (decoded.codePoint == 0) return fail(lineAt(i), "NUL character in the text");
    utf::AppendUtf16(out, decoded.codePoint);
    i += decoded.length;
  }
  return true;
}

constexpr std::u16string_view kBlanks = u" \t";

std::u16string_view TrimLeft(std::u16string_view text) {
  return text.substr(std::min(text.find_first_not_of(kBlanks), text.size()));
}

// With no blank left, find_last_not_of gives npos, and npos + 1 is 0.
std::u16string_view TrimRight(std::u16string_view text) {
  return text.substr(0, text.find_last_not_of(kBlanks) + 1);
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The number the digits spell in hex; nothing when one of them is no hex digit.
std::optional<uint32_t> HexNumber(std::u16string_view digits) {
  uint32_t number = 0;
  for (char16_t c : digits) {
    const int digit = HexValue(c);
    if (digit < 0) return std::nullopt;
    number = (number << 4) | uint32_t(digit);
  }
  return number;
}

class Parser {
 public:
  explicit Parser(std::u16string text) : text_(std::move(text)) {}

  bool Run(std::vector<Change>& ops, ParseError& error) {
    ops_ = &ops;
    std::u16string logical;
    bool sawHeader = false;
    while (NextLine(logical)) {
      std::u16string_view line = TrimLeft(logical);
      if (TrimRight(line).empty()) continue;
      if (!sawHeader) {
        sawHeader = CheckHeader(line);
      } else if (line.front() == u'[') {
        Section(line);
      } else if (line.front() == u'"' || line.front() == u'@') {
        ValueLine(line);
      } else if (line.front() != u';') {
        Fail("expected a [key] section, a \"name\"=data line, @=data or a ; comment");
      }
      if (failed_) break;
    }
    if (!failed_ && !sawHeader) {
      lineNumber_ = 1;
      Fail(std::string("the text is empty; expected the header \"") + kHeader + "\"");
    }
    if (failed_) error = error_;
    return !failed_;
  }

 private:
  // Gathers one logical line: value lines ending in "\" continue on the next
  // line, as regedit wraps long hex data. Each physical line is looked at
  // once: the blanks that lead the logical line are counted on its first
  // physical line, and only the newly added end is trimmed, so a value of
  // many continuation lines costs time in proportion to its length.
  bool NextLine(std::u16string& logical) {
    if (failed_ || position_ >= text_.size()) return false;
    logical.clear();
    lineNumber_ = nextLineNumber_;
    bool continued = false;
    std::size_t leading = 0;
    while (true) {
      if (position_ >= text_.size())
        return Fail("the value continues with \"\\\" past the end of the text");
      std::size_t end = text_.find(u'\n', position_);
      if (end == std::u16string::npos) end = text_.size();
      std::u16string_view physical(text_.data() + position_, end - position_);
      position_ = end + 1;
      ++nextLineNumber_;
      if (!physical.empty() && physical.back() == u'\r') physical.remove_suffix(1);
      if (continued) physical = TrimLeft(physical);
      if (logical.size() + physical.size() > kMaxLogicalLine)
        return Fail("line longer than " + std::to_string(kMaxLogicalLine) + " characters");
      logical += physical;
      if (!continued) leading = logical.size() - TrimLeft(logical).size();
      const std::size_t kept = TrimRight(logical).size();
      if (kept <= leading) return true;
      const char16_t first = logical[leading];
      const bool isValue = first == u'"' || first == u'@';
      if (!isValue || logical[kept - 1] != u'\\') return true;
      logical.resize(kept - 1);
      continued = true;
    }
  }

  bool CheckHeader(std::u16string_view line) {
    line = TrimRight(line);
    if (line == u"Windows Registry Editor Version 5.00") return true;
    if (line == u"REGEDIT4") {
      return Fail(
          "REGEDIT4 files are not supported; export as \"Windows Registry Editor Version 5.00\"");
    }
    return Fail(std::string("expected the header \"") + kHeader + "\"");
  }

  bool Section(std::u16string_view line) {
    line = TrimRight(line);
    const std::size_t close = line.rfind(u']');
    if (close == std::u16string_view::npos) return Fail("section without a closing \"]\"");
    if (close + 1 != line.size()) return Fail("text after the closing \"]\" of a section");
    std::u16string_view name = line.substr(1, close - 1);
    const bool remove = !name.empty() && name.front() == u'-';
    if (remove) name.remove_prefix(1);
    if (!StartsWithFolded(name, kRootName) ||
        (name.size() > kRootName.size() && name[kRootName.size()] != u'\\')) {
      for (std::u16string_view other :
           {u"HKEY_LOCAL_MACHINE", u"HKEY_CLASSES_ROOT", u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"}) {
        if (StartsWithFolded(name, other)) {
          return Fail("only HKEY_CURRENT_USER is supported, not " + utf::ToUtf8(other));
        }
      }
      return Fail("a section must name a key under HKEY_CURRENT_USER");
    }
    name.remove_prefix(kRootName.size());
    if (!name.empty()) name.remove_prefix(1);
    std::vector<std::u16string> parts;
    const PathProblem problem = SplitPath(name, parts);
    if (problem == PathProblem::kEmptyName)
      return Fail("empty key name in the section's path (doubled or leading \"\\\")");
    if (problem == PathProblem::kInvalid)
      return Fail(
          "key name longer than 255 characters or containing a line break, or path deeper "
          "than 512 keys");
    if (remove && parts.empty()) return Fail("HKEY_CURRENT_USER itself cannot be removed");
    auto path = std::make_shared<const KeyPath>(std::move(parts));
    ops_->push_back(
        Change{remove ? Change::Kind::kRemoveKey : Change::Kind::kEnsureKey, path, {}, {}});
    section_ = remove ? nullptr : std::move(path);
    return true;
  }

  // Reads a quoted text starting at rest[0] == '"'; only \\ and \" are escapes.
  bool QuotedText(std::u16string_view& rest, std::u16string& out, const char* what) {
    out.clear();
    std::size_t i = 1;
    while (true) {
      if (i >= rest.size())
        return Fail(std::string("unterminated quoted ") + what + " (missing closing '\"')");
      const char16_t c = rest[i];
      if (c == u'"') break;
      if (c == u'\\') {
        if (i + 1 >= rest.size() || (rest[i + 1] != u'\\' && rest[i + 1] != u'"'))
          return Fail(std::string("bad escape in the quoted ") + what +
                      ": only \\\\ and \\\" are allowed");
        out += rest[i + 1];
        i += 2;
        continue;
      }
      out += c;
      ++i;
    }
    rest.remove_prefix(i + 1);
    return true;
  }

  bool ValueLine(std::u16string_view line) {
    if (!section_) return Fail("value outside a [key] section");
    std::u16string name;
    if (line.front() == u'@') {
      line.remove_prefix(1);
    } else if (!QuotedText(line, name, "value name")) {
      return false;
    }
    if (!IsValidValueName(name)) {
      return Fail("value name longer than 16383 characters or containing a line break");
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != u'=') return Fail("expected '=' after the value name");
    line = TrimRight(TrimLeft(line.substr(1)));
    Change op{Change::Kind::kSetValue, section_, name, {}};
    if (line == u"-") {
      op.kind = Change::Kind::kRemoveValue;
    } else if (!line.empty() && line.front() == u'"') {
      std::u16string text;
      if (!QuotedText(line, text, "string")) return false;
      if (!TrimLeft(line).empty()) return Fail("text after the closing '\"' of the string");
      op.value = Value{kTypeString, StringBytes(text)};
    } else if (StartsWithFolded(line, u"dword:")) {
      if (!Dword(line.substr(6), op.value)) return false;
    } else if (StartsWithFolded(line, u"hex")) {
      if (!Hex(line.substr(3), op.value)) return false;
    } else {
      return Fail("expected \"text\", dword:, hex:, hex(N): or - after '='");
    }
    ops_->push_back(std::move(op));
    return true;
  }

  bool Dword(std::u16string_view digits, Value& value) {
    const std::optional<uint32_t> number = HexNumber(digits);
    if (digits.empty() || digits.size() > 8 || !number)
      return Fail("dword: needs one to eight hex digits");
    value = Value{
        kTypeDword,
        {uint8_t(*number), uint8_t(*number >> 8), uint8_t(*number >> 16), uint8_t(*number >> 24)}};
    return true;
  }

  // After "hex": either ":" (REG_BINARY) or "(N):" with N in hex.
  bool Hex(std::u16string_view rest, Value& value) {
    uint32_t type = kTypeBinary;
    if (!rest.empty() && rest.front() == u'(') {
      const std::size_t close = rest.find(u')');
      const std::size_t count = close == std::u16string_view::npos ? 0 : close - 1;
      const std::optional<uint32_t> number = HexNumber(rest.substr(1, count));
      if (count == 0 || count > 8 || !number)
        return Fail("hex(N): needs a type of one to eight hex digits");
      type = *number;
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != u':') return Fail("expected ':' after hex or hex(N)");
    rest = TrimLeft(rest.substr(1));
    value = Value{type, {}};
    if (rest.empty()) return true;
    while (true) {
      rest = TrimLeft(rest);
      std::size_t length = 0;
      while (length < rest.size() && HexValue(rest[length]) >= 0) ++length;
      const std::u16string_view after = TrimLeft(rest.substr(length));
      if (length == 0 || length > 2 || (!after.empty() && after.front() != u','))
        return Fail("bad hex data: expected a list of two-digit hex bytes separated by ','");
      value.bytes.push_back(uint8_t(*HexNumber(rest.substr(0, length))));
      if (after.empty()) return true;
      rest = after.substr(1);
    }
  }

  // Always false, for the callers to return.
  bool Fail(std::string problem) {
    if (!failed_) error_ = ParseError{lineNumber_, std::move(problem)};
    failed_ = true;
    return false;
  }

  std::u16string text_;
  std::size_t position_ = 0;
  std::size_t lineNumber_ = 1;
  std::size_t nextLineNumber_ = 1;
  std::vector<Change>* ops_ = nullptr;
  std::shared_ptr<const KeyPath> section_;
  bool failed_ = false;
  ParseError error_{0, {}};
};

}  // namespace

bool Parse(const std::string& text, std::vector<Change>& changes, ParseError& error) {
  changes.clear();
  if (text.size() > kMaxImportBytes) {
    error = {1, "the text is larger than " + std::to_string(kMaxImportBytes) + " bytes"};
    return false;
  }
  std::u16string decoded;
  if (!Decode(text, decoded, error)) return false;
  Parser parser(std::move(decoded));
  if (parser.Run(changes, error)) return true;
  changes.clear();
  return false;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
  return std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
  const wholefile::Result read = wholefile::Read(PathFromUtf8(path), kMaxImportBytes, text);
  using wholefile::Outcome;
  if (read.outcome == Outcome::kTooLarge) {
    error = path + ":1: the text is larger than " + std::to_string(kMaxImportBytes) + " bytes";
  } else if (!read.ok()) {
    // Every reason but a failure's own is known; a failure may come with none.
    const std::string reason = read.outcome == Outcome::kMissing  ? std::strerror(ENOENT)
                               : read.outcome == Outcome::kFolder ? "it is a folder"
                                                                  : read.SystemReason();
    error = path + ": cannot be read" + (reason.empty() ? "" : ": " + reason);
  }
  return read.ok();
}

// ---- Tree.

std::size_t ValueList::FoldedHash::operator()(std::u16string_view name) const {
  // FNV-1a over the folded units.
  std::size_t hash = 14695981039346656037ull;
  for (char16_t c : name) hash = (hash ^ Fold(c)) * 1099511628211ull;
  return hash;
}

ValueList::ValueList(const ValueList& other) {
  for (const NamedValue& value : other) Store(value.name, value.value);
}

ValueList& ValueList::operator=(const ValueList& other) {
  if (this != &other) *this = ValueList(other);
  return *this;
}

const NamedValue* ValueList::Find(std::u16string_view name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : &*it->second;
}

void ValueList::Store(std::u16string_view name, Value value) {
  if (auto it = byName_.find(name); it != byName_.end()) {
    it->second->value = std::move(value);
    return;
  }
  values_.push_back(NamedValue{std::u16string(name), std::move(value)});
  byName_.emplace(values_.back().name, std::prev(values_.end()));
}

bool ValueList::Erase(std::u16string_view name) {
  auto it = byName_.find(name);
  if (it == byName_.end()) return false;
  const auto node = it->second;
  byName_.erase(it);  // before the node, whose name the key views
  values_.erase(node);
  return true;
}

Tree::Key* Tree::Key::Child(std::u16string_view childName) const {
  auto it = children.find(FoldName(childName));
  return it == children.end() ? nullptr : it->second.get();
}

Tree::Key& Tree::Key::ChildCreating(std::u16string_view childName, bool* created) {
  std::unique_ptr<Key>& slot = children[FoldName(childName)];
  if (created != nullptr) *created = slot == nullptr;
  if (slot == nullptr) {
    slot = std::make_unique<Key>();
    slot->name = childName;
  }
  return *slot;
}

Tree::Key* Tree::Find(const std::vector<std::u16string>& path) const {
  Key* key = root_.get();
  for (const std::u16string& part : path) {
    key = key->Child(part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

Tree::Key& Tree::FindCreating(const std::vector<std::u16string>& path) {
  Key* key = root_.get();
  for (const std::u16string& part : path) key = &key->ChildCreating(part);
  return *key;
}

std::unique_ptr<Tree::Key> Tree::Detach(const std::vector<std::u16string>& path) {
  if (path.empty()) return nullptr;
  Key* parent = Find(std::vector<std::u16string>(path.begin(), path.end() - 1));
  if (parent == nullptr) return nullptr;
  auto it = parent->children.find(FoldName(path.back()));
  if (it == parent->children.end()) return nullptr;
  std::unique_ptr<Key> key = std::move(it->second);
  parent->children.erase(it);
  return key;
}

void Tree::Replace(const std::vector<std::u16string>& path, std::unique_ptr<Key> key) {
  if (path.empty()) {
    key->name.clear();
    root_ = std::move(key);
    return;
  }
  Key& parent = FindCreating(std::vector<std::u16string>(path.begin(), path.end() - 1));
  key->name = path.back();
  parent.children[FoldName(path.back())] = std::move(key);
}

void Tree::Apply(const std::vector<Change>& changes, std::vector<std::unique_ptr<Key>>* removed) {
  // The key of the last path walked, for the changes that share that path:
  // only a removal can take it out of the tree.
  const KeyPath* lastPath = nullptr;
  Key* lastKey = nullptr;
  auto keyOf = [&](const Change& change) -> Key& {
    if (lastKey == nullptr || change.path.get() != lastPath) {
      lastKey = &FindCreating(*change.path);
      lastPath = change.path.get();
    }
    return *lastKey;
  };
  for (const Change& change : changes) {
    switch (change.kind) {
      case Change::Kind::kEnsureKey:
        keyOf(change);
        break;
      case Change::Kind::kRemoveKey:
        lastPath = nullptr;
        lastKey = nullptr;
        if (std::unique_ptr<Key> key = Detach(*change.path); key && removed != nullptr) {
          removed->push_back(std::move(key));
        }
        break;
      case Change::Kind::kSetValue:
        keyOf(change).values.Store(change.name, change.value);
        break;
      case Change::Kind::kRemoveValue:
        if (lastKey != nullptr && change.path.get() == lastPath) {
          lastKey->values.Erase(change.name);
        } else if (Key* key = Find(*change.path)) {
          key->values.Erase(change.name);
        }
        break;
    }
  }
}

std::string Tree::Export() const {
  std::string out = std::string(kHeader) + "\r\n\r\n";
  ExportKey(out, *root_, u"", true);
  return out;
}

}  // namespace regtext
