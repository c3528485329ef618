// The registry of a Linux process: an in-memory HKEY_CURRENT_USER behind the
// seven Win32 functions declared in platform/registry.h, plus the calls that
// tests and the simulated host use to set it up, inspect it and save it.
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
//   the key's security descriptor, which here is the refusal list below.
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
//   flag are accepted and ignored (the log keeps the options of both calls);
//   every key persists. Its reserved argument must be 0, as on Windows:
//   anything else is ERROR_INVALID_PARAMETER.
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
//
// Everything here is guarded by one mutex, so a stray second thread cannot
// corrupt the tree, though the module itself is single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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

constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_OPEN_LINK = 0x0008;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_WRITE = 0x20006;

// All paths below are relative to HKEY_CURRENT_USER, "\"-separated, without
// the root's name: u"SOFTWARE\\Denmarrow\\VEK\\Sorvane". The empty path is the
// root itself. An empty value name is the key's default value. A path or name
// the Win32 calls would reject throws std::invalid_argument, since it can only
// be a mistake in the calling test.

// A value's type and its exact bytes.
using Value = regtext::Value;

// Forgets every key, value, refusal and log entry, and invalidates every open
// handle (they stop counting as open and answer ERROR_INVALID_HANDLE).
void Reset();

// Creates the key and any missing parents; true when it did not exist before.
bool CreateKey(std::u16string_view path);
// Removes the key with everything below it; false when there was no such key.
// Handles still open on the removed keys answer ERROR_KEY_DELETED.
bool RemoveKey(std::u16string_view path);
bool KeyExists(std::u16string_view path);

// Stores exactly these bytes under this type, creating the key as needed.
void SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
              std::vector<uint8_t> bytes);
// Stores text as REG_SZ the way the module writes it: UTF-16 with one
// terminating NUL.
void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text);
bool RemoveValue(std::u16string_view path, std::u16string_view name);

std::optional<Value> GetValue(std::u16string_view path, std::u16string_view name);
// The value's data read as UTF-16 up to its first NUL, whatever its type; an
// odd last byte is ignored. Empty when the value is missing.
std::optional<std::u16string> GetString(std::u16string_view path, std::u16string_view name);
// In the order the values were first created; the default value as u"".
std::vector<std::u16string> ValueNames(std::u16string_view path);

// Failure injection, as if the key's permissions forbade the operation. A
// refusal names one exact key path (case-insensitive); it holds whether or not
// the key exists yet, and does not extend to the keys below it.
enum class Operation {
  Open,    // RegOpenKeyExW and RegOpenKeyW of the key: ERROR_ACCESS_DENIED
  Query,   // RegQueryValueExW on a handle to the key
  Create,  // RegCreateKeyExW of the key, whether it exists or not
  Set,     // RegSetValueExW on a handle to the key
  Delete,  // RegDeleteValueW on a handle to the key
};
void Refuse(std::u16string_view path, Operation operation);
void Allow(std::u16string_view path, Operation operation);

// Makes the `nth` Win32 call from now on (1 is the very next) throw
// std::bad_alloc out of the call, before doing anything; with a function
// name, only the calls of that function count. Windows' registry never
// throws: this stands for the caller's own allocations failing halfway
// through its work, to test that the caller contains it. RegCloseKey never
// throws and is not counted, since callers close keys in destructors. The
// throwing call is not logged; it fires once; Reset disarms it.
void ThrowOnCall(std::size_t nth, std::string_view function = {});

// Handles returned by the Win32 calls and not yet closed. HKEY_CURRENT_USER
// itself is never counted.
std::size_t OpenHandleCount();
// The key path of every open handle, oldest first, to say which one leaked.
std::vector<std::u16string> OpenHandlePaths();

// One Win32 call as the stand-in saw it.
struct LogEntry {
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
  // Compares what the call addressed and its outcome, not access and
  // options: most expectations list calls without caring for their masks,
  // and a test that does care reads those two fields by name.
  bool operator==(const LogEntry& other) const;
};
std::vector<LogEntry> Log();
void ClearLog();
// One line in UTF-8, such as
//   RegSetValueExW SOFTWARE\Denmarrow\VEK\Sorvane mIsTolerance="1" -> 0
//   RegCreateKeyExW SOFTWARE\Denmarrow\VEK\Sorvane options=0 access=0xF003F -> 0
// for readable assertion messages.
std::string Describe(const LogEntry& entry);

// Persistence as the text of a regedit export (written and read by
// support/reg_text, which vekhost's Windows build shares): "Windows Registry Editor
// Version 5.00", one [HKEY_CURRENT_USER\...] section per key, "name"="text"
// for clean REG_SZ strings, dword:xxxxxxxx for four-byte REG_DWORD data,
// hex:.. for REG_BINARY and hex(N):.. for everything else, including REG_SZ
// data that is not one NUL-terminated string. regedit itself writes UTF-16LE
// with a byte-order mark; the export here is UTF-8 without one, which is easier
// to diff and which regedit imports as well. The import accepts both.
std::string ExportRegText();
// Merges the text into the registry as regedit would: sections create keys,
// values overwrite, [-key] removes a key, "name"=- removes a value. The text
// is checked completely before anything changes, so a bad text changes
// nothing; the error then reads "<source>:<line>: <problem>".
bool ImportRegText(const std::string& text, std::string& error,
                   std::string_view sourceName = "<registry text>");
// The registry lives in a file, shared live with every process that names
// the same file (standin/registry_file.h says how): from now until Reset,
// every Win32 call reads the file afresh, and every RegSetValueExW,
// RegDeleteValueW and RegCreateKeyExW that changes something writes it
// before returning. A file that cannot be read, parsed or written then turns
// the call into ERROR_REGISTRY_CORRUPT or ERROR_REGISTRY_IO_FAILED, and is
// left as it is. A missing file is an empty registry. Attaching fails, and
// attaches nothing, when the file cannot be read or parsed; the error reads
// "<path>:<line>: <problem>" or "<path>: cannot be read: <reason>".
bool AttachFile(const std::string& path, std::string& error);
// At the end of a session: creates the attached file when nothing wrote it,
// and reports the first failure any call met reading or writing it.
bool FinishFile(std::string& error);

// Saving writes a sibling temporary file and renames it over the target, so an
// interrupted save leaves the previous file intact.
bool SaveToFile(const std::string& path);
bool SaveToFile(const std::string& path, std::string& error);
// A missing file is an error too; the caller decides whether that matters.
bool LoadFromFile(const std::string& path, std::string& error);

}  // namespace regstandin
