#include "vekhost_element_text.h"

#include "host/element_types.h"
#include "sim_records.h"
#include "vekhost_number.h"

namespace vekhost {
namespace {

std::string Signed(double value) { return (value >= 0 ? "+" : "") + FormatNumber(value); }

// The kind of element a type is, as the command tells them apart.
const char* KindName(int32_t type) {
  if (IsPlainFigureType(type)) return "figure";
  if (IsDimensionType(type)) return "dimension";
  if (IsAnnotationType(type)) return "annotation";
  return "other";
}

std::string CharSizeText(const VekCharSize& record) {
  const sim::CharSizeValue v = sim::ReadCharSize(record);
  return "height " + FormatNumber(v.height) + " width " + FormatNumber(v.width) + " spacing " +
         FormatNumber(v.spacing);
}

std::string ArrowsText(const VekArrows& record) {
  const sim::ArrowsValue v = sim::ReadArrows(record);
  return "start " + std::to_string(v.startKind) + " end " + std::to_string(v.endKind) + " size " +
         FormatNumber(v.size);
}

std::string ToleranceText(int32_t status, const VekTolerance& record) {
  const sim::ToleranceValue v = sim::ReadTolerance(record);
  return std::string(status == 1 ? "set " : "unset ") + Signed(v.upper) + "/" + Signed(v.lower) +
         " kind " + std::to_string(v.kind) +
         (status == 0 || status == 1 ? "" : " status " + std::to_string(status));
}

std::string Properties(const sim::Element& element, const ElementView* view) {
  if (IsDimensionType(element.type)) {
    return "value " + FormatNumber(view != nullptr ? view->value : 0) + ", decimal places " +
           std::to_string(element.decimalPlaces) + ", tolerance " +
           ToleranceText(element.toleranceStatus, element.tolerance) + ", char size " +
           CharSizeText(element.dimCharSize) + ", arrows " + ArrowsText(element.arrows[0]) + " / " +
           ArrowsText(element.arrows[1]);
  }
  if (IsAnnotationType(element.type)) {
    return "text \"" + (view != nullptr ? view->text : std::string()) + "\", char size " +
           CharSizeText(element.comment.charSize);
  }
  return "line colour " + std::to_string(element.line.colour) + ", line type " +
         std::to_string(element.line.lineType);
}

}  // namespace

std::string ElementText(VekId id, const DrawingFile& file, const sim::Drawing& drawing) {
  const sim::Element& element = *drawing.FindElement(id);
  const auto found = file.views.find(id);
  const ElementView* view = found != file.views.end() ? &found->second : nullptr;
  std::string text = std::string(KindName(element.type)) + " (type " + std::to_string(element.type);
  if (view != nullptr && view->shape.kind != Shape::Kind::kNone) {
    text += std::string(", ") + kShapeKindNames[static_cast<size_t>(view->shape.kind)];
  }
  text += ")  segment " + std::to_string(element.segment);
  if (const sim::Segment* segment = drawing.FindSegment(element.segment)) {
    text += "  layer " + std::to_string(segment->layer);
    if (const Layer* layer = file.FindLayer(segment->layer)) text += " \"" + layer->name + "\"";
  }
  return text + "  " + Properties(element, view);
}

std::vector<std::string> ElementChanges(const sim::Element& was, const sim::Element& is,
                                        const std::string& arrow) {
  std::vector<std::string> changes;
  // Most elements of a large session are unchanged in most properties: the
  // texts are made only for what differs. Records whose bytes differ may
  // still read the same.
  auto change = [&](const char* what, const std::string& before, const std::string& after) {
    if (before != after) changes.push_back(what + (" " + before) + " " + arrow + " " + after);
  };
  auto number = [&](const char* what, int32_t before, int32_t after) {
    if (before != after) change(what, std::to_string(before), std::to_string(after));
  };
  number("line colour", was.line.colour, is.line.colour);
  number("line type", was.line.lineType, is.line.lineType);
  number("decimal places", was.decimalPlaces, is.decimalPlaces);
  if (was.toleranceStatus != is.toleranceStatus ||
      sim::Bytes(was.tolerance) != sim::Bytes(is.tolerance)) {
    change("tolerance", ToleranceText(was.toleranceStatus, was.tolerance),
           ToleranceText(is.toleranceStatus, is.tolerance));
  }
  auto record = [&](const char* what, const auto& before, const auto& after, auto text) {
    if (sim::Bytes(before) != sim::Bytes(after)) change(what, text(before), text(after));
  };
  record("dimension char size", was.dimCharSize, is.dimCharSize, CharSizeText);
  record("arrows[0]", was.arrows[0], is.arrows[0], ArrowsText);
  record("arrows[1]", was.arrows[1], is.arrows[1], ArrowsText);
  record("annotation char size", was.comment.charSize, is.comment.charSize, CharSizeText);
  // Bytes the host keeps for itself: nothing of the module's should touch them.
  if (sim::Bytes(was.line) != sim::Bytes(is.line) && was.line.colour == is.line.colour &&
      was.line.lineType == is.line.lineType) {
    changes.push_back("line attributes: the host's own bytes changed");
  }
  return changes;
}

}  // namespace vekhost
