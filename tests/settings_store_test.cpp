// The settings store against the registry: defaults, the legacy "Type"
// conversion, texts that are not "1" or "0", and a registry that refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/registry_standin.h"
#include "settings/load_settings.h"
#include "settings/settings_flags.h"
#include "settings/settings_registry.h"
#include "test_names.h"

namespace {

using regstandin::Operation;

const std::u16string kKey = u"SOFTWARE\\Denmarrow\\VEK\\Sorvane";

std::vector<int32_t> Flags() {
  const SettingsFlagSet& f = SettingsFlags;
  return {f.mIsColor,     f.mIsLType,   f.mIsLayer,          f.mIsDecimalPlace,
          f.mIsTolerance, f.mIsDimSize, f.IsHoleLayerChanged};
}

std::u16string Stored(const char16_t* name) {
  return regstandin::GetString(kKey, name).value_or(u"<missing>");
}

std::vector<std::u16string> StoredLineValues() {
  return {Stored(u"mIsColor"), Stored(u"mIsLType"), Stored(u"mIsLayer")};
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    regstandin::Reset();
    SettingsFlags = {};
  }
  void TearDown() override { EXPECT_EQ(regstandin::OpenHandleCount(), 0u); }
};

TEST_F(SettingsStoreTest, FirstLoadWritesEveryDefault) {
  LoadSettings();

  EXPECT_EQ(Flags(), (std::vector<int32_t>{1, 1, 1, 1, 0, 0, 0}));
  const std::vector<std::pair<const char16_t*, std::u16string>> expected = {
      {u"mIsColor", u"1"},          {u"mIsLType", u"1"},     {u"mIsLayer", u"1"},
      {u"mIsDecimalPlace", u"1"},   {u"mIsTolerance", u"0"}, {u"mIsDimSize", u"0"},
      {u"IsHoleLayerChanged", u"0"}};
  for (const auto& [name, text] : expected) EXPECT_EQ(Stored(name), text);
  const auto value = regstandin::GetValue(kKey, u"mIsColor");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, REG_SZ);
  EXPECT_EQ(value->bytes, (std::vector<uint8_t>{'1', 0, 0, 0}));
  EXPECT_EQ(regstandin::ValueNames(kKey),
            (std::vector<std::u16string>{u"mIsColor", u"mIsLType", u"mIsLayer", u"mIsDecimalPlace",
                                         u"mIsTolerance", u"mIsDimSize", u"IsHoleLayerChanged"}));
}

struct LegacyTypeRow {
  std::u16string type;
  std::vector<std::u16string> lineValues;
};

void PrintTo(const LegacyTypeRow& row, std::ostream* os) { *os << "Type=" << Escaped(row.type); }

class LegacyTypeTest : public SettingsStoreTest,
                       public ::testing::WithParamInterface<LegacyTypeRow> {};

TEST_P(LegacyTypeTest, IsConvertedIntoTheLineValuesAndDeleted) {
  // Texts that were there are overwritten, not read.
  regstandin::SetString(kKey, u"mIsColor", u"0");
  regstandin::SetString(kKey, u"mIsLayer", u"7");
  regstandin::SetString(kKey, u"mIsTolerance", u"1");
  regstandin::SetString(kKey, u"Type", GetParam().type);

  LoadSettings();

  EXPECT_EQ(StoredLineValues(), GetParam().lineValues);
  EXPECT_FALSE(regstandin::GetValue(kKey, u"Type").has_value());
  std::vector<int32_t> expectedFlags;
  for (const auto& text : GetParam().lineValues) expectedFlags.push_back(text == u"1" ? 1 : 0);
  expectedFlags.insert(expectedFlags.end(), {1, 1, 0, 0});
  EXPECT_EQ(Flags(), expectedFlags);
}

INSTANTIATE_TEST_SUITE_P(Rows, LegacyTypeTest,
                         ::testing::Values(LegacyTypeRow{u"0", {u"1", u"1", u"0"}},
                                           LegacyTypeRow{u"1", {u"0", u"0", u"1"}},
                                           LegacyTypeRow{u"5", {u"1", u"1", u"1"}},
                                           LegacyTypeRow{u"-1", {u"1", u"1", u"1"}},
                                           LegacyTypeRow{u"2", {u"1", u"1", u"1"}},
                                           LegacyTypeRow{u"", {u"1", u"1", u"0"}},
                                           LegacyTypeRow{u"word", {u"1", u"1", u"0"}},
                                           LegacyTypeRow{u" +1", {u"0", u"0", u"1"}}));

TEST_F(SettingsStoreTest, LegacyTypeThatCannotBeDeletedIsConvertedAtEveryLoad) {
  regstandin::SetString(kKey, u"Type", u"1");
  regstandin::Refuse(kKey, Operation::Delete);

  LoadSettings();
  EXPECT_EQ(StoredLineValues(), (std::vector<std::u16string>{u"0", u"0", u"1"}));
  EXPECT_EQ(Stored(u"Type"), u"1");

  // A user turns colour on; the next load converts "Type" again over it.
  regstandin::SetString(kKey, u"mIsColor", u"1");
  LoadSettings();
  EXPECT_EQ(Stored(u"mIsColor"), u"0");
  EXPECT_EQ(SettingsFlags.mIsColor, 0);
}

struct StoredTextRow {
  const char16_t* name;
  std::u16string text;
  int32_t flag;
};

void PrintTo(const StoredTextRow& row, std::ostream* os) {
  *os << Escaped(row.name) << "=" << Escaped(row.text);
}

class StoredTextTest : public SettingsStoreTest,
                       public ::testing::WithParamInterface<StoredTextRow> {};

// A value that exists keeps its text, whatever it holds.
TEST_P(StoredTextTest, GivesItsFlagAndStaysAsItWas) {
  regstandin::SetString(kKey, GetParam().name, GetParam().text);
  LoadSettings();

  const auto flags = Flags();
  const auto index =
      std::find_if(kSettings.begin(), kSettings.end(),
                   [](const SettingDef& s) { return std::u16string(s.name) == GetParam().name; }) -
      kSettings.begin();
  EXPECT_EQ(flags[index], GetParam().flag);
  EXPECT_EQ(Stored(GetParam().name), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoredTextTest,
    ::testing::Values(StoredTextRow{u"mIsTolerance", u"2", 1},
                      StoredTextRow{u"mIsDimSize", u"-1", 1},
                      StoredTextRow{u"mIsColor", u"word", 0}, StoredTextRow{u"mIsLayer", u"", 0},
                      StoredTextRow{u"IsHoleLayerChanged", u"99999999999", 1},
                      StoredTextRow{u"mIsDecimalPlace", std::u16string(126, u'7'), 1}));

TEST_F(SettingsStoreTest, TextTooLongForTheReadIsHandledAsMissing) {
  regstandin::SetString(kKey, u"mIsDimSize", std::u16string(127, u'1'));
  LoadSettings();
  EXPECT_EQ(SettingsFlags.mIsDimSize, 0);
  EXPECT_EQ(Stored(u"mIsDimSize"), u"0");
}

struct RawValueRow {
  const char* what;
  DWORD type;
  std::vector<uint8_t> bytes;
  int32_t flag;
};

void PrintTo(const RawValueRow& row, std::ostream* os) { *os << row.what; }

class RawValueTest : public SettingsStoreTest, public ::testing::WithParamInterface<RawValueRow> {};

// Data that is not a terminated string is read as text, never past its end.
TEST_P(RawValueTest, IsReadAsTextWithinItsBytes) {
  regstandin::SetValue(kKey, u"mIsTolerance", GetParam().type, GetParam().bytes);
  LoadSettings();
  EXPECT_EQ(SettingsFlags.mIsTolerance, GetParam().flag) << GetParam().what;
  // Reading never rewrites an existing value.
  EXPECT_EQ(regstandin::GetValue(kKey, u"mIsTolerance")->bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RawValueTest,
    ::testing::Values(RawValueRow{"no terminating NUL", REG_SZ, {'1', 0}, 1},
                      RawValueRow{"odd byte count", REG_SZ, {'1', 0, '2'}, 1},
                      RawValueRow{"one byte", REG_SZ, {'1'}, 0},
                      RawValueRow{"no bytes", REG_SZ, {}, 0},
                      RawValueRow{"binary", REG_BINARY, {'5', 0, '0', 0}, 1},
                      RawValueRow{"binary zero", REG_BINARY, {'0', 0}, 0},
                      RawValueRow{"dword 1 reads as U+0001", REG_DWORD, {1, 0, 0, 0}, 0},
                      RawValueRow{"254 bytes, no NUL", REG_SZ, std::vector<uint8_t>(254, '1'), 0}));

TEST_F(SettingsStoreTest, KeyThatRefusesWritesGivesDefaultsAndIsRetriedAtTheNextLoad) {
  regstandin::Refuse(kKey, Operation::Create);

  LoadSettings();
  EXPECT_EQ(Flags(), (std::vector<int32_t>{1, 1, 1, 1, 0, 0, 0}));
  EXPECT_FALSE(regstandin::KeyExists(kKey));

  regstandin::Allow(kKey, Operation::Create);
  LoadSettings();
  EXPECT_EQ(Stored(u"mIsColor"), u"1");
  EXPECT_EQ(Stored(u"IsHoleLayerChanged"), u"0");
}

TEST_F(SettingsStoreTest, ValuesThatCannotBeSetGiveDefaultsEvenOverAnUnreadableKey) {
  regstandin::SetString(kKey, u"mIsTolerance", u"1");
  regstandin::Refuse(kKey, Operation::Open);
  regstandin::Refuse(kKey, Operation::Set);

  LoadSettings();
  EXPECT_EQ(SettingsFlags.mIsTolerance, 0);
  EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
}

TEST_F(SettingsStoreTest, DeleteReportsWhetherTheValueWentAway) {
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));  // no key

  regstandin::SetString(kKey, u"Type", u"0");
  regstandin::Refuse(kKey, Operation::Delete);
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));
  EXPECT_TRUE(regstandin::GetValue(kKey, u"Type").has_value());

  regstandin::Allow(kKey, Operation::Delete);
  EXPECT_TRUE(DeleteSettingValue(u"Sorvane", u"Type"));
  EXPECT_FALSE(regstandin::GetValue(kKey, u"Type").has_value());
  EXPECT_FALSE(DeleteSettingValue(u"Sorvane", u"Type"));  // already gone
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
