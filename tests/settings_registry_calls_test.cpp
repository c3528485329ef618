// The exact Win32 calls of the settings store's registry operations: the
// masks and options they pass, and which key each one addresses when the
// subkey name holds "/".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/load_settings.h"
#include "settings/settings_key.h"
#include "settings/settings_registry.h"
#include "tests/test_registry.h"

namespace {

constexpr REGSAM kKeyRead = 0x20019;
constexpr REGSAM kKeyAllAccess = 0xF003F;
constexpr DWORD kNonVolatile = 0;

const std::u16string kSettings = SettingsKeyPath();

class SettingsRegistryCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { testreg::Reset(); }
  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }

  static std::vector<testreg::LogEntry> CallsTo(const std::string& function) {
    std::vector<testreg::LogEntry> calls;
    for (const testreg::LogEntry& entry : testreg::Log()) {
      if (entry.function == function) calls.push_back(entry);
    }
    return calls;
  }
};

TEST_F(SettingsRegistryCallsTest, TheReadOpensItsKeyForReadingOnly) {
  // Present, missing, and under a key that does not exist: each read opens
  // with KEY_READ, no more (a read-only user must still get the settings) and
  // no less (the query needs KEY_QUERY_VALUE).
  testreg::SetString(kSettings, u"mIsColor", u"0");
  const std::vector<std::pair<std::u16string, std::u16string>> reads = {
      {kSettings, u"mIsColor"}, {kSettings, u"Missing"}, {u"SOFTWARE\\Nowhere", u"mIsColor"}};
  for (const auto& [path, name] : reads) {
    std::u16string text;
    ReadRegistryString(path, name.c_str(), text);
  }
  const std::vector<testreg::LogEntry> opens = CallsTo("RegOpenKeyExW");
  ASSERT_EQ(opens.size(), reads.size());
  for (const testreg::LogEntry& open : opens) {
    EXPECT_EQ(open.access, kKeyRead) << testreg::Describe(open);
    EXPECT_EQ(open.options, 0u) << testreg::Describe(open);
  }
}

TEST_F(SettingsRegistryCallsTest, EveryOpenOfALoadIsForReading) {
  testreg::SetString(kSettings, u"Type", u"1");
  LoadSettings();
  const std::vector<testreg::LogEntry> opens = CallsTo("RegOpenKeyExW");
  EXPECT_EQ(opens.size(), 5u);  // "Type" and the four values read after it
  for (const testreg::LogEntry& open : opens) {
    EXPECT_EQ(open.access, kKeyRead) << testreg::Describe(open);
  }
}

TEST_F(SettingsRegistryCallsTest, TheWriteCreatesANonVolatileKeyWithFullAccess) {
  // A new key and an existing one are created alike.
  EXPECT_EQ(WriteRegistryString(kSettings, u"mIsColor", u"1"), 0);
  EXPECT_EQ(WriteRegistryString(kSettings, u"mIsLType", u"0"), 0);
  EXPECT_TRUE(WriteSettingValue(u"Sorvane", u"mIsLayer", u"1"));
  const std::vector<testreg::LogEntry> creates = CallsTo("RegCreateKeyExW");
  ASSERT_EQ(creates.size(), 3u);
  for (const testreg::LogEntry& create : creates) {
    EXPECT_EQ(create.options, kNonVolatile) << testreg::Describe(create);
    EXPECT_EQ(create.access, kKeyAllAccess) << testreg::Describe(create);
  }
}

// A key that did not open is asked nothing more: no call goes to the
// registry with a handle that is none.
TEST_F(SettingsRegistryCallsTest, AKeyThatDidNotOpenIsAskedNothingMore) {
  testreg::Refuse(kSettings, testreg::Operation::Open);
  testreg::Refuse(kSettings, testreg::Operation::Create);
  std::u16string text;
  EXPECT_EQ(ReadRegistryString(kSettings, u"mIsColor", text), -1);
  EXPECT_EQ(WriteRegistryString(kSettings, u"mIsColor", u"1"), -1);
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));
  std::vector<std::string> functions;
  for (const testreg::LogEntry& entry : testreg::Log()) functions.push_back(entry.function);
  EXPECT_EQ(functions,
            (std::vector<std::string>{"RegOpenKeyExW", "RegCreateKeyExW", "RegOpenKeyW"}));
}

// "A/B" is one legal key name. The read and the write take "/" for "\" and
// so reach the key B below A; the delete uses the name as built and reaches
// the key named "A/B".
TEST_F(SettingsRegistryCallsTest, OnlyTheDeleteKeepsASlashInTheKeyName) {
  const std::u16string slashKey = u"SOFTWARE\\Denmarrow\\VEK\\A/B";
  const std::u16string nestedKey = u"SOFTWARE\\Denmarrow\\VEK\\A\\B";
  testreg::SetString(slashKey, u"Type", u"slash");
  testreg::SetString(nestedKey, u"Type", u"nested");

  std::u16string text;
  EXPECT_EQ(ReadRegistryString(BuildSettingsKeyPath(u"A/B"), u"Type", text), 0);
  EXPECT_EQ(text, u"nested");

  EXPECT_TRUE(DeleteSettingValue(u"A/B", u"Type"));
  EXPECT_EQ(testreg::GetString(slashKey, u"Type"), std::nullopt);
  EXPECT_EQ(testreg::GetString(nestedKey, u"Type"), u"nested");

  EXPECT_TRUE(WriteSettingValue(u"A/B", u"mIsColor", u"0"));
  EXPECT_EQ(testreg::GetString(nestedKey, u"mIsColor"), u"0");
  EXPECT_EQ(testreg::ValueNames(slashKey), std::vector<std::u16string>{});
}

TEST_F(SettingsRegistryCallsTest, TheDeleteOfASlashKeyFailsWhenOnlyTheNestedKeyExists) {
  testreg::SetString(u"SOFTWARE\\Denmarrow\\VEK\\A\\B", u"Type", u"nested");
  EXPECT_FALSE(DeleteSettingValue(u"A/B", u"Type"));
  EXPECT_EQ(testreg::GetString(u"SOFTWARE\\Denmarrow\\VEK\\A\\B", u"Type"), u"nested");
}

}  // namespace
