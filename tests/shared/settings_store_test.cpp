// The settings store on the registry, seen from the host's side (the prompt
// and what the command copies) and from the registry's: defaults, the
// legacy "Type", texts that are not "1" or "0", and data that is not a text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/applied_flags.h"
#include "shared/module_test.h"
#include "test_names.h"

namespace shared {
namespace {

using SharedSettingsStore = ModuleTest;

const std::u16string kAllLinesPrompt =
    u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)";

TEST_F(SharedSettingsStore, FirstStartOnAnEmptyKeyWritesTheSevenDefaults) {
  ASSERT_TRUE(host().RunCommand());

  EXPECT_EQ(StoredSettings(), kDefaultTexts);
  const auto value = ReadValue(kSettingsKey, u"mIsColor");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value->bytes, (std::vector<uint8_t>{'1', 0, 0, 0}));  // the text and its NUL
  EXPECT_EQ(
      platform().ValueNames(kSettingsKey),
      (std::vector<std::u16string>{u"IsHoleLayerChanged", u"mIsColor", u"mIsDecimalPlace",
                                   u"mIsDimSize", u"mIsLType", u"mIsLayer", u"mIsTolerance"}));
  EXPECT_EQ(host().CurrentPrompt(), kAllLinesPrompt) << Utf8(host().CurrentPrompt());
}

TEST_F(SharedSettingsStore, DefaultsAndStoredSettingsAreWhatTheCommandApplies) {
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 1, 1, 1, 0, 0, 0}));
  StoreSettings({0, 1, 1, 0, 1, 1, 1});
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{0, 1, 1, 0, 1, 1, 1}));
  StoreSettings({1, 0, 1, 1, 0, 0, 0});
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 0, 1, 1, 0, 0, 0}));
  EXPECT_EQ(StoredSettings(),
            (std::vector<std::u16string>{u"1", u"0", u"1", u"1", u"0", u"0", u"0"}));
}

struct LegacyTypeRow {
  std::u16string type;
  std::vector<std::u16string> lineValues;
  std::u16string prompt;
};

void PrintTo(const LegacyTypeRow& row, std::ostream* os) { *os << "Type=" << Escaped(row.type); }

class SharedLegacyType : public ModuleTest, public ::testing::WithParamInterface<LegacyTypeRow> {};

TEST_P(SharedLegacyType, IsConvertedIntoTheLineValuesAndDeleted) {
  // Texts that were there are overwritten, not read.
  StoreText(u"mIsColor", u"0");
  StoreText(u"mIsLayer", u"7");
  StoreText(u"mIsTolerance", u"1");
  StoreText(u"Type", GetParam().type);

  ASSERT_TRUE(host().RunCommand());

  EXPECT_EQ(Stored(u"Type"), u"<missing>");
  EXPECT_EQ(
      (std::vector<std::u16string>{Stored(u"mIsColor"), Stored(u"mIsLType"), Stored(u"mIsLayer")}),
      GetParam().lineValues);
  EXPECT_EQ(host().CurrentPrompt(), GetParam().prompt) << Utf8(host().CurrentPrompt());
  // The other four are read as usual: kept or defaulted.
  EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
  EXPECT_EQ(Stored(u"mIsDecimalPlace"), u"1");
  EXPECT_EQ(Stored(u"mIsDimSize"), u"0");
}

const std::u16string kColourLineTypePrompt =
    u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)";
const std::u16string kLayerPrompt = u"속성참조할 원본형상지시<현재=레이어>  : (종료버튼:설정창)";

INSTANTIATE_TEST_SUITE_P(
    Rows, SharedLegacyType,
    ::testing::Values(LegacyTypeRow{u"0", {u"1", u"1", u"0"}, kColourLineTypePrompt},
                      LegacyTypeRow{u"1", {u"0", u"0", u"1"}, kLayerPrompt},
                      LegacyTypeRow{u"5", {u"1", u"1", u"1"}, kAllLinesPrompt},
                      LegacyTypeRow{u"-1", {u"1", u"1", u"1"}, kAllLinesPrompt},
                      LegacyTypeRow{u"2", {u"1", u"1", u"1"}, kAllLinesPrompt},
                      LegacyTypeRow{u"", {u"1", u"1", u"0"}, kColourLineTypePrompt},
                      LegacyTypeRow{u"word", {u"1", u"1", u"0"}, kColourLineTypePrompt},
                      LegacyTypeRow{u" +1", {u"0", u"0", u"1"}, kLayerPrompt},
                      // The runtime reads every script's digits.
                      LegacyTypeRow{u"\uFF11", {u"0", u"0", u"1"}, kLayerPrompt},
                      LegacyTypeRow{u"\u3000\u0661", {u"0", u"0", u"1"}, kLayerPrompt}));

TEST_F(SharedSettingsStore, ConvertedTypeIsGoneForTheNextStart) {
  StoreText(u"Type", u"1");
  ASSERT_TRUE(host().RunCommand());
  StoreText(u"mIsColor", u"1");  // a later change is read, not converted over
  ASSERT_TRUE(host().RunCommand());
  EXPECT_EQ(host().CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(Stored(u"mIsColor"), u"1");
}

struct StoredTextRow {
  std::u16string text;
  int flag;
};

void PrintTo(const StoredTextRow& row, std::ostream* os) { *os << Escaped(row.text); }

class SharedStoredText : public ModuleTest, public ::testing::WithParamInterface<StoredTextRow> {};

// A value that exists keeps its text whatever it holds, and means what the
// runtime's _wtoi makes of it: on unless that is 0.
TEST_P(SharedStoredText, GivesItsFlagAndStaysAsItWas) {
  StoreText(u"mIsTolerance", GetParam().text);
  EXPECT_EQ(AppliedFlags()[4], GetParam().flag);
  EXPECT_EQ(Stored(u"mIsTolerance"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, SharedStoredText,
                         ::testing::Values(StoredTextRow{u"2", 1}, StoredTextRow{u"-1", 1},
                                           StoredTextRow{u"yes", 0}, StoredTextRow{u"", 0},
                                           StoredTextRow{u"99999999999", 1},
                                           StoredTextRow{u"-0", 0}, StoredTextRow{u"0x1", 0},
                                           StoredTextRow{u"\uFF11", 1}, StoredTextRow{u"\u0966", 0},
                                           StoredTextRow{u"\u00A0\u2003\u0967", 1},
                                           StoredTextRow{u"- 1", 0}, StoredTextRow{u"\u00B9", 0},
                                           StoredTextRow{std::u16string(126, u'7'), 1}));

TEST_F(SharedSettingsStore, TextsOf127CharactersAreHandledAsMissing) {
  // 126 characters and the NUL fill the module's 255-byte buffer; one more
  // does not fit. Zeros read as off, so a text that was read shows as off,
  // and one handled as missing shows its default.
  StoreText(u"mIsColor", std::u16string(127, u'0'));
  StoreText(u"mIsLType", std::u16string(126, u'0'));
  StoreText(u"mIsDimSize", std::u16string(127, u'1'));
  StoreText(u"mIsTolerance", std::u16string(126, u'1'));

  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(Stored(u"mIsColor"), u"1");
  EXPECT_EQ(Stored(u"mIsLType"), std::u16string(126, u'0'));
  EXPECT_EQ(Stored(u"mIsDimSize"), u"0");
  EXPECT_EQ(Stored(u"mIsTolerance"), std::u16string(126, u'1'));
}

struct RawValueRow {
  const char* what;
  DWORD type;
  std::vector<uint8_t> bytes;
  int flag;
};

void PrintTo(const RawValueRow& row, std::ostream* os) { *os << row.what; }

// "1" and its NUL, then filler up to the 255 bytes the module's buffer takes.
std::vector<uint8_t> FullBuffer() {
  std::vector<uint8_t> bytes(255, 'x');
  bytes[0] = '1';
  bytes[1] = 0;
  return bytes;
}

class SharedRawValue : public ModuleTest, public ::testing::WithParamInterface<RawValueRow> {};

// Data that is not a terminated string is read as text, never past its end,
// and never rewritten.
TEST_P(SharedRawValue, IsReadAsTextWithinItsBytes) {
  StoreValue(kSettingsKey, u"mIsTolerance", GetParam().type, GetParam().bytes);
  EXPECT_EQ(AppliedFlags()[4], GetParam().flag);
  const auto value = ReadValue(kSettingsKey, u"mIsTolerance");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, (StoredValue{GetParam().type, GetParam().bytes}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, SharedRawValue,
    ::testing::Values(RawValueRow{"no terminating NUL", REG_SZ, {'1', 0}, 1},
                      RawValueRow{"odd byte count", REG_SZ, {'1', 0, '2'}, 1},
                      RawValueRow{"no bytes", REG_SZ, {}, 0},
                      RawValueRow{"binary", REG_BINARY, {'5', 0, '0', 0}, 1},
                      RawValueRow{"binary zero", REG_BINARY, {'0', 0}, 0},
                      RawValueRow{"dword 1 reads as U+0001", REG_DWORD, {1, 0, 0, 0}, 0},
                      RawValueRow{"254 bytes, no NUL", REG_SZ, std::vector<uint8_t>(254, '1'), 0},
                      RawValueRow{"255 bytes, all the buffer takes", REG_SZ, FullBuffer(), 1}));

}  // namespace
}  // namespace shared
