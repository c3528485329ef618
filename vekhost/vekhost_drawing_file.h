// Drawings for vekhost as JSON files: the layers, segments and elements the
// simulated host serves to the module, plus what only a viewer needs (layer
// names and colours, shapes, texts). docs/drawing-format.md describes the
// format.
//
// A drawing file comes from outside and is checked completely before the
// host sees any of it: the first problem found is reported as
//   FILE: at PATH: problem
// with PATH a JSON path such as $.elements[3].line.colour, or, for text that
// is not JSON at all, "at line L, column C".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/VekLib.h"
#include "sim_drawing.h"
#include "vekhost_output.h"

namespace vekhost {

// A problem with something the user gave vekhost; the message is complete
// and names the file and the place.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Point {
  double x = 0;
  double y = 0;
};

// What a figure looks like. The module never sees it.
struct Shape {
  enum class Kind { kNone, kLine, kPolyline, kCircle, kArc };
  Kind kind = Kind::kNone;
  std::vector<Point> points;  // line: two; polyline: two or more
  bool closed = false;        // polyline only
  Point centre;               // circle and arc
  double radius = 0;
  double startAngle = 0;  // arc, degrees counter-clockwise from +x
  double endAngle = 0;
};

// How the file names each kind, in the order of Shape::Kind.
inline constexpr const char* kShapeKindNames[] = {"", "line", "polyline", "circle", "arc"};

struct Layer {
  int32_t id = 0;
  std::string name;
  std::string colour;  // "#rrggbb", how the viewer shows the layer
};

// The parts of an element that only a viewer uses, and which property groups
// the file gave it, so that the result is written in the shape it was read.
struct ElementView {
  Shape shape;
  std::optional<Point> at;  // where an annotation's or a dimension's text stands
  std::string text;         // an annotation's text
  double value = 0;         // the length or angle a dimension measures
  bool hasLine = false;
  bool hasDimension = false;
  bool hasAnnotation = false;
};

struct DrawingFile {
  std::string title;
  std::vector<Layer> layers;
  std::vector<VekId> segments;  // in file order
  std::vector<VekId> elements;  // in file order, which is also each segment's chain order
  std::map<VekId, ElementView> views;

  const Layer* FindLayer(int32_t id) const;
};

// Element types the host knows: 0 to 35.
inline constexpr int32_t kLastElementType = 35;

// Checks `text` (read from `fileName`) and, only if all of it is sound, fills
// `drawing`, which must be empty. Throws InputError.
DrawingFile ParseDrawing(const std::string& text, const std::string& fileName,
                         sim::Drawing& drawing);

// Reads the file and parses it; an unreadable file is an InputError too.
DrawingFile LoadDrawing(const std::string& path, sim::Drawing& drawing);

// The drawing in the same format, with its properties as `drawing` holds
// them now, ending with a newline, handed to `sink` a piece at a time; false
// when the sink refused a piece.
bool WriteDrawingJson(const DrawingFile& file, const sim::Drawing& drawing, const TextSink& sink);

// The same, as one string.
std::string DrawingToJson(const DrawingFile& file, const sim::Drawing& drawing);

// Reads a whole file as bytes; throws InputError naming the file when it
// cannot, or when it is larger than `limit` bytes.
std::string ReadInputFile(const std::string& path, size_t limit);

}  // namespace vekhost
