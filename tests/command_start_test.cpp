// Registration, the start of each run, the source prompt and the source
// filter, as the host sees them.
#include <set>

#include "command_fixture.h"
#include "test_names.h"

namespace {

TEST(StartupTest, GivesZeroOnlyWhenTheHostRegisteredTheCommand) {
  const std::vector<std::pair<int32_t, int32_t>> rows = {
      {1, 0}, {7, 0}, {0, -1}, {-1, -1}, {-100, -1}};
  for (const auto& [registration, expected] : rows) {
    sim::Host::Instance().Reset();
    sim::Host::Instance().SetRegistrationResult(registration);
    EXPECT_EQ(sim::Host::Instance().Register(Startup, 0x4242), expected) << registration;
  }
}

TEST(StartupTest, PassesItsFourthArgumentOnUnchanged) {
  for (VekArg arg : {VekArg{0}, VekArg{-1}, VekArg{0x7FFF'FFFF'FFFF}}) {
    sim::Host::Instance().Reset();
    sim::Host::Instance().Register(Startup, arg);
    const auto calls = sim::Host::Instance().CallsTo("VekCtlRegisterVekLib2");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(sim::Host::Instance().RegisteredHostArg(), arg);
  }
}

TEST(StartupTest, SecondCallbackAndEndFunctionDoNothing) {
  testreg::Reset();
  sim::Host::Instance().Reset();
  sim::Host::Instance().Register(Startup);
  sim::Host::Instance().ClearTrace();
  EXPECT_EQ(sim::Host::Instance().CallSecond(), 0);
  EXPECT_EQ(sim::Host::Instance().CallEnd(), 0);
  EXPECT_TRUE(sim::Host::Instance().Trace().empty());
  EXPECT_TRUE(testreg::Log().empty());
}

using StartTest = CommandTest;

TEST_F(StartTest, StartLoadsTheSettingsThenOpensTheSourceStep) {
  testreg::SetString(kSettingsKey, u"mIsColor", u"0");
  host().ClearTrace();
  ASSERT_TRUE(host().RunCommand());

  EXPECT_EQ(Calls(), (std::vector<std::string>{"VekEvtSetEventMask", "VekEvtSetCompareFunction",
                                               "VekMsgPutMessage", "VekCtlSetExecuteFunc"}));
  EXPECT_EQ(host().CallsTo("VekEvtSetEventMask")[0].args, (std::vector<int64_t>{0x1000}));
  EXPECT_EQ(host().CallsTo("VekCtlSetExecuteFunc")[0].text, u"");
  // The prompt already reflects the registry, so the load came first.
  EXPECT_EQ(host().CurrentPrompt(),
            u"속성참조할 원본형상지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)");
  EXPECT_EQ(Stored(u"mIsTolerance"), u"0");  // defaults written on the way
  EXPECT_TRUE(host().CommandActive());
}

TEST_F(StartTest, EachRunReloadsTheSettings) {
  host().RunCommand();
  EXPECT_EQ(SettingsFlags.mIsDimSize, 0);
  testreg::SetString(kSettingsKey, u"mIsDimSize", u"1");
  SettingsFlags.mIsLayer = 0;

  host().RunCommand();
  EXPECT_EQ(SettingsFlags.mIsDimSize, 1);
  EXPECT_EQ(SettingsFlags.mIsLayer, 1);
}

struct PromptRow {
  int color, lineType, layer;
  std::u16string prompt;
};

void PrintTo(const PromptRow& row, std::ostream* os) {
  *os << "colour" << row.color << "_type" << row.lineType << "_layer" << row.layer;
}

class SourcePromptTest : public CommandTest, public ::testing::WithParamInterface<PromptRow> {};

TEST_P(SourcePromptTest, NamesTheLinePropertiesThatWillBeCopied) {
  // The other four settings never change the prompt: set them against the row.
  const int other = GetParam().color;
  StoreSettings(
      {GetParam().color, GetParam().lineType, GetParam().layer, other, other, other, other});
  host().RunCommand();
  EXPECT_EQ(host().CurrentPrompt(), GetParam().prompt);
}

INSTANTIATE_TEST_SUITE_P(
    AllEightRows, SourcePromptTest,
    ::testing::Values(
        PromptRow{1, 1, 1,
                  u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)"},
        PromptRow{1, 1, 0, u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)"},
        PromptRow{1, 0, 1, u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"},
        PromptRow{1, 0, 0, u"속성참조할 원본형상지시<현재=선색>  : (종료버튼:설정창)"},
        PromptRow{0, 1, 1, u"속성참조할 원본형상지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)"},
        PromptRow{0, 1, 0, u"속성참조할 원본형상지시<현재=선종>  : (종료버튼:설정창)"},
        PromptRow{0, 0, 1, u"속성참조할 원본형상지시<현재=레이어>  : (종료버튼:설정창)"},
        PromptRow{0, 0, 0, u"속성참조할 원본형상지시<현재=변화없음>  : (종료버튼:설정창)"}));

TEST_F(StartTest, PromptSeparatorIsU318DAndTwoBlanksStandBeforeTheColon) {
  host().RunCommand();
  const std::u16string prompt = host().CurrentPrompt();
  EXPECT_NE(prompt.find(u'\u318D'), std::u16string::npos);
  EXPECT_NE(prompt.find(u">  : ("), std::u16string::npos);
  EXPECT_EQ(prompt.find(u'\u00B7'), std::u16string::npos);
}

TEST_F(StartTest, SourceFilterAcceptsFiguresDimensionsAndAnnotationsOnly) {
  const std::set<int32_t> accepted = {0,  1,  2,  3,  4,  5,  6,  7,  8,  12, 13, 14, 15, 16,
                                      17, 18, 19, 20, 21, 24, 26, 27, 28, 29, 33, 34, 35};
  drawing().AddSegment(1, 0);
  for (int32_t type = -2; type <= 40; ++type) {
    drawing().AddElement(static_cast<VekId>(1000 + type), type, 1);
  }
  drawing().AddElement(2000, INT32_MIN, 1);
  drawing().AddElement(2001, 64, 1);

  host().RunCommand();
  const VekCompareFunc filter = host().CompareFunction();
  ASSERT_NE(filter, nullptr);
  for (int32_t type = -2; type <= 40; ++type) {
    EXPECT_EQ(filter(static_cast<VekId>(1000 + type)), accepted.count(type) ? 1 : 0) << type;
  }
  EXPECT_EQ(filter(2000), 0);
  EXPECT_EQ(filter(2001), 0);
}

}  // namespace
