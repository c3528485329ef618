// The registry is one regtext::Tree, the same model the .reg text is read
// into and written from. This file adds what a tree lacks to be a registry:
// handles, access masks, refusals, the call log and failure injection.
#include "standin/registry_standin.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "standin/platform_call.h"
#include "standin/registry_file.h"
#include "support/utf.h"

using Key = regtext::Tree::Key;
using Path = std::vector<std::u16string>;

// The handle behind an HKEY: the key and the names it is stored under. A
// removed key stays allocated until Reset, so the handle can tell it is gone
// (its path leads elsewhere or nowhere) rather than point at freed memory.
struct HKEY__ {
  Key* key = nullptr;
  Path path;
  REGSAM access = 0;
  uint64_t serial = 0;
};

namespace regstandin {
namespace {

using regtext::FoldName;
using regtext::Join;
using regtext::JoinPath;

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

struct State {
  std::mutex mutex;
  regtext::Tree tree;
  // Keys taken out of the tree, kept for the handles that may point at them.
  std::vector<std::unique_ptr<Key>> removed;
  std::unordered_map<HKEY, std::unique_ptr<HKEY__>> live;
  // Closed handles, kept so that a stale handle never aliases a newer one.
  std::vector<std::unique_ptr<HKEY__>> retired;
  uint64_t nextSerial = 1;
  std::set<std::pair<std::u16string, Operation>> refusals;
  std::vector<LogEntry> log;
  std::size_t throwCountdown = 0;  // 0: nothing armed
  std::string throwFunction;
  // The file the registry lives in, as named and with its links followed;
  // empty while the registry is in memory only.
  std::string fileName;
  std::string file;
  // The first failure to read or write the file since it was attached.
  std::string fileError;
  // Set by a call that changed the tree, which must then reach the file.
  bool changed = false;
};

// Never destroyed: the simulated host may still touch the registry from its
// own static destructors.
State& Registry() {
  static State* const state = new State;
  return *state;
}

LSTATUS StatusOf(regtext::PathProblem problem) {
  switch (problem) {
    case regtext::PathProblem::kNone:
      return ERROR_SUCCESS;
    case regtext::PathProblem::kEmptyName:
      return ERROR_BAD_PATHNAME;
    case regtext::PathProblem::kInvalid:
      break;
  }
  return ERROR_INVALID_PARAMETER;
}

Path PartsOrThrow(std::u16string_view path) {
  Path parts;
  if (regtext::SplitPath(path, parts) != regtext::PathProblem::kNone) {
    throw std::invalid_argument("registry stand-in: invalid key path");
  }
  return parts;
}

bool IsRefused(const State& state, const Path& path, Operation operation) {
  return state.refusals.count({FoldName(Join(path)), operation}) != 0;
}

// Walks from `from` (stored under `path`) down `parts`, creating what is
// missing when asked to; `path` becomes the stored names of the key reached.
Key* Walk(Key* from, Path& path, const Path& parts, bool create, bool* created = nullptr) {
  if (created != nullptr) *created = false;
  for (const std::u16string& part : parts) {
    from = create ? &from->ChildCreating(part, created) : from->Child(part);
    if (from == nullptr) return nullptr;
    path.push_back(from->name);
  }
  return from;
}

void Detach(State& state, const Path& parts) {
  if (std::unique_ptr<Key> key = state.tree.Detach(parts)) state.removed.push_back(std::move(key));
}

bool IsPredefined(HKEY key) {
  const uintptr_t bits = reinterpret_cast<uintptr_t>(key);
  return bits >= 0x80000000u && bits <= 0x80000060u;
}

REGSAM GrantedAccess(REGSAM desired) {
  REGSAM granted = desired & 0x00FFFFFFu;
  if (desired & (kGenericAll | kMaximumAllowed)) granted |= KEY_ALL_ACCESS;
  if (desired & (kGenericRead | kGenericExecute)) granted |= KEY_READ;
  if (desired & kGenericWrite) granted |= KEY_WRITE;
  return granted;
}

struct Resolved {
  Key* key = nullptr;
  Path path;
  REGSAM access = 0;
};

LSTATUS Resolve(State& state, HKEY handle, Resolved& out) {
  if (handle == HKEY_CURRENT_USER) {
    out = Resolved{&state.tree.root(), {}, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (handle == nullptr || IsPredefined(handle)) return ERROR_INVALID_HANDLE;
  // Looked up, never dereferenced first: a bogus or closed handle is just a
  // number that is not in the table.
  auto it = state.live.find(handle);
  if (it == state.live.end()) return ERROR_INVALID_HANDLE;
  const HKEY__& found = *it->second;
  if (state.tree.Find(found.path) != found.key) return ERROR_KEY_DELETED;
  out = Resolved{found.key, found.path, found.access};
  return ERROR_SUCCESS;
}

HKEY NewHandle(State& state, Key* key, Path path, REGSAM access) {
  auto handle = std::make_unique<HKEY__>(
      HKEY__{key, std::move(path), GrantedAccess(access), state.nextSerial++});
  HKEY raw = handle.get();
  state.live.emplace(raw, std::move(handle));
  return raw;
}

std::u16string_view ViewOf(LPCWSTR text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

std::u16string TextOf(const BYTE* data, DWORD size) {
  return regtext::TextOf(std::vector<uint8_t>(data, data + size));
}

// Makes the tree what the file says, in place: a handle keeps pointing at
// its key while the key stays in the file, and a key the file no longer has
// goes to `removed`, so its handles answer ERROR_KEY_DELETED.
void Sync(Key& mine, const Key& theirs, std::vector<std::unique_ptr<Key>>& removed) {
  mine.values = theirs.values;
  for (auto it = mine.children.begin(); it != mine.children.end();) {
    if (theirs.children.count(it->first) != 0) {
      ++it;
      continue;
    }
    removed.push_back(std::move(it->second));
    it = mine.children.erase(it);
  }
  for (const auto& [folded, child] : theirs.children) {
    Sync(mine.ChildCreating(child->name), *child, removed);
  }
}

void NoteFileError(State& state, const std::string& error) {
  if (state.fileError.empty()) state.fileError = error;
}

// Reads the file afresh into the tree. A file that cannot be read or parsed
// changes nothing, and is never written over.
bool Refresh(State& state, std::string& error) {
  std::string text;
  bool exists = false;
  if (!regfile::Read(state.fileName, text, exists, error)) return false;
  regtext::Tree fresh;
  if (exists) {
    std::vector<regtext::Change> changes;
    regtext::ParseError problem;
    if (!regtext::Parse(text, changes, problem)) {
      error = state.fileName + ":" + std::to_string(problem.line) + ": " + problem.problem;
      return false;
    }
    fresh.Apply(changes);
  }
  Sync(state.tree.root(), fresh.root(), state.removed);
  return true;
}

// kNone for calls that never look at keys or values (closing a handle).
enum class Access { kNone, kRead, kWrite };

// What a call does with the file before and after its body: every call reads
// it afresh; a call that may change the registry does so in its writer's
// turn, and what it changed reaches the file before the call returns. The
// statuses are Windows' own for a registry it cannot read or write.
constexpr LSTATUS kRegistryCorrupt = 1015;   // ERROR_REGISTRY_CORRUPT
constexpr LSTATUS kRegistryIoFailed = 1016;  // ERROR_REGISTRY_IO_FAILED

template <typename Body>
LSTATUS RunOnFile(State& state, Access access, LogEntry& entry, Body&& body) {
  if (state.file.empty() || access == Access::kNone) return body(state, entry);
  std::optional<regfile::WriterTurn> turn;
  std::string error;
  if (access == Access::kWrite) {
    turn.emplace(state.file);
    if (!turn->ok()) {
      NoteFileError(state, turn->error());
      return kRegistryIoFailed;
    }
  }
  if (!Refresh(state, error)) {
    NoteFileError(state, error);
    return kRegistryCorrupt;
  }
  state.changed = false;
  const LSTATUS status = body(state, entry);
  if (!turn || status != ERROR_SUCCESS || !state.changed) return status;
  if (turn->Replace(state.tree.Export(), error)) return status;
  NoteFileError(state, error);
  // What did not reach the file did not happen.
  std::string ignored;
  Refresh(state, ignored);
  return kRegistryIoFailed;
}

void ThrowIfArmed(State& state, const char* function) {
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.throwCountdown == 0) return;
  if (!state.throwFunction.empty() && state.throwFunction != function) return;
  if (--state.throwCountdown == 0) throw std::bad_alloc();
}

// Runs one Win32 call under the lock and logs it with the status it returns.
// No exception may cross into the caller: running out of memory is the only
// one expected, and Windows reports that as a status too; anything else is a
// bug in the stand-in and ends the process loudly through noexcept.
template <typename Body>
LSTATUS RunGuarded(const char* function, Access access, Body&& body) noexcept {
  const standin::PlatformCall platform;
  try {
    State& state = Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    LogEntry entry;
    entry.function = function;
    entry.status = RunOnFile(state, access, entry, body);
    const LSTATUS status = entry.status;
    state.log.push_back(std::move(entry));
    return status;
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

// A call that ThrowOnCall may make throw, before anything else happens.
template <typename Body>
LSTATUS Run(const char* function, Access access, Body&& body) {
  ThrowIfArmed(Registry(), function);
  return RunGuarded(function, access, std::forward<Body>(body));
}

// The checks every open and create makes of the subkey below `base`; `parts`
// become the subkey's names.
LSTATUS CheckSubkey(const State& state, const Resolved& base, std::u16string_view sub,
                    Operation operation, LogEntry& entry, Path& parts) {
  entry.path = JoinPath(Join(base.path), sub);
  if (LSTATUS status = StatusOf(regtext::SplitPath(sub, parts)); status != ERROR_SUCCESS) {
    return status;
  }
  if (base.path.size() + parts.size() > regtext::kMaxDepth) return ERROR_INVALID_PARAMETER;
  Path full = base.path;
  full.insert(full.end(), parts.begin(), parts.end());
  entry.path = Join(full);
  return IsRefused(state, full, operation) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LSTATUS OpenKey(State& state, LogEntry& entry, HKEY key, LPCWSTR subKey, REGSAM access,
                PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Resolved base;
  Path parts;
  if (LSTATUS status = Resolve(state, key, base); status != ERROR_SUCCESS) return status;
  if (LSTATUS status = CheckSubkey(state, base, ViewOf(subKey), Operation::Open, entry, parts);
      status != ERROR_SUCCESS) {
    return status;
  }
  Key* target = Walk(base.key, base.path, parts, false);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(state, target, std::move(base.path), access);
  return ERROR_SUCCESS;
}

// The handle of a value call; the log names its key as stored.
LSTATUS ResolveForValue(State& state, HKEY key, LogEntry& entry, Resolved& handle) {
  if (LSTATUS status = Resolve(state, key, handle); status != ERROR_SUCCESS) return status;
  entry.path = Join(handle.path);
  return ERROR_SUCCESS;
}

bool Allows(const State& state, const Resolved& handle, REGSAM needed, Operation operation) {
  return (handle.access & needed) != 0 && !IsRefused(state, handle.path, operation);
}

}  // namespace

// ---------------------------------------------------------------------------
// Test and driver side.

bool LogEntry::operator==(const LogEntry& other) const {
  return function == other.function && path == other.path && valueName == other.valueName &&
         text == other.text && status == other.status;
}

void Reset() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.tree = regtext::Tree();
  state.removed.clear();
  state.live.clear();
  state.retired.clear();
  state.refusals.clear();
  state.log.clear();
  state.throwCountdown = 0;
  state.fileName.clear();
  state.file.clear();
  state.fileError.clear();
}

bool CreateKey(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  bool created = false;
  Path stored;
  Walk(&state.tree.root(), stored, parts, true, &created);
  return created;
}

bool RemoveKey(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  if (parts.empty()) throw std::invalid_argument("registry stand-in: the root cannot be removed");
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.tree.Find(parts) == nullptr) return false;
  Detach(state, parts);
  return true;
}

bool KeyExists(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.tree.Find(parts) != nullptr;
}

void SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
              std::vector<uint8_t> bytes) {
  const Path parts = PartsOrThrow(path);
  if (!regtext::IsValidValueName(name)) {
    throw std::invalid_argument("registry stand-in: invalid value name");
  }
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.tree.FindCreating(parts).values.Store(name, Value{type, std::move(bytes)});
}

void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text) {
  SetValue(path, name, REG_SZ, regtext::StringBytes(text));
}

bool RemoveValue(std::u16string_view path, std::u16string_view name) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Key* key = state.tree.Find(parts);
  return key != nullptr && key->values.Erase(name);
}

std::optional<Value> GetValue(std::u16string_view path, std::u16string_view name) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  const Key* key = state.tree.Find(parts);
  const regtext::NamedValue* value = key != nullptr ? key->values.Find(name) : nullptr;
  if (value == nullptr) return std::nullopt;
  return value->value;
}

std::optional<std::u16string> GetString(std::u16string_view path, std::u16string_view name) {
  std::optional<Value> value = GetValue(path, name);
  if (!value) return std::nullopt;
  return regtext::TextOf(value->bytes);
}

std::vector<std::u16string> ValueNames(std::u16string_view path) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<std::u16string> names;
  if (const Key* key = state.tree.Find(parts)) {
    for (const regtext::NamedValue& value : key->values) names.push_back(value.name);
  }
  return names;
}

void Refuse(std::u16string_view path, Operation operation) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.refusals.emplace(FoldName(Join(parts)), operation);
}

void Allow(std::u16string_view path, Operation operation) {
  const Path parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.refusals.erase({FoldName(Join(parts)), operation});
}

void ThrowOnCall(std::size_t nth, std::string_view function) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.throwCountdown = nth;
  state.throwFunction = function;
}

std::size_t OpenHandleCount() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.live.size();
}

std::vector<std::u16string> OpenHandlePaths() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<const HKEY__*> handles;
  for (const auto& [raw, handle] : state.live) handles.push_back(handle.get());
  std::sort(handles.begin(), handles.end(),
            [](const HKEY__* a, const HKEY__* b) { return a->serial < b->serial; });
  std::vector<std::u16string> paths;
  paths.reserve(handles.size());
  for (const HKEY__* handle : handles) paths.push_back(Join(handle->path));
  return paths;
}

std::vector<LogEntry> Log() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.log;
}

void ClearLog() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.log.clear();
}

std::string Describe(const LogEntry& entry) {
  std::string line = entry.function + " " + utf::ToUtf8(entry.path);
  const bool valueCall = entry.function == "RegQueryValueExW" ||
                         entry.function == "RegSetValueExW" || entry.function == "RegDeleteValueW";
  if (valueCall) {
    line += " " + (entry.valueName.empty() ? std::string("@") : utf::ToUtf8(entry.valueName));
  }
  if (entry.text) line += "=" + regtext::Quote(*entry.text);
  auto hex = [](uint32_t number) {
    char digits[16];
    (void)std::snprintf(digits, sizeof digits, "0x%X", unsigned(number));
    return std::string(digits);
  };
  if (entry.function == "RegOpenKeyExW" || entry.function == "RegCreateKeyExW") {
    line += " options=" + std::to_string(entry.options);
  }
  if (entry.function == "RegOpenKeyExW" || entry.function == "RegCreateKeyExW") {
    line += " access=" + hex(entry.access);
  }
  return line + " -> " + std::to_string(entry.status);
}

// Persistence: the tree's own text, read and written by support/reg_text.

std::string ExportRegText() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.tree.Export();
}

bool ImportRegText(const std::string& text, std::string& error, std::string_view sourceName) {
  std::vector<regtext::Change> changes;
  regtext::ParseError problem;
  if (!regtext::Parse(text, changes, problem)) {
    error = std::string(sourceName) + ":" + std::to_string(problem.line) + ": " + problem.problem;
    return false;
  }
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.tree.Apply(changes, &state.removed);
  error.clear();
  return true;
}

bool SaveToFile(const std::string& path) {
  std::string error;
  return SaveToFile(path, error);
}

bool SaveToFile(const std::string& path, std::string& error) {
  return regtext::WriteFile(path, ExportRegText(), error);
}

bool AttachFile(const std::string& path, std::string& error) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.fileName = path;
  state.file = regfile::ResolveLinks(path);
  state.fileError.clear();
  if (Refresh(state, error)) return true;
  state.fileName.clear();
  state.file.clear();
  return false;
}

bool FinishFile(std::string& error) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.file.empty()) return true;
  if (!state.fileError.empty()) {
    error = state.fileError;
    return false;
  }
  regfile::WriterTurn turn(state.file);
  std::string text;
  bool exists = false;
  if (!turn.ok()) {
    error = turn.error();
    return false;
  }
  if (!regfile::Read(state.fileName, text, exists, error)) return false;
  if (exists) return true;
  // Nothing was written during the session: the file starts with what the
  // registry holds (keys created by hand, by a test or nothing at all).
  return turn.Replace(state.tree.Export(), error);
}

bool LoadFromFile(const std::string& path, std::string& error) {
  std::string text;
  return regtext::ReadFile(path, text, error) && ImportRegText(text, error, path);
}

}  // namespace regstandin

// ---------------------------------------------------------------------------
// The Win32 side.

using regstandin::LogEntry;
using regstandin::Operation;
using regstandin::Resolved;
using regstandin::State;

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return regstandin::Run("RegOpenKeyExW", regstandin::Access::kRead,
                         [&](State& state, LogEntry& entry) -> LSTATUS {
                           entry.access = access;
                           entry.options = options;
                           if ((options & ~regstandin::REG_OPTION_OPEN_LINK) != 0) {
                             if (result != nullptr) *result = nullptr;
                             return regstandin::ERROR_INVALID_PARAMETER;
                           }
                           return regstandin::OpenKey(state, entry, key, subKey, access, result);
                         });
}

LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  return regstandin::Run(
      "RegOpenKeyW", regstandin::Access::kRead, [&](State& state, LogEntry& entry) -> LSTATUS {
        if (subKey != nullptr && *subKey != 0) {
          return regstandin::OpenKey(state, entry, key, subKey, KEY_ALL_ACCESS, result);
        }
        // Nothing is opened: the caller gets back the handle it passed in.
        if (result == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
        Resolved base;
        if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
          *result = nullptr;
          return status;
        }
        entry.path = regtext::Join(base.path);
        *result = key;
        return ERROR_SUCCESS;
      });
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR /*keyClass*/,
                        DWORD options, REGSAM access, const LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, DWORD* disposition) {
  return regstandin::Run(
      "RegCreateKeyExW", regstandin::Access::kWrite, [&](State& state, LogEntry& entry) -> LSTATUS {
        entry.access = access;
        entry.options = options;
        if (result == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
        *result = nullptr;
        if (reserved != 0) return regstandin::ERROR_INVALID_PARAMETER;
        Resolved base;
        if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
          return status;
        }
        if (subKey == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
        Path parts;
        if (LSTATUS status =
                regstandin::CheckSubkey(state, base, subKey, Operation::Create, entry, parts);
            status != ERROR_SUCCESS) {
          return status;
        }
        bool created = false;
        Key* target = regstandin::Walk(base.key, base.path, parts, true, &created);
        state.changed = created;
        *result = regstandin::NewHandle(state, target, std::move(base.path), access);
        if (disposition != nullptr) {
          *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        }
        return ERROR_SUCCESS;
      });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
  return regstandin::Run(
      "RegQueryValueExW", regstandin::Access::kRead, [&](State& state, LogEntry& entry) -> LSTATUS {
        entry.valueName = regstandin::ViewOf(valueName);
        Resolved handle;
        if (LSTATUS status = regstandin::ResolveForValue(state, key, entry, handle);
            status != ERROR_SUCCESS) {
          return status;
        }
        if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
          return regstandin::ERROR_INVALID_PARAMETER;
        }
        if (!regstandin::Allows(state, handle, regstandin::KEY_QUERY_VALUE, Operation::Query)) {
          return ERROR_ACCESS_DENIED;
        }
        const regtext::NamedValue* value = handle.key->values.Find(entry.valueName);
        if (value == nullptr) return ERROR_FILE_NOT_FOUND;
        const std::vector<uint8_t>& bytes = value->value.bytes;
        const DWORD needed = DWORD(bytes.size());
        if (type != nullptr) *type = value->value.type;
        if (data == nullptr) {
          if (dataSize != nullptr) *dataSize = needed;
          return ERROR_SUCCESS;
        }
        if (*dataSize < needed) {
          *dataSize = needed;
          return ERROR_MORE_DATA;
        }
        std::copy(bytes.begin(), bytes.end(), data);
        *dataSize = needed;
        if (value->value.type == REG_SZ) entry.text = regtext::TextOf(bytes);
        return ERROR_SUCCESS;
      });
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize) {
  return regstandin::Run(
      "RegSetValueExW", regstandin::Access::kWrite, [&](State& state, LogEntry& entry) -> LSTATUS {
        entry.valueName = regstandin::ViewOf(valueName);
        Resolved handle;
        if (LSTATUS status = regstandin::ResolveForValue(state, key, entry, handle);
            status != ERROR_SUCCESS) {
          return status;
        }
        if (data == nullptr && dataSize != 0) return regstandin::ERROR_NOACCESS;
        if (reserved != 0) return regstandin::ERROR_INVALID_PARAMETER;
        if (type == REG_SZ) entry.text = regstandin::TextOf(data, dataSize);
        if (!regstandin::Allows(state, handle, regstandin::KEY_SET_VALUE, Operation::Set)) {
          return ERROR_ACCESS_DENIED;
        }
        if (!regtext::IsValidValueName(entry.valueName)) return regstandin::ERROR_INVALID_PARAMETER;
        std::vector<uint8_t> bytes;
        if (dataSize != 0) bytes.assign(data, data + dataSize);
        handle.key->values.Store(entry.valueName, regstandin::Value{type, std::move(bytes)});
        state.changed = true;
        return ERROR_SUCCESS;
      });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return regstandin::Run(
      "RegDeleteValueW", regstandin::Access::kWrite, [&](State& state, LogEntry& entry) -> LSTATUS {
        entry.valueName = regstandin::ViewOf(valueName);
        Resolved handle;
        if (LSTATUS status = regstandin::ResolveForValue(state, key, entry, handle);
            status != ERROR_SUCCESS) {
          return status;
        }
        if (!regstandin::Allows(state, handle, regstandin::KEY_SET_VALUE, Operation::Delete)) {
          return ERROR_ACCESS_DENIED;
        }
        if (!handle.key->values.Erase(entry.valueName)) return ERROR_FILE_NOT_FOUND;
        state.changed = true;
        return ERROR_SUCCESS;
      });
}

LSTATUS RegCloseKey(HKEY key) {
  return regstandin::RunGuarded("RegCloseKey", regstandin::Access::kNone,
                                [&](State& state, LogEntry& entry) -> LSTATUS {
                                  // Windows lets a program close a predefined key; it is reopened
                                  // on next use, so for the stand-in closing it changes nothing.
                                  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
                                  auto it = state.live.find(key);
                                  if (it == state.live.end()) return ERROR_INVALID_HANDLE;
                                  entry.path = regtext::Join(it->second->path);
                                  state.retired.push_back(std::move(it->second));
                                  state.live.erase(it);
                                  return ERROR_SUCCESS;
                                });
}

}  // extern "C"
