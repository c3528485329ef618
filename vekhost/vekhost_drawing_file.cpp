#include "vekhost_drawing_file.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "host/element_types.h"
#include "sim_records.h"
#include "vekhost_number.h"

namespace vekhost {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr size_t kMaxDrawingBytes = 16u << 20;
constexpr size_t kMaxItems = 100000;
constexpr size_t kMaxDepth = 32;
constexpr double kMaxCoordinate = 1.0e6;
constexpr double kMaxSize = 1000.0;

bool IsElementType(int64_t type) { return type >= 0 && type <= kLastElementType; }

// One place in the document: the value and its JSON path.
struct Node {
  const Json* value;
  std::string path;
};

// Everything the checks need to word their errors.
class Checker {
 public:
  explicit Checker(std::string fileName) : fileName_(std::move(fileName)) {}

  [[noreturn]] void Fail(const std::string& path, const std::string& problem) const {
    throw InputError(fileName_ + ": at " + path + ": " + problem);
  }

  static std::string Describe(const Json& value) {
    if (value.is_number_float()) return "the number " + value.dump();
    if (value.is_number()) return "the integer " + value.dump();
    if (value.is_string()) return "a string";
    if (value.is_null()) return "null";
    return std::string(value.is_object() || value.is_array() ? "an " : "a ") + value.type_name();
  }

  // The object's keys must all be among `allowed`.
  void Object(const Node& node, std::initializer_list<const char*> allowed) const {
    if (!node.value->is_object())
      Fail(node.path, "expected an object, found " + Describe(*node.value));
    for (const auto& [key, unused] : node.value->items()) {
      bool known = false;
      for (const char* name : allowed) known = known || key == name;
      if (!known) {
        std::string names;
        for (const char* name : allowed) names += std::string(names.empty() ? "" : ", ") + name;
        Fail(node.path, "unknown key \"" + key + "\" (allowed here: " + names + ")");
      }
    }
  }

  std::optional<Node> Member(const Node& node, const char* key) const {
    auto found = node.value->find(key);
    if (found == node.value->end()) return std::nullopt;
    return Node{&*found, node.path + "." + key};
  }

  Node Required(const Node& node, const char* key) const {
    std::optional<Node> member = Member(node, key);
    if (!member) Fail(node.path, std::string("missing key \"") + key + "\"");
    return *member;
  }

  int64_t Int(const Node& node, int64_t min, int64_t max) const {
    const Json& v = *node.value;
    if (!v.is_number_integer()) Fail(node.path, "expected an integer, found " + Describe(v));
    int64_t value = 0;
    if (v.is_number_unsigned()) {
      const uint64_t u = v.get<uint64_t>();
      if (u > static_cast<uint64_t>(INT64_MAX)) Fail(node.path, v.dump() + " is out of range");
      value = static_cast<int64_t>(u);
    } else {
      value = v.get<int64_t>();
    }
    if (value < min || value > max) {
      Fail(node.path, std::to_string(value) + " is out of range (" + std::to_string(min) + " to " +
                          std::to_string(max) + ")");
    }
    return value;
  }

  double Number(const Node& node, double min, double max) const {
    const Json& v = *node.value;
    if (!v.is_number()) Fail(node.path, "expected a number, found " + Describe(v));
    const double value = v.get<double>();
    if (!std::isfinite(value) || value < min || value > max) {
      Fail(node.path,
           v.dump() + " is out of range (" + FormatNumber(min) + " to " + FormatNumber(max) + ")");
    }
    return value;
  }

  std::string String(const Node& node, size_t maxLength) const {
    if (!node.value->is_string())
      Fail(node.path, "expected a string, found " + Describe(*node.value));
    std::string text = node.value->get<std::string>();
    if (text.size() > maxLength) {
      Fail(node.path, "the text is longer than " + std::to_string(maxLength) + " bytes");
    }
    for (char c : text) {
      if (static_cast<unsigned char>(c) < 0x20)
        Fail(node.path, "the text holds a control character");
    }
    return text;
  }

  bool Bool(const Node& node) const {
    if (!node.value->is_boolean())
      Fail(node.path, "expected true or false, found " + Describe(*node.value));
    return node.value->get<bool>();
  }

  std::vector<Node> Array(const Node& node, size_t minSize, size_t maxSize) const {
    if (!node.value->is_array())
      Fail(node.path, "expected an array, found " + Describe(*node.value));
    const size_t size = node.value->size();
    if (size < minSize || size > maxSize) {
      Fail(node.path,
           "expected " +
               (minSize == maxSize ? std::to_string(minSize)
                                   : std::to_string(minSize) + " to " + std::to_string(maxSize)) +
               " entries, found " + std::to_string(size));
    }
    std::vector<Node> items;
    for (size_t i = 0; i < size; ++i) {
      items.push_back({&(*node.value)[i], node.path + "[" + std::to_string(i) + "]"});
    }
    return items;
  }

  Point ReadPoint(const Node& node) const {
    std::vector<Node> xy = Array(node, 2, 2);
    return {Number(xy[0], -kMaxCoordinate, kMaxCoordinate),
            Number(xy[1], -kMaxCoordinate, kMaxCoordinate)};
  }

 private:
  std::string fileName_;
};

// nlohmann keeps the last of two equal keys without a word; a drawing that
// says two things about one property is more likely a mistake. The parser's
// callback sees every key, so it tracks where it is and stops at a repeat.
class DuplicateKeyGuard {
 public:
  struct Found {
    std::string path;
    std::string key;
  };

  struct TooDeep {
    std::string path;
  };

  bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        // A drawing nests six levels at most; a file nested far deeper is
        // no drawing, and following it would only cost time and memory.
        if (frames_.size() >= kMaxDepth) throw TooDeep{frames_.back().path};
        frames_.push_back({event == Event::object_start, ChildPath(), {}, {}, 0});
        break;
      case Event::key: {
        Frame& frame = frames_.back();
        frame.key = parsed.get<std::string>();
        if (!frame.keys.insert(frame.key).second) throw Found{frame.path, frame.key};
        break;
      }
      case Event::object_end:
      case Event::array_end:
        frames_.pop_back();
        Completed();
        break;
      case Event::value:
        Completed();
        break;
    }
    return true;
  }

 private:
  struct Frame {
    bool isObject;
    std::string path;
    std::set<std::string> keys;
    std::string key;
    size_t index;
  };

  std::string ChildPath() const {
    if (frames_.empty()) return "$";
    const Frame& parent = frames_.back();
    if (parent.isObject) return parent.path + "." + parent.key;
    return parent.path + "[" + std::to_string(parent.index) + "]";
  }

  void Completed() {
    if (!frames_.empty() && !frames_.back().isObject) ++frames_.back().index;
  }

  std::vector<Frame> frames_;
};

// A byte offset as the line and column a text editor shows (columns count
// characters, not bytes).
std::string TextPlace(const std::string& text, size_t offset) {
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < std::min(offset, text.size()); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

Json ParseJson(const std::string& text, const std::string& fileName) {
  try {
    return Json::parse(text, DuplicateKeyGuard(), true, false);
  } catch (const DuplicateKeyGuard::TooDeep& deep) {
    throw InputError(fileName + ": at " + deep.path + ": nested deeper than " +
                     std::to_string(kMaxDepth) + " levels");
  } catch (const DuplicateKeyGuard::Found& found) {
    throw InputError(fileName + ": at " + found.path + ": the key \"" + found.key +
                     "\" appears twice");
  } catch (const Json::parse_error& error) {
    std::string reason = error.what();
    const size_t columnAt = reason.find("column ");
    const size_t colon = reason.find(": ", columnAt == std::string::npos ? 0 : columnAt);
    if (colon != std::string::npos) reason = reason.substr(colon + 2);
    throw InputError(fileName + ": at " + TextPlace(text, error.byte == 0 ? 0 : error.byte - 1) +
                     ": not valid JSON: " + reason);
  } catch (const Json::out_of_range& error) {
    // A number too large for a double, such as 1e400. The parser names the
    // literal but not where it stands; its first appearance is the place.
    std::string reason = error.what();
    const size_t quote = reason.find('\'');
    size_t at = 0;
    if (quote != std::string::npos) {
      const std::string literal =
          reason.substr(quote + 1, reason.find('\'', quote + 1) - quote - 1);
      at = std::min(text.find(literal), text.size());
    }
    const size_t bracket = reason.find("] ");
    if (bracket != std::string::npos) reason = reason.substr(bracket + 2);
    if (reason.size() > 120) reason = reason.substr(0, 120) + "...";
    throw InputError(fileName + ": at " + TextPlace(text, at) + ": not valid JSON: " + reason);
  } catch (const Json::exception& error) {
    throw InputError(fileName + ": not valid JSON: " + error.what());
  }
}

bool IsColourText(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return false;
  for (size_t i = 1; i < 7; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

sim::CharSizeValue ReadCharSize(const Checker& check, const Node& node) {
  check.Object(node, {"height", "width", "spacing"});
  return {check.Number(check.Required(node, "height"), 0.01, kMaxSize),
          check.Number(check.Required(node, "width"), 0.01, kMaxSize),
          check.Number(check.Required(node, "spacing"), 0, kMaxSize)};
}

sim::ArrowsValue ReadArrows(const Checker& check, const Node& node) {
  check.Object(node, {"start", "end", "size"});
  return {static_cast<int32_t>(check.Int(check.Required(node, "start"), 0, 9)),
          static_cast<int32_t>(check.Int(check.Required(node, "end"), 0, 9)),
          check.Number(check.Required(node, "size"), 0, kMaxSize)};
}

Shape ReadShape(const Checker& check, const Node& node) {
  check.Object(node, {"kind", "points", "closed", "centre", "radius", "start", "end"});
  const Node kindNode = check.Required(node, "kind");
  const std::string kind = check.String(kindNode, 16);
  Shape shape;
  auto only = [&](std::initializer_list<const char*> keys) { check.Object(node, keys); };
  if (kind == "line" || kind == "polyline") {
    const bool line = kind == "line";
    if (line)
      only({"kind", "points"});
    else
      only({"kind", "points", "closed"});
    shape.kind = line ? Shape::Kind::kLine : Shape::Kind::kPolyline;
    for (const Node& p : check.Array(check.Required(node, "points"), 2, line ? 2 : 10000)) {
      shape.points.push_back(check.ReadPoint(p));
    }
    if (auto closed = check.Member(node, "closed")) shape.closed = check.Bool(*closed);
  } else if (kind == "circle" || kind == "arc") {
    const bool arc = kind == "arc";
    if (arc)
      only({"kind", "centre", "radius", "start", "end"});
    else
      only({"kind", "centre", "radius"});
    shape.kind = arc ? Shape::Kind::kArc : Shape::Kind::kCircle;
    shape.centre = check.ReadPoint(check.Required(node, "centre"));
    shape.radius = check.Number(check.Required(node, "radius"), 0.001, kMaxCoordinate);
    if (arc) {
      shape.startAngle = check.Number(check.Required(node, "start"), -360, 360);
      shape.endAngle = check.Number(check.Required(node, "end"), -360, 360);
    }
  } else {
    check.Fail(kindNode.path,
               "unknown shape kind \"" + kind + "\" (line, polyline, circle or arc)");
  }
  return shape;
}

void ReadLayers(const Checker& check, const Node& root, DrawingFile& file) {
  std::set<int64_t> seen;
  for (const Node& node : check.Array(check.Required(root, "layers"), 1, 1000)) {
    check.Object(node, {"id", "name", "colour"});
    const Node idNode = check.Required(node, "id");
    Layer layer;
    layer.id = static_cast<int32_t>(check.Int(idNode, 0, 65535));
    if (!seen.insert(layer.id).second) {
      check.Fail(idNode.path, "layer " + std::to_string(layer.id) + " is declared twice");
    }
    layer.name = check.String(check.Required(node, "name"), 200);
    const Node colourNode = check.Required(node, "colour");
    layer.colour = check.String(colourNode, 16);
    if (!IsColourText(layer.colour)) {
      check.Fail(colourNode.path, "\"" + layer.colour + "\" is no colour of the form #rrggbb");
    }
    file.layers.push_back(layer);
  }
}

int32_t DeclaredLayer(const Checker& check, const DrawingFile& file, const Node& node) {
  const int32_t layer = static_cast<int32_t>(check.Int(node, 0, 65535));
  if (file.FindLayer(layer) == nullptr) {
    check.Fail(node.path, "layer " + std::to_string(layer) + " is not among the declared layers");
  }
  return layer;
}

struct SegmentPlan {
  VekId id;
  int32_t layer;
  VekId companion;
  std::optional<std::vector<int32_t>> holeLayers;
};

std::vector<SegmentPlan> ReadSegments(const Checker& check, const Node& root, DrawingFile& file) {
  std::vector<SegmentPlan> plans;
  std::set<VekId> seen;
  for (const Node& node : check.Array(check.Required(root, "segments"), 0, kMaxItems)) {
    check.Object(node, {"id", "layer", "companion", "hole"});
    const Node idNode = check.Required(node, "id");
    SegmentPlan plan{};
    plan.id = static_cast<VekId>(check.Int(idNode, 0, kVekNoId - 1));
    if (!seen.insert(plan.id).second) {
      check.Fail(idNode.path, "segment " + std::to_string(plan.id) + " is declared twice");
    }
    plan.layer = DeclaredLayer(check, file, check.Required(node, "layer"));
    if (auto companion = check.Member(node, "companion")) {
      plan.companion = static_cast<VekId>(check.Int(*companion, 0, kVekNoId - 1));
    }
    if (auto hole = check.Member(node, "hole")) {
      plan.holeLayers.emplace();
      for (const Node& entry : check.Array(*hole, 0, 1000)) {
        check.Object(entry, {"layer"});
        plan.holeLayers->push_back(DeclaredLayer(check, file, check.Required(entry, "layer")));
      }
    }
    file.segments.push_back(plan.id);
    plans.push_back(std::move(plan));
  }
  return plans;
}

struct ElementPlan {
  VekId id;
  int32_t type;
  VekId segment;
  sim::Element properties;
};

void ReadDimension(const Checker& check, const Node& node, ElementPlan& plan, ElementView& view) {
  check.Object(node, {"value", "decimalPlaces", "tolerance", "charSize", "arrows"});
  view.value = check.Number(check.Required(node, "value"), -kMaxCoordinate, kMaxCoordinate);
  sim::Element& e = plan.properties;
  e.decimalPlaces = static_cast<int32_t>(check.Int(check.Required(node, "decimalPlaces"), 0, 8));
  if (auto tolerance = check.Member(node, "tolerance")) {
    check.Object(*tolerance, {"status", "upper", "lower", "kind"});
    e.toleranceStatus = static_cast<int32_t>(check.Int(check.Required(*tolerance, "status"), 0, 1));
    sim::ToleranceValue value;
    value.upper = check.Number(check.Required(*tolerance, "upper"), -kMaxSize, kMaxSize);
    value.lower = check.Number(check.Required(*tolerance, "lower"), -kMaxSize, kMaxSize);
    value.kind = static_cast<int32_t>(check.Int(check.Required(*tolerance, "kind"), 0, 9));
    e.tolerance = sim::MakeTolerance(value);
  }
  e.dimCharSize = sim::MakeCharSize(ReadCharSize(check, check.Required(node, "charSize")));
  const std::vector<Node> arrows = check.Array(check.Required(node, "arrows"), 2, 2);
  for (size_t i = 0; i < 2; ++i) e.arrows[i] = sim::MakeArrows(ReadArrows(check, arrows[i]));
  view.hasDimension = true;
}

std::vector<ElementPlan> ReadElements(const Checker& check, const Node& root,
                                      const std::set<VekId>& segments, DrawingFile& file) {
  std::vector<ElementPlan> plans;
  for (const Node& node : check.Array(check.Required(root, "elements"), 0, kMaxItems)) {
    check.Object(node, {"id", "type", "segment", "line", "dimension", "annotation", "shape", "at"});
    const Node idNode = check.Required(node, "id");
    ElementPlan plan{};
    plan.id = static_cast<VekId>(check.Int(idNode, 0, kVekNoId - 1));
    if (file.views.count(plan.id) != 0) {
      check.Fail(idNode.path, "element " + std::to_string(plan.id) + " is declared twice");
    }
    const Node typeNode = check.Required(node, "type");
    const int64_t type = check.Int(typeNode, INT32_MIN, INT32_MAX);
    if (!IsElementType(type)) {
      check.Fail(typeNode.path, "unknown element type " + std::to_string(type) +
                                    " (the host's types are 0 to " +
                                    std::to_string(kLastElementType) + ")");
    }
    plan.type = static_cast<int32_t>(type);
    const Node segmentNode = check.Required(node, "segment");
    plan.segment = static_cast<VekId>(check.Int(segmentNode, 0, kVekNoId - 1));
    if (segments.count(plan.segment) == 0) {
      check.Fail(segmentNode.path, "segment " + std::to_string(plan.segment) + " is not declared");
    }

    ElementView view;
    if (auto line = check.Member(node, "line")) {
      check.Object(*line, {"colour", "type"});
      plan.properties.line = sim::MakeLineAttr(
          static_cast<int32_t>(check.Int(check.Required(*line, "colour"), 0, 255)),
          static_cast<int32_t>(check.Int(check.Required(*line, "type"), 0, 255)));
      view.hasLine = true;
    } else if (IsPlainFigureType(plan.type)) {
      check.Fail(node.path, "missing key \"line\" (every figure of types 0 to 8 has one)");
    }

    if (auto dimension = check.Member(node, "dimension")) {
      ReadDimension(check, *dimension, plan, view);
    } else if (IsDimensionType(plan.type)) {
      check.Fail(node.path, "missing key \"dimension\" (element type " + std::to_string(plan.type) +
                                " is a dimension)");
    }

    if (auto annotation = check.Member(node, "annotation")) {
      check.Object(*annotation, {"text", "charSize"});
      if (auto text = check.Member(*annotation, "text")) {
        view.text = check.String(*text, 1000);
      } else if (IsAnnotationType(plan.type)) {
        check.Fail(annotation->path, "missing key \"text\"");
      }
      plan.properties.comment =
          sim::MakeComment(ReadCharSize(check, check.Required(*annotation, "charSize")));
      view.hasAnnotation = true;
    } else if (IsAnnotationType(plan.type)) {
      check.Fail(node.path, "missing key \"annotation\" (element type " +
                                std::to_string(plan.type) + " is an annotation)");
    }

    if (auto shape = check.Member(node, "shape")) view.shape = ReadShape(check, *shape);
    if (auto at = check.Member(node, "at")) view.at = check.ReadPoint(*at);

    file.views[plan.id] = std::move(view);
    file.elements.push_back(plan.id);
    plans.push_back(std::move(plan));
  }
  return plans;
}

// Integral values are written as integers, so a file read and written again
// keeps 80 as 80 rather than 80.0.
OrderedJson NumberJson(double value) {
  if (std::floor(value) == value && std::fabs(value) < 1.0e15) {
    return OrderedJson(static_cast<int64_t>(value));
  }
  return OrderedJson(value);
}

OrderedJson PointJson(const Point& p) {
  return OrderedJson::array({NumberJson(p.x), NumberJson(p.y)});
}

OrderedJson CharSizeJson(const VekCharSize& record) {
  const sim::CharSizeValue v = sim::ReadCharSize(record);
  OrderedJson j;
  j["height"] = NumberJson(v.height);
  j["width"] = NumberJson(v.width);
  j["spacing"] = NumberJson(v.spacing);
  return j;
}

OrderedJson ArrowsJson(const VekArrows& record) {
  const sim::ArrowsValue v = sim::ReadArrows(record);
  OrderedJson j;
  j["start"] = v.startKind;
  j["end"] = v.endKind;
  j["size"] = NumberJson(v.size);
  return j;
}

OrderedJson ShapeJson(const Shape& shape) {
  OrderedJson j;
  switch (shape.kind) {
    case Shape::Kind::kNone:
      break;
    case Shape::Kind::kLine:
    case Shape::Kind::kPolyline: {
      j["kind"] = shape.kind == Shape::Kind::kLine ? "line" : "polyline";
      OrderedJson points = OrderedJson::array();
      for (const Point& p : shape.points) points.push_back(PointJson(p));
      j["points"] = std::move(points);
      if (shape.kind == Shape::Kind::kPolyline && shape.closed) j["closed"] = true;
      break;
    }
    case Shape::Kind::kCircle:
    case Shape::Kind::kArc:
      j["kind"] = shape.kind == Shape::Kind::kCircle ? "circle" : "arc";
      j["centre"] = PointJson(shape.centre);
      j["radius"] = NumberJson(shape.radius);
      if (shape.kind == Shape::Kind::kArc) {
        j["start"] = NumberJson(shape.startAngle);
        j["end"] = NumberJson(shape.endAngle);
      }
      break;
  }
  return j;
}

template <class Record>
bool IsZero(const Record& record) {
  for (uint8_t b : sim::Bytes(record)) {
    if (b != 0) return false;
  }
  return true;
}

}  // namespace

const Layer* DrawingFile::FindLayer(int32_t id) const {
  for (const Layer& layer : layers) {
    if (layer.id == id) return &layer;
  }
  return nullptr;
}

std::string ReadInputFile(const std::string& path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code code;
    const bool exists = std::filesystem::exists(path, code);
    throw InputError(path + (exists ? ": cannot be read" : ": no such file"));
  }
  std::string text;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(in.gcount()));
    if (text.size() > limit) {
      throw InputError(path + ": larger than " + std::to_string(limit) + " bytes");
    }
  }
  if (in.bad()) throw InputError(path + ": cannot be read");
  return text;
}

DrawingFile ParseDrawing(const std::string& text, const std::string& fileName,
                         sim::Drawing& drawing) {
  const Checker check(fileName);
  const Json json = ParseJson(text, fileName);
  const Node root{&json, "$"};
  check.Object(root, {"format", "version", "title", "layers", "segments", "elements"});
  const Node format = check.Required(root, "format");
  if (check.String(format, 64) != "vekhost-drawing") {
    check.Fail(format.path, "expected \"vekhost-drawing\"");
  }
  check.Int(check.Required(root, "version"), 1, 1);

  DrawingFile file;
  if (auto title = check.Member(root, "title")) file.title = check.String(*title, 200);
  ReadLayers(check, root, file);
  const std::vector<SegmentPlan> segments = ReadSegments(check, root, file);
  const std::set<VekId> segmentIds(file.segments.begin(), file.segments.end());
  const std::vector<ElementPlan> elements = ReadElements(check, root, segmentIds, file);

  // Everything is sound: only now does the host's drawing change.
  for (const SegmentPlan& plan : segments) drawing.AddSegment(plan.id, plan.layer, plan.companion);
  for (const ElementPlan& plan : elements) {
    sim::Element& element = drawing.AddElement(plan.id, plan.type, plan.segment);
    const sim::Element& p = plan.properties;
    element.line = p.line;
    element.decimalPlaces = p.decimalPlaces;
    element.toleranceStatus = p.toleranceStatus;
    element.tolerance = p.tolerance;
    element.dimCharSize = p.dimCharSize;
    element.arrows = p.arrows;
    element.comment = p.comment;
  }
  // Holes last: the host finds a hole by the segment and its companion.
  for (const SegmentPlan& plan : segments) {
    if (!plan.holeLayers) continue;
    std::vector<VekHoleEntry> entries;
    for (int32_t layer : *plan.holeLayers) {
      entries.push_back(sim::MakeHoleEntry(static_cast<int32_t>(entries.size()), layer));
    }
    drawing.AddHole(plan.id, std::move(entries));
  }
  return file;
}

DrawingFile LoadDrawing(const std::string& path, sim::Drawing& drawing) {
  return ParseDrawing(ReadInputFile(path, kMaxDrawingBytes), path, drawing);
}

std::string DrawingToJson(const DrawingFile& file, const sim::Drawing& drawing) {
  OrderedJson root;
  root["format"] = "vekhost-drawing";
  root["version"] = 1;
  if (!file.title.empty()) root["title"] = file.title;

  OrderedJson layers = OrderedJson::array();
  for (const Layer& layer : file.layers) {
    OrderedJson j;
    j["id"] = layer.id;
    j["name"] = layer.name;
    j["colour"] = layer.colour;
    layers.push_back(std::move(j));
  }
  root["layers"] = std::move(layers);

  // The holes by segment, to write them with their segments.
  std::map<VekId, const sim::Hole*> holes;
  for (const auto& [id, hole] : drawing.Holes()) holes[hole.key.word1] = &hole;

  OrderedJson segments = OrderedJson::array();
  for (VekId id : file.segments) {
    const sim::Segment* segment = drawing.FindSegment(id);
    if (segment == nullptr) continue;
    OrderedJson j;
    j["id"] = id;
    j["layer"] = segment->layer;
    if (segment->companion != 0) j["companion"] = segment->companion;
    if (auto hole = holes.find(id); hole != holes.end()) {
      OrderedJson entries = OrderedJson::array();
      for (const VekHoleEntry& entry : hole->second->entries) {
        OrderedJson e;
        e["layer"] = entry.layer;
        entries.push_back(std::move(e));
      }
      j["hole"] = std::move(entries);
    }
    segments.push_back(std::move(j));
  }
  root["segments"] = std::move(segments);

  OrderedJson elements = OrderedJson::array();
  for (VekId id : file.elements) {
    const sim::Element* e = drawing.FindElement(id);
    if (e == nullptr) continue;
    const ElementView& view = file.views.at(id);
    OrderedJson j;
    j["id"] = id;
    j["type"] = e->type;
    j["segment"] = e->segment;
    if (view.hasLine || IsPlainFigureType(e->type) || e->line.colour != 0 ||
        e->line.lineType != 0) {
      j["line"] = OrderedJson::object();
      j["line"]["colour"] = e->line.colour;
      j["line"]["type"] = e->line.lineType;
    }
    const bool dimensionSet = e->decimalPlaces != 0 || e->toleranceStatus != 0 ||
                              !IsZero(e->tolerance) || !IsZero(e->dimCharSize) ||
                              !IsZero(e->arrows[0]) || !IsZero(e->arrows[1]);
    if (view.hasDimension || IsDimensionType(e->type) || dimensionSet) {
      OrderedJson d;
      d["value"] = NumberJson(view.value);
      d["decimalPlaces"] = e->decimalPlaces;
      if (e->toleranceStatus != 0 || !IsZero(e->tolerance)) {
        const sim::ToleranceValue t = sim::ReadTolerance(e->tolerance);
        d["tolerance"]["status"] = e->toleranceStatus;
        d["tolerance"]["upper"] = NumberJson(t.upper);
        d["tolerance"]["lower"] = NumberJson(t.lower);
        d["tolerance"]["kind"] = t.kind;
      }
      d["charSize"] = CharSizeJson(e->dimCharSize);
      d["arrows"] = OrderedJson::array({ArrowsJson(e->arrows[0]), ArrowsJson(e->arrows[1])});
      j["dimension"] = std::move(d);
    }
    if (view.hasAnnotation || IsAnnotationType(e->type) || !IsZero(e->comment.charSize)) {
      OrderedJson a;
      if (view.hasAnnotation || IsAnnotationType(e->type)) a["text"] = view.text;
      a["charSize"] = CharSizeJson(e->comment.charSize);
      j["annotation"] = std::move(a);
    }
    if (view.shape.kind != Shape::Kind::kNone) j["shape"] = ShapeJson(view.shape);
    if (view.at) j["at"] = PointJson(*view.at);
    elements.push_back(std::move(j));
  }
  root["elements"] = std::move(elements);
  return root.dump(2) + "\n";
}

}  // namespace vekhost
