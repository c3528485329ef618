// The settings store against the registry stand-in: what only it can show,
// the flags themselves and a registry that refuses. What Windows' registry
// can show too is in the shared suite (shared/settings_store_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/load_settings.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "settings/settings_registry.h"
#include "support/utf.h"
#include "test_names.h"
#include "tests/test_registry.h"

namespace {

using testreg::Operation;

const std::u16string kKey = SettingsKeyPath();

std::vector<int32_t> Flags() {
  const SettingsFlagSet& f = SettingsFlags;
  return {f.mIsColor,     f.mIsLType,   f.mIsLayer,          f.mIsDecimalPlace,
          f.mIsTolerance, f.mIsDimSize, f.IsHoleLayerChanged};
}

std::u16string Stored(const char16_t* name) {
  return testreg::GetString(kKey, name).value_or(u"<missing>");
}

std::vector<std::u16string> StoredLineValues() {
  return {Stored(u"mIsColor"), Stored(u"mIsLType"), Stored(u"mIsLayer")};
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testreg::Reset();
    SettingsFlags = {};
  }
  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }

  // The four values after the line values, not as their defaults.
  static void StoredFourValues() {
    testreg::SetString(kKey, u"mIsDecimalPlace", u"0");
    testreg::SetString(kKey, u"mIsTolerance", u"1");
    testreg::SetString(kKey, u"mIsDimSize", u"0");
    testreg::SetString(kKey, u"IsHoleLayerChanged", u"1");
  }
};

TEST_F(SettingsStoreTest, FirstLoadWritesEveryDefault) {
  LoadSettings();

  EXPECT_EQ(Flags(), (std::vector<int32_t>{1, 1, 1, 1, 0, 0, 0}));
  const std::vector<std::pair<const char16_t*, std::u16string>> expected = {
      {u"mIsColor", u"1"},          {u"mIsLType", u"1"},     {u"mIsLayer", u"1"},
      {u"mIsDecimalPlace", u"1"},   {u"mIsTolerance", u"0"}, {u"mIsDimSize", u"0"},
      {u"IsHoleLayerChanged", u"0"}};
  for (const auto& [name, text] : expected) EXPECT_EQ(Stored(name), text);
  const auto value = testreg::GetValue(kKey, u"mIsColor");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, REG_SZ);
  EXPECT_EQ(value->bytes, (std::vector<uint8_t>{'1', 0, 0, 0}));
  EXPECT_EQ(testreg::ValueNames(kKey),
            (std::vector<std::u16string>{u"mIsColor", u"mIsLType", u"mIsLayer", u"mIsDecimalPlace",
                                         u"mIsTolerance", u"mIsDimSize", u"IsHoleLayerChanged"}));
}

// The registry's value calls in the order they were made: name, and the text
// written or read.
std::vector<std::string> ValueCalls() {
  std::vector<std::string> calls;
  for (const testreg::LogEntry& entry : testreg::Log()) {
    if (entry.function == "RegQueryValueExW" || entry.function == "RegSetValueExW" ||
        entry.function == "RegDeleteValueW") {
      calls.push_back(entry.function.substr(3, 3) + " " + utf::ToUtf8(entry.valueName) +
                      (entry.text ? "=" + utf::ToUtf8(*entry.text) : ""));
    }
  }
  return calls;
}

// The conversion writes the three line values in table order, then deletes
// "Type", and only then reads the other four: what a crash midway leaves
// behind is a key that converts again at the next load.
TEST_F(SettingsStoreTest, LegacyTypeIsWrittenOutInOrderBeforeItIsDeleted) {
  StoredFourValues();
  testreg::SetString(kKey, u"Type", u"1");
  testreg::ClearLog();

  LoadSettings();
  EXPECT_EQ(ValueCalls(), (std::vector<std::string>{
                              "Que Type=1", "Set mIsColor=0", "Set mIsLType=0", "Set mIsLayer=1",
                              "Del Type", "Que mIsDecimalPlace=0", "Que mIsTolerance=1",
                              "Que mIsDimSize=0", "Que IsHoleLayerChanged=1"}));
  EXPECT_EQ(Flags(), (std::vector<int32_t>{0, 0, 1, 0, 1, 0, 1}));
}

TEST_F(SettingsStoreTest, LegacyTypeThatCannotBeDeletedIsConvertedAtEveryLoad) {
  testreg::SetString(kKey, u"Type", u"1");
  testreg::Refuse(kKey, Operation::Delete);

  LoadSettings();
  EXPECT_EQ(StoredLineValues(), (std::vector<std::u16string>{u"0", u"0", u"1"}));
  EXPECT_EQ(Stored(u"Type"), u"1");

  // A user turns colour on; the next load converts "Type" again over it.
  testreg::SetString(kKey, u"mIsColor", u"1");
  LoadSettings();
  EXPECT_EQ(Stored(u"mIsColor"), u"0");
  EXPECT_EQ(SettingsFlags.mIsColor, 0);
}

TEST_F(SettingsStoreTest, KeyThatRefusesWritesGivesDefaultsAndIsRetriedAtTheNextLoad) {
  testreg::Refuse(kKey, Operation::Create);

  LoadSettings();
  EXPECT_EQ(Flags(), (std::vector<int32_t>{1, 1, 1, 1, 0, 0, 0}));
  EXPECT_FALSE(testreg::KeyExists(kKey));

  testreg::Allow(kKey, Operation::Create);
  LoadSettings();
  EXPECT_EQ(Stored(u"mIsColor"), u"1");
  EXPECT_EQ(Stored(u"IsHoleLayerChanged"), u"0");
}

TEST_F(SettingsStoreTest, ValuesThatCannotBeSetGiveDefaultsEvenOverAnUnreadableKey) {
  testreg::SetString(kKey, u"mIsTolerance", u"1");
  testreg::Refuse(kKey, Operation::Open);
  testreg::Refuse(kKey, Operation::Set);

  LoadSettings();
  EXPECT_EQ(SettingsFlags.mIsTolerance, 0);
  EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
}

TEST_F(SettingsStoreTest, DeleteReportsWhetherTheValueWentAway) {
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));  // no key

  testreg::SetString(kKey, u"Type", u"0");
  testreg::Refuse(kKey, Operation::Delete);
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));
  EXPECT_TRUE(testreg::GetValue(kKey, u"Type").has_value());

  testreg::Allow(kKey, Operation::Delete);
  EXPECT_TRUE(DeleteSettingValue(u"Sorvane", u"Type"));
  EXPECT_FALSE(testreg::GetValue(kKey, u"Type").has_value());
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));  // already gone
}

// What a write gives when the registry refuses it.
TEST_F(SettingsStoreTest, RefusedWritesGiveMinusOneOrFalse) {
  for (Operation refused : {Operation::Create, Operation::Set}) {
    testreg::Reset();
    testreg::Refuse(kKey, refused);
    EXPECT_EQ(WriteRegistryString(kKey, u"mIsColor", u"1"), -1);
    EXPECT_FALSE(WriteSettingValue(u"Sorvane", u"mIsColor", u"1"));
    EXPECT_EQ(testreg::GetValue(kKey, u"mIsColor"), std::nullopt);
  }
}

TEST_F(SettingsStoreTest, ReadsAndWritesTakeSlashesAsBackslashes) {
  EXPECT_EQ(WriteRegistryString(u"SOFTWARE/Denmarrow/VEK/Sorvane", u"mIsColor", u"0"), 0);
  EXPECT_EQ(Stored(u"mIsColor"), u"0");

  std::u16string text = u"unchanged";
  EXPECT_EQ(ReadRegistryString(u"SOFTWARE/Denmarrow/VEK/Sorvane", u"mIsColor", text), 0);
  EXPECT_EQ(text, u"0");
}

TEST_F(SettingsStoreTest, FailedReadLeavesTheOutTextAlone) {
  std::u16string text = u"unchanged";
  EXPECT_EQ(ReadRegistryString(kKey, u"mIsColor", text), -1);
  EXPECT_EQ(text, u"unchanged");
}

TEST_F(SettingsStoreTest, KeyPathJoinsThePrefixAndTheSubkeyDirectly) {
  EXPECT_EQ(BuildSettingsKeyPath(u"Sorvane"), kKey);
  EXPECT_EQ(BuildSettingsKeyPath(u""), u"SOFTWARE\\Denmarrow\\VEK\\");
}

}  // namespace
