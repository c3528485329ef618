#include "module_allocations.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "wine_support.h"

namespace wine {
namespace {

using MallocFn = void* (*)(size_t);

MallocFn realMalloc = nullptr;
std::atomic<long> calls{0};
std::atomic<long> failAt{0};  // 0: none
std::atomic<bool> failed{false};

void* CountingMalloc(size_t size) {
  const long call = calls.fetch_add(1) + 1;
  long target = call;
  if (failAt.load() == call && failAt.compare_exchange_strong(target, 0)) {
    failed = true;
    return nullptr;
  }
  return realMalloc(size);
}

template <typename T>
T* At(HMODULE module, DWORD offset) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + offset);
}

// The slot of the import address table through which `module` calls
// `function` of `dll`; null when it imports no such function by name.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
  const auto* dos = At<IMAGE_DOS_HEADER>(module, 0);
  const auto* nt = At<IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); entry->Name != 0;
       ++entry) {
    if (_stricmp(At<char>(module, entry->Name), dll) != 0) continue;
    auto* names = At<IMAGE_THUNK_DATA>(module, entry->OriginalFirstThunk);
    auto* slots = At<IMAGE_THUNK_DATA>(module, entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          At<IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(names->u1.AddressOfData));
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

// Once for the run: the module stays loaded, and the counting malloc passes
// every call on while no failure is asked for.
bool InstallCountingMalloc() {
  static const bool installed = [] {
    const HMODULE module = Module();
    if (module == nullptr) return false;
    void** slot = ImportSlot(module, "msvcrt.dll", "malloc");
    if (slot == nullptr) return false;
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection)) return false;
    realMalloc = reinterpret_cast<MallocFn>(*slot);
    *slot = reinterpret_cast<void*>(&CountingMalloc);
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return true;
  }();
  return installed;
}

}  // namespace

void FailModuleMalloc(long n) {
  ASSERT_TRUE(InstallCountingMalloc()) << "Sorvane.dll imports no malloc from msvcrt.dll";
  failed = false;
  failAt = n > 0 ? calls.load() + n : 0;
}

bool ModuleMallocFailed() { return failed.load(); }

}  // namespace wine
