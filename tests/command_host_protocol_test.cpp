// What passes between the command and the host beyond the drawing: what each
// ready function gives back and the texts it names functions with, and the
// host's answers that mean more than the one value this host usually gives.
#include <climits>

#include "command/annotation_step.h"
#include "command/dimension_step.h"
#include "command/figure_range_step.h"
#include "command/source_step.h"
#include "command_fixture.h"

namespace {

constexpr VekId kFigure = 100;
constexpr VekId kAnnotation = 200;
constexpr VekId kDimension = 300;
constexpr VekId kTargetSegment = 20;
constexpr VekId kOtherSegment = 30;
const sim::CharSizeValue kCommentSize{3.5, 2.5, 1};
const sim::CharSizeValue kDimensionSize{2.5, 2, 0.5};
const sim::ArrowsValue kArrows{1, 2, 3.0};

// Sources in segment 10 (layer 42); a figure, an annotation and a dimension
// in each of the target segments 20 (with hole data) and 30, on layer 1.
class HostProtocolTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(10, 42);
    drawing().AddElement(kFigure, 3, 10).line = sim::MakeLineAttr(5, 6);
    drawing().AddElement(kAnnotation, 34, 10).comment = sim::MakeComment(kCommentSize);
    sim::Element& dimension = drawing().AddElement(kDimension, 16, 10);
    dimension.decimalPlaces = 3;
    dimension.dimCharSize = sim::MakeCharSize(kDimensionSize);
    dimension.arrows[1] = sim::MakeArrows(kArrows);
    for (VekId segment : {kTargetSegment, kOtherSegment}) {
      drawing().AddSegment(segment, 1);
      drawing().AddElement(segment * 10 + 1, 3, segment).line = sim::MakeLineAttr(1, 1);
      drawing().AddElement(segment * 10 + 2, 34, segment);
      drawing().AddElement(segment * 10 + 3, 16, segment);
    }
    drawing().AddHole(kTargetSegment, {sim::MakeHoleEntry(0, 1)});
  }
};

struct KindRow {
  const char* kind;
  VekId source;
  VekId target;
  bool range;  // the target step selects a range; else it picks
};

void PrintTo(const KindRow& row, std::ostream* os) { *os << row.kind; }

const KindRow kFigureRow{"figure", kFigure, 201, true};
const KindRow kAnnotationRow{"annotation", kAnnotation, 202, true};
const KindRow kDimensionRow{"dimension", kDimension, 203, false};

class EveryStepTest : public HostProtocolTest, public ::testing::WithParamInterface<KindRow> {};

// The start and every ready function give 0, and an execute or ready function
// is named with an empty text, never a null one: the host reads it.
TEST_P(EveryStepTest, ReadyFunctionsGiveZeroAndFunctionsAreNamedWithAnEmptyText) {
  host().RunCommand();
  ASSERT_TRUE(host().Pick(GetParam().source));
  ASSERT_TRUE(GetParam().range ? host().SelectRange({GetParam().target})
                               : host().Pick(GetParam().target));

  size_t readyCalls = 0;
  for (const sim::Callback& callback : host().Callbacks()) {
    if (callback.which != "start" && callback.which != "ready") continue;
    ++readyCalls;
    EXPECT_EQ(callback.result, 0) << callback.which;
  }
  // The start, the step opened by the source, and the dimension step again.
  EXPECT_EQ(readyCalls, GetParam().range ? 2u : 3u);
  size_t named = 0;
  for (const char* function : {"VekCtlSetReadyFunc", "VekCtlSetExecuteFunc"}) {
    for (const sim::Call& call : host().CallsTo(function)) {
      ++named;
      EXPECT_EQ(call.text, u"") << function;
      EXPECT_EQ(call.result, 0) << function;
    }
  }
  EXPECT_EQ(named, GetParam().range ? 3u : 5u);
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 42);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EveryStepTest,
                         ::testing::Values(kFigureRow, kAnnotationRow, kDimensionRow));

// The source step's ready function is called by the start function, not by
// the host, whose result it does not see; as a ready function it still gives
// 0, like the others called here as the host calls them.
TEST_F(HostProtocolTest, EachReadyFunctionGivesZeroToADirectCall) {
  for (VekReadyFunc ready : {SourceReady, FigureRangeReady, AnnotationReady, DimensionReady}) {
    EXPECT_EQ(ready(sim::kReadyArgs[0], sim::kReadyArgs[1], sim::kReadyArgs[2], sim::kReadyArgs[3]),
              0);
  }
}

class NonPickStatusTest : public HostProtocolTest, public ::testing::WithParamInterface<int32_t> {};

// VekEvtGetPoint says "no pick" with any value but 0, not only with 1; every
// event kind but the exit button then leaves the step as it is.
TEST_P(NonPickStatusTest, AnyNonZeroPointStatusIsNoPick) {
  const int32_t kinds[] = {INT32_MIN, -1, 0, 4, 6, 8, 100};
  host().SetNonPickStatus(GetParam());
  host().RunCommand();
  for (int32_t kind : kinds) {
    ASSERT_TRUE(host().SendEvent(kind));
    EXPECT_EQ(host().LastExecuteResult(), 3) << "source step, kind " << kind;
  }
  ASSERT_TRUE(host().PressExit());  // no dialog here: it cannot be shown
  EXPECT_EQ(host().LastExecuteResult(), 3);

  ASSERT_TRUE(host().Pick(kDimension));
  for (int32_t kind : kinds) {
    ASSERT_TRUE(host().SendEvent(kind));
    EXPECT_EQ(host().LastExecuteResult(), 3) << "dimension step, kind " << kind;
  }
  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(host().LastExecuteResult(), 0);

  EXPECT_TRUE(host().Errors().empty());
  EXPECT_EQ(host().CallsTo("VekEvtGetElementId").size(), 1u);  // the one pick
  EXPECT_TRUE(host().CallsTo("VekDimSetDecimalPlace").empty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, NonPickStatusTest,
                         ::testing::Values(1, 2, 7, -1, -2, INT32_MIN, INT32_MAX));

struct SuccessRow {
  const char* call;
  KindRow kind;
};

void PrintTo(const SuccessRow& row, std::ostream* os) { *os << row.call << " " << row.kind.kind; }

class SuccessStatusTest : public HostProtocolTest,
                          public ::testing::WithParamInterface<SuccessRow> {};

// Only -1 is a failure: a call that worked and answers -2 lets the command go
// on exactly as after 0. Colour, layer, hole layers, decimal places and size
// are copied; the line type is kept, so each line is read before it is set.
TEST_P(SuccessStatusTest, AStatusOtherThanMinusOneIsNoFailure) {
  const KindRow& kind = GetParam().kind;
  StoreSettings({1, 0, 1, 1, 0, 1, 1});
  host().AnswerSuccessWith(GetParam().call, -2);
  host().RunCommand();
  ASSERT_TRUE(host().Pick(kind.source));
  ASSERT_TRUE(kind.range ? host().SelectRange({kind.target, kind.target + 100})
                         : host().Pick(kind.target));

  EXPECT_TRUE(host().Errors().empty());
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, 42);
  const sim::Element& target = drawing().element(kind.target);
  if (kind.source == kFigure) {
    EXPECT_EQ(target.line.colour, 5);
    EXPECT_EQ(target.line.lineType, 1);
    EXPECT_EQ(drawing().hole(drawing().Holes().begin()->first).entries[0].layer, 42);
  } else if (kind.source == kAnnotation) {
    EXPECT_EQ(sim::ReadCharSize(target.comment.charSize), kCommentSize);
  } else {
    EXPECT_EQ(target.decimalPlaces, 3);
    EXPECT_EQ(sim::ReadCharSize(target.dimCharSize), kDimensionSize);
    EXPECT_EQ(sim::ReadArrows(target.arrows[0]), kArrows);
  }
  // A range goes on past the first segment.
  if (kind.range) {
    EXPECT_EQ(drawing().segment(kOtherSegment).layer, 42);
  }
}

INSTANTIATE_TEST_SUITE_P(Calls, SuccessStatusTest,
                         ::testing::Values(SuccessRow{"VekFigGetLineType", kFigureRow},
                                           SuccessRow{"VekFigSetLineType", kFigureRow},
                                           SuccessRow{"VekSgmChangeLayer", kFigureRow},
                                           SuccessRow{"VekHolGetHoleData", kFigureRow},
                                           SuccessRow{"VekHolAmendHoleData", kFigureRow},
                                           SuccessRow{"VekIddGetHeadSelIdData", kFigureRow},
                                           SuccessRow{"VekIddGetNextSelIdData", kFigureRow},
                                           SuccessRow{"VekCmtGetComment", kAnnotationRow},
                                           SuccessRow{"VekCmtSetCharSize", kAnnotationRow},
                                           SuccessRow{"VekSgmChangeLayer", kAnnotationRow},
                                           SuccessRow{"VekIddGetHeadSelIdData", kAnnotationRow},
                                           SuccessRow{"VekIddGetNextSelIdData", kAnnotationRow},
                                           SuccessRow{"VekDimGetCharSize", kDimensionRow},
                                           SuccessRow{"VekDimGetArrow", kDimensionRow},
                                           SuccessRow{"VekSgmChangeLayer", kDimensionRow}));

// A layer or a number of decimal places of -2 is a value like any other, read
// and copied without a message; only -1 says the read failed.
TEST_F(HostProtocolTest, ValuesOfMinusTwoAreCopiedAsRead) {
  StoreSettings({0, 0, 1, 1, 0, 0, 0});
  drawing().segment(10).layer = -2;
  drawing().element(kDimension).decimalPlaces = -2;
  host().RunCommand();
  ASSERT_TRUE(host().Pick(kDimension));
  ASSERT_TRUE(host().Pick(203));

  EXPECT_TRUE(host().Errors().empty());
  EXPECT_EQ(drawing().segment(kTargetSegment).layer, -2);
  EXPECT_EQ(drawing().element(203).decimalPlaces, -2);
}

}  // namespace
