// What a regtext::Tree lacks to be a registry: handles, access masks, and the
// calls a layer wraps.
#include "standin/registry_standin.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>

#include "standin/platform_call.h"

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

using regtext::Join;

constexpr REGSAM kGenericRead = 0x80000000u;
constexpr REGSAM kGenericWrite = 0x40000000u;
constexpr REGSAM kGenericExecute = 0x20000000u;
constexpr REGSAM kGenericAll = 0x10000000u;
constexpr REGSAM kMaximumAllowed = 0x02000000u;

struct State {
  std::mutex mutex;
  Keys keys;
  std::unordered_map<HKEY, std::unique_ptr<HKEY__>> live;
  // Closed handles, kept so that a stale handle never aliases a newer one.
  std::vector<std::unique_ptr<HKEY__>> retired;
  uint64_t nextSerial = 1;
  Layer* layer = nullptr;
};

// Never destroyed: the simulated host may still touch the registry from its
// own static destructors.
State& Registry() {
  static State* const state = new State;
  return *state;
}

// What `use` gives, run on the registry under its lock.
template <typename Use>
auto Locked(Use&& use) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  return use(state);
}

bool IsRefused(const State& state, const Path& path, Operation operation) {
  return state.layer != nullptr && state.layer->Refuses(path, operation);
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

// What a handle stands for; HKEY_CURRENT_USER has no handle of its own.
using Resolved = HKEY__;

LSTATUS Resolve(State& state, HKEY handle, Resolved& out) {
  if (handle == HKEY_CURRENT_USER) {
    out = Resolved{&state.keys.tree.root(), {}, KEY_ALL_ACCESS, 0};
    return ERROR_SUCCESS;
  }
  if (handle == nullptr || IsPredefined(handle)) return ERROR_INVALID_HANDLE;
  // Looked up, never dereferenced first: a bogus or closed handle is just a
  // number that is not in the table.
  auto it = state.live.find(handle);
  if (it == state.live.end()) return ERROR_INVALID_HANDLE;
  const HKEY__& found = *it->second;
  if (state.keys.tree.Find(found.path) != found.key) return ERROR_KEY_DELETED;
  out = found;
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

// Runs one Win32 call under the lock, through the layer. No exception may
// cross into the caller but what the layer's Enter throws: running out of
// memory is the only one expected, and Windows reports that as a status too;
// anything else is a bug in the stand-in and ends the process loudly through
// noexcept.
template <typename Body>
LSTATUS Guarded(const char* function, bool writes, Body&& body) noexcept {
  const standin::PlatformCall platform;
  try {
    State& state = Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    Call call{.function = function, .path = {}, .valueName = {}, .text = {}, .writes = writes};
    const std::function<LSTATUS()> run = [&] { return body(state, call); };
    return state.layer != nullptr ? state.layer->Around(call, state.keys, run) : run();
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

template <typename Body>
LSTATUS Run(const char* function, bool writes, Body&& body) {
  Layer* layer = Locked([](State& state) { return state.layer; });
  if (layer != nullptr) layer->Enter(function);
  return Guarded(function, writes, std::forward<Body>(body));
}

// Opens, or creates, the subkey below `key`. `badArgument` is an argument
// of the call's own that makes it ERROR_INVALID_PARAMETER.
LSTATUS OpenKey(State& state, Call& call, HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result,
                bool badArgument, bool create = false, DWORD* disposition = nullptr) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (badArgument) return ERROR_INVALID_PARAMETER;
  Resolved base;
  if (LSTATUS status = Resolve(state, key, base); status != ERROR_SUCCESS) return status;
  if (create && subKey == nullptr) return ERROR_INVALID_PARAMETER;
  // The call names the subkey as the caller spelled it until its names are
  // known, then as the full path.
  const std::u16string_view sub = ViewOf(subKey);
  call.path = regtext::JoinPath(Join(base.path), sub);
  Path parts;
  const regtext::PathProblem problem = regtext::SplitPath(sub, parts);
  if (problem == regtext::PathProblem::kEmptyName) return ERROR_BAD_PATHNAME;
  if (problem != regtext::PathProblem::kNone) return ERROR_INVALID_PARAMETER;
  if (base.path.size() + parts.size() > regtext::kMaxDepth) return ERROR_INVALID_PARAMETER;
  Path full = base.path;
  full.insert(full.end(), parts.begin(), parts.end());
  call.path = Join(full);
  if (IsRefused(state, full, create ? Operation::Create : Operation::Open)) {
    return ERROR_ACCESS_DENIED;
  }
  // Walked down, creating what is missing when asked to; the handle's path
  // is the names as stored.
  bool created = false;
  Key* target = base.key;
  for (const std::u16string& part : parts) {
    target = create ? &target->ChildCreating(part, &created) : target->Child(part);
    if (target == nullptr) return ERROR_FILE_NOT_FOUND;
    base.path.push_back(target->name);
  }
  call.changed = created;
  *result = NewHandle(state, target, std::move(base.path), access);
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

// A call on a value of a handle's key: the registry, the call as the layer
// sees it, which names the key as stored, and what the handle stands for.
struct ValueCall {
  State& state;
  Call& call;
  Resolved handle;

  bool Allows(REGSAM needed, Operation operation) const {
    return (handle.access & needed) != 0 && !IsRefused(state, handle.path, operation);
  }
};

template <typename Body>
LSTATUS RunOnValue(const char* function, bool writes, HKEY key, LPCWSTR valueName, Body&& body) {
  return Run(function, writes, [&](State& state, Call& call) -> LSTATUS {
    call.valueName = ViewOf(valueName);
    ValueCall value{state, call, {}};
    if (LSTATUS status = Resolve(state, key, value.handle); status != ERROR_SUCCESS) return status;
    call.path = Join(value.handle.path);
    return body(value);
  });
}

}  // namespace

bool Keys::Remove(const std::vector<std::u16string>& path) {
  std::unique_ptr<regtext::Tree::Key> key = tree.Detach(path);
  if (key == nullptr) return false;
  removed.push_back(std::move(key));
  return true;
}

bool Call::operator==(const Call& other) const {
  return function == other.function && path == other.path && valueName == other.valueName &&
         text == other.text && status == other.status;
}

void Reset() {
  Locked([](State& state) {
    state.keys = Keys();
    state.live.clear();
    state.retired.clear();
    state.layer = nullptr;
  });
}

void WithKeys(const std::function<void(Keys& keys)>& use) {
  Locked([&](State& state) { use(state.keys); });
}

void SetLayer(Layer* layer) {
  Locked([&](State& state) { state.layer = layer; });
}

std::size_t OpenHandleCount() {
  return Locked([](State& state) { return state.live.size(); });
}

std::vector<std::u16string> OpenHandlePaths() {
  return Locked([](State& state) {
    std::vector<const HKEY__*> handles;
    for (const auto& [raw, handle] : state.live) handles.push_back(handle.get());
    std::ranges::sort(handles, {}, &HKEY__::serial);
    std::vector<std::u16string> paths;
    paths.reserve(handles.size());
    for (const HKEY__* handle : handles) paths.push_back(Join(handle->path));
    return paths;
  });
}

}  // namespace regstandin

// ---------------------------------------------------------------------------
// The Win32 side.

using namespace regstandin;

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return Run("RegOpenKeyExW", false, [&](State& state, Call& call) -> LSTATUS {
    call.access = access;
    call.options = options;
    return OpenKey(state, call, key, subKey, access, result,
                   (options & ~REG_OPTION_OPEN_LINK) != 0);
  });
}

LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  return Run("RegOpenKeyW", false, [&](State& state, Call& call) -> LSTATUS {
    if (subKey != nullptr && *subKey != 0) {
      return OpenKey(state, call, key, subKey, KEY_ALL_ACCESS, result, false);
    }
    // Nothing is opened: the caller gets back the handle it passed in.
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    Resolved base;
    if (LSTATUS status = Resolve(state, key, base); status != ERROR_SUCCESS) {
      *result = nullptr;
      return status;
    }
    call.path = Join(base.path);
    *result = key;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR /*keyClass*/,
                        DWORD options, REGSAM access, const LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, DWORD* disposition) {
  return Run("RegCreateKeyExW", true, [&](State& state, Call& call) -> LSTATUS {
    call.access = access;
    call.options = options;
    return OpenKey(state, call, key, subKey, access, result, reserved != 0, true, disposition);
  });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
  return RunOnValue("RegQueryValueExW", false, key, valueName, [&](ValueCall& op) -> LSTATUS {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    if (!op.Allows(KEY_QUERY_VALUE, Operation::Query)) return ERROR_ACCESS_DENIED;
    const regtext::NamedValue* value = op.handle.key->values.Find(op.call.valueName);
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
    if (value->value.type == REG_SZ) op.call.text = regtext::TextOf(bytes);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize) {
  return RunOnValue("RegSetValueExW", true, key, valueName, [&](ValueCall& op) -> LSTATUS {
    if (data == nullptr && dataSize != 0) return ERROR_NOACCESS;
    if (reserved != 0) return ERROR_INVALID_PARAMETER;
    std::vector<uint8_t> bytes;
    if (dataSize != 0) bytes.assign(data, data + dataSize);
    if (type == REG_SZ) op.call.text = regtext::TextOf(bytes);
    if (!op.Allows(KEY_SET_VALUE, Operation::Set)) return ERROR_ACCESS_DENIED;
    if (!regtext::IsValidValueName(op.call.valueName)) return ERROR_INVALID_PARAMETER;
    op.handle.key->values.Store(op.call.valueName, regtext::Value{type, std::move(bytes)});
    op.call.changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return RunOnValue("RegDeleteValueW", true, key, valueName, [&](ValueCall& op) -> LSTATUS {
    if (!op.Allows(KEY_SET_VALUE, Operation::Delete)) return ERROR_ACCESS_DENIED;
    if (!op.handle.key->values.Erase(op.call.valueName)) return ERROR_FILE_NOT_FOUND;
    op.call.changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY key) {
  // Never through the layer's Enter: callers close keys in destructors.
  return Guarded("RegCloseKey", false, [&](State& state, Call& call) -> LSTATUS {
    // Windows lets a program close a predefined key; it is reopened on next
    // use, so for the stand-in closing it changes nothing.
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    auto it = state.live.find(key);
    if (it == state.live.end()) return ERROR_INVALID_HANDLE;
    call.path = Join(it->second->path);
    state.retired.push_back(std::move(it->second));
    state.live.erase(it);
    return ERROR_SUCCESS;
  });
}

}  // extern "C"
