#include "wine_support.h"

#include <algorithm>

#include "support/utf.h"

namespace wine {

const std::vector<const wchar_t*> kSettingNames = {
    L"mIsColor",     L"mIsLType",   L"mIsLayer",          L"mIsDecimalPlace",
    L"mIsTolerance", L"mIsDimSize", L"IsHoleLayerChanged"};

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

void DeleteSettingsKey() {
  // With a subkey named, the subkey itself goes too, not only its contents.
  RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
}

void Store(const wchar_t* name, const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  const LSTATUS status =
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS);
}

std::optional<StoredValue> StoredRaw(const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  StoredValue value;
  value.bytes.resize(4096);
  DWORD size = static_cast<DWORD>(value.bytes.size());
  const LSTATUS status =
      RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  value.bytes.resize(size);
  return value;
}

std::wstring Stored(const wchar_t* name) {
  const auto value = StoredRaw(name);
  if (!value) return L"<missing>";
  std::wstring text(value->bytes.size() / sizeof(wchar_t), L'\0');
  std::copy(value->bytes.begin(), value->bytes.begin() + text.size() * sizeof(wchar_t),
            reinterpret_cast<uint8_t*>(text.data()));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::vector<std::wstring> StoredSettings() {
  std::vector<std::wstring> texts;
  for (const wchar_t* name : kSettingNames) texts.push_back(Stored(name));
  return texts;
}

std::vector<std::wstring> StoredNames() {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  std::sort(names.begin(), names.end());
  return names;
}

// On Windows wchar_t and char16_t are both UTF-16 code units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::u16string U16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::string Utf8(const std::wstring& text) { return utf::ToUtf8(U16(text)); }

void ModuleTest::SetUp() {
  ASSERT_NE(Module(), nullptr) << "cannot load " << Utf8(ModulePath()) << ", error "
                               << GetLastError();
  ASSERT_NE(Startup(), nullptr);
  DeleteSettingsKey();
  host().Reset();
  ASSERT_EQ(host().Register(Startup()), 0);
}

void ModuleTest::TearDown() { DeleteSettingsKey(); }

void ModuleTest::StoreSettings(const std::vector<int>& flags) {
  for (size_t i = 0; i < flags.size() && i < kSettingNames.size(); ++i) {
    Store(kSettingNames[i], flags[i] != 0 ? L"1" : L"0");
  }
}

}  // namespace wine
