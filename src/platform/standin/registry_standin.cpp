#include "platform/standin/registry_standin.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace regstandin::detail {

struct NamedValue {
  std::u16string name;
  Value value;
};

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

// Windows' documented limits; enforcing them keeps every state the Win32 calls
// can build exportable and importable.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxDepth = 512;

// Bounds on an import, so that a hostile or corrupt file costs a clear error
// rather than the process's memory. A logical line holds one value; 4 Mi
// characters carry about 1.3 MiB of hex data.
constexpr std::size_t kMaxImportBytes = 64u << 20;
constexpr std::size_t kMaxLogicalLine = 4u << 20;

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

constexpr char kHeader[] = "Windows Registry Editor Version 5.00";
constexpr std::u16string_view kRootName = u"HKEY_CURRENT_USER";

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

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

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

bool HasLineBreak(std::u16string_view name) {
  return name.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::u16string Join(const std::vector<std::u16string>& parts) {
  std::u16string joined;
  for (const std::u16string& part : parts) {
    if (!joined.empty()) joined += u'\\';
    joined += part;
  }
  return joined;
}

std::u16string JoinPath(std::u16string_view base, std::u16string_view sub) {
  if (base.empty()) return std::u16string(sub);
  if (sub.empty()) return std::u16string(base);
  std::u16string joined(base);
  joined += u'\\';
  joined += sub;
  return joined;
}

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
  parts.clear();
  if (path.empty()) return ERROR_SUCCESS;
  if (path.back() == u'\\') path.remove_suffix(1);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    const std::u16string_view part = path.substr(start, end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxKeyNameLength || HasLineBreak(part)) return ERROR_INVALID_PARAMETER;
    parts.emplace_back(part);
    if (parts.size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
    if (end == path.size()) break;
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

LSTATUS CheckValueName(std::u16string_view name) {
  if (name.size() > kMaxValueNameLength || HasLineBreak(name)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
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

std::u16string TextOf(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
    if (c == 0) break;
    text += c;
  }
  return text;
}

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

std::vector<uint8_t> StringBytes(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(2 * text.size() + 2);
  for (char16_t c : text) {
    bytes.push_back(uint8_t(c & 0xFF));
    bytes.push_back(uint8_t(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

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

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A lone surrogate, which only a name can hold here (string data with one is
// exported as hex), is written as its own three-byte sequence and read back
// the same way, so even such a name survives the round trip.
std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

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
    if (IsHighSurrogate(c)) {
      if (i + 2 >= count || !IsLowSurrogate(at(i + 1))) return false;
      ++i;
    } else if (IsLowSurrogate(c)) {
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

std::string TypeTag(DWORD type) {
  std::string digits;
  do {
    digits.insert(digits.begin(), kHexDigits[type & 0xF]);
    type >>= 4;
  } while (type != 0);
  return "hex(" + digits + "):";
}

void ExportValue(std::string& out, const NamedValue& named) {
  const std::size_t lineStart = out.size();
  out += named.name.empty() ? std::string("@") : Quote(named.name);
  out += '=';
  const Value& value = named.value;
  if (value.type == REG_SZ && IsCleanString(value.bytes)) {
    out += Quote(TextOf(value.bytes));
  } else if (value.type == REG_DWORD && value.bytes.size() == 4) {
    const uint32_t number = uint32_t(value.bytes[0]) | (uint32_t(value.bytes[1]) << 8) |
                            (uint32_t(value.bytes[2]) << 16) | (uint32_t(value.bytes[3]) << 24);
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", unsigned(number));
    out += text;
  } else {
    out += value.type == REG_BINARY ? std::string("hex:") : TypeTag(value.type);
    AppendHexList(out, lineStart, value.bytes);
  }
  out += "\r\n";
}

void ExportKey(std::string& out, const Key* key, const std::u16string& path) {
  if (key->parent == nullptr) {
    if (!key->values.empty()) out += "[HKEY_CURRENT_USER]\r\n";
  } else {
    out += "[HKEY_CURRENT_USER\\" + ToUtf8(path) + "]\r\n";
  }
  for (const NamedValue& value : key->values) ExportValue(out, value);
  if (key->parent != nullptr || !key->values.empty()) out += "\r\n";
  for (const auto& [folded, child] : key->children) {
    ExportKey(out, child.get(), JoinPath(path, child->name));
  }
}

// ---- Import.

struct ImportError {
  std::size_t line;
  std::string problem;
};

// Decodes the whole text to UTF-16 before parsing, so the parser deals with
// one encoding. Only a failure pays for counting the lines up to it.
bool Decode(const std::string& text, std::u16string& out, ImportError& error) {
  auto lineAt = [&](std::size_t offset) {
    return std::size_t(1) + std::size_t(std::count(text.begin(), text.begin() + offset, '\n'));
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    error = {1, "UTF-16 big-endian text is not supported; save it as UTF-16LE or UTF-8"};
    return false;
  }
  if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    if (size % 2 != 0) {
      error = {1, "UTF-16LE text with an odd number of bytes"};
      return false;
    }
    out.reserve(size / 2);
    std::size_t line = 1;
    for (std::size_t i = 2; i < size; i += 2) {
      const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
      if (c == 0) {
        error = {line, "NUL character in the text"};
        return false;
      }
      if (c == u'\n') ++line;
      out += c;
    }
    return true;
  }
  std::size_t i = (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) ? 3 : 0;
  out.reserve(size);
  while (i < size) {
    const unsigned char lead = bytes[i];
    char32_t c = 0;
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      c = lead, length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      c = lead & 0x1F, length = 2, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      c = lead & 0x0F, length = 3, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      c = lead & 0x07, length = 4, minimum = 0x10000;
    } else {
      error = {lineAt(i), "invalid UTF-8 byte sequence"};
      return false;
    }
    if (size - i < length) {
      error = {lineAt(i), "truncated UTF-8 byte sequence"};
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) {
        error = {lineAt(i), "invalid UTF-8 byte sequence"};
        return false;
      }
      c = (c << 6) | (bytes[i + k] & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF) {
      error = {lineAt(i), "invalid UTF-8 byte sequence"};
      return false;
    }
    if (c == 0) {
      error = {lineAt(i), "NUL character in the text"};
      return false;
    }
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += char16_t(c);
    }
    i += length;
  }
  return true;
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimLeft(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::u16string_view TrimRight(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
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

struct ImportOp {
  enum class Kind { EnsureKey, RemoveKey, SetValue, RemoveValue };
  Kind kind;
  std::vector<std::u16string> path;
  std::u16string name;
  Value value;
};

class Parser {
 public:
  explicit Parser(std::u16string text) : text_(std::move(text)) {}

  bool Run(std::vector<ImportOp>& ops, ImportError& error) {
    ops_ = &ops;
    std::u16string logical;
    bool sawHeader = false;
    while (NextLine(logical)) {
      std::u16string_view line = TrimLeft(logical);
      if (!sawHeader) {
        if (TrimRight(line).empty()) continue;
        if (!CheckHeader(line)) break;
        sawHeader = true;
        continue;
      }
      if (TrimRight(line).empty() || line.front() == u';') continue;
      if (line.front() == u'[') {
        Section(line);
      } else if (line.front() == u'"' || line.front() == u'@') {
        ValueLine(line);
      } else {
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
  // line, as regedit wraps long hex data.
  bool NextLine(std::u16string& logical) {
    if (failed_ || position_ >= text_.size()) return false;
    logical.clear();
    lineNumber_ = nextLineNumber_;
    bool continued = false;
    while (true) {
      if (position_ >= text_.size()) {
        Fail("the value continues with \"\\\" past the end of the text");
        return false;
      }
      std::size_t end = text_.find(u'\n', position_);
      if (end == std::u16string::npos) end = text_.size();
      std::u16string_view physical(text_.data() + position_, end - position_);
      position_ = end + 1;
      ++nextLineNumber_;
      if (!physical.empty() && physical.back() == u'\r') physical.remove_suffix(1);
      if (continued) physical = TrimLeft(physical);
      if (logical.size() + physical.size() > kMaxLogicalLine) {
        Fail("line longer than " + std::to_string(kMaxLogicalLine) + " characters");
        return false;
      }
      logical += physical;
      const std::u16string_view trimmed = TrimRight(TrimLeft(logical));
      const bool isValue = !trimmed.empty() && (trimmed.front() == u'"' || trimmed.front() == u'@');
      if (!isValue || trimmed.back() != u'\\') return true;
      logical.resize(TrimRight(logical).size() - 1);
      continued = true;
    }
  }

  bool CheckHeader(std::u16string_view line) {
    line = TrimRight(line);
    if (line == u"Windows Registry Editor Version 5.00") return true;
    if (line == u"REGEDIT4") {
      Fail("REGEDIT4 files are not supported; export as \"Windows Registry Editor Version 5.00\"");
    } else {
      Fail(std::string("expected the header \"") + kHeader + "\"");
    }
    return false;
  }

  void Section(std::u16string_view line) {
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
          return Fail("only HKEY_CURRENT_USER is supported, not " + ToUtf8(other));
        }
      }
      return Fail("a section must name a key under HKEY_CURRENT_USER");
    }
    name.remove_prefix(kRootName.size());
    if (!name.empty()) name.remove_prefix(1);
    std::vector<std::u16string> parts;
    switch (SplitPath(name, parts)) {
      case ERROR_SUCCESS:
        break;
      case ERROR_BAD_PATHNAME:
        return Fail("empty key name in the section's path (doubled or leading \"\\\")");
      default:
        return Fail(
            "key name longer than 255 characters or containing a line break, or path deeper "
            "than 512 keys");
    }
    if (remove) {
      if (parts.empty()) return Fail("HKEY_CURRENT_USER itself cannot be removed");
      ops_->push_back(ImportOp{ImportOp::Kind::RemoveKey, parts, {}, {}});
      section_.reset();
      return;
    }
    ops_->push_back(ImportOp{ImportOp::Kind::EnsureKey, parts, {}, {}});
    section_ = std::move(parts);
  }

  // Reads a quoted text starting at rest[0] == '"'; only \\ and \" are escapes.
  bool QuotedText(std::u16string_view& rest, std::u16string& out, const char* what) {
    out.clear();
    std::size_t i = 1;
    while (true) {
      if (i >= rest.size()) {
        Fail(std::string("unterminated quoted ") + what + " (missing closing '\"')");
        return false;
      }
      const char16_t c = rest[i];
      if (c == u'"') break;
      if (c == u'\\') {
        if (i + 1 >= rest.size() || (rest[i + 1] != u'\\' && rest[i + 1] != u'"')) {
          Fail(std::string("bad escape in the quoted ") + what +
               ": only \\\\ and \\\" are allowed");
          return false;
        }
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

  void ValueLine(std::u16string_view line) {
    if (!section_) return Fail("value outside a [key] section");
    std::u16string name;
    if (line.front() == u'@') {
      line.remove_prefix(1);
    } else if (!QuotedText(line, name, "value name")) {
      return;
    }
    if (CheckValueName(name) != ERROR_SUCCESS) {
      return Fail("value name longer than 16383 characters or containing a line break");
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != u'=') return Fail("expected '=' after the value name");
    line = TrimRight(TrimLeft(line.substr(1)));
    ImportOp op{ImportOp::Kind::SetValue, *section_, name, {}};
    if (line == u"-") {
      op.kind = ImportOp::Kind::RemoveValue;
    } else if (!line.empty() && line.front() == u'"') {
      std::u16string text;
      if (!QuotedText(line, text, "string")) return;
      if (!TrimLeft(line).empty()) return Fail("text after the closing '\"' of the string");
      op.value = Value{REG_SZ, StringBytes(text)};
    } else if (StartsWithFolded(line, u"dword:")) {
      if (!Dword(line.substr(6), op.value)) return;
    } else if (StartsWithFolded(line, u"hex")) {
      if (!Hex(line.substr(3), op.value)) return;
    } else {
      return Fail("expected \"text\", dword:, hex:, hex(N): or - after '='");
    }
    ops_->push_back(std::move(op));
  }

  bool Dword(std::u16string_view digits, Value& value) {
    if (digits.empty() || digits.size() > 8) {
      Fail("dword: needs one to eight hex digits");
      return false;
    }
    uint32_t number = 0;
    for (char16_t c : digits) {
      const int digit = HexValue(c);
      if (digit < 0) {
        Fail("dword: needs one to eight hex digits");
        return false;
      }
      number = (number << 4) | uint32_t(digit);
    }
    value = Value{
        REG_DWORD,
        {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)}};
    return true;
  }

  // After "hex": either ":" (REG_BINARY) or "(N):" with N in hex.
  bool Hex(std::u16string_view rest, Value& value) {
    DWORD type = REG_BINARY;
    if (!rest.empty() && rest.front() == u'(') {
      const std::size_t close = rest.find(u')');
      const std::size_t count = close == std::u16string_view::npos ? 0 : close - 1;
      if (count == 0 || count > 8) {
        Fail("hex(N): needs a type of one to eight hex digits");
        return false;
      }
      type = 0;
      for (char16_t c : rest.substr(1, count)) {
        const int digit = HexValue(c);
        if (digit < 0) {
          Fail("hex(N): needs a type of one to eight hex digits");
          return false;
        }
        type = (type << 4) | DWORD(digit);
      }
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != u':') {
      Fail("expected ':' after hex or hex(N)");
      return false;
    }
    rest = TrimLeft(rest.substr(1));
    value = Value{type, {}};
    if (rest.empty()) return true;
    while (true) {
      rest = TrimLeft(rest);
      std::size_t length = 0;
      while (length < rest.size() && HexValue(rest[length]) >= 0) ++length;
      if (length == 0 || length > 2) {
        Fail("bad hex data: expected a list of two-digit hex bytes separated by ','");
        return false;
      }
      int byte = 0;
      for (std::size_t k = 0; k < length; ++k) byte = byte * 16 + HexValue(rest[k]);
      value.bytes.push_back(uint8_t(byte));
      rest = TrimLeft(rest.substr(length));
      if (rest.empty()) return true;
      if (rest.front() != u',') {
        Fail("bad hex data: expected a list of two-digit hex bytes separated by ','");
        return false;
      }
      rest.remove_prefix(1);
    }
  }

  void Fail(std::string problem) {
    if (failed_) return;
    failed_ = true;
    error_ = ImportError{lineNumber_, std::move(problem)};
  }

  std::u16string text_;
  std::size_t position_ = 0;
  std::size_t lineNumber_ = 1;
  std::size_t nextLineNumber_ = 1;
  std::vector<ImportOp>* ops_ = nullptr;
  std::optional<std::vector<std::u16string>> section_;
  bool failed_ = false;
  ImportError error_{0, {}};
};

void Apply(State& state, std::vector<ImportOp>& ops) {
  for (ImportOp& op : ops) {
    bool created = false;
    switch (op.kind) {
      case ImportOp::Kind::EnsureKey:
        WalkCreating(state.root.get(), op.path, created);
        break;
      case ImportOp::Kind::RemoveKey:
        if (Key* key = Walk(state.root.get(), op.path)) DetachKey(key);
        break;
      case ImportOp::Kind::SetValue:
        StoreValue(WalkCreating(state.root.get(), op.path, created), op.name, std::move(op.value));
        break;
      case ImportOp::Kind::RemoveValue:
        if (Key* key = Walk(state.root.get(), op.path)) EraseValue(key, op.name);
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
  std::string out = std::string(kHeader) + "\r\n\r\n";
  ExportKey(out, state.root.get(), u"");
  return out;
}

bool ImportRegText(const std::string& text, std::string& error, std::string_view sourceName) {
  auto report = [&](const ImportError& problem) {
    error = std::string(sourceName) + ":" + std::to_string(problem.line) + ": " + problem.problem;
    return false;
  };
  if (text.size() > kMaxImportBytes) {
    return report({1, "the text is larger than " + std::to_string(kMaxImportBytes) + " bytes"});
  }
  std::u16string decoded;
  ImportError problem{0, {}};
  if (!Decode(text, decoded, problem)) return report(problem);
  std::vector<ImportOp> ops;
  Parser parser(std::move(decoded));
  if (!parser.Run(ops, problem)) return report(problem);
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  Apply(state, ops);
  error.clear();
  return true;
}

bool SaveToFile(const std::string& path) {
  std::string error;
  return SaveToFile(path, error);
}

bool SaveToFile(const std::string& path, std::string& error) {
  const std::string text = ExportRegText();
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = temporary + ": cannot be written: " + std::strerror(errno);
      return false;
    }
    out.write(text.data(), std::streamsize(text.size()));
    out.flush();
    if (!out) {
      error = temporary + ": cannot be written: " + std::strerror(errno);
      return false;
    }
  }
  std::error_code code;
  std::filesystem::rename(temporary, path, code);
  if (code) {
    error = path + ": cannot be replaced: " + code.message();
    std::filesystem::remove(temporary, code);
    return false;
  }
  error.clear();
  return true;
}

bool LoadFromFile(const std::string& path, std::string& error) {
  std::error_code code;
  const auto size = std::filesystem::file_size(path, code);
  if (code) {
    error = path + ": cannot be read: " + code.message();
    return false;
  }
  if (size > kMaxImportBytes) {
    error = path + ":1: the text is larger than " + std::to_string(kMaxImportBytes) + " bytes";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read: " + std::strerror(errno);
    return false;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = path + ": cannot be read";
    return false;
  }
  return ImportRegText(text, error, path);
}

}  // namespace regstandin
