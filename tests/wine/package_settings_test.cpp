// The package's .reg files, imported with regedit by the Wine suite before it
// runs these cases (SORVANE_PACKAGE_CHECK names which file it imported).
// Run by hand, without the suite, they skip.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "shared/module_test.h"
#include "wine_support.h"

namespace {

std::string Imported() {
  char value[32] = {};
  const DWORD length = GetEnvironmentVariableA("SORVANE_PACKAGE_CHECK", value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value) : std::string();
}

// When the key was last written to.
ULONGLONG LastWritten() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(shared::kSettingsKey.c_str()), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return 0;
  }
  FILETIME written{};
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, &written);
  RegCloseKey(key);
  return (static_cast<ULONGLONG>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

TEST(PackageSettings, TheDefaultsFileGivesTheSevenValuesAndTheFirstStartWritesNothing) {
  if (Imported() != "defaults")
    GTEST_SKIP() << "the Wine suite runs this after settings-defaults.reg";
  for (const std::u16string& name : shared::kSettingNames) {
    EXPECT_EQ(shared::ReadValue(shared::kSettingsKey, name)->type, static_cast<DWORD>(REG_SZ));
  }
  ASSERT_EQ(shared::StoredSettings(), shared::kDefaultTexts);
  const ULONGLONG before = LastWritten();
  ASSERT_NE(before, 0u);

  sim::Host& host = sim::Host::Instance();
  host.Reset();
  ASSERT_EQ(host.Register(wine::Startup()), 0);
  ASSERT_TRUE(host.RunCommand());

  EXPECT_EQ(host.CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(shared::StoredSettings(), shared::kDefaultTexts);
  EXPECT_EQ(LastWritten(), before) << "the first start wrote to the key";
}

TEST(PackageSettings, TheRemovalFileLeavesNoKey) {
  if (Imported() != "removed") GTEST_SKIP() << "the Wine suite runs this after settings-remove.reg";
  HKEY key = nullptr;
  EXPECT_EQ(
      RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(shared::kSettingsKey.c_str()), 0, KEY_READ, &key),
      ERROR_FILE_NOT_FOUND);
  if (key != nullptr) RegCloseKey(key);
}

}  // namespace
