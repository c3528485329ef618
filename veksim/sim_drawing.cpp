#include "sim_drawing.h"

#include <stdexcept>

namespace sim {
namespace {

std::string IdText(uint32_t id) { return std::to_string(id); }

template <class Map>
auto* Find(Map& map, typename Map::key_type id) {
  auto it = map.find(id);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

Segment& Drawing::AddSegment(VekId id, int32_t layer, VekId companion) {
  if (id == kVekNoId) throw std::invalid_argument("segment id 0xFFFFFFFF means none");
  Segment segment;
  segment.id = id;
  segment.layer = layer;
  segment.companion = companion;
  auto [it, added] = segments_.emplace(id, std::move(segment));
  if (!added) throw std::invalid_argument("duplicate segment " + IdText(id));
  return it->second;
}

Element& Drawing::AddElement(VekId id, int32_t type, VekId segment) {
  if (id == kVekNoId) throw std::invalid_argument("element id 0xFFFFFFFF means none");
  Segment* owner = nullptr;
  if (segment != kVekNoId) {
    owner = FindSegment(segment);
    if (owner == nullptr) throw std::invalid_argument("no segment " + IdText(segment));
  }
  Element element;
  element.id = id;
  element.type = type;
  element.segment = segment;
  auto [it, added] = elements_.emplace(id, std::move(element));
  if (!added) throw std::invalid_argument("duplicate element " + IdText(id));
  if (owner != nullptr) owner->elements.push_back(id);
  return it->second;
}

Hole& Drawing::AddHole(VekId segment, std::vector<VekHoleEntry> entries) {
  Segment* owner = FindSegment(segment);
  if (owner == nullptr) throw std::invalid_argument("no segment " + IdText(segment));
  // The module builds the key from a selection entry with its two words
  // swapped: the companion first, then the segment.
  VekHoleKey key{owner->companion, segment};
  auto [keyIt, fresh] = holeKeys_.emplace(std::pair{key.word0, key.word1}, nextHoleId_);
  if (!fresh) throw std::invalid_argument("segment " + IdText(segment) + " already has a hole");
  Hole& hole = holes_[nextHoleId_];
  hole.id = nextHoleId_++;
  hole.key = key;
  hole.entries = std::move(entries);
  owner->hasHoleData = true;
  return hole;
}

Element* Drawing::FindElement(VekId id) { return Find(elements_, id); }
const Element* Drawing::FindElement(VekId id) const { return Find(elements_, id); }
Segment* Drawing::FindSegment(VekId id) { return Find(segments_, id); }
const Segment* Drawing::FindSegment(VekId id) const { return Find(segments_, id); }
Hole* Drawing::FindHole(VekHoleId id) { return Find(holes_, id); }
const Hole* Drawing::FindHole(VekHoleId id) const { return Find(holes_, id); }

std::optional<VekHoleId> Drawing::HoleIdFor(const VekHoleKey& key) const {
  auto it = holeKeys_.find({key.word0, key.word1});
  if (it == holeKeys_.end()) return std::nullopt;
  return it->second;
}

Element& Drawing::element(VekId id) { return elements_.at(id); }
Segment& Drawing::segment(VekId id) { return segments_.at(id); }
Hole& Drawing::hole(VekHoleId id) { return holes_.at(id); }

}  // namespace sim
