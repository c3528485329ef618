// What passes between the command and the host beyond the drawing: what each
// ready function gives back and the texts it names functions with, and the
// host's answers that mean more than the one value this host usually gives.
#include <climits>

#include "command/annotation_step.h"
#include "command/dimension_step.h"
#include "command/figure_range_step.h"
#include "command/source_step.h"
#include "command_fixture.h"
#include "test_names.h"

namespace {

constexpr VekId kFigure = 100;
constexpr VekId kAnnotation = 200;
constexpr VekId kDimension = 300;
constexpr VekId kTargetSegment = 20;

class HostProtocolTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(10, 42);
    drawing().AddElement(kFigure, 3, 10);
    drawing().AddElement(kAnnotation, 34, 10);
    drawing().AddElement(kDimension, 16, 10).decimalPlaces = 3;
    drawing().AddSegment(kTargetSegment, 1);
    drawing().AddElement(201, 3, kTargetSegment);
    drawing().AddElement(202, 34, kTargetSegment);
    drawing().AddElement(203, 16, kTargetSegment);
  }
};

struct KindRow {
  const char* kind;
  VekId source;
  VekId target;
  bool range;  // the target step selects a range; else it picks
};

void PrintTo(const KindRow& row, std::ostream* os) { *os << row.kind; }

class EveryStepTest : public HostProtocolTest, public ::testing::WithParamInterface<KindRow> {};

// A ready function gives 0, and an execute or ready function is named with an
// empty text, never a null one: the host reads it.
TEST_P(EveryStepTest, ReadyFunctionsGiveZeroAndFunctionsAreNamedWithAnEmptyText) {
  host().RunCommand();
  ASSERT_TRUE(host().Pick(GetParam().source));
  ASSERT_TRUE(GetParam().range ? host().SelectRange({GetParam().target})
                               : host().Pick(GetParam().target));

  size_t readyCalls = 0;
  for (const sim::Callback& callback : host().Callbacks()) {
    if (callback.which != "ready") continue;
    ++readyCalls;
    EXPECT_EQ(callback.result, 0);
  }
  // The step opened by the source, and the dimension step once more.
  EXPECT_EQ(readyCalls, GetParam().range ? 1u : 2u);
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
                         ::testing::Values(KindRow{"figure", kFigure, 201, true},
                                           KindRow{"annotation", kAnnotation, 202, true},
                                           KindRow{"dimension", kDimension, 203, false}));

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

// VekEvtGetPoint says "no pick" with any value but 0, not only with 1.
TEST_P(NonPickStatusTest, AnyNonZeroPointStatusIsNoPick) {
  host().SetNonPickStatus(GetParam());
  host().RunCommand();
  ASSERT_TRUE(host().SendEvent(4));
  EXPECT_EQ(host().LastExecuteResult(), 3);
  ASSERT_TRUE(host().PressExit());  // no dialog here: it cannot be shown
  EXPECT_EQ(host().LastExecuteResult(), 3);

  ASSERT_TRUE(host().Pick(kDimension));
  ASSERT_TRUE(host().SendEvent(4));
  EXPECT_EQ(host().LastExecuteResult(), 3);
  ASSERT_TRUE(host().PressExit());
  EXPECT_EQ(host().LastExecuteResult(), 0);

  EXPECT_TRUE(host().Errors().empty());
  EXPECT_EQ(host().CallsTo("VekEvtGetElementId").size(), 1u);  // the one pick
  EXPECT_TRUE(host().CallsTo("VekDimSetDecimalPlace").empty());
}

INSTANTIATE_TEST_SUITE_P(Statuses, NonPickStatusTest,
                         ::testing::Values(1, 2, 7, -1, -2, INT32_MIN, INT32_MAX));

}  // namespace
