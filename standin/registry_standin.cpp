// The registry is one regtext::Tree, the same model the .reg text is read
// into and written from. This file adds what a tree lacks to be a registry:
// handles, access masks, and the calls a layer wraps.
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

bool IsRefused(const State& state, const Path& path, Operation operation) {
  return state.layer != nullptr && state.layer->Refuses(path, operation);
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
    out = Resolved{&state.keys.tree.root(), {}, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  if (handle == nullptr || IsPredefined(handle)) return ERROR_INVALID_HANDLE;
  // Looked up, never dereferenced first: a bogus or closed handle is just a
  // number that is not in the table.
  auto it = state.live.find(handle);
  if (it == state.live.end()) return ERROR_INVALID_HANDLE;
  const HKEY__& found = *it->second;
  if (state.keys.tree.Find(found.path) != found.key) return ERROR_KEY_DELETED;
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
    Call call;
    call.function = function;
    call.writes = writes;
    const std::function<LSTATUS()> run = [&] { return body(state, call); };
    return state.layer != nullptr ? state.layer->Around(call, state.keys, run) : run();
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

template <typename Body>
LSTATUS Run(const char* function, bool writes, Body&& body) {
  Layer* layer = nullptr;
  {
    State& state = Registry();
    std::lock_guard<std::mutex> lock(state.mutex);
    layer = state.layer;
  }
  if (layer != nullptr) layer->Enter(function);
  return Guarded(function, writes, std::forward<Body>(body));
}

// The checks every open and create makes of the subkey below `base`; `parts`
// become the subkey's names.
LSTATUS CheckSubkey(const State& state, const Resolved& base, std::u16string_view sub,
                    Operation operation, Call& call, Path& parts) {
  call.path = regtext::JoinPath(Join(base.path), sub);
  if (LSTATUS status = StatusOf(regtext::SplitPath(sub, parts)); status != ERROR_SUCCESS) {
    return status;
  }
  if (base.path.size() + parts.size() > regtext::kMaxDepth) return ERROR_INVALID_PARAMETER;
  Path full = base.path;
  full.insert(full.end(), parts.begin(), parts.end());
  call.path = Join(full);
  return IsRefused(state, full, operation) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LSTATUS OpenKey(State& state, Call& call, HKEY key, LPCWSTR subKey, REGSAM access, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Resolved base;
  Path parts;
  if (LSTATUS status = Resolve(state, key, base); status != ERROR_SUCCESS) return status;
  if (LSTATUS status = CheckSubkey(state, base, ViewOf(subKey), Operation::Open, call, parts);
      status != ERROR_SUCCESS) {
    return status;
  }
  Key* target = Walk(base.key, base.path, parts, false);
  if (target == nullptr) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(state, target, std::move(base.path), access);
  return ERROR_SUCCESS;
}

// The handle of a value call; the call names its key as stored.
LSTATUS ResolveForValue(State& state, HKEY key, Call& call, Resolved& handle) {
  if (LSTATUS status = Resolve(state, key, handle); status != ERROR_SUCCESS) return status;
  call.path = Join(handle.path);
  return ERROR_SUCCESS;
}

bool Allows(const State& state, const Resolved& handle, REGSAM needed, Operation operation) {
  return (handle.access & needed) != 0 && !IsRefused(state, handle.path, operation);
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
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.keys = Keys();
  state.live.clear();
  state.retired.clear();
  state.layer = nullptr;
}

void WithKeys(const std::function<void(Keys& keys)>& use) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  use(state.keys);
}

void SetLayer(Layer* layer) {
  State& state = Registry();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.layer = layer;
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

}  // namespace regstandin

// ---------------------------------------------------------------------------
// The Win32 side.

using regstandin::Call;
using regstandin::Operation;
using regstandin::Resolved;
using regstandin::State;

extern "C" {

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
  return regstandin::Run("RegOpenKeyExW", false, [&](State& state, Call& call) -> LSTATUS {
    call.access = access;
    call.options = options;
    if ((options & ~regstandin::REG_OPTION_OPEN_LINK) != 0) {
      if (result != nullptr) *result = nullptr;
      return regstandin::ERROR_INVALID_PARAMETER;
    }
    return regstandin::OpenKey(state, call, key, subKey, access, result);
  });
}

LSTATUS RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  return regstandin::Run("RegOpenKeyW", false, [&](State& state, Call& call) -> LSTATUS {
    if (subKey != nullptr && *subKey != 0) {
      return regstandin::OpenKey(state, call, key, subKey, KEY_ALL_ACCESS, result);
    }
    // Nothing is opened: the caller gets back the handle it passed in.
    if (result == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
    Resolved base;
    if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
      *result = nullptr;
      return status;
    }
    call.path = regtext::Join(base.path);
    *result = key;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR /*keyClass*/,
                        DWORD options, REGSAM access, const LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, DWORD* disposition) {
  return regstandin::Run("RegCreateKeyExW", true, [&](State& state, Call& call) -> LSTATUS {
    call.access = access;
    call.options = options;
    if (result == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (reserved != 0) return regstandin::ERROR_INVALID_PARAMETER;
    Resolved base;
    if (LSTATUS status = regstandin::Resolve(state, key, base); status != ERROR_SUCCESS) {
      return status;
    }
    if (subKey == nullptr) return regstandin::ERROR_INVALID_PARAMETER;
    std::vector<std::u16string> parts;
    if (LSTATUS status =
            regstandin::CheckSubkey(state, base, subKey, Operation::Create, call, parts);
        status != ERROR_SUCCESS) {
      return status;
    }
    bool created = false;
    auto* target = regstandin::Walk(base.key, base.path, parts, true, &created);
    call.changed = created;
    *result = regstandin::NewHandle(state, target, std::move(base.path), access);
    if (disposition != nullptr) {
      *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataSize) {
  return regstandin::Run("RegQueryValueExW", false, [&](State& state, Call& call) -> LSTATUS {
    call.valueName = regstandin::ViewOf(valueName);
    Resolved handle;
    if (LSTATUS status = regstandin::ResolveForValue(state, key, call, handle);
        status != ERROR_SUCCESS) {
      return status;
    }
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
      return regstandin::ERROR_INVALID_PARAMETER;
    }
    if (!regstandin::Allows(state, handle, regstandin::KEY_QUERY_VALUE, Operation::Query)) {
      return ERROR_ACCESS_DENIED;
    }
    const regtext::NamedValue* value = handle.key->values.Find(call.valueName);
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
    if (value->value.type == REG_SZ) call.text = regtext::TextOf(bytes);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataSize) {
  return regstandin::Run("RegSetValueExW", true, [&](State& state, Call& call) -> LSTATUS {
    call.valueName = regstandin::ViewOf(valueName);
    Resolved handle;
    if (LSTATUS status = regstandin::ResolveForValue(state, key, call, handle);
        status != ERROR_SUCCESS) {
      return status;
    }
    if (data == nullptr && dataSize != 0) return regstandin::ERROR_NOACCESS;
    if (reserved != 0) return regstandin::ERROR_INVALID_PARAMETER;
    std::vector<uint8_t> bytes;
    if (dataSize != 0) bytes.assign(data, data + dataSize);
    if (type == REG_SZ) call.text = regtext::TextOf(bytes);
    if (!regstandin::Allows(state, handle, regstandin::KEY_SET_VALUE, Operation::Set)) {
      return ERROR_ACCESS_DENIED;
    }
    if (!regtext::IsValidValueName(call.valueName)) return regstandin::ERROR_INVALID_PARAMETER;
    handle.key->values.Store(call.valueName, regtext::Value{type, std::move(bytes)});
    call.changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return regstandin::Run("RegDeleteValueW", true, [&](State& state, Call& call) -> LSTATUS {
    call.valueName = regstandin::ViewOf(valueName);
    Resolved handle;
    if (LSTATUS status = regstandin::ResolveForValue(state, key, call, handle);
        status != ERROR_SUCCESS) {
      return status;
    }
    if (!regstandin::Allows(state, handle, regstandin::KEY_SET_VALUE, Operation::Delete)) {
      return ERROR_ACCESS_DENIED;
    }
    if (!handle.key->values.Erase(call.valueName)) return ERROR_FILE_NOT_FOUND;
    call.changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY key) {
  // Never through the layer's Enter: callers close keys in destructors.
  return regstandin::Guarded("RegCloseKey", false, [&](State& state, Call& call) -> LSTATUS {
    // Windows lets a program close a predefined key; it is reopened on next
    // use, so for the stand-in closing it changes nothing.
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    auto it = state.live.find(key);
    if (it == state.live.end()) return ERROR_INVALID_HANDLE;
    call.path = regtext::Join(it->second->path);
    state.retired.push_back(std::move(it->second));
    state.live.erase(it);
    return ERROR_SUCCESS;
  });
}

}  // extern "C"
