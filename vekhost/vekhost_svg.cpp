#include "vekhost_svg.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string_view>
#include <vector>

#include "host/element_types.h"
#include "sim_records.h"
#include "vekhost_element_text.h"
#include "vekhost_number.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

constexpr double kMargin = 10;
constexpr double kStroke = 0.35;
constexpr double kPixelsPerUnit = 4;
constexpr double kPi = 3.14159265358979323846;

std::string Escape(const std::string& text) {
  static constexpr std::string_view kSpecial = "&<>\"";
  static constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;"};
  std::string out;
  for (char c : text) {
    const size_t at = kSpecial.find(c);
    out += at == std::string_view::npos ? std::string_view(&c, 1) : kEntities[at];
  }
  return out;
}

std::string N(double value) { return FormatNumber(value, 3); }

// cos and sin of a whole number of quarter turns are exact; the C libraries
// of different platforms only agree to the last bit on those, so the others
// are rounded to three places, which the picture cannot show anyway.
Point OnCircle(const Point& centre, double radius, double degrees) {
  const double quarter = degrees / 90.0;
  if (quarter == std::floor(quarter)) {
    const int q = ((static_cast<int>(quarter) % 4) + 4) % 4;
    static constexpr int kCos[] = {1, 0, -1, 0};  // the sine is a quarter turn behind
    return {centre.x + radius * kCos[q], centre.y + radius * kCos[(q + 3) % 4]};
  }
  const double radians = degrees * kPi / 180.0;
  return {centre.x + radius * std::cos(radians), centre.y + radius * std::sin(radians)};
}

struct Bounds {
  Point min{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  Point max{std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  void Add(const Point& p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y)};
  }
  bool Empty() const { return min.x > max.x; }
};

Bounds Measure(const DrawingFile& file, const sim::Drawing& drawing) {
  Bounds bounds;
  for (VekId id : file.elements) {
    const ElementView& view = file.views.at(id);
    const Shape& shape = view.shape;
    for (const Point& p : shape.points) bounds.Add(p);
    if (shape.kind == Shape::Kind::kCircle || shape.kind == Shape::Kind::kArc) {
      bounds.Add({shape.centre.x - shape.radius, shape.centre.y - shape.radius});
      bounds.Add({shape.centre.x + shape.radius, shape.centre.y + shape.radius});
    }
    if (view.at) {
      bounds.Add(*view.at);
      // Room for the text above its anchor.
      if (const sim::Element* e = drawing.FindElement(id)) {
        const VekCharSize& size = IsAnnotationType(e->type) ? e->comment.charSize : e->dimCharSize;
        bounds.Add({view.at->x, view.at->y + sim::ReadCharSize(size).height});
      }
    }
  }
  if (bounds.Empty()) bounds.Add({0, 0});
  return bounds;
}

// Drawing coordinates have y up, SVG has y down.
struct Frame {
  explicit Frame(const Bounds& b)
      : left(b.min.x - kMargin),
        top(b.max.y + kMargin),
        width(b.max.x - b.min.x + 2 * kMargin),
        height(b.max.y - b.min.y + 2 * kMargin) {}
  std::string X(double x) const { return N(x - left); }
  std::string Y(double y) const { return N(top - y); }
  std::string XY(const Point& p) const { return X(p.x) + "," + Y(p.y); }
  double left, top, width, height;
};

std::string ShapeSvg(const Shape& shape, const Frame& frame, const std::string& attributes) {
  switch (shape.kind) {
    case Shape::Kind::kNone:
      return {};
    case Shape::Kind::kLine:
      return "<line x1=\"" + frame.X(shape.points[0].x) + "\" y1=\"" + frame.Y(shape.points[0].y) +
             "\" x2=\"" + frame.X(shape.points[1].x) + "\" y2=\"" + frame.Y(shape.points[1].y) +
             "\"" + attributes + "/>";
    case Shape::Kind::kPolyline: {
      std::string points;
      for (const Point& p : shape.points) points.append(points.empty() ? "" : " ") += frame.XY(p);
      return std::string(shape.closed ? "<polygon" : "<polyline") + " points=\"" + points + "\"" +
             attributes + "/>";
    }
    case Shape::Kind::kCircle:
      return "<circle cx=\"" + frame.X(shape.centre.x) + "\" cy=\"" + frame.Y(shape.centre.y) +
             "\" r=\"" + N(shape.radius) + "\"" + attributes + "/>";
    case Shape::Kind::kArc: {
      double sweep = shape.endAngle - shape.startAngle;
      while (sweep <= 0) sweep += 360;
      while (sweep > 360) sweep -= 360;
      const Point from = OnCircle(shape.centre, shape.radius, shape.startAngle);
      const Point to = OnCircle(shape.centre, shape.radius, shape.endAngle);
      // Counter-clockwise in the drawing is clockwise once y points down.
      return "<path d=\"M " + frame.XY(from) + " A " + N(shape.radius) + " " + N(shape.radius) +
             " 0 " + (sweep > 180 ? "1" : "0") + " 0 " + frame.XY(to) + "\"" + attributes + "/>";
    }
  }
  return {};
}

// An arrowhead at `tip`, pointing away from `from`: filled for odd kinds,
// open for even ones, none for 0.
std::string ArrowSvg(const Point& tip, const Point& from, int32_t kind, double size,
                     const Frame& frame, const std::string& colour) {
  if (kind == 0 || size <= 0) return {};
  const double dx = tip.x - from.x;
  const double dy = tip.y - from.y;
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length == 0) return {};
  const double ux = dx / length;
  const double uy = dy / length;
  const Point base{tip.x - ux * size, tip.y - uy * size};
  const double half = size / 3;
  const Point left{base.x - uy * half, base.y + ux * half};
  const Point right{base.x + uy * half, base.y - ux * half};
  if (kind % 2 == 1) {
    return "<polygon points=\"" + frame.XY(tip) + " " + frame.XY(left) + " " + frame.XY(right) +
           "\" fill=\"" + colour + "\" stroke=\"none\"/>";
  }
  return "<polyline points=\"" + frame.XY(left) + " " + frame.XY(tip) + " " + frame.XY(right) +
         "\" fill=\"none\" stroke=\"" + colour + "\"/>";
}

std::string TextSvg(const Point& at, const VekCharSize& size, const std::string& text,
                    const std::string& colour, const Frame& frame) {
  const sim::CharSizeValue v = sim::ReadCharSize(size);
  std::string svg = "<text";
  // The character width as a horizontal stretch of the font's own shapes.
  if (v.width != v.height && v.height > 0) {
    svg += " transform=\"translate(" + frame.X(at.x) + " " + frame.Y(at.y) + ") scale(" +
           N(v.width / v.height) + " 1)\"";
  } else {
    svg += " x=\"" + frame.X(at.x) + "\" y=\"" + frame.Y(at.y) + "\"";
  }
  svg += " font-size=\"" + N(v.height) + "\"";
  if (v.spacing != 0) svg += " letter-spacing=\"" + N(v.spacing) + "\"";
  return svg + " fill=\"" + colour + "\" stroke=\"none\">" + Escape(text) + "</text>";
}

std::string DimensionText(const ElementView& view, const sim::Element& e) {
  std::string text = FormatFixed(view.value, std::clamp(e.decimalPlaces, 0, 8));
  if (e.toleranceStatus == 1) {
    // Limits keep their own precision: a 0.021 tolerance on a one-place
    // dimension is still 0.021.
    const sim::ToleranceValue t = sim::ReadTolerance(e.tolerance);
    auto sign = [](double v) { return (v > 0 ? "+" : "") + FormatNumber(v); };
    text += t.upper == -t.lower && t.upper > 0 ? " \xC2\xB1" + FormatNumber(t.upper)
                                               : " " + sign(t.upper) + "/" + sign(t.lower);
  }
  return text;
}

// The text an annotation or a dimension shows, and its size; nothing shown
// for other elements.
std::string ShownText(const ElementView& view, const sim::Element& e, VekCharSize& size) {
  if (IsAnnotationType(e.type)) {
    size = e.comment.charSize;
    return view.text;
  }
  if (IsDimensionType(e.type)) {
    size = e.dimCharSize;
    return DimensionText(view, e);
  }
  return {};
}

// A wide, pale stroke under the shape, and a band under the text.
std::string HighlightSvg(const ElementView& view, const sim::Element& e, const Frame& frame) {
  std::string svg = ShapeSvg(view.shape, frame,
                             std::string(" stroke=\"") + kHighlightColour +
                                 "\" stroke-width=\"1.8\" stroke-opacity=\"0.6\"");
  VekCharSize size{};
  const std::string text = ShownText(view, e, size);
  if (view.at && !text.empty()) {
    const sim::CharSizeValue v = sim::ReadCharSize(size);
    const auto chars = std::count_if(text.begin(), text.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // UTF-8 lead bytes
    });
    const double width = static_cast<double>(chars) * (v.width * 0.8 + v.spacing);
    svg += "<rect x=\"" + frame.X(view.at->x - 0.5) + "\" y=\"" +
           frame.Y(view.at->y + v.height + 0.5) + "\" width=\"" + N(width + 1) + "\" height=\"" +
           N(v.height + 1) + "\" fill=\"" + kHighlightColour +
           "\" fill-opacity=\"0.35\" stroke=\"none\"/>";
  }
  return svg;
}

// Where an element's id is written with --labels: by its first point, its
// circle's rim or its text; nothing for an element with nothing drawn.
std::string LabelSvg(VekId id, const ElementView& view, const Frame& frame) {
  const Shape& shape = view.shape;
  Point at;
  if (shape.kind == Shape::Kind::kLine || shape.kind == Shape::Kind::kPolyline) {
    at = shape.points[0];
  } else if (shape.kind == Shape::Kind::kCircle) {
    at = {shape.centre.x + shape.radius, shape.centre.y};
  } else if (shape.kind == Shape::Kind::kArc) {
    at = OnCircle(shape.centre, shape.radius, shape.startAngle);
  } else if (view.at) {
    at = {view.at->x, view.at->y - 2.5};
  } else {
    return {};
  }
  return "<text class=\"label\" x=\"" + frame.X(at.x + 0.5) + "\" y=\"" + frame.Y(at.y + 0.5) +
         "\" font-size=\"2\" fill=\"#555555\" stroke=\"none\">" + std::to_string(id) + "</text>";
}

// An element's group, with its tooltip, outlined when `changed`, its id
// written beside it with `label`.
std::string ElementSvg(VekId id, const ElementView& view, const sim::Element& e,
                       const std::string& layerColour, const Frame& frame, const std::string& title,
                       bool changed, bool label) {
  const std::string colour = ColourFor(e.line.colour, layerColour);
  const std::string dashes = DashesFor(e.line.lineType);
  std::string body = ShapeSvg(view.shape, frame,
                              " stroke=\"" + colour + "\"" +
                                  (dashes.empty() ? "" : " stroke-dasharray=\"" + dashes + "\""));
  if (IsDimensionType(e.type) && view.shape.kind == Shape::Kind::kLine) {
    const sim::ArrowsValue arrows = sim::ReadArrows(e.arrows[0]);
    const Point& a = view.shape.points[0];
    const Point& b = view.shape.points[1];
    body += ArrowSvg(a, b, arrows.startKind, arrows.size, frame, colour);
    body += ArrowSvg(b, a, arrows.endKind, arrows.size, frame, colour);
  }
  VekCharSize size{};
  const std::string text = ShownText(view, e, size);
  if (view.at && (IsAnnotationType(e.type) || IsDimensionType(e.type))) {
    body += TextSvg(*view.at, size, text, colour, frame);
  }
  if (body.empty()) return {};
  std::string group = "    <g id=\"element-" + std::to_string(id) + "\"" +
                      (changed ? " class=\"changed\"" : "") + "><title>" + Escape(title) +
                      "</title>";
  if (changed) group += HighlightSvg(view, e, frame);
  group += body;
  if (label) group += LabelSvg(id, view, frame);
  return group + "</g>\n";
}

// The layer of the element's segment, now or (`asItWas`) before the session.
int32_t LayerOf(const sim::Drawing& drawing, const sim::Element& element, bool asItWas) {
  const sim::Segment* segment = drawing.FindSegment(element.segment);
  if (segment == nullptr) return -1;
  return asItWas ? drawing.LayerAsItWas(*segment) : segment->layer;
}

// What the session changed of the element, its segment's layer first.
std::vector<std::string> ChangesOf(const sim::Drawing& drawing, const sim::Element& element) {
  std::vector<std::string> changes =
      ElementChanges(drawing.ElementAsItWas(element), element, "\xE2\x86\x92");
  const int32_t was = LayerOf(drawing, element, true);
  const int32_t is = LayerOf(drawing, element, false);
  if (was != is) {
    changes.insert(changes.begin(),
                   "layer " + std::to_string(was) + " \xE2\x86\x92 " + std::to_string(is));
  }
  return changes;
}

}  // namespace

std::string ColourFor(int32_t colour, const std::string& layerColour) {
  static const char* const kPalette[] = {
      nullptr,   "#d62728", "#bcbd22", "#2ca02c", "#17becf", "#1f3fbf", "#c71585", "#222222",
      "#7f7f7f", "#ff7f0e", "#8c564b", "#9467bd", "#e377c2", "#006d6d", "#a05000", "#5a5a00"};
  if (colour == 0) return layerColour;
  if (colour > 0 && colour < 16) return kPalette[colour];
  return "#999999";
}

std::string DashesFor(int32_t lineType) {
  static const char* const kDashes[] = {"3 1.5", "8 1.5 1.5 1.5", "0.6 1.2",
                                        "8 1.5 1.5 1.5 1.5 1.5", "12 3"};
  return lineType >= 2 && lineType <= 6 ? kDashes[lineType - 2] : "";
}

std::string RenderSvg(const DrawingFile& file, const sim::Drawing& drawing,
                      const SvgOptions& options) {
  const Frame frame(Measure(file, drawing));
  const size_t legendRows = file.layers.size() + (options.markChanges ? 1 : 0);
  const double legendHeight = 6.0 * static_cast<double>(legendRows) + 4;
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + N(frame.width * kPixelsPerUnit) +
         "\" height=\"" + N((frame.height + legendHeight) * kPixelsPerUnit) + "\" viewBox=\"0 0 " +
         N(frame.width) + " " + N(frame.height + legendHeight) + "\">\n";
  if (!file.title.empty()) svg += "  <title>" + Escape(file.title) + "</title>\n";
  svg += "  <rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

  size_t changed = 0;
  // The elements by the layer of their segment, each layer in file order.
  std::map<int32_t, std::vector<VekId>> byLayer;
  std::map<int32_t, size_t> before;  // with markChanges: the elements on each layer before
  for (VekId id : file.elements) {
    if (const sim::Element* e = drawing.FindElement(id)) {
      byLayer[LayerOf(drawing, *e, false)].push_back(id);
      if (options.markChanges) ++before[LayerOf(drawing, *e, true)];
    }
  }
  for (const Layer& layer : file.layers) {
    svg += "  <g id=\"layer-" + std::to_string(layer.id) + "\" data-name=\"" + Escape(layer.name) +
           "\" fill=\"none\" stroke-width=\"" + N(kStroke) +
           "\" stroke-linecap=\"round\" font-family=\"sans-serif\">\n";
    for (VekId id : byLayer[layer.id]) {
      const sim::Element& e = *drawing.FindElement(id);
      std::string title = "element " + std::to_string(id) + ": " + ElementText(id, file, drawing);
      const std::vector<std::string> changes =
          options.markChanges ? ChangesOf(drawing, e) : std::vector<std::string>{};
      for (size_t i = 0; i < changes.size(); ++i) {
        title += (i == 0 ? "\nchanged: " : ", ") + changes[i];
      }
      changed += changes.empty() ? 0 : 1;
      svg += ElementSvg(id, file.views.at(id), e, layer.colour, frame, title, !changes.empty(),
                        options.labels);
    }
    svg += "  </g>\n";
  }

  // The legend: which colour stands for which layer, how many elements are
  // on it (before and after the session, in the picture after it), and the
  // highlight. Its texts, like the drawing's, say they have no stroke:
  // a renderer that lets one reach them (ImageMagick's) draws them bold.
  svg += "  <g id=\"legend\" font-family=\"sans-serif\" font-size=\"3\">\n";
  double y = frame.height + 4;
  auto row = [&](const std::string& colour, const std::string& text) {
    svg += "    <rect x=\"" + N(kMargin) + "\" y=\"" + N(y - 2.5) +
           "\" width=\"3\" height=\"3\" fill=\"" + colour + "\"/><text x=\"" + N(kMargin + 5) +
           "\" y=\"" + N(y) + "\" fill=\"#222222\" stroke=\"none\">" + Escape(text) + "</text>\n";
    y += 6;
  };
  for (const Layer& layer : file.layers) {
    std::string text = std::to_string(layer.id) + " " + layer.name + ": ";
    if (options.markChanges) {
      text += Count(before[layer.id], "element") + " before, " +
              std::to_string(byLayer[layer.id].size()) + " after";
    } else {
      text += Count(byLayer[layer.id].size(), "element");
    }
    row(layer.colour, text);
  }
  if (options.markChanges) {
    row(kHighlightColour, "outlined: changed by the session (" + Count(changed, "element") + ")");
  }
  svg += "  </g>\n</svg>\n";
  return svg;
}

}  // namespace vekhost
