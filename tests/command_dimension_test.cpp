// The dimension step: each picked dimension gets the source's settings as
// chosen, and the step opens itself again for the next pick.
#include <climits>

#include "command_fixture.h"
#include "test_names.h"

namespace {

constexpr VekId kSource = 100;
constexpr VekId kTargetSegment = 20;
const sim::CharSizeValue kSourceSize{3.5, 3.0, 0.5};
const sim::ArrowsValue kSourceArrows{2, 3, 1.25};
const sim::ToleranceValue kSourceTolerance{0.05, -0.02, 2};

class DimensionTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(10, 42);
    sim::Element& source = drawing().AddElement(kSource, 12, 10);
    source.decimalPlaces = 3;
    source.toleranceStatus = 1;
    source.tolerance = sim::MakeTolerance(kSourceTolerance);
    source.dimCharSize = sim::MakeCharSize(kSourceSize);
    source.arrows[1] = sim::MakeArrows(kSourceArrows);
    source.arrows[0] = sim::MakeArrows({7, 7, 7.0});  // selector 0 is not what is copied

    drawing().AddSegment(kTargetSegment, 1);
    for (VekId id : {201u, 202u, 203u}) {
      sim::Element& target = drawing().AddElement(id, 29, kTargetSegment);
      target.decimalPlaces = 1;
      target.dimCharSize = sim::MakeCharSize({1, 1, 1});
    }
  }

  void StartWith(const std::vector<int>& flags) {
    StoreSettings(flags);
    host().RunCommand();
    ASSERT_TRUE(host().Pick(kSource));
    host().ClearTrace();
  }

  const sim::Element& Target(VekId id) { return drawing().element(id); }
};

TEST_F(DimensionTest, ReadyShowsTheCursorLabelBetweenTheMaskAndTheFilter) {
  host().RunCommand();
  host().ClearTrace();
  ASSERT_TRUE(host().Pick(kSource));
  EXPECT_EQ(CallsFrom("VekIddClearSysIdData"),
            (std::vector<std::string>{"VekIddClearSysIdData", "VekEvtSetEventMask",
                                      "VekMsgPutCursorMessage", "VekEvtSetCompareFunction",
                                      "VekMsgPutMessage", "VekCtlSetExecuteFunc"}));
  EXPECT_EQ(host().CallsTo("VekIddClearSysIdData")[0].args,
            (std::vector<int64_t>(sim::kReadyArgs.begin(), sim::kReadyArgs.end())));
  EXPECT_EQ(host().EventMask(), 0x1000u);
  EXPECT_EQ(host().CallsTo("VekMsgPutCursorMessage")[0].text, u"TARGET");
  EXPECT_EQ(host().CurrentPrompt(), u"치수지시 : ");

  const VekCompareFunc filter = host().CompareFunction();
  for (int32_t type = -1; type <= 40; ++type) {
    const bool dimension = (type >= 12 && type <= 21) || type == 24 || (type >= 26 && type <= 29);
    drawing().AddElement(static_cast<VekId>(1000 + type), type, kTargetSegment);
    EXPECT_EQ(filter(static_cast<VekId>(1000 + type)), dimension ? 1 : 0) << type;
  }
  // Beyond the mask's 32 bits: a type 32 or 64 above a dimension type is none.
  for (int32_t type : {44, 45, 56, 58, 61, 63, 64, 76, 88, 255, 256, 0x7FFFFFFF, INT32_MIN}) {
    const VekId id = 2000 + static_cast<VekId>(type & 0xFFF);
    drawing().AddElement(id, type, kTargetSegment);
    EXPECT_EQ(filter(id), 0) << type;
  }
}

TEST_F(DimensionTest, ApplyOrderWithEverySettingOn) {
  StartWith({1, 1, 1, 1, 1, 1, 0});
  ASSERT_TRUE(host().Pick(201));
  const std::vector<std::string> expected = {
      "VekEvtGetPoint", "VekEvtGetElementId", "VekEvtGetSegmentId", "VekEvtGetInstanceId",
      "VekEvtGetDetailId", "VekEnvGetCurrentFrame", "VekSgmChangeLayer", "VekDimSetDecimalPlace",
      "VekDimSetTolerance", "VekDimSetCharSize", "VekDimSetArrow", "VekCtlSetReadyFunc",
      // and the step opens again
      "VekIddClearSysIdData", "VekEvtSetEventMask", "VekMsgPutCursorMessage",
      "VekEvtSetCompareFunction", "VekMsgPutMessage", "VekCtlSetExecuteFunc"};
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(host().CallsTo("VekEvtGetPoint")[0].args,
            (std::vector<int64_t>{sim::kEventPick, host().LastEventData(), sim::kExecuteArg4}));
  EXPECT_EQ(host().CallsTo("VekDimSetArrow")[0].args, (std::vector<int64_t>{201, 0}));
  EXPECT_EQ(host().RedrawCount(), 0);

  EXPECT_EQ(Target(201).decimalPlaces, 3);
  EXPECT_EQ(sim::ReadTolerance(Target(201).tolerance), kSourceTolerance);
  EXPECT_EQ(sim::ReadCharSize(Target(201).dimCharSize), kSourceSize);
  EXPECT_EQ(sim::ReadArrows(Target(201).arrows[0]), kSourceArrows);
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 42);
}

struct FlagRow {
  const char* what;
  std::vector<int> flags;
  std::vector<std::string> setters;
};

void PrintTo(const FlagRow& row, std::ostream* os) { *os << row.what; }

class DimensionFlagTest : public DimensionTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(DimensionFlagTest, EachFlagAloneCopiesOnlyItsValues) {
  StartWith(GetParam().flags);
  ASSERT_TRUE(host().Pick(202));
  std::vector<std::string> setters;
  for (const auto& name : Calls()) {
    if (name.rfind("VekDimSet", 0) == 0 || name == "VekSgmChangeLayer") setters.push_back(name);
  }
  EXPECT_EQ(setters, GetParam().setters) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, DimensionFlagTest,
    ::testing::Values(FlagRow{"none", {1, 1, 0, 0, 0, 0, 1}, {}},
                      FlagRow{"layer", {0, 0, 1, 0, 0, 0, 0}, {"VekSgmChangeLayer"}},
                      FlagRow{"decimal places", {0, 0, 0, 1, 0, 0, 0}, {"VekDimSetDecimalPlace"}},
                      FlagRow{"tolerance", {0, 0, 0, 0, 1, 0, 0}, {"VekDimSetTolerance"}},
                      FlagRow{
                          "size", {0, 0, 0, 0, 0, 1, 0}, {"VekDimSetCharSize", "VekDimSetArrow"}}));

class ToleranceStatusTest : public DimensionTest, public ::testing::WithParamInterface<int32_t> {};

// Only -1 is a failed read, reported at the pick; any other status is what
// the source holds, and only 1 says it has a tolerance to copy.
TEST_P(ToleranceStatusTest, ToleranceIsCopiedOnlyWhenTheSourceHasOne) {
  drawing().element(kSource).toleranceStatus = GetParam();
  StartWith({0, 0, 0, 0, 1, 0, 0});
  ASSERT_TRUE(host().Pick(201));
  EXPECT_EQ(host().CallsTo("VekDimSetTolerance").size(), GetParam() == 1 ? 1u : 0u);
  EXPECT_EQ(CapturedProperties.toleranceStatus, GetParam());
  EXPECT_EQ(host().Errors(),
            GetParam() == -1
                ? std::vector<std::u16string>{u"dimension 공차정보를 참조할 수 없습니다."}
                : std::vector<std::u16string>{});
}

INSTANTIATE_TEST_SUITE_P(Statuses, ToleranceStatusTest,
                         ::testing::Values(1, 0, 2, -1, -2, INT32_MIN, INT32_MAX));

TEST_F(DimensionTest, FailedToleranceReadIsNeverApplied) {
  host().FailCall("VekDimGetTolerance");
  StartWith({0, 0, 0, 0, 1, 0, 0});
  ASSERT_TRUE(host().Pick(201));
  EXPECT_TRUE(host().CallsTo("VekDimSetTolerance").empty());
}

// A value the source pick could not read is not written: the target keeps
// its own rather than receiving a failure code or an earlier source's value.
TEST_F(DimensionTest, ValuesTheSourcePickCouldNotReadAreNotWritten) {
  // An earlier source leaves its size and arrows in the record.
  drawing().AddElement(150, 14, 10).dimCharSize = sim::MakeCharSize({9, 9, 9});
  StartWith({0, 0, 0, 1, 0, 1, 0});
  host().RunCommand();
  ASSERT_TRUE(host().Pick(150));

  host().RunCommand();
  host().FailCall("VekDimGetDecimalPlace");
  host().FailCall("VekDimGetCharSize");
  ASSERT_TRUE(host().Pick(kSource));
  host().ClearTrace();
  ASSERT_TRUE(host().Pick(201));

  EXPECT_TRUE(host().CallsTo("VekDimSetDecimalPlace").empty());
  EXPECT_TRUE(host().CallsTo("VekDimSetCharSize").empty());
  EXPECT_EQ(Target(201).decimalPlaces, 1);
  EXPECT_EQ(sim::ReadCharSize(Target(201).dimCharSize), (sim::CharSizeValue{1, 1, 1}));
  // The arrows were read from this source, so they still go on.
  EXPECT_EQ(sim::ReadArrows(Target(201).arrows[0]), kSourceArrows);
}

TEST_F(DimensionTest, FailedArrowReadKeepsTheCharacterSize) {
  host().FailCall("VekDimGetArrow");
  StartWith({0, 0, 0, 0, 0, 1, 0});
  ASSERT_TRUE(host().Pick(201));
  EXPECT_EQ(sim::ReadCharSize(Target(201).dimCharSize), kSourceSize);
  EXPECT_TRUE(host().CallsTo("VekDimSetArrow").empty());
}

TEST_F(DimensionTest, StepRepeatsForPickAfterPickUntilTheExitButton) {
  StartWith({0, 0, 1, 1, 0, 0, 0});
  for (VekId id : {201u, 202u, 203u}) {
    ASSERT_TRUE(host().Pick(id));
    EXPECT_EQ(host().LastExecuteResult(), 2);
    EXPECT_EQ(Target(id).decimalPlaces, 3);
  }
  EXPECT_EQ(host().CallsTo("VekIddClearSysIdData").size(), 3u);

  ASSERT_TRUE(host().SendEvent(4));
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_TRUE(host().CommandActive());

  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_FALSE(host().CommandActive());
}

TEST_F(DimensionTest, OnlyTheLayerChangeReportsAFailure) {
  StartWith({0, 0, 1, 1, 1, 1, 0});
  host().FailCall("VekSgmChangeLayer");
  host().FailCall("VekDimSetDecimalPlace");
  host().FailCall("VekDimSetCharSize");
  ASSERT_TRUE(host().Pick(201));
  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{u"layer 정보를 수정할 수 없습니다.(3)"}));
  EXPECT_EQ(host().LastExecuteResult(), 2);
}

struct DimensionLayerRow {
  int layerFlag;
  int32_t frame;
  bool changes;
};

void PrintTo(const DimensionLayerRow& row, std::ostream* os) {
  *os << "layer" << row.layerFlag << "_frame" << row.frame;
}

class DimensionLayerRuleTest : public DimensionTest,
                               public ::testing::WithParamInterface<DimensionLayerRow> {};

TEST_P(DimensionLayerRuleTest, LayerChangesOnlyWithTheFlagInFrameOne) {
  StartWith({0, 0, GetParam().layerFlag, 1, 0, 0, 0});
  host().SetCurrentFrame(GetParam().frame);
  ASSERT_TRUE(host().Pick(201));

  EXPECT_EQ(drawing().segment(kTargetSegment).layer, GetParam().changes ? 42 : 1);
  EXPECT_EQ(host().CallsTo("VekSgmChangeLayer").size(), GetParam().changes ? 1u : 0u);
  EXPECT_TRUE(host().Errors().empty());
  // The rest of the step goes on either way.
  EXPECT_EQ(Target(201).decimalPlaces, 3);
  EXPECT_EQ(host().LastExecuteResult(), 2);
}

INSTANTIATE_TEST_SUITE_P(Rules, DimensionLayerRuleTest,
                         ::testing::Values(DimensionLayerRow{1, 1, true},
                                           DimensionLayerRow{1, 0, false},
                                           DimensionLayerRow{1, 2, false},
                                           DimensionLayerRow{0, 1, false}));

TEST_F(DimensionTest, LayerChangeUsesThePickedSegment) {
  StartWith({0, 0, 1, 0, 0, 0, 0});
  drawing().AddSegment(30, 5);
  ASSERT_TRUE(host().Pick(201, sim::PickDetail{.segment = 30}));
  EXPECT_EQ(drawing().segment(30).layer, 42);
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 1);
}

}  // namespace
