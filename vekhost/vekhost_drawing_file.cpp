#include "vekhost_drawing_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string_view>
#include <unordered_set>

#include "host/element_types.h"
#include "sim_records.h"
#include "support/reg_text.h"
#include "support/whole_file.h"
#include "vekhost_number.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

using Json = nlohmann::json;

// Bounds on what a drawing may hold, far above any real drawing (a million
// elements take about 136 MB) but below what would exhaust the machine.
constexpr size_t kMaxDrawingBytes = size_t{2} << 30;
constexpr size_t kMaxItems = 20000000;
constexpr size_t kMaxDepth = 32;
constexpr double kMaxCoordinate = 1.0e6;
constexpr double kMaxSize = 1000.0;

// A number the file writes with a fraction or an exponent, or an integer too
// long for 64 bits, is kept with the text it is written as, so that a
// problem names it as the file spells it (1e30, 2.50), not as a double
// prints (1e+30, 2.5). Such a number goes into the documents the checks read
// as a binary value of its own subtype: its double, then its text. JSON text
// holds no binary values, so none is ever taken for one.
constexpr std::uint64_t kWrittenNumber = 0x4E;  // 'N'
constexpr size_t kLongestNumberShown = 40;

Json WrittenNumber(double value, const std::string& text) {
  std::vector<std::uint8_t> bytes(sizeof value + text.size());
  std::memcpy(bytes.data(), &value, sizeof value);
  std::memcpy(bytes.data() + sizeof value, text.data(), text.size());
  return Json::binary(std::move(bytes), kWrittenNumber);
}

bool IsWrittenNumber(const Json& value) {
  return value.is_binary() && value.get_binary().has_subtype() &&
         value.get_binary().subtype() == kWrittenNumber;
}

std::string_view WrittenText(const Json& value) {
  const Json::binary_t& bytes = value.get_binary();
  return {reinterpret_cast<const char*>(bytes.data()) + sizeof(double),
          bytes.size() - sizeof(double)};
}

// A number as the file spells it; a very long one cut short.
std::string Spelt(const Json& value) {
  if (!IsWrittenNumber(value)) return value.dump();
  const std::string_view text = WrittenText(value);
  if (text.size() <= kLongestNumberShown) return std::string(text);
  return std::string(text.substr(0, kLongestNumberShown)) + "...";
}

// One place in the document: the value and how it was reached, from which
// its JSON path is spelt only when a problem is reported. Spelling it for
// every value read would cost more than the reading. A node lives no longer
// than the node it was reached from.
struct Node {
  const Json* value;
  std::string_view root;         // the path of a node reached from no other
  const Node* parent = nullptr;  // else the node it is a member or an entry of
  const char* key = nullptr;     // its key there, or null for an entry
  size_t index = 0;              // its index there

  std::string Path() const {
    if (parent == nullptr) return std::string(root);
    if (key != nullptr) return parent->Path() + "." + key;
    return parent->Path() + "[" + std::to_string(index) + "]";
  }
};

// Everything the checks need to word their errors.
class Checker {
 public:
  explicit Checker(std::string fileName) : fileName_(std::move(fileName)) {}

  [[noreturn]] void Fail(const std::string& path, const std::string& problem) const {
    throw InputError(fileName_ + ": at " + path + ": " + problem);
  }

  static std::string Describe(const Json& value) {
    if (value.is_number_float() || IsWrittenNumber(value)) return "the number " + Spelt(value);
    if (value.is_number()) return "the integer " + value.dump();
    if (value.is_string()) return "a string";
    if (value.is_null()) return "null";
    return std::string(value.is_object() || value.is_array() ? "an " : "a ") + value.type_name();
  }

  // The object's keys must all be among `allowed`.
  void Object(const Node& node, std::initializer_list<const char*> allowed) const {
    if (!node.value->is_object())
      Fail(node.Path(), "expected an object, found " + Describe(*node.value));
    for (const auto& [key, unused] : node.value->items()) {
      if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
      std::string names;
      for (const char* name : allowed) names.append(names.empty() ? "" : ", ").append(name);
      Fail(node.Path(), std::string("unknown key \"")
                            .append(key)
                            .append("\" (allowed here: ")
                            .append(names)
                            .append(")"));
    }
  }

  std::optional<Node> Member(const Node& node, const char* key) const {
    auto found = node.value->find(key);
    if (found == node.value->end()) return std::nullopt;
    return Node{&*found, {}, &node, key};
  }

  Node Required(const Node& node, const char* key) const {
    std::optional<Node> member = Member(node, key);
    if (!member) Fail(node.Path(), std::string("missing key \"") + key + "\"");
    return *member;
  }

  int64_t Int(const Node& node, int64_t min, int64_t max) const {
    const Json& v = *node.value;
    // Written as a whole number: digits only, perhaps after a minus sign.
    if (!v.is_number_integer() &&
        (!IsWrittenNumber(v) || WrittenText(v).find_first_of(".eE") != std::string::npos)) {
      Fail(node.Path(), "expected an integer, found " + Describe(v));
    }
    // Beyond 64 bits, or beyond int64_t, is out of any range asked for.
    const bool fits = v.is_number_integer() &&
                      (!v.is_number_unsigned() || v.get<uint64_t>() <= uint64_t{INT64_MAX});
    const int64_t value = fits ? v.get<int64_t>() : 0;
    if (!fits || value < min || value > max)
      Fail(node.Path(), Spelt(v) + " is out of range (" + std::to_string(min) + " to " +
                            std::to_string(max) + ")");
    return value;
  }

  double Number(const Node& node, double min, double max) const {
    const Json& v = *node.value;
    if (!v.is_number() && !IsWrittenNumber(v))
      Fail(node.Path(), "expected a number, found " + Describe(v));
    double value = 0;
    if (IsWrittenNumber(v))
      std::memcpy(&value, v.get_binary().data(), sizeof value);  // its double, then its text
    else
      value = v.get<double>();
    if (!std::isfinite(value) || value < min || value > max)
      Fail(node.Path(),
           Spelt(v) + " is out of range (" + FormatNumber(min) + " to " + FormatNumber(max) + ")");
    return value;
  }

  std::string String(const Node& node, size_t maxLength) const {
    if (!node.value->is_string())
      Fail(node.Path(), "expected a string, found " + Describe(*node.value));
    std::string text = node.value->get<std::string>();
    if (text.size() > maxLength)
      Fail(node.Path(), "the text is longer than " + std::to_string(maxLength) + " bytes");
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
      Fail(node.Path(), "the text holds a control character");
    return text;
  }

  bool Bool(const Node& node) const {
    if (!node.value->is_boolean())
      Fail(node.Path(), "expected true or false, found " + Describe(*node.value));
    return node.value->get<bool>();
  }

  std::vector<Node> Array(const Node& node, size_t minSize, size_t maxSize) const {
    if (!node.value->is_array())
      Fail(node.Path(), "expected an array, found " + Describe(*node.value));
    const size_t size = node.value->size();
    CountInRange(node.Path(), size, minSize, maxSize);
    std::vector<Node> items;
    for (size_t i = 0; i < size; ++i) items.push_back({&(*node.value)[i], {}, &node, nullptr, i});
    return items;
  }

  void CountInRange(const std::string& path, size_t size, size_t minSize, size_t maxSize) const {
    if (size >= minSize && size <= maxSize) return;
    const std::string range =
        std::to_string(minSize) + (minSize == maxSize ? "" : " to " + std::to_string(maxSize));
    Fail(path, "expected " + range + " entries, found " + std::to_string(size));
  }

  Point ReadPoint(const Node& node) const {
    std::vector<Node> xy = Array(node, 2, 2);
    return {Number(xy[0], -kMaxCoordinate, kMaxCoordinate),
            Number(xy[1], -kMaxCoordinate, kMaxCoordinate)};
  }

 private:
  std::string fileName_;
};

// A byte offset as the line and column a text editor shows (columns count
// characters, not bytes).
std::string TextPlace(const std::string& text, size_t offset) {
  const std::string_view before(text.data(), std::min(offset, text.size()));
  const std::string_view line = before.substr(before.rfind('\n') + 1);  // npos + 1: 0
  const auto lines = std::count(before.begin(), before.end(), '\n');
  const auto column = std::count_if(line.begin(), line.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  });
  return "line " + std::to_string(lines + 1) + ", column " + std::to_string(column + 1);
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
  if (kind == "line" || kind == "polyline") {
    const bool line = kind == "line";
    if (line)
      check.Object(node, {"kind", "points"});
    else
      check.Object(node, {"kind", "points", "closed"});
    shape.kind = line ? Shape::Kind::kLine : Shape::Kind::kPolyline;
    const Node points = check.Required(node, "points");  // outlives its entries
    for (const Node& p : check.Array(points, 2, line ? 2 : 10000)) {
      shape.points.push_back(check.ReadPoint(p));
    }
    if (auto closed = check.Member(node, "closed")) shape.closed = check.Bool(*closed);
  } else if (kind == "circle" || kind == "arc") {
    const bool arc = kind == "arc";
    if (arc)
      check.Object(node, {"kind", "centre", "radius", "start", "end"});
    else
      check.Object(node, {"kind", "centre", "radius"});
    shape.kind = arc ? Shape::Kind::kArc : Shape::Kind::kCircle;
    shape.centre = check.ReadPoint(check.Required(node, "centre"));
    shape.radius = check.Number(check.Required(node, "radius"), 0.001, kMaxCoordinate);
    if (arc) {
      shape.startAngle = check.Number(check.Required(node, "start"), -360, 360);
      shape.endAngle = check.Number(check.Required(node, "end"), -360, 360);
    }
  } else {
    check.Fail(kindNode.Path(),
               "unknown shape kind \"" + kind + "\" (line, polyline, circle or arc)");
  }
  return shape;
}

int32_t DeclaredLayer(const Checker& check, const DrawingFile& file, const Node& node) {
  const int32_t layer = static_cast<int32_t>(check.Int(node, 0, 65535));
  if (file.FindLayer(layer) == nullptr) {
    check.Fail(node.Path(), "layer " + std::to_string(layer) + " is not among the declared layers");
  }
  return layer;
}

void ReadDimension(const Checker& check, const Node& node, sim::Element& e, ElementView& view) {
  check.Object(node, {"value", "decimalPlaces", "tolerance", "charSize", "arrows"});
  view.value = check.Number(check.Required(node, "value"), -kMaxCoordinate, kMaxCoordinate);
  e.decimalPlaces = static_cast<int32_t>(check.Int(check.Required(node, "decimalPlaces"), 0, 8));
  if (auto tolerance = check.Member(node, "tolerance")) {
    check.Object(*tolerance, {"status", "upper", "lower", "kind"});
    e.toleranceStatus = static_cast<int32_t>(check.Int(check.Required(*tolerance, "status"), 0, 1));
    e.tolerance = sim::MakeTolerance(
        {check.Number(check.Required(*tolerance, "upper"), -kMaxSize, kMaxSize),
         check.Number(check.Required(*tolerance, "lower"), -kMaxSize, kMaxSize),
         static_cast<int32_t>(check.Int(check.Required(*tolerance, "kind"), 0, 9))});
  }
  e.dimCharSize = sim::MakeCharSize(ReadCharSize(check, check.Required(node, "charSize")));
  const Node arrowsNode = check.Required(node, "arrows");  // outlives its entries
  const std::vector<Node> arrows = check.Array(arrowsNode, 2, 2);
  for (size_t i = 0; i < 2; ++i) e.arrows[i] = sim::MakeArrows(ReadArrows(check, arrows[i]));
  view.hasDimension = true;
}

// The properties and the view of an element, from its groups.
ElementView ReadElementView(const Checker& check, const Node& node, sim::Element& e) {
  ElementView view;
  if (auto line = check.Member(node, "line")) {
    check.Object(*line, {"colour", "type"});
    e.line =
        sim::MakeLineAttr(static_cast<int32_t>(check.Int(check.Required(*line, "colour"), 0, 255)),
                          static_cast<int32_t>(check.Int(check.Required(*line, "type"), 0, 255)));
    view.hasLine = true;
  } else if (IsPlainFigureType(e.type)) {
    check.Fail(node.Path(), "missing key \"line\" (every figure of types 0 to 8 has one)");
  }

  if (auto dimension = check.Member(node, "dimension")) {
    ReadDimension(check, *dimension, e, view);
  } else if (IsDimensionType(e.type)) {
    check.Fail(node.Path(), "missing key \"dimension\" (element type " + std::to_string(e.type) +
                                " is a dimension)");
  }

  if (auto annotation = check.Member(node, "annotation")) {
    check.Object(*annotation, {"text", "charSize"});
    if (auto text = check.Member(*annotation, "text")) {
      view.text = check.String(*text, 1000);
    } else if (IsAnnotationType(e.type)) {
      check.Fail(annotation->Path(), "missing key \"text\"");
    }
    e.comment = sim::MakeComment(ReadCharSize(check, check.Required(*annotation, "charSize")));
    view.hasAnnotation = true;
  } else if (IsAnnotationType(e.type)) {
    check.Fail(node.Path(), "missing key \"annotation\" (element type " + std::to_string(e.type) +
                                " is an annotation)");
  }

  if (auto shape = check.Member(node, "shape")) view.shape = ReadShape(check, *shape);
  if (auto at = check.Member(node, "at")) view.at = check.ReadPoint(*at);

  return view;
}

// The file is read in one pass by nlohmann's SAX interface. Each entry of the
// three long lists (layers, segments, elements) is built as a small document
// of its own, checked and turned into the drawing as soon as it is complete,
// then dropped; the rest of the top level is kept as a document. So memory
// follows the drawing, not the text, and every step is linear in the input.
//
// The reader is as strict as a check of the whole document would be, and
// reports the same first problem: a duplicate key or a nesting too deep stops
// the reading where it stands, text that is no JSON stops it where the text
// fails, and only a sound JSON text has its content checked, in a fixed
// order (the top level, then the layers, the segments, the elements, each in
// file order), whatever order the file gives them in.

// Where the reader stands: one frame per open object or array.
struct Frame {
  bool isObject = false;
  std::string key;         // the object's latest key
  size_t index = 0;        // the array's next index
  int list = -1;           // for one of the long lists: which one (kLayers...)
  Json* target = nullptr;  // where its values go; null: dropped
  // The object's keys so far. Objects have a handful; a pathological one
  // with many keys moves them to a hash set so that the check stays linear.
  std::vector<std::string> keys;
  std::unordered_set<std::string> manyKeys;
};

enum List { kLayers, kSegments, kElements };  // in the order of kListNames
constexpr const char* kListNames[] = {"layers", "segments", "elements"};
constexpr size_t kFewKeys = 16;

// What the entries of one long list came to.
struct ListState {
  bool streamed = false;  // the list was an array at the top level
  size_t count = 0;
  bool done = false;                 // its closing bracket was read
  std::optional<std::string> error;  // the first problem found in an entry
  std::vector<Json> waiting;         // entries that came before what they refer to
};

class DrawingReader {
 public:
  DrawingReader(const Checker& check, DrawingFile& file, sim::Drawing& drawing)
      : check_(check), file_(file), drawing_(drawing) {}

  // --- nlohmann's SAX interface ---------------------------------------
  bool null() { return Scalar(Json(nullptr)); }
  bool boolean(bool value) { return Scalar(Json(value)); }
  bool number_integer(Json::number_integer_t value) { return Scalar(Json(value)); }
  bool number_unsigned(Json::number_unsigned_t value) { return Scalar(Json(value)); }
  bool number_float(Json::number_float_t value, const std::string& text) {
    return Scalar(WrittenNumber(value, text));
  }
  bool string(std::string& value) { return Scalar(Json(std::move(value))); }
  bool binary(Json::binary_t&) { return Scalar(Json()); }  // JSON text holds none

  bool start_object(std::size_t) { return Open(true); }
  bool start_array(std::size_t) { return Open(false); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& key) {
    Frame& frame = frames_[depth_ - 1];
    if (!AddKey(frame, key)) check_.Fail(PathTo(depth_), "the key \"" + key + "\" appears twice");
    frame.key = key;
    return true;
  }

  [[noreturn]] bool parse_error(std::size_t, const std::string&,
                                const nlohmann::detail::exception& error) {
    if (const auto* syntax = dynamic_cast<const Json::parse_error*>(&error)) throw *syntax;
    if (const auto* range = dynamic_cast<const Json::out_of_range*>(&error)) throw *range;
    throw InputError(error.what());
  }

  // --- After the text: the checks of the whole ------------------------
  void Finish() {
    const Node root{&root_, "$"};
    check_.Object(root, {"format", "version", "title", "layers", "segments", "elements"});
    const Node format = check_.Required(root, "format");
    if (check_.String(format, 64) != "vekhost-drawing") {
      check_.Fail(format.Path(), "expected \"vekhost-drawing\"");
    }
    check_.Int(check_.Required(root, "version"), 1, 1);
    if (auto title = check_.Member(root, "title")) file_.title = check_.String(*title, 200);
    FinishList(root, kLayers, 1, 1000);
    FinishList(root, kSegments, 0, kMaxItems);
    FinishList(root, kElements, 0, kMaxItems);
  }

 private:
  bool Open(bool isObject) {
    // A drawing nests six levels at most; a file nested far deeper is no
    // drawing, and following it would only cost time and memory.
    if (depth_ >= kMaxDepth) {
      check_.Fail(PathTo(depth_), "nested deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    Json* target = Place(isObject ? Json::object() : Json::array());
    Frame& frame = depth_ < frames_.size() ? frames_[depth_] : frames_.emplace_back();
    frame.isObject = isObject;
    frame.key.clear();
    frame.index = 0;
    frame.keys.clear();
    frame.manyKeys.clear();
    frame.list = -1;
    frame.target = target;
    if (!isObject && depth_ == 1 && root_.is_object()) {
      const auto* found = std::find(std::begin(kListNames), std::end(kListNames), frames_[0].key);
      if (found != std::end(kListNames)) frame.list = static_cast<int>(found - kListNames);
    }
    // The top level's array holds nothing a drawing needs: it is refused
    // as it is, whatever it holds.
    if (!isObject && depth_ == 0) frame.target = nullptr;
    if (frame.list >= 0) {
      lists_[frame.list].streamed = true;
      frame.target = &entry_;
    }
    ++depth_;
    return true;
  }

  bool Close() {
    --depth_;
    const int list = frames_[depth_].list;
    if (list >= 0) {
      lists_[list].done = true;
      TakeWaiting();
    }
    Completed();
    return true;
  }

  bool Scalar(Json value) {
    Place(std::move(value));
    Completed();
    return true;
  }

  // Puts a new value where the reader stands and gives it, or null when the
  // value is dropped.
  Json* Place(Json value) {
    if (depth_ == 0) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& parent = frames_[depth_ - 1];
    if (parent.target == nullptr) return nullptr;
    if (parent.list >= 0) {
      entry_ = std::move(value);
      return &entry_;
    }
    if (parent.isObject) return &((*parent.target)[parent.key] = std::move(value));
    // Each branch above returns: value is moved once.
    // cppcheck-suppress accessMoved
    parent.target->push_back(std::move(value));
    return &parent.target->back();
  }

  // A value has ended at the current depth.
  void Completed() {
    if (depth_ == 0) return;
    Frame& parent = frames_[depth_ - 1];
    if (parent.isObject) return;
    if (parent.list >= 0) TakeEntry(parent.list, parent.index, std::move(entry_));
    ++parent.index;
  }

  static bool AddKey(Frame& frame, const std::string& key) {
    if (!frame.manyKeys.empty()) return frame.manyKeys.insert(key).second;
    if (std::find(frame.keys.begin(), frame.keys.end(), key) != frame.keys.end()) return false;
    frame.keys.push_back(key);
    if (frame.keys.size() > kFewKeys) {
      frame.manyKeys.insert(frame.keys.begin(), frame.keys.end());
      frame.keys.clear();
    }
    return true;
  }

  // The JSON path of the value that frame `depth - 1` stands for ($ for 0).
  std::string PathTo(size_t depth) const {
    std::string path = "$";
    for (size_t i = 0; i + 1 < depth; ++i) path += Step(frames_[i]);
    return path;
  }

  static std::string Step(const Frame& frame) {
    return frame.isObject ? "." + frame.key : "[" + std::to_string(frame.index) + "]";
  }

  // Whether the entries of `list` can be checked now: the segments refer to
  // the layers, the elements to the segments.
  bool Ready(int list) const {
    return list == kLayers || (lists_[list - 1].done && Ready(list - 1));
  }

  void TakeEntry(int list, size_t index, Json entry) {
    ListState& state = lists_[list];
    ++state.count;
    if (state.error || index >= kMaxItems) return;
    if (!Ready(list)) {
      state.waiting.push_back(std::move(entry));
      return;
    }
    Check(list, index, entry);
  }

  void TakeWaiting() {
    for (int list = kSegments; list <= kElements; ++list) {
      ListState& state = lists_[list];
      if (state.waiting.empty() || !Ready(list)) continue;
      std::vector<Json> waiting = std::move(state.waiting);
      for (size_t i = 0; i < waiting.size() && !state.error; ++i) Check(list, i, waiting[i]);
    }
  }

  void Check(int list, size_t index, const Json& entry) {
    const std::string path =
        std::string("$.") + kListNames[list] + "[" + std::to_string(index) + "]";
    static constexpr void (DrawingReader::*kRead[])(const Node&) = {
        &DrawingReader::ReadLayer, &DrawingReader::ReadSegment, &DrawingReader::ReadElement};
    const auto read = kRead[list];  // out of the try: GCC's ASan build thinks `list` unset there
    try {
      (this->*read)(Node{&entry, path});
    } catch (const InputError& error) {
      lists_[list].error = error.what();
    }
  }

  void FinishList(const Node& root, int list, size_t minSize, size_t maxSize) {
    const Node node = check_.Required(root, kListNames[list]);
    ListState& state = lists_[list];
    // Not an array: the check says what it is instead.
    if (!state.streamed) check_.Array(node, minSize, maxSize);
    check_.CountInRange(node.Path(), state.count, minSize, maxSize);
    if (state.error) throw InputError(*state.error);
  }

  void ReadLayer(const Node& node);
  void ReadSegment(const Node& node);
  void ReadElement(const Node& node);

  const Checker& check_;
  DrawingFile& file_;
  sim::Drawing& drawing_;
  Json root_;
  Json entry_;
  std::vector<Frame> frames_;
  size_t depth_ = 0;
  ListState lists_[3];
  std::unordered_set<int32_t> layerIds_;
};

void DrawingReader::ReadLayer(const Node& node) {
  check_.Object(node, {"id", "name", "colour"});
  const Node idNode = check_.Required(node, "id");
  Layer layer;
  layer.id = static_cast<int32_t>(check_.Int(idNode, 0, 65535));
  if (!layerIds_.insert(layer.id).second) {
    check_.Fail(idNode.Path(), "layer " + std::to_string(layer.id) + " is declared twice");
  }
  layer.name = check_.String(check_.Required(node, "name"), 200);
  const Node colourNode = check_.Required(node, "colour");
  layer.colour = check_.String(colourNode, 16);
  if (layer.colour.size() != 7 || layer.colour[0] != '#' ||
      layer.colour.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
    check_.Fail(colourNode.Path(), "\"" + layer.colour + "\" is no colour of the form #rrggbb");
  }
  file_.layers.push_back(layer);
}

void DrawingReader::ReadSegment(const Node& node) {
  check_.Object(node, {"id", "layer", "companion", "hole"});
  const Node idNode = check_.Required(node, "id");
  const auto id = static_cast<VekId>(check_.Int(idNode, 0, kVekNoId - 1));
  if (drawing_.FindSegment(id) != nullptr) {
    check_.Fail(idNode.Path(), "segment " + std::to_string(id) + " is declared twice");
  }
  const int32_t layer = DeclaredLayer(check_, file_, check_.Required(node, "layer"));
  VekId companion = 0;
  if (auto member = check_.Member(node, "companion")) {
    companion = static_cast<VekId>(check_.Int(*member, 0, kVekNoId - 1));
  }
  std::optional<std::vector<VekHoleEntry>> hole;
  if (auto member = check_.Member(node, "hole")) {
    hole.emplace();
    for (const Node& entry : check_.Array(*member, 0, 1000)) {
      check_.Object(entry, {"layer"});
      const int32_t entryLayer = DeclaredLayer(check_, file_, check_.Required(entry, "layer"));
      hole->push_back(sim::MakeHoleEntry(static_cast<int32_t>(hole->size()), entryLayer));
    }
  }
  // Sound: into the drawing, which reaches the host only once all is read.
  drawing_.AddSegment(id, layer, companion);
  if (hole) drawing_.AddHole(id, std::move(*hole));
  file_.segments.push_back(id);
}

void DrawingReader::ReadElement(const Node& node) {
  check_.Object(node, {"id", "type", "segment", "line", "dimension", "annotation", "shape", "at"});
  const Node idNode = check_.Required(node, "id");
  sim::Element read;
  read.id = static_cast<VekId>(check_.Int(idNode, 0, kVekNoId - 1));
  if (file_.views.count(read.id) != 0) {
    check_.Fail(idNode.Path(), "element " + std::to_string(read.id) + " is declared twice");
  }
  const Node typeNode = check_.Required(node, "type");
  const int64_t type = check_.Int(typeNode, INT32_MIN, INT32_MAX);
  if (type < 0 || type > kLastElementType) {
    check_.Fail(typeNode.Path(), "unknown element type " + std::to_string(type) +
                                     " (the host's types are 0 to " +
                                     std::to_string(kLastElementType) + ")");
  }
  read.type = static_cast<int32_t>(type);
  const Node segmentNode = check_.Required(node, "segment");
  read.segment = static_cast<VekId>(check_.Int(segmentNode, 0, kVekNoId - 1));
  if (drawing_.FindSegment(read.segment) == nullptr) {
    check_.Fail(segmentNode.Path(), "segment " + std::to_string(read.segment) + " is not declared");
  }
  ElementView view = ReadElementView(check_, node, read);

  // Added as read, at the place in its segment's chain the drawing gives it.
  sim::Element& element = drawing_.AddElement(read.id, read.type, read.segment);
  read.chainPosition = element.chainPosition;
  element = read;
  file_.views.emplace_hint(file_.views.end(), read.id, std::move(view));
  file_.elements.push_back(read.id);
}

// Words the parser's stops as the problems of the file.
void ReadJson(const std::string& text, const std::string& fileName, DrawingReader& reader) {
  try {
    Json::sax_parse(text, &reader, Json::input_format_t::json, true, false);
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
    if (reason.size() > 120) reason.replace(120, std::string::npos, "...");
    throw InputError(fileName + ": at " + TextPlace(text, at) + ": not valid JSON: " + reason);
  } catch (const Json::exception& error) {
    throw InputError(fileName + ": not valid JSON: " + error.what());
  }
}

template <class Record>
bool IsZero(const Record& record) {
  const auto bytes = sim::Bytes(record);
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

const Layer* DrawingFile::FindLayer(int32_t id) const {
  const auto found = std::ranges::find(layers, id, &Layer::id);
  return found == layers.end() ? nullptr : &*found;
}

std::string ReadInputFile(const std::string& path, size_t limit) {
  std::string text;
  const wholefile::Result read = wholefile::Read(regtext::PathFromUtf8(path), limit, text);
  switch (read.outcome) {
    case wholefile::Outcome::kRead:
      break;
    case wholefile::Outcome::kMissing:
      throw InputError(path + ": no such file");
    case wholefile::Outcome::kFolder:
      throw InputError(path + ": cannot be read: it is a folder");
    case wholefile::Outcome::kTooLarge:
      throw InputError(path + ": larger than " + std::to_string(limit) + " bytes");
    case wholefile::Outcome::kFailed:  // with the system's reason, when it gave one
      throw InputError(path + ": cannot be read" +
                       (read.error != 0 ? std::string(": ") + std::strerror(read.error) : ""));
  }
  return text;
}

DrawingFile ParseDrawing(const std::string& text, const std::string& fileName,
                         sim::Drawing& drawing) {
  const Checker check(fileName);
  DrawingFile file;
  sim::Drawing built;
  DrawingReader reader(check, file, built);
  try {
    ReadJson(text, fileName, reader);
    reader.Finish();
  } catch (const InputError& error) {
    // Keys, texts and the parser's "last read" come from the file: what
    // would show as nothing in them is spelt out, here for every message.
    throw InputError(Visible(error.what()));
  }
  // Everything is sound: only now does the host's drawing change.
  built.layerOfNoSegment = drawing.layerOfNoSegment;
  drawing = std::move(built);
  return file;
}

DrawingFile LoadDrawing(const std::string& path, sim::Drawing& drawing) {
  return ParseDrawing(ReadInputFile(path, kMaxDrawingBytes), path, drawing);
}

namespace {

// The result is written as nlohmann's dump with an indent of two spells it,
// entry by entry: each entry of a list is a small document of its own,
// dumped at its depth, and the text goes to the sink a piece of about kPiece
// bytes at a time, so a large drawing is never held whole, as a document or
// as a text.
using Ordered = nlohmann::ordered_json;  // members in the order given
constexpr size_t kPiece = size_t{1} << 20;

// Integral values as integers, so that 80 read is 80 written, not 80.0.
Ordered Number(double value) {
  if (std::floor(value) == value && std::fabs(value) < 1.0e15) return static_cast<int64_t>(value);
  return value;
}

Ordered PointJson(const Point& p) { return Ordered::array({Number(p.x), Number(p.y)}); }

Ordered CharSizeJson(const VekCharSize& record) {
  const sim::CharSizeValue v = sim::ReadCharSize(record);
  return {{"height", Number(v.height)}, {"width", Number(v.width)}, {"spacing", Number(v.spacing)}};
}

Ordered ArrowsJson(const VekArrows& record) {
  const sim::ArrowsValue v = sim::ReadArrows(record);
  return {{"start", v.startKind}, {"end", v.endKind}, {"size", Number(v.size)}};
}

Ordered ShapeJson(const Shape& shape) {
  Ordered json = {{"kind", kShapeKindNames[static_cast<size_t>(shape.kind)]}};
  if (shape.kind == Shape::Kind::kLine || shape.kind == Shape::Kind::kPolyline) {
    Ordered& points = json["points"] = Ordered::array();
    for (const Point& p : shape.points) points.push_back(PointJson(p));
    if (shape.kind == Shape::Kind::kPolyline && shape.closed) json["closed"] = true;
    return json;
  }
  json["centre"] = PointJson(shape.centre);
  json["radius"] = Number(shape.radius);
  if (shape.kind == Shape::Kind::kArc) {
    json["start"] = Number(shape.startAngle);
    json["end"] = Number(shape.endAngle);
  }
  return json;
}

Ordered DimensionJson(const sim::Element& e, const ElementView& view) {
  Ordered json = {{"value", Number(view.value)}, {"decimalPlaces", e.decimalPlaces}};
  if (e.toleranceStatus != 0 || !IsZero(e.tolerance)) {
    const sim::ToleranceValue t = sim::ReadTolerance(e.tolerance);
    json["tolerance"] = {{"status", e.toleranceStatus},
                         {"upper", Number(t.upper)},
                         {"lower", Number(t.lower)},
                         {"kind", t.kind}};
  }
  json["charSize"] = CharSizeJson(e.dimCharSize);
  json["arrows"] = Ordered::array({ArrowsJson(e.arrows[0]), ArrowsJson(e.arrows[1])});
  return json;
}

Ordered ElementJson(const sim::Element& e, const ElementView& view) {
  Ordered json = {{"id", e.id}, {"type", e.type}, {"segment", e.segment}};
  if (view.hasLine || IsPlainFigureType(e.type) || e.line.colour != 0 || e.line.lineType != 0) {
    json["line"] = {{"colour", e.line.colour}, {"type", e.line.lineType}};
  }
  const bool dimensionSet = e.decimalPlaces != 0 || e.toleranceStatus != 0 ||
                            !IsZero(e.tolerance) || !IsZero(e.dimCharSize) ||
                            !IsZero(e.arrows[0]) || !IsZero(e.arrows[1]);
  if (view.hasDimension || IsDimensionType(e.type) || dimensionSet) {
    json["dimension"] = DimensionJson(e, view);
  }
  if (view.hasAnnotation || IsAnnotationType(e.type) || !IsZero(e.comment.charSize)) {
    Ordered& annotation = json["annotation"] = Ordered::object();
    if (view.hasAnnotation || IsAnnotationType(e.type)) annotation["text"] = view.text;
    annotation["charSize"] = CharSizeJson(e.comment.charSize);
  }
  if (view.shape.kind != Shape::Kind::kNone) json["shape"] = ShapeJson(view.shape);
  if (view.at) json["at"] = PointJson(*view.at);
  return json;
}

}  // namespace

bool WriteDrawingJson(const DrawingFile& file, const sim::Drawing& drawing, const TextSink& sink) {
  std::string out = "{\n  \"format\": \"vekhost-drawing\",\n  \"version\": 1";
  if (!file.title.empty()) out += ",\n  \"title\": " + Ordered(file.title).dump();
  bool good = true;
  nlohmann::detail::serializer<Ordered> serializer(nlohmann::detail::output_adapter<char>(out),
                                                   ' ');
  bool first = true;
  auto open = [&](const char* list) {
    out.append(",\n  \"").append(list).append("\": [");
    first = true;
  };
  auto entry = [&](const Ordered& json) {
    out += first ? "\n    " : ",\n    ";
    first = false;
    serializer.dump(json, true, false, 2, 4);
    if (out.size() < kPiece) return;
    good = good && sink(out);
    out.clear();
  };
  auto close = [&] { out += first ? "]" : "\n  ]"; };

  open("layers");
  for (const Layer& l : file.layers) entry({{"id", l.id}, {"name", l.name}, {"colour", l.colour}});
  close();
  open("segments");
  for (VekId id : file.segments) {
    const sim::Segment* segment = drawing.FindSegment(id);
    if (segment == nullptr) continue;
    Ordered json = {{"id", id}, {"layer", segment->layer}};
    if (segment->companion != 0) json["companion"] = segment->companion;
    if (const sim::Hole* hole = drawing.HoleOfSegment(id)) {
      Ordered& entries = json["hole"] = Ordered::array();
      for (const VekHoleEntry& e : hole->entries) entries.push_back({{"layer", e.layer}});
    }
    entry(json);
  }
  close();
  open("elements");
  for (VekId id : file.elements) {
    if (const sim::Element* e = drawing.FindElement(id)) entry(ElementJson(*e, file.views.at(id)));
  }
  close();
  out += "\n}\n";
  return good && sink(out);
}

std::string DrawingToJson(const DrawingFile& file, const sim::Drawing& drawing) {
  std::string text;
  WriteDrawingJson(file, drawing, [&text](std::string_view piece) {
    text.append(piece);
    return true;
  });
  return text;
}

}  // namespace vekhost
