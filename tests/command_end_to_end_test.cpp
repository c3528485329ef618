// Whole runs over a drawing of a few dozen elements, one per kind of source,
// checked by comparing the drawing afterwards with the drawing before: the
// targets must change exactly as chosen, and nothing else may change at all.
#include <map>

#include "command_fixture.h"

namespace {

// Segments 1..6 on layers 1..3; six elements each: figures in 1-3, annotations
// in 4, dimensions in 5-6. Segment 2 carries hole data.
class EndToEndTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    for (VekId s = 1; s <= 6; ++s) {
      drawing().AddSegment(s, static_cast<int32_t>(1 + s % 3), 900 + s);
      for (VekId i = 0; i < 6; ++i) {
        const VekId id = s * 100 + i;
        const int32_t type = s <= 3   ? static_cast<int32_t>(i)
                             : s == 4 ? 33 + int32_t(i % 3)
                                      : 12 + int32_t(i);
        sim::Element& e = drawing().AddElement(id, type, s);
        e.line = sim::MakeLineAttr(static_cast<int32_t>(id % 7), static_cast<int32_t>(id % 5));
        e.comment = sim::MakeComment({1.0 + i, 1.0, 0.2});
        e.decimalPlaces = static_cast<int32_t>(i % 4);
        e.toleranceStatus = i == 0 ? 1 : 0;
        e.tolerance = sim::MakeTolerance({0.1 * i, -0.1 * i, 1});
        e.dimCharSize = sim::MakeCharSize({2.0 + i, 2.0, 0.5});
        e.arrows[0] = sim::MakeArrows({1, 1, 1.0 + i});
        e.arrows[1] = sim::MakeArrows({2, 3, 4.0 + i});
      }
    }
    drawing().AddHole(2, {sim::MakeHoleEntry(1, 3), sim::MakeHoleEntry(2, 3)});
    before_ = drawing();
  }

  sim::Element& Before(VekId id) { return before_.element(id); }

  // Every element, segment and hole of the drawing against `expected`.
  void ExpectDrawing(const sim::Drawing& expected) {
    ASSERT_EQ(drawing().ElementIds(), expected.ElementIds());
    for (VekId id : expected.ElementIds()) {
      const sim::Element& e = *expected.FindElement(id);
      const sim::Element& got = drawing().element(id);
      EXPECT_EQ(sim::Bytes(got.line), sim::Bytes(e.line)) << id;
      EXPECT_EQ(sim::Bytes(got.comment), sim::Bytes(e.comment)) << id;
      EXPECT_EQ(got.decimalPlaces, e.decimalPlaces) << id;
      EXPECT_EQ(sim::Bytes(got.tolerance), sim::Bytes(e.tolerance)) << id;
      EXPECT_EQ(sim::Bytes(got.dimCharSize), sim::Bytes(e.dimCharSize)) << id;
      EXPECT_EQ(sim::Bytes(got.arrows), sim::Bytes(e.arrows)) << id;
    }
    ASSERT_EQ(drawing().SegmentIds(), expected.SegmentIds());
    for (VekId id : expected.SegmentIds()) {
      EXPECT_EQ(drawing().segment(id).layer, expected.FindSegment(id)->layer) << "segment " << id;
    }
    for (const auto& [id, h] : expected.Holes()) {
      ASSERT_EQ(drawing().hole(id).entries.size(), h.entries.size());
      for (size_t i = 0; i < h.entries.size(); ++i) {
        EXPECT_EQ(sim::Bytes(drawing().hole(id).entries[i]), sim::Bytes(h.entries[i]));
      }
    }
  }

  sim::Drawing before_;
};

TEST_F(EndToEndTest, FigureSourceOntoARange) {
  StoreSettings({1, 0, 1, 1, 0, 0, 1});
  host().RunCommand();
  ASSERT_TRUE(host().Pick(303));  // segment 3, layer 1
  // Elements of segments 1 and 2, one annotation that the filter drops.
  ASSERT_TRUE(host().SelectRange({101, 205, 400, 104}));

  sim::Drawing expected = before_;
  const VekLineAttr source = Before(303).line;
  for (VekId s : {1u, 2u}) {
    expected.segment(s).layer = 1;
    for (VekId id : expected.segment(s).elements) expected.element(id).line.colour = source.colour;
  }
  for (auto& entry : expected.hole(expected.Holes().begin()->first).entries) entry.layer = 1;
  ExpectDrawing(expected);
  EXPECT_EQ(host().RedrawCount(), 1);
  EXPECT_TRUE(host().Errors().empty());
}

TEST_F(EndToEndTest, AnnotationSourceOntoSeveralAnnotations) {
  StoreSettings({0, 0, 1, 0, 0, 0, 1});
  drawing().segment(4).layer = 3;
  before_.segment(4).layer = 3;
  drawing().AddSegment(7, 2);
  drawing().AddElement(700, 35, 7).comment = sim::MakeComment({9.0, 8.0, 0.7});
  before_ = drawing();

  host().RunCommand();
  ASSERT_TRUE(host().Pick(700));
  ASSERT_TRUE(host().SelectRange({401, 102}));  // the figure is filtered out

  sim::Drawing expected = before_;
  expected.segment(4).layer = 2;
  for (VekId id : expected.segment(4).elements) {
    expected.element(id).comment.charSize = Before(700).comment.charSize;
  }
  ExpectDrawing(expected);
}

TEST_F(EndToEndTest, DimensionSourceOntoPickedDimensionsUntilExit) {
  StoreSettings({1, 1, 0, 1, 1, 1, 0});
  host().RunCommand();
  ASSERT_TRUE(host().Pick(500));  // tolerance status 1
  for (VekId id : {601u, 603u, 605u}) ASSERT_TRUE(host().Pick(id));
  EXPECT_FALSE(host().Pick(101));  // not a dimension: the host does not deliver it
  ASSERT_TRUE(host().PressExit());

  sim::Drawing expected = before_;
  for (VekId id : {601u, 603u, 605u}) {
    sim::Element& e = expected.element(id);
    e.decimalPlaces = Before(500).decimalPlaces;
    e.tolerance = Before(500).tolerance;
    e.dimCharSize = Before(500).dimCharSize;
    e.arrows[0] = Before(500).arrows[1];
  }
  ExpectDrawing(expected);
  EXPECT_FALSE(host().CommandActive());
  EXPECT_EQ(host().RedrawCount(), 0);
}

}  // namespace
