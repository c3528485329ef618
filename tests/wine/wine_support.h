// What every test of the Windows product shares: Sorvane.dll loaded by path as
// a host loads it, the simulated host inside VekLib.dll, and the current
// user's real registry key of the settings.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim_host.h"

namespace wine {

// Where Sorvane.dll is: the SORVANE_DLL environment variable if set, else
// beside this program.
std::wstring ModulePath();

// Sorvane.dll, loaded once for the whole run with LoadLibraryW and never
// unloaded: its callbacks stay registered with the host, as in a real host.
// Null if it cannot be loaded.
HMODULE Module();

// The module's exported Startup, looked up by name; null if there is none.
sim::StartupFn Startup();

// The settings key under HKEY_CURRENT_USER.
inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Denmarrow\\VEK\\Sorvane";

// One registry value as stored: its type and its bytes.
struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<uint8_t> bytes;
};

// Removes the settings key and everything in it; a missing key is fine.
void DeleteSettingsKey();
// Stores `text` as REG_SZ with its terminating NUL, as the module would.
void Store(const wchar_t* name, const std::wstring& text);
std::optional<StoredValue> StoredRaw(const wchar_t* name);
// The text of a value, or "<missing>".
std::wstring Stored(const wchar_t* name);
// The texts of the seven settings, in the store's order.
std::vector<std::wstring> StoredSettings();
// The names of every value under the key, sorted.
std::vector<std::wstring> StoredNames();

// The seven setting names, in the order the store reads and writes them.
extern const std::vector<const wchar_t*> kSettingNames;

// A text of the module (UTF-16 char16_t) as the Win32 API spells it.
std::wstring Wide(const std::u16string& text);
std::u16string U16(const std::wstring& text);
// For failure messages: Korean texts are unreadable as UTF-16 escapes.
std::string Utf8(const std::wstring& text);

// Drives the module as a host does: the key emptied, the simulated host
// reset, and Startup registered.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static sim::Host& host() { return sim::Host::Instance(); }
  static sim::Drawing& drawing() { return host().drawing(); }

  // Stores the seven settings as "1" or "0", in the store's order.
  static void StoreSettings(const std::vector<int>& flags);
};

}  // namespace wine
