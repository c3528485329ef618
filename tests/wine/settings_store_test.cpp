// The settings store on Windows' own registry: the module's loads through
// advapi32, seen from the host's side (the prompt and what the command
// copies) and from the registry's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "applied_flags.h"
#include "wine_support.h"

namespace wine {
namespace {

using SettingsStoreTest = ModuleTest;

const std::vector<std::wstring> kDefaults = {L"1", L"1", L"1", L"1", L"0", L"0", L"0"};

TEST_F(SettingsStoreTest, FirstStartOnAnEmptyKeyWritesTheSevenDefaults) {
  ASSERT_FALSE(StoredRaw(L"mIsColor").has_value());
  ASSERT_TRUE(host().RunCommand());

  EXPECT_EQ(StoredSettings(), kDefaults);
  const auto value = StoredRaw(L"mIsColor");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value->bytes, (std::vector<uint8_t>{'1', 0, 0, 0}));  // the text and its NUL
  EXPECT_EQ(StoredNames(),
            (std::vector<std::wstring>{L"IsHoleLayerChanged", L"mIsColor", L"mIsDecimalPlace",
                                       L"mIsDimSize", L"mIsLType", L"mIsLayer", L"mIsTolerance"}));
  EXPECT_EQ(host().CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)");
}

TEST_F(SettingsStoreTest, DefaultsAreWhatTheCommandApplies) {
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 1, 1, 1, 0, 0, 0}));
}

TEST_F(SettingsStoreTest, StoredSettingsAreWhatTheCommandApplies) {
  StoreSettings({0, 1, 1, 0, 1, 1, 1});
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{0, 1, 1, 0, 1, 1, 1}));
  StoreSettings({1, 0, 1, 1, 0, 0, 0});
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 0, 1, 1, 0, 0, 0}));
  EXPECT_EQ(StoredSettings(),
            (std::vector<std::wstring>{L"1", L"0", L"1", L"1", L"0", L"0", L"0"}));
}

struct LegacyTypeRow {
  std::wstring type;
  std::vector<std::wstring> lineValues;
  std::u16string prompt;
};

class LegacyTypeTest : public ModuleTest, public ::testing::WithParamInterface<LegacyTypeRow> {};

TEST_P(LegacyTypeTest, IsConvertedIntoTheLineValuesAndDeleted) {
  // Texts that were there are overwritten, not read.
  Store(L"mIsColor", L"0");
  Store(L"mIsLayer", L"7");
  Store(L"mIsTolerance", L"1");
  Store(L"Type", GetParam().type);

  ASSERT_TRUE(host().RunCommand());

  EXPECT_EQ(Stored(L"Type"), L"<missing>");
  const std::vector<std::wstring> lines = {Stored(L"mIsColor"), Stored(L"mIsLType"),
                                           Stored(L"mIsLayer")};
  EXPECT_EQ(lines, GetParam().lineValues);
  EXPECT_EQ(host().CurrentPrompt(), GetParam().prompt);
  // The other four are read as usual: kept or defaulted.
  EXPECT_EQ(Stored(L"mIsTolerance"), L"1");
  EXPECT_EQ(Stored(L"mIsDecimalPlace"), L"1");
  EXPECT_EQ(Stored(L"mIsDimSize"), L"0");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LegacyTypeTest,
    ::testing::Values(
        LegacyTypeRow{L"0",
                      {L"1", L"1", L"0"},
                      u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)"},
        LegacyTypeRow{
            L"1", {L"0", L"0", L"1"}, u"속성참조할 원본형상지시<현재=레이어>  : (종료버튼:설정창)"},
        LegacyTypeRow{L"5",
                      {L"1", L"1", L"1"},
                      u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)"},
        LegacyTypeRow{L"-1",
                      {L"1", L"1", L"1"},
                      u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)"},
        LegacyTypeRow{L"",
                      {L"1", L"1", L"0"},
                      u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)"},
        LegacyTypeRow{L"word",
                      {L"1", L"1", L"0"},
                      u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)"}));

TEST_F(SettingsStoreTest, ConvertedTypeIsGoneForTheNextStart) {
  Store(L"Type", L"1");
  ASSERT_TRUE(host().RunCommand());
  Store(L"mIsColor", L"1");  // a later change is read, not converted over
  ASSERT_TRUE(host().RunCommand());
  EXPECT_EQ(host().CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(Stored(L"mIsColor"), L"1");
}

TEST_F(SettingsStoreTest, TwoMeansOnAndIsKept) {
  Store(L"mIsColor", L"2");
  Store(L"mIsTolerance", L"2");
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(Stored(L"mIsColor"), L"2");
  EXPECT_EQ(Stored(L"mIsTolerance"), L"2");
}

TEST_F(SettingsStoreTest, AWordMeansOffAndIsKept) {
  Store(L"mIsColor", L"yes");
  Store(L"mIsDecimalPlace", L"on");
  ASSERT_TRUE(host().RunCommand());
  EXPECT_EQ(host().CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(AppliedFlags(), (std::vector<int>{0, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(Stored(L"mIsColor"), L"yes");
  EXPECT_EQ(Stored(L"mIsDecimalPlace"), L"on");
}

TEST_F(SettingsStoreTest, TextsOf127CharactersAreHandledAsMissing) {
  // 126 characters and the NUL fill the module's 255-byte buffer; one more
  // does not fit. Zeros read as off, so a text that was read shows as off,
  // and one handled as missing shows its default.
  Store(L"mIsColor", std::wstring(127, L'0'));
  Store(L"mIsLType", std::wstring(126, L'0'));
  Store(L"mIsDimSize", std::wstring(127, L'1'));
  Store(L"mIsTolerance", std::wstring(126, L'1'));

  EXPECT_EQ(AppliedFlags(), (std::vector<int>{1, 0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(Stored(L"mIsColor"), L"1");
  EXPECT_EQ(Stored(L"mIsLType"), std::wstring(126, L'0'));
  EXPECT_EQ(Stored(L"mIsDimSize"), L"0");
  EXPECT_EQ(Stored(L"mIsTolerance"), std::wstring(126, L'1'));
}

}  // namespace
}  // namespace wine
