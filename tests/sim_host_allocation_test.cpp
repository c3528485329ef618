// With its trace off the simulated host must answer the library's calls from
// memory it already has: a benchmark of an apply over a million elements then
// measures the calls, not the allocator. The test program's operator new
// counts what it hands out (counting_new.h), so a test can tell how many
// allocations a stretch of code made.
#include <gtest/gtest.h>

#include "command_fixture.h"
#include "counting_new.h"

namespace {

constexpr VekId kFigureSource = 100;
constexpr VekId kAnnotationSource = 110;
constexpr VekId kDimensionSource = 120;
constexpr VekId kFirstTarget = 1000;
constexpr int32_t kSourceLayer = 9;
constexpr int kSegments = 6;
constexpr int kElementsPerSegment = 4;

class HostAllocationTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    drawing().AddSegment(10, kSourceLayer);
    drawing().AddElement(kFigureSource, 2, 10).line = sim::MakeLineAttr(4, 5);
    drawing().AddElement(kAnnotationSource, 34, 10).comment = sim::MakeComment({3, 2, 1});
    drawing().AddElement(kDimensionSource, 12, 10).decimalPlaces = 3;
    for (int s = 0; s < kSegments; ++s) {
      const VekId segment = static_cast<VekId>(20 + s);
      drawing().AddSegment(segment, 1, 70);
      // Holes of one, two and three entries, the largest not first: every
      // hole is lent in one buffer, which must already fit the largest.
      std::vector<VekHoleEntry> entries;
      for (int i = 0; i <= s % 3; ++i) entries.push_back(sim::MakeHoleEntry(i + 1, 1));
      drawing().AddHole(segment, std::move(entries));
      for (int e = 0; e < kElementsPerSegment; ++e) {
        drawing().AddElement(TargetOf(s, e), 12, segment);
      }
      selection_.push_back({segment, 70, TargetOf(s, 0)});
    }
  }

  static VekId TargetOf(int segment, int element) {
    return kFirstTarget + static_cast<VekId>(segment * kElementsPerSegment + element);
  }

  // Enters the step that a pick of `source` leads to, with every setting on.
  void EnterStepOf(VekId source) {
    StoreSettings({1, 1, 1, 1, 1, 1, 1});
    host().RunCommand();
    ASSERT_TRUE(host().Pick(source));
    host().SetSelection(selection_);
    host().SetTracing(false);
    host().SetKeepMessages(false);
  }

  // The allocations made by one apply of the selection, called as the host
  // calls it once the range is complete.
  long AllocationsOfOneApply() {
    VekExecuteFunc apply = host().ExecuteFunction();
    const long before = counting_new::Count();
    const int32_t result =
        apply(kEventRangeComplete, host().LastEventData(), sim::kExecuteArg3, sim::kExecuteArg4);
    const long made = counting_new::Count() - before;
    EXPECT_EQ(result, kExecuteEnd);
    return made;
  }

  std::vector<sim::SelectionEntry> selection_;
};

TEST_F(HostAllocationTest, CountsTheAllocationsOfATracedApply) {
  EnterStepOf(kFigureSource);
  host().SetTracing(true);
  EXPECT_GT(AllocationsOfOneApply(), 0);
  EXPECT_FALSE(host().Trace().empty());
}

TEST_F(HostAllocationTest, FigureApplyWithHoleLayersAllocatesNothing) {
  EnterStepOf(kFigureSource);
  EXPECT_EQ(AllocationsOfOneApply(), 0);
  // The apply did its work: every segment, its holes and its lines changed.
  for (const sim::SelectionEntry& entry : selection_) {
    EXPECT_EQ(drawing().segment(entry.segment).layer, kSourceLayer);
  }
  for (const auto& [id, hole] : drawing().Holes()) {
    for (const VekHoleEntry& e : hole.entries) EXPECT_EQ(e.layer, kSourceLayer);
  }
  EXPECT_EQ(drawing().element(TargetOf(kSegments - 1, kElementsPerSegment - 1)).line.colour, 4);
  EXPECT_EQ(host().RedrawCount(), 1);
}

TEST_F(HostAllocationTest, FigureApplyReadingLinesAllocatesNothing) {
  EnterStepOf(kFigureSource);
  SettingsFlags.mIsLType = 0;  // the read-modify-write path
  EXPECT_EQ(AllocationsOfOneApply(), 0);
  const VekLineAttr line = drawing().element(TargetOf(2, 1)).line;
  EXPECT_EQ(line.colour, 4);
  EXPECT_EQ(line.lineType, 0);
}

TEST_F(HostAllocationTest, AnnotationApplyAllocatesNothing) {
  EnterStepOf(kAnnotationSource);
  EXPECT_EQ(AllocationsOfOneApply(), 0);
  EXPECT_EQ(sim::ReadCharSize(drawing().element(TargetOf(3, 2)).comment.charSize),
            (sim::CharSizeValue{3, 2, 1}));
}

TEST_F(HostAllocationTest, DimensionPicksAllocateNothing) {
  EnterStepOf(kDimensionSource);
  const size_t shown = host().Messages().size();
  const long before = counting_new::Count();
  for (int s = 0; s < kSegments; ++s) ASSERT_TRUE(host().Pick(TargetOf(s, 1)));
  EXPECT_EQ(counting_new::Count() - before, 0);
  EXPECT_EQ(drawing().element(TargetOf(4, 1)).decimalPlaces, 3);
  EXPECT_EQ(host().Messages().size(), shown);
  EXPECT_EQ(host().CurrentPrompt(), u"치수지시 : ");
}

}  // namespace
