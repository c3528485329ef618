// The figure range step: layers, hole-data layers and line attributes copied
// onto every segment of a selected range, as the settings choose.
#include "command_fixture.h"
#include "test_names.h"

namespace {

constexpr VekId kSourceSegment = 10;
constexpr VekId kSource = 100;
constexpr VekId kHoleSegment = 20;  // carries hole data
constexpr VekId kCompanion = 77;
constexpr VekId kPlainSegment = 30;
constexpr int32_t kSourceLayer = 42;

VekLineAttr LineWithHostBytes(int32_t colour, int32_t lineType, uint8_t fill) {
  VekLineAttr line = sim::MakeLineAttr(colour, lineType);
  for (auto& b : line.host) b = fill;
  return line;
}

class FigureRangeTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(kSourceSegment, kSourceLayer);
    drawing().AddElement(kSource, 1, kSourceSegment).line = LineWithHostBytes(5, 2, 0xAB);

    drawing().AddSegment(kHoleSegment, 1, kCompanion);
    drawing().AddElement(201, 0, kHoleSegment).line = LineWithHostBytes(1, 1, 0x11);
    drawing().AddElement(202, 8, kHoleSegment).line = LineWithHostBytes(1, 1, 0x22);
    hole_ =
        drawing().AddHole(kHoleSegment, {sim::MakeHoleEntry(7, 1), sim::MakeHoleEntry(8, 1)}).id;

    drawing().AddSegment(kPlainSegment, 1);
    drawing().AddElement(301, 2, kPlainSegment).line = LineWithHostBytes(1, 1, 0x33);
    // Not a figure, but in a selected segment: the line loop does not filter.
    drawing().AddElement(302, 34, kPlainSegment).line = LineWithHostBytes(1, 1, 0x44);
  }

  // Runs the command with these settings and picks the source figure.
  void StartWith(const std::vector<int>& flags) {
    StoreSettings(flags);
    host().RunCommand();
    ASSERT_TRUE(host().Pick(kSource));
    host().ClearTrace();
    host().ClearMessages();
  }

  void SelectBoth() { ASSERT_TRUE(host().SelectRange({201, 301})); }

  std::vector<int32_t> HoleLayers() {
    std::vector<int32_t> layers;
    for (const auto& e : drawing().hole(hole_).entries) layers.push_back(e.layer);
    return layers;
  }

  VekHoleId hole_ = 0;
};

TEST_F(FigureRangeTest, ReadyClearsTheSelectionAndAsksForARangeOfFigures) {
  StoreSettings({1, 1, 1, 1, 0, 0, 0});
  host().RunCommand();
  host().ClearTrace();
  ASSERT_TRUE(host().Pick(kSource));

  EXPECT_EQ(CallsFrom("VekIddClearSysIdData"),
            (std::vector<std::string>{"VekIddClearSysIdData", "VekEvtSetEventMask",
                                      "VekEvtSetCompareFunction", "VekMsgPutMessage",
                                      "VekCtlSetExecuteFunc"}));
  const auto clear = host().CallsTo("VekIddClearSysIdData")[0].args;
  EXPECT_EQ(clear, (std::vector<int64_t>(sim::kReadyArgs.begin(), sim::kReadyArgs.end())));
  EXPECT_EQ(host().EventMask(), 0x20u);

  // Only figures (types 0 to 8) count for the range.
  const VekCompareFunc filter = host().CompareFunction();
  EXPECT_EQ(filter(201), 1);
  EXPECT_EQ(filter(202), 1);
  EXPECT_EQ(filter(302), 0);
}

struct RangePromptRow {
  int color, lineType, layer;
  std::u16string prompt;
};

void PrintTo(const RangePromptRow& row, std::ostream* os) {
  *os << "colour" << row.color << "_type" << row.lineType << "_layer" << row.layer;
}

class RangePromptTest : public FigureRangeTest,
                        public ::testing::WithParamInterface<RangePromptRow> {};

TEST_P(RangePromptTest, NamesTheLinePropertiesThatWillBeCopied) {
  const int other = 1 - GetParam().layer;
  StartWith({GetParam().color, GetParam().lineType, GetParam().layer, other, other, other, other});
  // The prompt was shown as the step opened, before the trace was cleared.
  EXPECT_EQ(host().CurrentPrompt(), GetParam().prompt);
}

INSTANTIATE_TEST_SUITE_P(
    AllEightRows, RangePromptTest,
    ::testing::Values(
        RangePromptRow{1, 1, 1,
                       u"변경할 형상 범위지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)"},
        RangePromptRow{1, 1, 0, u"변경할 형상 범위지시<현재=선색ㆍ선종>  : (종료버튼:설정창)"},
        RangePromptRow{1, 0, 1, u"변경할 형상 범위지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)"},
        RangePromptRow{1, 0, 0, u"변경할 형상 범위지시<현재=선색>  : (종료버튼:설정창)"},
        RangePromptRow{0, 1, 1, u"변경할 형상 범위지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)"},
        RangePromptRow{0, 1, 0, u"변경할 형상 범위지시<현재=선종>  : (종료버튼:설정창)"},
        RangePromptRow{0, 0, 1, u"변경할 형상 범위지시<현재=레이어>  : (종료버튼:설정창)"},
        RangePromptRow{0, 0, 0, u"변경할 형상 범위지시<현재=변화없음>  : (종료버튼:설정창)"}));

TEST_F(FigureRangeTest, ApplyWalksTheSelectionThenClosesItAndRedraws) {
  StartWith({1, 1, 1, 1, 0, 0, 1});
  SelectBoth();

  const std::vector<std::string> expected = {
      "VekIddOpenSelIdData", "VekIddGetHeadSelIdData",
      // the hole segment: layer, hole data, then each element's line attributes
      "VekEnvGetCurrentFrame", "VekSgmChangeLayer", "VekSgmHasAttribute", "VekHolGetHoleId",
      "VekHolGetHoleData", "VekHolAmendHoleData", "VekSgmGetHeadElementId", "VekFigSetLineType",
      "VekElmGetNextElementId", "VekFigSetLineType", "VekElmGetNextElementId",
      "VekIddGetNextSelIdData",
      // the plain segment
      "VekEnvGetCurrentFrame", "VekSgmChangeLayer", "VekSgmHasAttribute", "VekSgmGetHeadElementId",
      "VekFigSetLineType", "VekElmGetNextElementId", "VekFigSetLineType", "VekElmGetNextElementId",
      "VekIddGetNextSelIdData", "VekIddCloseSelIdData", "VekFilRedraw"};
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(
      host().CallsTo("VekIddOpenSelIdData")[0].args,
      (std::vector<int64_t>{1, host().LastEventData(), sim::kExecuteArg3, sim::kExecuteArg4}));
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_EQ(host().OpenSelectionLists(), 0u);
  EXPECT_TRUE(host().Errors().empty());
}

TEST_F(FigureRangeTest, BothLineFlagsCopyTheWholeRecord) {
  StartWith({1, 1, 0, 1, 0, 0, 0});
  SelectBoth();

  for (VekId id : {201u, 202u, 301u, 302u}) {
    EXPECT_EQ(sim::Bytes(drawing().element(id).line), sim::Bytes(LineWithHostBytes(5, 2, 0xAB)))
        << id;
  }
  EXPECT_TRUE(host().CallsTo("VekFigGetLineType").empty());
}

struct MergeRow {
  int color, lineType;
  int32_t expectedColour, expectedLineType;
};

void PrintTo(const MergeRow& row, std::ostream* os) {
  *os << "colour" << row.color << "_type" << row.lineType;
}

class LineMergeTest : public FigureRangeTest, public ::testing::WithParamInterface<MergeRow> {};

TEST_P(LineMergeTest, OneFlagReplacesOnlyItsWordAndKeepsTheHostBytes) {
  StartWith({GetParam().color, GetParam().lineType, 0, 1, 0, 0, 0});
  SelectBoth();

  const VekLineAttr expected =
      LineWithHostBytes(GetParam().expectedColour, GetParam().expectedLineType, 0x33);
  EXPECT_EQ(sim::Bytes(drawing().element(301).line), sim::Bytes(expected));
  EXPECT_EQ(host().CallsTo("VekFigGetLineType").size(), 4u);
  EXPECT_EQ(host().CallsTo("VekFigSetLineType").size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Flags, LineMergeTest,
                         ::testing::Values(MergeRow{1, 0, 5, 1}, MergeRow{0, 1, 1, 2},
                                           MergeRow{0, 0, 1, 1}));

struct LayerRow {
  int layerFlag;
  int32_t frame;
  bool changes;
};

void PrintTo(const LayerRow& row, std::ostream* os) {
  *os << "layer" << row.layerFlag << "_frame" << row.frame;
}

class LayerRuleTest : public FigureRangeTest, public ::testing::WithParamInterface<LayerRow> {};

TEST_P(LayerRuleTest, LayersChangeOnlyWithTheFlagInFrameOne) {
  StartWith({1, 1, GetParam().layerFlag, 1, 0, 0, 1});
  host().SetCurrentFrame(GetParam().frame);
  SelectBoth();

  const int32_t layer = GetParam().changes ? kSourceLayer : 1;
  EXPECT_EQ(drawing().segment(kHoleSegment).layer, layer);
  EXPECT_EQ(drawing().segment(kPlainSegment).layer, layer);
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{layer, layer}));
  // Line attributes change either way.
  EXPECT_EQ(drawing().element(301).line.colour, 5);
}

INSTANTIATE_TEST_SUITE_P(Rules, LayerRuleTest,
                         ::testing::Values(LayerRow{1, 1, true}, LayerRow{1, 0, false},
                                           LayerRow{1, 2, false}, LayerRow{0, 1, false}));

TEST_F(FigureRangeTest, HoleLayersMoveOnlyWhenChosen) {
  StartWith({1, 1, 1, 1, 0, 0, 0});
  SelectBoth();
  EXPECT_EQ(drawing().segment(kHoleSegment).layer, kSourceLayer);
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{1, 1}));
  EXPECT_TRUE(host().CallsTo("VekHolGetHoleData").empty());
  // The host is still asked whether each segment has hole data.
  const auto asked = host().CallsTo("VekSgmHasAttribute");
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].args, (std::vector<int64_t>{kHoleSegment, 0}));
  EXPECT_EQ(asked[1].args, (std::vector<int64_t>{kPlainSegment, 0}));
}

TEST_F(FigureRangeTest, HoleLayersMoveEvenWhenTheSegmentLayerChangeIsRefused) {
  StartWith({1, 1, 1, 1, 0, 0, 1});
  host().FailCall("VekSgmChangeLayer", kHoleSegment);
  SelectBoth();

  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{u"layer 정보를 수정할 수 없습니다.(1)"}));
  EXPECT_EQ(drawing().segment(kHoleSegment).layer, 1);
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{kSourceLayer, kSourceLayer}));
  EXPECT_EQ(drawing().element(201).line.colour, 5);
  EXPECT_EQ(host().RedrawCount(), 1);
}

// A host may report a hole's entries without handing over their array: then
// there is nothing to change, and the record still goes back.
TEST_F(FigureRangeTest, HoleDataWithoutAnEntryArrayIsWrittenBackUnchanged) {
  drawing().hole(hole_).withholdsEntries = true;
  StartWith({1, 1, 1, 1, 0, 0, 1});
  SelectBoth();

  const auto amends = host().CallsTo("VekHolAmendHoleData");
  ASSERT_EQ(amends.size(), 1u);
  EXPECT_EQ(amends[0].args, (std::vector<int64_t>{hole_, 2}));
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{1, 1}));
  EXPECT_TRUE(host().Errors().empty());
  EXPECT_EQ(drawing().element(201).line.colour, 5);
  EXPECT_EQ(host().RedrawCount(), 1);
}

TEST_F(FigureRangeTest, HoleIsLookedUpByTheEntrysWordsSwapped) {
  StartWith({1, 1, 1, 1, 0, 0, 1});
  SelectBoth();
  const auto lookups = host().CallsTo("VekHolGetHoleId");
  ASSERT_EQ(lookups.size(), 1u);
  EXPECT_EQ(lookups[0].args, (std::vector<int64_t>{kCompanion, kHoleSegment}));
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{kSourceLayer, kSourceLayer}));
  // Word 0 of each entry is the host's and stays.
  EXPECT_EQ(drawing().hole(hole_).entries[1].word0, 8);
}

TEST_F(FigureRangeTest, HoleDataWithNoEntriesIsStillWrittenBack) {
  drawing().hole(hole_).entries.clear();
  StartWith({1, 1, 1, 1, 0, 0, 1});
  SelectBoth();
  const auto amends = host().CallsTo("VekHolAmendHoleData");
  ASSERT_EQ(amends.size(), 1u);
  EXPECT_EQ(amends[0].args, (std::vector<int64_t>{hole_, 0}));
  EXPECT_EQ(host().RedrawCount(), 1);
}

class HoleAttributeByteTest : public FigureRangeTest,
                              public ::testing::WithParamInterface<uint8_t> {};

// The host's answer is an 8-bit truth value: any byte but 0 says the segment
// has hole data.
TEST_P(HoleAttributeByteTest, AnyNonZeroByteMeansHoleData) {
  host().SetTrueByte(GetParam());
  StartWith({1, 1, 1, 1, 0, 0, 1});
  SelectBoth();
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{kSourceLayer, kSourceLayer}));
  EXPECT_EQ(host().CallsTo("VekHolAmendHoleData").size(), 1u);
  EXPECT_TRUE(host().Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Bytes, HoleAttributeByteTest,
                         ::testing::Values(uint8_t{1}, uint8_t{2}, uint8_t{0x80}, uint8_t{0xFF}));

class HoleFailureTest
    : public FigureRangeTest,
      public ::testing::WithParamInterface<std::pair<const char*, std::u16string>> {};

TEST_P(HoleFailureTest, StopsTheApplyWithoutARedraw) {
  StartWith({1, 1, 1, 1, 0, 0, 1});
  host().FailCall(GetParam().first);
  // The plain segment comes first, so it is changed before the failure.
  ASSERT_TRUE(host().SelectRange({301, 201}));

  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{GetParam().second}));
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_EQ(host().RedrawCount(), 0);
  EXPECT_EQ(host().CallsTo("VekIddCloseSelIdData").size(), 1u);
  EXPECT_EQ(host().OpenSelectionLists(), 0u);
  // Segments changed before the failure keep their layer, and so does the one
  // it fails at; that one gets no line attributes.
  EXPECT_EQ(drawing().segment(kPlainSegment).layer, kSourceLayer);
  EXPECT_EQ(drawing().segment(kHoleSegment).layer, kSourceLayer);
  EXPECT_EQ(drawing().element(301).line.colour, 5);
  EXPECT_EQ(drawing().element(201).line.colour, 1);
  EXPECT_EQ(HoleLayers(), (std::vector<int32_t>{1, 1}));
}

INSTANTIATE_TEST_SUITE_P(BothFailures, HoleFailureTest,
                         ::testing::Values(std::make_pair("VekHolGetHoleData",
                                                          u"구멍 정보를 참조할 수 없습니다.(1)"),
                                           std::make_pair("VekHolAmendHoleData",
                                                          u"구멍 정보를 수정할 수 없습니다.(1)")));

TEST_F(FigureRangeTest, ElementAndSegmentFailuresAreReportedAndSkipped) {
  StartWith({1, 0, 1, 1, 0, 0, 0});
  host().FailCall("VekSgmChangeLayer", kHoleSegment);
  host().FailCall("VekFigGetLineType", 201);
  host().FailCall("VekFigSetLineType", 202);
  SelectBoth();

  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{u"layer 정보를 수정할 수 없습니다.(1)",
                                                          u"선속성을 참조할 수 없습니다.",
                                                          u"선속성을 수정할 수 없습니다."}));
  EXPECT_EQ(drawing().segment(kPlainSegment).layer, kSourceLayer);
  EXPECT_EQ(drawing().element(301).line.colour, 5);
  EXPECT_EQ(host().RedrawCount(), 1);
  EXPECT_EQ(host().LastExecuteResult(), 0);
}

TEST_F(FigureRangeTest, OtherEventsStayInTheStep) {
  StartWith({1, 1, 1, 1, 0, 0, 0});
  ASSERT_TRUE(host().SendEvent(4));
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_TRUE(host().CallsTo("VekIddOpenSelIdData").empty());
  EXPECT_TRUE(host().CommandActive());
}

}  // namespace
