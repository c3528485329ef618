#include "sim_records.h"

namespace sim {
namespace {

// Records are byte arrays, so fields go in and out by memcpy at fixed offsets
// rather than through casts that would break aliasing rules.
template <class T>
void Put(uint8_t* bytes, size_t offset, T value) {
  std::memcpy(bytes + offset, &value, sizeof(T));
}

template <class T>
T Take(const uint8_t* bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof(T));
  return value;
}

}  // namespace

VekLineAttr MakeLineAttr(int32_t colour, int32_t lineType) {
  VekLineAttr attr{};
  attr.colour = colour;
  attr.lineType = lineType;
  return attr;
}

VekCharSize MakeCharSize(const CharSizeValue& value) {
  VekCharSize record{};
  Put(record.bytes, 0, value.height);
  Put(record.bytes, 8, value.width);
  Put(record.bytes, 16, value.spacing);
  return record;
}

CharSizeValue ReadCharSize(const VekCharSize& record) {
  return {Take<double>(record.bytes, 0), Take<double>(record.bytes, 8),
          Take<double>(record.bytes, 16)};
}

VekArrows MakeArrows(const ArrowsValue& value) {
  VekArrows record{};
  Put(record.bytes, 0, value.startKind);
  Put(record.bytes, 4, value.endKind);
  Put(record.bytes, 8, value.size);
  return record;
}

ArrowsValue ReadArrows(const VekArrows& record) {
  return {Take<int32_t>(record.bytes, 0), Take<int32_t>(record.bytes, 4),
          Take<double>(record.bytes, 8)};
}

VekTolerance MakeTolerance(const ToleranceValue& value) {
  VekTolerance record{};
  Put(record.bytes, 0, value.upper);
  Put(record.bytes, 8, value.lower);
  Put(record.bytes, 16, value.kind);
  return record;
}

ToleranceValue ReadTolerance(const VekTolerance& record) {
  return {Take<double>(record.bytes, 0), Take<double>(record.bytes, 8),
          Take<int32_t>(record.bytes, 16)};
}

VekPoint MakePoint(const PointValue& value) {
  VekPoint record{};
  Put(record.bytes, 0, value.x);
  Put(record.bytes, 8, value.y);
  return record;
}

VekComment MakeComment(const CharSizeValue& charSize) {
  VekComment comment{};
  comment.charSize = MakeCharSize(charSize);
  return comment;
}

VekHoleEntry MakeHoleEntry(int32_t word0, int32_t layer) {
  VekHoleEntry entry{};
  entry.word0 = word0;
  entry.layer = layer;
  return entry;
}

}  // namespace sim
