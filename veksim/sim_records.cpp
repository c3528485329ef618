#include "sim_records.h"

#include <cstddef>

namespace sim {
namespace {

// Each value's fields lie in the order and at the offsets of its record's
// layout, so a value goes in and out as one copy of its first `used` bytes,
// never of the padding after them; the rest of a record stays zero.
static_assert(offsetof(CharSizeValue, width) == 8 && offsetof(CharSizeValue, spacing) == 16);
static_assert(offsetof(ArrowsValue, endKind) == 4 && offsetof(ArrowsValue, size) == 8);
static_assert(offsetof(ToleranceValue, lower) == 8 && offsetof(ToleranceValue, kind) == 16);
static_assert(offsetof(PointValue, y) == 8);
constexpr size_t kToleranceUsed = offsetof(ToleranceValue, kind) + sizeof(int32_t);

template <class Record, class Value>
Record Pack(const Value& value, size_t used = sizeof(Value)) {
  static_assert(sizeof(Value) <= sizeof(Record::bytes));
  Record record{};
  std::memcpy(record.bytes, &value, used);
  return record;
}

template <class Value, class Record>
Value Unpack(const Record& record, size_t used = sizeof(Value)) {
  Value value{};
  std::memcpy(&value, record.bytes, used);
  return value;
}

}  // namespace

VekLineAttr MakeLineAttr(int32_t colour, int32_t lineType) {
  return {.colour = colour, .lineType = lineType, .host = {}};
}

VekCharSize MakeCharSize(const CharSizeValue& value) { return Pack<VekCharSize>(value); }
CharSizeValue ReadCharSize(const VekCharSize& record) { return Unpack<CharSizeValue>(record); }

VekArrows MakeArrows(const ArrowsValue& value) { return Pack<VekArrows>(value); }
ArrowsValue ReadArrows(const VekArrows& record) { return Unpack<ArrowsValue>(record); }

VekTolerance MakeTolerance(const ToleranceValue& value) {
  return Pack<VekTolerance>(value, kToleranceUsed);
}
ToleranceValue ReadTolerance(const VekTolerance& record) {
  return Unpack<ToleranceValue>(record, kToleranceUsed);
}

VekPoint MakePoint(const PointValue& value) { return Pack<VekPoint>(value); }

VekComment MakeComment(const CharSizeValue& charSize) {
  return {.host = {}, .charSize = MakeCharSize(charSize)};
}

VekHoleEntry MakeHoleEntry(int32_t word0, int32_t layer) {
  return {.word0 = word0, .layer = layer, .host = {}};
}

}  // namespace sim
