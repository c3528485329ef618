#include "workload.h"

#include <stdexcept>
#include <string>

#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "tests/test_registry.h"

namespace workload {
namespace {

constexpr int32_t kSourceLayer = 7;
constexpr int32_t kTargetLayer = 1;
constexpr int32_t kTargetType = 12;  // a dimension
constexpr VekId kCompanion = 70;

const std::u16string kSettingsKey = SettingsKeyPath();

void AddSources(sim::Drawing& drawing) {
  drawing.AddSegment(kSourceSegment, kSourceLayer);
  drawing.AddElement(kFigureSource, 2, kSourceSegment).line = sim::MakeLineAttr(5, 3);
  drawing.AddElement(kAnnotationSource, 34, kSourceSegment).comment =
      sim::MakeComment({2.5, 2.0, 0.5});
  sim::Element& dimension = drawing.AddElement(kDimensionSource, 15, kSourceSegment);
  dimension.decimalPlaces = 2;
  dimension.toleranceStatus = 1;
  dimension.tolerance = sim::MakeTolerance({0.1, -0.1, 1});
  dimension.dimCharSize = sim::MakeCharSize({3.5, 3.0, 1.0});
  dimension.arrows[1] = sim::MakeArrows({1, 2, 2.5});
}

VekId SourceOf(Path path) {
  if (path == Path::kAnnotation) return kAnnotationSource;
  if (path == Path::kDimensionPicks) return kDimensionSource;
  return kFigureSource;
}

}  // namespace

std::string_view NameOf(Path path) {
  switch (path) {
    case Path::kFigureBothLineFlags:
      return "FigureBothLineFlags";
    case Path::kFigureColourOnly:
      return "FigureColourOnly";
    case Path::kFigureNoLineFlags:
      return "FigureNoLineFlags";
    case Path::kFigureLayer:
      return "FigureLayer";
    case Path::kFigureLayerAndHoles:
      return "FigureLayerAndHoles";
    case Path::kAnnotation:
      return "Annotation";
    case Path::kDimensionPicks:
      return "DimensionPicks";
  }
  return "?";
}

std::array<int, 7> FlagsOf(Path path) {
  switch (path) {
    case Path::kFigureBothLineFlags:
      return {1, 1, 0, 0, 0, 0, 0};
    case Path::kFigureColourOnly:
      return {1, 0, 0, 0, 0, 0, 0};
    case Path::kFigureNoLineFlags:
      return {0, 0, 0, 0, 0, 0, 0};
    case Path::kFigureLayer:
      return {1, 1, 1, 0, 0, 0, 0};
    case Path::kFigureLayerAndHoles:
      return {1, 1, 1, 0, 0, 0, 1};
    case Path::kAnnotation:
      return {0, 0, 1, 0, 0, 0, 0};
    case Path::kDimensionPicks:
      return {0, 0, 1, 1, 1, 1, 0};
  }
  return {};
}

void BuildDrawing(sim::Drawing& drawing, size_t elements) {
  drawing = sim::Drawing();
  AddSources(drawing);
  const size_t segments = (elements + kElementsPerSegment - 1) / kElementsPerSegment;
  VekId element = kFirstTarget;
  for (size_t s = 0; s < segments; ++s) {
    const VekId segment = kFirstTargetSegment + static_cast<VekId>(s);
    drawing.AddSegment(segment, kTargetLayer, kCompanion);
    drawing.AddHole(segment,
                    {sim::MakeHoleEntry(1, kTargetLayer), sim::MakeHoleEntry(2, kTargetLayer)});
    for (size_t e = 0; e < kElementsPerSegment; ++e) {
      drawing.AddElement(element++, kTargetType, segment).line = sim::MakeLineAttr(1, 1);
    }
  }
}

std::vector<VekId> Targets(const sim::Drawing& drawing) {
  std::vector<VekId> targets;
  for (VekId id : drawing.ElementIds()) {
    if (id >= kFirstTarget) targets.push_back(id);
  }
  return targets;
}

void EnterStep(Path path) {
  sim::Host& host = sim::Host::Instance();
  const std::array<int, 7> flags = FlagsOf(path);
  for (size_t i = 0; i < flags.size(); ++i) {
    testreg::SetString(kSettingsKey, kSettings[i].name, flags[i] ? u"1" : u"0");
  }
  if (!host.RunCommand() || !host.Pick(SourceOf(path))) {
    throw std::runtime_error("the module did not take the source pick");
  }
  if (path == Path::kDimensionPicks) return;
  std::vector<sim::SelectionEntry> selection;
  for (VekId id : host.drawing().SegmentIds()) {
    if (id >= kFirstTargetSegment) {
      const sim::Segment& segment = *host.drawing().FindSegment(id);
      selection.push_back({id, segment.companion, segment.elements.front()});
    }
  }
  host.SetSelection(std::move(selection));
}

int32_t RunModule(Path path, const std::vector<VekId>& targets) {
  sim::Host& host = sim::Host::Instance();
  if (path == Path::kDimensionPicks) {
    for (VekId target : targets) host.Pick(target);
    return host.LastExecuteResult().value_or(kVekFailure);
  }
  return host.ExecuteFunction()(kEventRangeComplete, kRangeEventData, sim::kExecuteArg3,
                                sim::kExecuteArg4);
}

}  // namespace workload
