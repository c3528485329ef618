// The annotation step: character size onto every element of the selected
// segments, whatever the settings, and the layer as chosen.
#include "command_fixture.h"

namespace {

constexpr VekId kSource = 100;
constexpr VekId kTargetSegment = 20;
constexpr VekId kOtherSegment = 30;
const sim::CharSizeValue kSourceSize{5.0, 4.0, 1.5};

class AnnotationTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(10, 42);
    drawing().AddElement(kSource, 33, 10).comment = sim::MakeComment(kSourceSize);
    drawing().AddSegment(kTargetSegment, 1, 55);
    drawing().AddElement(201, 35, kTargetSegment);
    drawing().AddElement(202, 3, kTargetSegment);  // a figure in the same segment
    drawing().AddHole(kTargetSegment, {sim::MakeHoleEntry(0, 1)});
    drawing().AddSegment(kOtherSegment, 1);
    drawing().AddElement(301, 34, kOtherSegment);
  }

  void StartWith(const std::vector<int>& flags) {
    StoreSettings(flags);
    host().RunCommand();
    ASSERT_TRUE(host().Pick(kSource));
    host().ClearTrace();
  }

  sim::CharSizeValue SizeOf(VekId id) {
    return sim::ReadCharSize(drawing().element(id).comment.charSize);
  }
};

TEST_F(AnnotationTest, ReadyClearsTheSelectionAndAsksForAnnotations) {
  host().RunCommand();
  host().ClearTrace();
  ASSERT_TRUE(host().Pick(kSource));
  EXPECT_EQ(CallsFrom("VekIddClearSysIdData"),
            (std::vector<std::string>{"VekIddClearSysIdData", "VekEvtSetEventMask",
                                      "VekEvtSetCompareFunction", "VekMsgPutMessage",
                                      "VekCtlSetExecuteFunc"}));
  EXPECT_EQ(host().CallsTo("VekIddClearSysIdData")[0].args,
            (std::vector<int64_t>(sim::kReadyArgs.begin(), sim::kReadyArgs.end())));
  EXPECT_EQ(host().EventMask(), 0x20u);
  EXPECT_EQ(host().CurrentPrompt(), u"주기복수지시 : (종료버튼:설정창)");
  const VekCompareFunc filter = host().CompareFunction();
  EXPECT_EQ(filter(201), 1);
  EXPECT_EQ(filter(202), 0);
  EXPECT_EQ(filter(kSource), 1);
}

TEST_F(AnnotationTest, ApplyWalksTheSelectionThenClosesItAndRedraws) {
  StartWith({0, 0, 1, 0, 0, 0, 0});
  ASSERT_TRUE(host().SelectRange({201, 301}));

  const std::vector<std::string> expected = {
      "VekIddOpenSelIdData", "VekIddGetHeadSelIdData",
      // the target segment: layer, then each element's character size
      "VekEnvGetCurrentFrame", "VekSgmChangeLayer", "VekSgmGetHeadElementId", "VekCmtSetCharSize",
      "VekElmGetNextElementId", "VekCmtSetCharSize", "VekElmGetNextElementId",
      "VekIddGetNextSelIdData",
      // the other segment
      "VekEnvGetCurrentFrame", "VekSgmChangeLayer", "VekSgmGetHeadElementId", "VekCmtSetCharSize",
      "VekElmGetNextElementId", "VekIddGetNextSelIdData", "VekIddCloseSelIdData", "VekFilRedraw"};
  EXPECT_EQ(Calls(), expected);
  EXPECT_EQ(
      host().CallsTo("VekIddOpenSelIdData")[0].args,
      (std::vector<int64_t>{1, host().LastEventData(), sim::kExecuteArg3, sim::kExecuteArg4}));
}

TEST_F(AnnotationTest, EveryElementOfTheSegmentGetsTheSizeWhateverTheFlags) {
  StartWith({0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(host().SelectRange({201, 301}));

  EXPECT_EQ(SizeOf(201), kSourceSize);
  EXPECT_EQ(SizeOf(202), kSourceSize);  // not an annotation, still given the size
  EXPECT_EQ(SizeOf(301), kSourceSize);
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 1);
  EXPECT_EQ(host().RedrawCount(), 1);
  EXPECT_EQ(host().LastExecuteResult(), 0);
  EXPECT_EQ(host().OpenSelectionLists(), 0u);
}

TEST_F(AnnotationTest, LayerFollowsTheFlagInFrameOneAndHoleDataIsNotTouched) {
  StartWith({1, 1, 1, 1, 0, 0, 1});
  ASSERT_TRUE(host().SelectRange({201, 301}));
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 42);
  EXPECT_EQ(drawing().segment(kOtherSegment).layer, 42);
  EXPECT_EQ(drawing().Holes().begin()->second.entries[0].layer, 1);
  EXPECT_TRUE(host().CallsTo("VekSgmHasAttribute").empty());
  EXPECT_TRUE(host().CallsTo("VekHolGetHoleId").empty());

  StartWith({1, 1, 1, 1, 0, 0, 1});
  host().SetCurrentFrame(3);
  drawing().segment(kOtherSegment).layer = 1;
  ASSERT_TRUE(host().SelectRange({301}));
  EXPECT_EQ(drawing().segment(kOtherSegment).layer, 1);
}

TEST_F(AnnotationTest, FailuresAreReportedAndTheLoopGoesOn) {
  StartWith({1, 1, 1, 1, 0, 0, 0});
  host().FailCall("VekSgmChangeLayer", kTargetSegment);
  host().FailCall("VekCmtSetCharSize", 201);
  ASSERT_TRUE(host().SelectRange({201, 301}));

  EXPECT_EQ(host().Errors(),
            (std::vector<std::u16string>{u"layer 정보를 수정할 수 없습니다.(2)",
                                         u"주기문자사이즈를 수정할 수 없습니다."}));
  EXPECT_EQ(SizeOf(202), kSourceSize);
  EXPECT_EQ(SizeOf(301), kSourceSize);
  EXPECT_EQ(drawing().segment(kOtherSegment).layer, 42);
  EXPECT_EQ(host().RedrawCount(), 1);
}

TEST_F(AnnotationTest, OtherEventsStayInTheStep) {
  StartWith({1, 1, 1, 1, 0, 0, 0});
  ASSERT_TRUE(host().SendEvent(5));
  EXPECT_EQ(host().LastExecuteResult(), 3);
  EXPECT_TRUE(host().CallsTo("VekIddOpenSelIdData").empty());
}

}  // namespace
