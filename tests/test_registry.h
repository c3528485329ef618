// The registry stand-in as the tests, fuzzers and benchmarks use it: a layer
// around its calls that injects faults and keeps a log of them, and helpers
// that seed and read values through the Win32 calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/registry_standin.h"

namespace testreg {

using regstandin::Operation;
using LogEntry = regstandin::Call;
using Value = regtext::Value;

// A registry with no keys, no faults and an empty log, the layer installed.
void Reset();

// Failure injection, as if the key's permissions forbade the operation. A
// refusal names one exact key path (case-insensitive); it holds whether or not
// the key exists yet, and does not extend to the keys below it.
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

// Every call since Reset or ClearLog, in order.
std::vector<LogEntry> Log();
void ClearLog();
// One line in UTF-8, such as
//   RegSetValueExW SOFTWARE\Denmarrow\VEK\Sorvane mIsTolerance="1" -> 0
//   RegCreateKeyExW SOFTWARE\Denmarrow\VEK\Sorvane options=0 access=0xF003F -> 0
// for readable assertion messages.
std::string Describe(const LogEntry& entry);

// Seeding and reading through the Win32 calls, with the layer standing
// aside: none of them is logged, refused or made to throw. Paths are below
// HKEY_CURRENT_USER, "\"-separated: u"SOFTWARE\\Denmarrow\\VEK\\Sorvane". A
// call the registry refuses throws std::invalid_argument, since it can only
// be a mistake in the calling test.

// Creates the key and any missing parents; true when it did not exist before.
bool CreateKey(const std::u16string& path);
bool KeyExists(const std::u16string& path);
// Stores exactly these bytes under this type, creating the key as needed.
void SetValue(const std::u16string& path, const std::u16string& name, DWORD type,
              const std::vector<uint8_t>& bytes);
// Stores text as REG_SZ the way the module writes it: UTF-16 with one
// terminating NUL.
void SetString(const std::u16string& path, const std::u16string& name, std::u16string_view text);
std::optional<Value> GetValue(const std::u16string& path, const std::u16string& name);
// The value's data read as UTF-16 up to its first NUL, whatever its type; an
// odd last byte is ignored. Empty when the value is missing.
std::optional<std::u16string> GetString(const std::u16string& path, const std::u16string& name);

// What none of the seven calls does, on the keys directly.
// Removes the key with everything below it; false when there was none.
// Handles still open on the removed keys answer ERROR_KEY_DELETED.
bool RemoveKey(std::u16string_view path);
// In the order the values were first created; the default value as u"".
std::vector<std::u16string> ValueNames(std::u16string_view path);
// The registry as the text of a regedit export (support/reg_text.h).
std::string ExportRegText();
// Merges the text into the registry as regedit would. The text is checked
// completely before anything changes, so a bad text changes nothing; the
// error then reads "<source>:<line>: <problem>".
bool ImportRegText(const std::string& text, std::string& error,
                   std::string_view sourceName = "<registry text>");

}  // namespace testreg
