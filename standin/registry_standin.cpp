#include "standin/registry_standin.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace regstandin::detail {

using NamedValue = regtext::NamedValue;

struct Key {
  std::u16string name;
  Key* parent = nullptr;
  // Keyed by the folded name, which also gives the case-insensitive order in
  // which regedit lists subkeys.
  std::map<std::u16string, std::shared_ptr<Key>> children;
  // Creation order, which is the order Windows enumerates values in.
  std::vector<NamedValue> values;
  // Once removed, a key still held by a handle no longer reaches its parent
  // (which may be gone); it remembers where it was instead.
  bool deleted = false;
  std::u16string deletedPath;
};

}  // namespace regstandin::detail

// The handle behind an HKEY. It shares ownership of its key so that a key
// removed while a handle is open stays valid memory and can answer
// ERROR_KEY_DELETED instead of being a dangling pointer.
struct HKEY__ {
  std::shared_ptr<regstandin::detail::Key> key;
  REGSAM access = 0;
  uint64_t serial = 0;
};

namespace regstandin {
namespace {

using detail::Key;
using detail::NamedValue;

using regtext::Join;
using regtext::JoinPath;
using regtext::kMaxDepth;
using regtext::Quote;
using regtext::SameName;
using regtext::ToUtf8;

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

struct State {
  std::mutex mutex;
  std::shared_ptr<Key> root = std::make_shared<Key>();
  std::unordered_map<HKEY__*, std::unique_ptr<HKEY__>> live;
  std::vector<std::unique_ptr<HKEY__>> retired;
  uint64_t nextSerial = 1;
  std::set<std::pair<std::u16string, Operation>> refusals;
  std::vector<LogEntry> log;
};

// Never destroyed: the simulated host may still touch the registry from its
// own static destructors.
State& Registry() {
  static State* const state = new State;
  return *state;
}

using regtext::FoldName;

std::size_t DepthOf(const Key* key) {
  std::size_t depth = 0;
  for (; key->parent != nullptr; key = key->parent) ++depth;
  return depth;
}

std::u16string PathOf(const Key* key) {
  if (key->deleted) return key->deletedPath;
  std::vector<const Key*> chain;
  for (; key != nullptr && key->parent != nullptr; key = key->parent) chain.push_back(key);
  std::u16string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += u'\\';
    path += (*it)->name;
  }
  return path;
}

// Splits a subkey path into names; empty means the key itself. A leading "\"
// or a doubled one makes an empty name, which no key can have.
LSTATUS SplitPath(std::u16string_view path, std::vector<std::u16string>& parts) {
  switch (regtext::SplitPath(path, parts)) {
    case regtext::PathProblem::kNone:
      return ERROR_SUCCESS;
    case regtext::PathProblem::kEmptyName:
      return ERROR_BAD_PATHNAME;
    case regtext::PathProblem::kInvalid:
      break;
  }
  return ERROR_INVALID_PARAMETER;
}

LSTATUS CheckValueName(std::u16string_view name) {
  return regtext::IsValidValueName(name) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

Key* FindChild(Key* key, std::u16string_view name) {
  auto it = key->children.find(FoldName(name));
  return it == key->children.end() ? nullptr : it->second.get();
}

Key* Walk(Key* key, const std::vector<std::u16string>& parts) {
  for (const std::u16string& part : parts) {
    key = FindChild(key, part);
    if (key == nullptr) return nullptr;
  }
  return key;
}

// Walks down, creating what is missing; `created` tells whether the last key
// is new.
Key* WalkCreating(Key* key, const std::vector<std::u16string>& parts, bool& created) {
  created = false;
  for (const std::u16string& part : parts) {
    std::shared_ptr<Key>& slot = key->children[FoldName(part)];
    created = slot == nullptr;
    if (created) {
      slot = std::make_shared<Key>();
      slot->name = part;
      slot->parent = key;
    }
    key = slot.get();
  }
  return key;
}

NamedValue* FindValue(Key* key, std::u16string_view name) {
  for (NamedValue& value : key->values) {
    if (SameName(value.name, name)) return &value;
  }
  return nullptr;
}

void StoreValue(Key* key, std::u16string_view name, Value value) {
  // An overwrite keeps the name's original case and its place, as Windows
  // reuses the existing value.
  if (NamedValue* existing = FindValue(key, name)) {
    existing->value = std::move(value);
  } else {
    key->values.push_back(NamedValue{std::u16string(name), std::move(value)});
  }
}

bool EraseValue(Key* key, std::u16string_view name) {
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const NamedValue& value) { return SameName(value.name, name); });
  if (it == key->values.end()) return false;
  key->values.erase(it);
  return true;
}

void MarkDeleted(Key* key, const std::u16string& path) {
  for (auto& [folded, child] : key->children) {
    MarkDeleted(child.get(), JoinPath(path, child->name));
  }
  key->deleted = true;
  key->deletedPath = path;
  key->parent = nullptr;
}

void DetachKey(Key* key) {
  Key* parent = key->parent;
  const std::u16string folded = FoldName(key->name);
  MarkDeleted(key, PathOf(key));
  // Erasing from the parent's map may release the last owner of `key`.
  parent->children.erase(folded);
}

bool IsRefused(const State& state, const Key* key, Operation operation) {
  return state.refusals.count({FoldName(PathOf(key)), operation}) != 0;
}

bool IsRefused(const State& state, std::u16string_view path, Operation operation) {
  return state.refusals.count({FoldName(path), operation}) != 0;
}

using regtext::TextOf;

std::u16string TextOf(const BYTE* data, DWORD size) {
  return TextOf(std::vector<uint8_t>(data, data + size));
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
  REGSAM access = 0;
};

LSTATUS Resolve(State& state, HKEY handle, Resolved& out) {
  if (handle == HKEY_CURRENT_USER) {
    out = Resolved{state.root.get(), KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (handle == nullptr || IsPredefined(handle)) return ERROR_INVALID_HANDLE;
  // Looked up, never dereferenced first: a bogus or closed handle is just a
  // number that is not in the table.
  auto it = state.live.find(handle);
  if (it == state.live.end()) return ERROR_INVALID_HANDLE;
  if (it->second->key->deleted) return ERROR_KEY_DELETED;
  out = Resolved{it->second->key.get(), it->second->access};
  return ERROR_SUCCESS;
}

std::shared_ptr<Key> SharedOf(State& state, Key* key) {
  if (key->parent == nullptr) return state.root;
  return key->parent->children.at(FoldName(key->name));
}

HKEY NewHandle(State& state, Key* key, REGSAM access) {
  auto handle = std::make_unique<HKEY__>();
  handle->key = SharedOf(state, key);
  handle->access = GrantedAccess(access);
  handle->serial = state.nextSerial++;
  HKEY raw = handle.get();
  state.live.emplace(raw, std::move(handle));
  return raw;
}

// Records one Win32 call; the status goes in when the call returns.
class Call {
 public:
  Call(State& state, const char* function) : state_(state) { entry_.function = function; }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  LogEntry& entry() { return entry_; }
  LSTATUS Return(LSTATUS status) {
    entry_.status = status;
    state_.log.push_back(std::move(entry_));
    return status;
  }

 private:
  State& state_;
  LogEntry entry_;
};

std::u16string_view ViewOf(LPCWSTR text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

LSTATUS OpenKey(const char* function, HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Call call(state, function);
  if (result == nullptr) return call.Return(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  Resolved base;
  if (LSTATUS status = Resolve(state, key, base); status != ERROR_SUCCESS) {
    return call.Return(status);
  }
  std::u16string_view sub = ViewOf(subKey);
  call.entry().path = JoinPath(PathOf(base.key), sub);
  std::vector<std::u16string> parts;
  if (LSTATUS status = SplitPath(sub, parts); status != ERROR_SUCCESS) return call.Return(status);
  if (DepthOf(base.key) + parts.size() > kMaxDepth) return call.Return(ERROR_INVALID_PARAMETER);
  call.entry().path = JoinPath(PathOf(base.key), Join(parts));
  if (IsRefused(state, call.entry().path, Operation::Open)) {
    return call.Return(ERROR_ACCESS_DENIED);
  }
  Key* target = Walk(base.key, parts);
  if (target == nullptr) return call.Return(ERROR_FILE_NOT_FOUND);
  *result = NewHandle(state, target, access);
  return call.Return(ERROR_SUCCESS);
}

}  // namespace

// ---------------------------------------------------------------------------
// Test and driver side.

namespace {

std::vector<std::u16string> PartsOrThrow(std::u16string_view path) {
  std::vector<std::u16string> parts;
  if (SplitPath(path, parts) != ERROR_SUCCESS) {
    throw std::invalid_argument("registry stand-in: invalid key path");
  }
  return parts;
}

void CheckNameOrThrow(std::u16string_view name) {
  if (CheckValueName(name) != ERROR_SUCCESS) {
    throw std::invalid_argument("registry stand-in: invalid value name");
  }
}

using regtext::StringBytes;

}  // namespace

void Reset() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  MarkDeleted(state.root.get(), u"");
  state.root = std::make_shared<Key>();
  state.live.clear();
  state.retired.clear();
  state.refusals.clear();
  state.log.clear();
}

bool CreateKey(std::u16string_view path) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  bool created = false;
  WalkCreating(state.root.get(), parts, created);
  return created;
}

bool RemoveKey(std::u16string_view path) {
  const auto parts = PartsOrThrow(path);
  if (parts.empty()) throw std::invalid_argument("registry stand-in: the root cannot be removed");
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Key* key = Walk(state.root.get(), parts);
  if (key == nullptr) return false;
  DetachKey(key);
  return true;
}

bool KeyExists(std::u16string_view path) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return Walk(state.root.get(), parts) != nullptr;
}

void SetValue(std::u16string_view path, std::u16string_view name, DWORD type,
              std::vector<uint8_t> bytes) {
  const auto parts = PartsOrThrow(path);
  CheckNameOrThrow(name);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  bool created = false;
  Key* key = WalkCreating(state.root.get(), parts, created);
  StoreValue(key, name, Value{type, std::move(bytes)});
}

void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text) {
  SetValue(path, name, REG_SZ, StringBytes(text));
}

bool RemoveValue(std::u16string_view path, std::u16string_view name) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Key* key = Walk(state.root.get(), parts);
  return key != nullptr && EraseValue(key, name);
}

std::optional<Value> GetValue(std::u16string_view path, std::u16string_view name) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Key* key = Walk(state.root.get(), parts);
  if (key == nullptr) return std::nullopt;
  const NamedValue* value = FindValue(key, name);
  if (value == nullptr) return std::nullopt;
  return value->value;
}

std::optional<std::u16string> GetString(std::u16string_view path, std::u16string_view name) {
  std::optional<Value> value = GetValue(path, name);
  if (!value) return std::nullopt;
  return TextOf(value->bytes);
}

std::vector<std::u16string> ValueNames(std::u16string_view path) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::vector<std::u16string> names;
  if (Key* key = Walk(state.root.get(), parts)) {
    for (const NamedValue& value : key->values) names.push_back(value.name);
  }
  return names;
}

void Refuse(std::u16string_view path, Operation operation) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.refusals.emplace(FoldName(Join(parts)), operation);
}

void Allow(std::u16string_view path, Operation operation) {
  const auto parts = PartsOrThrow(path);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.refusals.erase({FoldName(Join(parts)), operation});
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
  for (const HKEY__* handle : handles) paths.push_back(PathOf(handle->key.get()));
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

}  // namespace regstandin

// ---------------------------------------------------------------------------
// The Win32 side.

using regstandin::ERROR_INVALID_PARAMETER;
using regstandin::ERROR_NOACCESS;
using regstandin::ERROR_OUTOFMEMORY;
using regstandin::KEY_QUERY_VALUE;
using regstandin::KEY_SET_VALUE;
using regstandin::Operation;

namespace {

// No exception may cross into the module. Running out of memory is the only
// one expected, and Windows reports that as a status too; anything else is a
// bug in the stand-in and ends the process loudly through noexcept.
template <typename Body>
LSTATUS Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

}  // namespace

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD /*options*/, REGSAM access, PHKEY result) {
  return Guarded([&] { return regstandin::OpenKey("RegOpenKeyExW", key, subKey, access, result); });
}

LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  return Guarded([&] {
    if (subKey != nullptr && *subKey != 0) {
      return regstandin::OpenKey("RegOpenKeyW", key, subKey, KEY_ALL_ACCESS, result);
    }
    // Nothing is opened: the caller gets back the handle it passed in.
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegOpenKeyW");
    if (result == nullptr) return call.Return(ERROR_INVALID_PARAMETER);
    regstandin::Resolved base;
    if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
      *result = nullptr;
      return call.Return(status);
    }
    call.entry().path = regstandin::PathOf(base.key);
    *result = key;
    return call.Return(ERROR_SUCCESS);
  });
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/,
                        DWORD /*options*/, REGSAM access, const LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, DWORD* disposition) {
  return Guarded([&] {
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegCreateKeyExW");
    if (result == nullptr) return call.Return(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    regstandin::Resolved base;
    if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    if (subKey == nullptr) return call.Return(ERROR_INVALID_PARAMETER);
    const std::u16string_view sub(subKey);
    call.entry().path = regstandin::JoinPath(regstandin::PathOf(base.key), sub);
    std::vector<std::u16string> parts;
    if (LSTATUS status = regstandin::SplitPath(sub, parts); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    if (regstandin::DepthOf(base.key) + parts.size() > regstandin::kMaxDepth) {
      return call.Return(ERROR_INVALID_PARAMETER);
    }
    call.entry().path = regstandin::JoinPath(regstandin::PathOf(base.key), regstandin::Join(parts));
    if (regstandin::IsRefused(state, call.entry().path, Operation::Create)) {
      return call.Return(ERROR_ACCESS_DENIED);
    }
    bool created = false;
    regstandin::Key* target = regstandin::WalkCreating(base.key, parts, created);
    *result = regstandin::NewHandle(state, target, access);
    if (disposition != nullptr) {
      *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return call.Return(ERROR_SUCCESS);
  });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
  return Guarded([&] {
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegQueryValueExW");
    const std::u16string_view name = regstandin::ViewOf(valueName);
    call.entry().valueName = name;
    regstandin::Resolved handle;
    if (LSTATUS status = regstandin::Resolve(state, key, handle); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    call.entry().path = regstandin::PathOf(handle.key);
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
      return call.Return(ERROR_INVALID_PARAMETER);
    }
    if ((handle.access & KEY_QUERY_VALUE) == 0 ||
        regstandin::IsRefused(state, handle.key, Operation::Query)) {
      return call.Return(ERROR_ACCESS_DENIED);
    }
    const regstandin::NamedValue* value = regstandin::FindValue(handle.key, name);
    if (value == nullptr) return call.Return(ERROR_FILE_NOT_FOUND);
    const std::vector<uint8_t>& bytes = value->value.bytes;
    const DWORD needed = DWORD(bytes.size());
    if (type != nullptr) *type = value->value.type;
    if (data == nullptr) {
      if (dataSize != nullptr) *dataSize = needed;
      return call.Return(ERROR_SUCCESS);
    }
    if (*dataSize < needed) {
      *dataSize = needed;
      return call.Return(ERROR_MORE_DATA);
    }
    std::copy(bytes.begin(), bytes.end(), data);
    *dataSize = needed;
    if (value->value.type == REG_SZ) call.entry().text = regstandin::TextOf(bytes);
    return call.Return(ERROR_SUCCESS);
  });
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type,
                       const BYTE* data, DWORD dataSize) {
  return Guarded([&] {
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegSetValueExW");
    const std::u16string_view name = regstandin::ViewOf(valueName);
    call.entry().valueName = name;
    regstandin::Resolved handle;
    if (LSTATUS status = regstandin::Resolve(state, key, handle); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    call.entry().path = regstandin::PathOf(handle.key);
    if (data == nullptr && dataSize != 0) return call.Return(ERROR_NOACCESS);
    if (type == REG_SZ) call.entry().text = regstandin::TextOf(data, dataSize);
    if ((handle.access & KEY_SET_VALUE) == 0 ||
        regstandin::IsRefused(state, handle.key, Operation::Set)) {
      return call.Return(ERROR_ACCESS_DENIED);
    }
    if (LSTATUS status = regstandin::CheckValueName(name); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    std::vector<uint8_t> bytes;
    if (dataSize != 0) bytes.assign(data, data + dataSize);
    regstandin::StoreValue(handle.key, name, regstandin::Value{type, std::move(bytes)});
    return call.Return(ERROR_SUCCESS);
  });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return Guarded([&] {
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegDeleteValueW");
    const std::u16string_view name = regstandin::ViewOf(valueName);
    call.entry().valueName = name;
    regstandin::Resolved handle;
    if (LSTATUS status = regstandin::Resolve(state, key, handle); status != ERROR_SUCCESS) {
      return call.Return(status);
    }
    call.entry().path = regstandin::PathOf(handle.key);
    if ((handle.access & KEY_SET_VALUE) == 0 ||
        regstandin::IsRefused(state, handle.key, Operation::Delete)) {
      return call.Return(ERROR_ACCESS_DENIED);
    }
    if (!regstandin::EraseValue(handle.key, name)) return call.Return(ERROR_FILE_NOT_FOUND);
    return call.Return(ERROR_SUCCESS);
  });
}

LSTATUS RegCloseKey(HKEY key) {
  return Guarded([&] {
    auto& state = regstandin::Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    regstandin::Call call(state, "RegCloseKey");
    // Windows lets a program close a predefined key; it is reopened on next
    // use, so for the stand-in closing it changes nothing.
    if (key == HKEY_CURRENT_USER) return call.Return(ERROR_SUCCESS);
    auto it = state.live.find(key);
    if (it == state.live.end()) return call.Return(ERROR_INVALID_HANDLE);
    call.entry().path = regstandin::PathOf(it->second->key.get());
    state.retired.push_back(std::move(it->second));
    state.live.erase(it);
    return call.Return(ERROR_SUCCESS);
  });
}

}  // extern "C"

// ---------------------------------------------------------------------------
// .reg text.

namespace regstandin {
namespace {

void ExportKey(std::string& out, const Key* key, const std::u16string& path) {
  if (key->parent != nullptr || !key->values.empty()) regtext::AppendSection(out, path);
  for (const NamedValue& value : key->values) regtext::AppendValue(out, value);
  if (key->parent != nullptr || !key->values.empty()) out += "\r\n";
  for (const auto& [folded, child] : key->children) {
    ExportKey(out, child.get(), JoinPath(path, child->name));
  }
}

void Apply(State& state, const std::vector<regtext::Change>& changes) {
  using Kind = regtext::Change::Kind;
  for (const regtext::Change& change : changes) {
    bool created = false;
    switch (change.kind) {
      case Kind::kEnsureKey:
        WalkCreating(state.root.get(), change.path, created);
        break;
      case Kind::kRemoveKey:
        if (Key* key = Walk(state.root.get(), change.path)) DetachKey(key);
        break;
      case Kind::kSetValue:
        StoreValue(WalkCreating(state.root.get(), change.path, created), change.name, change.value);
        break;
      case Kind::kRemoveValue:
        if (Key* key = Walk(state.root.get(), change.path)) EraseValue(key, change.name);
        break;
    }
  }
}

}  // namespace

std::string Describe(const LogEntry& entry) {
  std::string line = entry.function + " " + ToUtf8(entry.path);
  const bool valueCall = entry.function == "RegQueryValueExW" ||
                         entry.function == "RegSetValueExW" || entry.function == "RegDeleteValueW";
  if (valueCall)
    line += " " + (entry.valueName.empty() ? std::string("@") : ToUtf8(entry.valueName));
  if (entry.text) line += "=" + Quote(*entry.text);
  return line + " -> " + std::to_string(entry.status);
}

std::string ExportRegText() {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::string out = std::string(regtext::kHeader) + "\r\n\r\n";
  ExportKey(out, state.root.get(), u"");
  return out;
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
  Apply(state, changes);
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

bool LoadFromFile(const std::string& path, std::string& error) {
  std::string text;
  return regtext::ReadFile(path, text, error) && ImportRegText(text, error, path);
}

}  // namespace regstandin
