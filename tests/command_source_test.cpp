// The source pick: what it reads for each kind of element, where it sends the
// command next, and how it reports what the host refuses.
#include "command_fixture.h"
#include "test_names.h"

namespace {

constexpr VekId kSegment = 10;
constexpr VekId kFigure = 100;
constexpr VekId kAnnotation = 200;
constexpr VekId kDimension = 300;
constexpr VekId kLoose = 500;  // in no segment

class SourcePickTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(kSegment, 42);
    drawing().AddElement(kFigure, 3, kSegment).line = sim::MakeLineAttr(5, 2);
    drawing().AddElement(kAnnotation, 34, kSegment).comment = sim::MakeComment({3.5, 2.5, 1});
    sim::Element& dim = drawing().AddElement(kDimension, 16, kSegment);
    dim.decimalPlaces = 3;
    dim.toleranceStatus = 1;
    dim.tolerance = sim::MakeTolerance({0.1, -0.2, 1});
    dim.dimCharSize = sim::MakeCharSize({2.5, 2, 0.5});
    dim.arrows[1] = sim::MakeArrows({1, 2, 3.0});
    dim.arrows[0] = sim::MakeArrows({9, 9, 9.0});
    drawing().AddElement(kLoose, 3, kVekNoId).line = sim::MakeLineAttr(6, 1);
    host().RunCommand();
    host().ClearTrace();
  }

  // Picks an element the filter accepts, whatever its type, so that the
  // branches behind the filter can be reached too.
  void PickAnyway(VekId element, const sim::PickDetail& detail = {}) {
    ASSERT_TRUE(host().Pick(element, detail));
  }
};

TEST_F(SourcePickTest, FigureCapturesLayerAndLineAttributesAndOpensTheRangeStep) {
  PickAnyway(kFigure);

  EXPECT_EQ(CapturedProperties.layer, 42);
  EXPECT_EQ(sim::Bytes(CapturedProperties.lineAttributes), sim::Bytes(sim::MakeLineAttr(5, 2)));
  const std::vector<std::string> expected = {
      "VekEvtGetPoint",           "VekEvtGetElementId",   "VekElmGetSegment",
      "VekSgmGetLayer",           "VekElmGetType",        "VekFigGetLineType",
      "VekCtlSetReadyFunc",       "VekIddClearSysIdData", "VekEvtSetEventMask",
      "VekEvtSetCompareFunction", "VekMsgPutMessage",     "VekCtlSetExecuteFunc"};
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(host().CallsTo("VekSgmGetLayer")[0].args, (std::vector<int64_t>{kSegment, 0}));
  EXPECT_EQ(host().CallsTo("VekCtlSetReadyFunc")[0].text, u"");
  EXPECT_EQ(host().EventMask(), 0x20u);
  EXPECT_TRUE(host().Errors().empty());
}

TEST_F(SourcePickTest, PointIsAskedForWithTheEventAndTheFourthArgument) {
  PickAnyway(kFigure);
  const auto points = host().CallsTo("VekEvtGetPoint");
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].args,
            (std::vector<int64_t>{sim::kEventPick, host().LastEventData(), sim::kExecuteArg4}));
}

TEST_F(SourcePickTest, AnnotationCapturesItsCharacterSizeAndOpensTheAnnotationStep) {
  PickAnyway(kAnnotation);

  EXPECT_EQ(sim::ReadCharSize(CapturedProperties.commentCharSize),
            (sim::CharSizeValue{3.5, 2.5, 1}));
  EXPECT_EQ(host().CurrentPrompt(), u"주기복수지시 : (종료버튼:설정창)");
  EXPECT_EQ(host().CallsTo("VekFigGetLineType").size(), 0u);
}

TEST_F(SourcePickTest, DimensionMakesAllFourReadsWhateverTheSettings) {
  StoreSettings({0, 0, 0, 0, 0, 0, 0});
  host().RunCommand();
  host().ClearTrace();
  PickAnyway(kDimension);

  const std::vector<std::string> reads = {"VekDimGetCharSize", "VekDimGetArrow",
                                          "VekDimGetDecimalPlace", "VekDimGetTolerance"};
  std::vector<std::string> made;
  for (const auto& name : Calls()) {
    if (name.rfind("VekDimGet", 0) == 0) made.push_back(name);
  }
  EXPECT_EQ(made, reads);
  EXPECT_EQ(host().CallsTo("VekDimGetArrow")[0].args[1], 1);  // read with selector 1
  EXPECT_EQ(CapturedProperties.decimalPlaces, 3);
  EXPECT_EQ(CapturedProperties.toleranceStatus, 1);
  EXPECT_EQ(sim::ReadArrows(CapturedProperties.dimArrows), (sim::ArrowsValue{1, 2, 3.0}));
  EXPECT_EQ(host().CurrentPrompt(), u"치수지시 : ");
  EXPECT_EQ(host().CurrentCursor(), u"TARGET");
}

struct DimensionReadFailure {
  const char* call;
  std::u16string message;
};

void PrintTo(const DimensionReadFailure& row, std::ostream* os) { *os << row.call; }

class DimensionReadFailureTest : public SourcePickTest,
                                 public ::testing::WithParamInterface<DimensionReadFailure> {};

TEST_P(DimensionReadFailureTest, IsReportedAndTheStepGoesOn) {
  host().FailCall(GetParam().call);
  PickAnyway(kDimension);

  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{GetParam().message}));
  EXPECT_EQ(host().LastExecuteResult(), 2);
  EXPECT_EQ(host().CurrentPrompt(), u"치수지시 : ");
  EXPECT_EQ(host().CallsTo("VekDimGetTolerance").size(), 1u);  // the reads after it were made
}

INSTANTIATE_TEST_SUITE_P(
    EachRead, DimensionReadFailureTest,
    ::testing::Values(
        DimensionReadFailure{"VekDimGetCharSize", u"dimension 문자정보를 참조할 수 없습니다."},
        DimensionReadFailure{"VekDimGetArrow", u"dimension 화살표정보를 참조할 수 없습니다."},
        DimensionReadFailure{"VekDimGetDecimalPlace",
                             u"dimension 소수점정보를 참조할 수 없습니다."},
        DimensionReadFailure{"VekDimGetTolerance", u"dimension 공차정보를 참조할 수 없습니다."}));

struct PickFailure {
  const char* what;
  VekId element;
  const char* failingCall;
  int nth;  // 0: every call
  std::u16string message;
};

void PrintTo(const PickFailure& row, std::ostream* os) { *os << row.what; }

class PickFailureTest : public SourcePickTest, public ::testing::WithParamInterface<PickFailure> {};

TEST_P(PickFailureTest, IsReportedAndEndsTheCommand) {
  if (GetParam().nth == 0) {
    host().FailCall(GetParam().failingCall);
  } else {
    host().FailCallOnNth(GetParam().failingCall, GetParam().nth);
  }
  PickAnyway(GetParam().element);

  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{GetParam().message})) << GetParam().what;
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_FALSE(host().CommandActive());
  EXPECT_TRUE(host().CallsTo("VekCtlSetReadyFunc").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Branches, PickFailureTest,
    ::testing::Values(
        PickFailure{"layer", kFigure, "VekSgmGetLayer", 0, u"layer 정보를 참조할 수 없습니다."},
        PickFailure{"line", kFigure, "VekFigGetLineType", 0, u"선속성을 참조할 수 없습니다."},
        PickFailure{"comment", kAnnotation, "VekCmtGetComment", 0,
                    u"comment 정보를 참조할 수 없습니다."},
        // The filter sees a figure (first type read), the execute function a
        // type it cannot handle (second read answers -1).
        PickFailure{"unhandled type", kFigure, "VekElmGetType", 2, u"적용할수 없는 형상입니다."}));

TEST_F(SourcePickTest, UnresolvedElementIsAnInputError) {
  PickAnyway(kFigure, sim::PickDetail{.elementUnresolved = true});
  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{u"형상 INPUT 에러"}));
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_TRUE(host().CallsTo("VekElmGetSegment").empty());
}

TEST_F(SourcePickTest, UnhandledTypeIsRejectedByTheHostBeforeThePick) {
  // Type 30 is nothing the command handles.
  drawing().AddElement(401, 30, kSegment);
  EXPECT_FALSE(host().Pick(401));
  EXPECT_TRUE(host().CommandActive());
}

TEST_F(SourcePickTest, FailedLayerReadLeavesMinusOneInTheRecord) {
  CapturedProperties.layer = 17;
  host().FailCall("VekSgmGetLayer");
  PickAnyway(kFigure);
  EXPECT_EQ(CapturedProperties.layer, -1);
}

TEST_F(SourcePickTest, ElementOutsideAnySegmentSwitchesLayerCopyingOffForThisRunOnly) {
  // This host answers a layer even for "no segment", so the pick goes on.
  drawing().layerOfNoSegment = 8;
  PickAnyway(kLoose);

  EXPECT_EQ(host().CallsTo("VekSgmGetLayer")[0].args[0], int64_t{kVekNoId});
  EXPECT_EQ(SettingsFlags.mIsLayer, 0);
  EXPECT_EQ(Stored(u"mIsLayer"), u"1");
  EXPECT_EQ(host().CurrentPrompt(), u"변경할 형상 범위지시<현재=선색ㆍ선종>  : (종료버튼:설정창)");

  ASSERT_TRUE(host().SelectRange({kFigure}));
  EXPECT_EQ(drawing().segment(kSegment).layer, 42);
  EXPECT_TRUE(host().CallsTo("VekSgmChangeLayer").empty());
  EXPECT_EQ(drawing().element(kFigure).line.colour, 6);

  host().RunCommand();
  EXPECT_EQ(SettingsFlags.mIsLayer, 1);
}

TEST_F(SourcePickTest, ElementOutsideAnySegmentFailsWhenTheHostHasNoLayerForIt) {
  PickAnyway(kLoose);
  EXPECT_EQ(host().CallsTo("VekSgmGetLayer")[0].args[0], int64_t{kVekNoId});
  EXPECT_EQ(host().Errors(), (std::vector<std::u16string>{u"layer 정보를 참조할 수 없습니다."}));
  EXPECT_EQ(SettingsFlags.mIsLayer, 0);
  EXPECT_EQ(host().LastExecuteResult(), 0);
}

TEST_F(SourcePickTest, OtherNonPickEventsStayInTheStep) {
  for (int32_t kind : {0, 2, 6, 8, 100}) {
    ASSERT_TRUE(host().SendEvent(kind));
    EXPECT_EQ(host().LastExecuteResult(), 3) << kind;
    EXPECT_TRUE(host().CommandActive());
  }
  EXPECT_TRUE(host().Errors().empty());
}

TEST_F(SourcePickTest, PickOverwritesOnlyTheFieldsOfItsKind) {
  PickAnyway(kDimension);
  const auto charSize = sim::Bytes(CapturedProperties.dimCharSize);
  host().RunCommand();
  PickAnyway(kFigure);

  EXPECT_EQ(sim::Bytes(CapturedProperties.dimCharSize), charSize);
  EXPECT_EQ(CapturedProperties.decimalPlaces, 3);
  EXPECT_EQ(CapturedProperties.lineAttributes.colour, 5);
}

}  // namespace
