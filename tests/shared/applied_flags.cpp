#include "shared/applied_flags.h"

#include <gtest/gtest.h>

#include "sim_host.h"
#include "sim_records.h"

namespace shared {
namespace {

constexpr VekId kFigure = 100;
constexpr VekId kFigureTarget = 201;
constexpr VekId kTargetSegment = 20;
constexpr VekId kDimension = 110;
constexpr VekId kDimensionTarget = 210;
constexpr VekId kAnnotation = 120;
constexpr int32_t kSourceLayer = 42;
const sim::CharSizeValue kSourceSize{3.5, 3.0, 0.5};
const sim::ToleranceValue kSourceTolerance{0.05, -0.02, 2};

// Every property of a target differs from its source's, so a copy shows.
VekHoleId BuildDrawing() {
  sim::Drawing& drawing = sim::Host::Instance().drawing();
  drawing = sim::Drawing{};

  drawing.AddSegment(10, kSourceLayer);
  drawing.AddElement(kFigure, 1, 10).line = sim::MakeLineAttr(5, 2);
  drawing.AddSegment(kTargetSegment, 1, 77);
  drawing.AddElement(kFigureTarget, 0, kTargetSegment).line = sim::MakeLineAttr(1, 1);
  const VekHoleId hole = drawing.AddHole(kTargetSegment, {sim::MakeHoleEntry(7, 1)}).id;

  drawing.AddSegment(11, kSourceLayer);
  sim::Element& source = drawing.AddElement(kDimension, 12, 11);
  source.decimalPlaces = 3;
  source.toleranceStatus = 1;
  source.tolerance = sim::MakeTolerance(kSourceTolerance);
  source.dimCharSize = sim::MakeCharSize(kSourceSize);
  drawing.AddSegment(21, 1);
  sim::Element& target = drawing.AddElement(kDimensionTarget, 29, 21);
  target.decimalPlaces = 1;
  target.dimCharSize = sim::MakeCharSize({1, 1, 1});

  drawing.AddSegment(12, kSourceLayer);
  drawing.AddElement(kAnnotation, 33, 12).comment = sim::MakeComment(kSourceSize);
  return hole;
}

VekHoleId& FigureHole() {
  static VekHoleId hole = 0;
  return hole;
}

}  // namespace

void PickFigureSource() {
  FigureHole() = BuildDrawing();
  EXPECT_TRUE(sim::Host::Instance().Pick(kFigure));
}

std::vector<int> SelectFigureTargets() {
  sim::Host& host = sim::Host::Instance();
  EXPECT_TRUE(host.SelectRange({kFigureTarget}));
  sim::Drawing& drawing = host.drawing();
  const VekLineAttr& line = drawing.element(kFigureTarget).line;
  return {line.colour == 5, line.lineType == 2,
          drawing.segment(kTargetSegment).layer == kSourceLayer,
          drawing.hole(FigureHole()).entries.at(0).layer == kSourceLayer};
}

void PickAnnotationSource() {
  BuildDrawing();
  EXPECT_TRUE(sim::Host::Instance().Pick(kAnnotation));
}

std::vector<int> AppliedFigureFlags() {
  PickFigureSource();
  return SelectFigureTargets();
}

std::vector<int> AppliedDimensionFlags() {
  sim::Host& host = sim::Host::Instance();
  BuildDrawing();
  EXPECT_TRUE(host.Pick(kDimension));
  EXPECT_TRUE(host.Pick(kDimensionTarget));
  const sim::Element& target = host.drawing().element(kDimensionTarget);
  return {target.decimalPlaces == 3,
          target.toleranceStatus == 1 && sim::ReadTolerance(target.tolerance) == kSourceTolerance,
          sim::ReadCharSize(target.dimCharSize) == kSourceSize};
}

std::vector<int> AppliedFlags() {
  sim::Host& host = sim::Host::Instance();
  EXPECT_TRUE(host.RunCommand());
  const std::vector<int> figure = AppliedFigureFlags();
  EXPECT_TRUE(host.RunCommand());
  const std::vector<int> dimension = AppliedDimensionFlags();
  return {figure[0], figure[1], figure[2], dimension[0], dimension[1], dimension[2], figure[3]};
}

}  // namespace shared
