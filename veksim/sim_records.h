// How the simulated host lays out the records that the module treats as
// opaque bytes.
//
// The module only copies character sizes, arrows, tolerances and points
// between host calls; it never looks inside. The simulated host still needs a
// meaning for those bytes so that tests can build distinct values and a viewer
// can show them. The layouts below are this host's own choice, little-endian,
// unused bytes zero:
//
//   VekCharSize  (24)  double height at 0, double width at 8, double spacing at 16
//   VekArrows    (24)  int32 start kind at 0, int32 end kind at 4, double size at 8,
//                      8 bytes zero
//   VekTolerance (72)  double upper at 0, double lower at 8, int32 kind at 16, rest zero
//   VekPoint     (16)  double x at 0, double y at 8
//   VekComment   (88)  bytes 0..63 the host's (zero here), 64..87 the annotation's
//                      VekCharSize
//   VekHoleEntry (240) int32 word 0, int32 layer at 4, rest the host's (zero here)
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "host/VekLib.h"

namespace sim {

struct CharSizeValue {
  double height = 0;
  double width = 0;
  double spacing = 0;
  bool operator==(const CharSizeValue&) const = default;
};

struct ArrowsValue {
  int32_t startKind = 0;
  int32_t endKind = 0;
  double size = 0;
  bool operator==(const ArrowsValue&) const = default;
};

struct ToleranceValue {
  double upper = 0;
  double lower = 0;
  int32_t kind = 0;
  bool operator==(const ToleranceValue&) const = default;
};

struct PointValue {
  double x = 0;
  double y = 0;
  bool operator==(const PointValue&) const = default;
};

VekLineAttr MakeLineAttr(int32_t colour, int32_t lineType);

VekCharSize MakeCharSize(const CharSizeValue& value);
CharSizeValue ReadCharSize(const VekCharSize& record);

VekArrows MakeArrows(const ArrowsValue& value);
ArrowsValue ReadArrows(const VekArrows& record);

VekTolerance MakeTolerance(const ToleranceValue& value);
ToleranceValue ReadTolerance(const VekTolerance& record);

VekPoint MakePoint(const PointValue& value);

VekComment MakeComment(const CharSizeValue& charSize);

VekHoleEntry MakeHoleEntry(int32_t word0, int32_t layer);

// The raw bytes of a record, for comparing records whose layout is opaque.
template <class Record>
std::vector<uint8_t> Bytes(const Record& record) {
  static_assert(std::is_trivially_copyable_v<Record>);
  std::vector<uint8_t> bytes(sizeof(Record));
  std::memcpy(bytes.data(), &record, sizeof(Record));
  return bytes;
}

}  // namespace sim
