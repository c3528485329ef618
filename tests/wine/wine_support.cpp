#include "wine_support.h"

#include "support/utf.h"

namespace wine {

std::wstring ModulePath() {
  wchar_t fromEnvironment[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"SORVANE_DLL", fromEnvironment, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return fromEnvironment;

  wchar_t self[MAX_PATH];
  const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, selfLength);
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + L"Sorvane.dll";
}

HMODULE Module() {
  static const HMODULE module = LoadLibraryW(ModulePath().c_str());
  return module;
}

sim::StartupFn Startup() {
  if (Module() == nullptr) return nullptr;
  // GetProcAddress hands out every export under one generic pointer type;
  // the detour through void* says the real type is known.
  return reinterpret_cast<sim::StartupFn>(
      reinterpret_cast<void*>(GetProcAddress(Module(), "Startup")));
}

std::string Utf8(const std::wstring& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return utf::ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace wine
