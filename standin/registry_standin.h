// The registry of a Linux process: an in-memory HKEY_CURRENT_USER behind the
// seven Win32 functions declared in platform/registry.h. What a process adds
// around it (the tests' faults and call log, vekhost's file) is a Layer, as
// LevelDB's Env wrappers add to an in-memory Env.
//
// The Win32 side follows Windows where the module can tell the difference:
// names are case-insensitive but keep the case they were created with, "\" is
// the only path separator, values keep their type and their exact bytes, a
// missing key or value is ERROR_FILE_NOT_FOUND, a short buffer is
// ERROR_MORE_DATA, a read-only handle cannot write, a closed handle is
// ERROR_INVALID_HANDLE. Where Windows leaves something open, the stand-in
// picks the stricter reading so that careless callers fail here first:
//
// - Only HKEY_CURRENT_USER is a root; the other predefined keys are
//   ERROR_INVALID_HANDLE.
// - A leading "\" or an empty name between two "\" is ERROR_BAD_PATHNAME
//   (Windows rejects doubled backslashes only sometimes, depending on its key
//   cache). One trailing "\" is accepted, as Windows does.
// - Case folding covers ASCII only; other letters compare exactly.
// - A short buffer is left untouched; *type is still reported.
// - RegOpenKeyW with a null or empty subkey hands back the very handle it was
//   given, as documented for Windows: no new handle, so closing both is a
//   double close and the second gets ERROR_INVALID_HANDLE.
// - The access mask of a handle governs the value calls on it (query needs
//   KEY_QUERY_VALUE, set and delete need KEY_SET_VALUE). Opening or creating
//   beneath a handle is not limited by its mask; on Windows that is decided by
//   the key's security descriptor, which here a layer may play (Refuses).
// - Closed handles are not freed until Reset, so a stale handle can never
//   alias a newer one.
// - Names containing a line break, key names longer than 255 characters,
//   value names longer than 16383 characters and keys nested deeper than 512
//   levels are ERROR_INVALID_PARAMETER: a .reg file could not carry them.
// - RegSetValueExW with null data and a non-zero size is ERROR_NOACCESS, as
//   Windows reports the unreadable buffer.
// - RegOpenKeyExW refuses options other than 0 and REG_OPTION_OPEN_LINK with
//   ERROR_INVALID_PARAMETER, the only ones Windows takes there (Wine accepts
//   and ignores any); the link option opens the key itself, as there are no
//   links here.
// - RegCreateKeyExW's options, classes, security attributes and the volatile
//   flag are accepted and ignored; every key persists. Its reserved argument
//   must be 0, as on Windows: anything else is ERROR_INVALID_PARAMETER.
// - RegSetValueExW's reserved argument must be 0 too, or the call is
//   ERROR_INVALID_PARAMETER (Windows documents it so; Wine ignores it).
// - String data is stored and returned exactly as given. Windows does two
//   things more with REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data that does
//   not end in a NUL: RegSetValueExW also stores the NUL that follows the
//   data in the caller's memory, when one does; and RegQueryValueExW writes
//   a NUL after the data when the buffer has room for it, without counting
//   it in the size. A caller that relies on either reads past what it was
//   given; the module does not, and here such a caller fails.
//
// The shared suite (tests/shared/registry_test.cpp) holds the claims above
// that Windows makes too against Wine's own registry.
//
// The keys and values live in one regtext::Tree, the model the .reg text is
// read into and written from, so a lookup by name never scans a key.
// Everything here is guarded by one mutex, so a stray second thread cannot
// corrupt the tree, though the module itself is single-threaded.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/reg_text.h"

namespace regstandin {

// Win32 codes the stand-in returns beyond those the module knows.
constexpr LSTATUS ERROR_OUTOFMEMORY = 14;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_BAD_PATHNAME = 161;
constexpr LSTATUS ERROR_NOACCESS = 998;
constexpr LSTATUS ERROR_KEY_DELETED = 1018;

constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_OPEN_LINK = 0x0008;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_WRITE = 0x20006;

// The keys, and those taken out of them: a handle may still point at one,
// and must find it gone (ERROR_KEY_DELETED) rather than reach freed memory
// or a newer key of the same name. Paths are below HKEY_CURRENT_USER, without
// the root's name: {u"SOFTWARE", u"Denmarrow", u"VEK", u"Sorvane"}.
struct Keys {
  regtext::Tree tree;
  std::vector<std::unique_ptr<regtext::Tree::Key>> removed;

  // Takes the key with everything below it out; false when there was none.
  bool Remove(const std::vector<std::u16string>& path);
  // Applies the changes a .reg text asks for.
  void Apply(const std::vector<regtext::Change>& changes) { tree.Apply(changes, &removed); }
};

// Forgets every key and value, invalidates every open handle (they stop
// counting as open and answer ERROR_INVALID_HANDLE) and takes the layer away.
void Reset();

// Runs `use` on the keys under the registry's lock, for what no Win32 call
// does: reading or writing them whole, removing a key with its subkeys.
void WithKeys(const std::function<void(Keys& keys)>& use);

// Handles returned by the Win32 calls and not yet closed. HKEY_CURRENT_USER
// itself is never counted.
std::size_t OpenHandleCount();
// The key path of every open handle, oldest first, to say which one leaked.
std::vector<std::u16string> OpenHandlePaths();

// What a key's permissions may forbid.
enum class Operation {
  Open,    // RegOpenKeyExW and RegOpenKeyW of the key: ERROR_ACCESS_DENIED
  Query,   // RegQueryValueExW on a handle to the key
  Create,  // RegCreateKeyExW of the key, whether it exists or not
  Set,     // RegSetValueExW on a handle to the key
  Delete,  // RegDeleteValueW on a handle to the key
};

// One Win32 call as the stand-in saw it.
struct Call {
  std::string function;  // "RegSetValueExW", ...
  // The key the call addressed: for opens and creates the handle's path joined
  // with the subkey as the caller spelled it, otherwise the handle's key as
  // stored. Empty for the root and for an invalid handle.
  std::u16string path;
  std::u16string valueName;  // empty for key calls and the default value
  // REG_SZ data written, or returned by a successful query, up to its first
  // NUL; empty for other calls and types.
  std::optional<std::u16string> text;
  LSTATUS status = ERROR_SUCCESS;
  // The access mask and the options asked for by RegOpenKeyExW and
  // RegCreateKeyExW; 0 for every other call.
  REGSAM access = 0;
  DWORD options = 0;
  // Whether the call may change the keys, and whether it did.
  bool writes = false;
  bool changed = false;
  // Compares what the call addressed and its outcome, not access and
  // options: most expectations list calls without caring for their masks,
  // and a test that does care reads those two fields by name.
  bool operator==(const Call& other) const;
};

// What a process adds around the registry's calls. RegCloseKey passes
// through Around only.
class Layer {
 public:
  virtual ~Layer() = default;
  // Before the call does anything, outside the registry's lock. What it
  // throws leaves the Win32 function.
  virtual void Enter(const char* /*function*/) {}
  // Runs the call: `body` does it and gives its status, filling `call` in.
  // Under the registry's lock; std::bad_alloc here is ERROR_OUTOFMEMORY.
  virtual LSTATUS Around(Call& /*call*/, Keys& /*keys*/, const std::function<LSTATUS()>& body) {
    return body();
  }
  // Whether the key's permissions forbid the operation, which is then
  // ERROR_ACCESS_DENIED.
  virtual bool Refuses(const std::vector<std::u16string>& /*path*/, Operation /*operation*/) {
    return false;
  }
};

// Installs `layer`, which outlives its use; null takes it away.
void SetLayer(Layer* layer);

}  // namespace regstandin
