#include "sim_drawing.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <tuple>

namespace sim {
namespace {

std::string IdText(uint32_t id) { return std::to_string(id); }

template <class Record>
Record& Found(Record* found, const char* what, VekId id) {
  if (found == nullptr) throw std::out_of_range(std::string("no ") + what + " " + IdText(id));
  return *found;
}

// Ids below this many per record go in the table; a drawing numbered more
// sparsely than that keeps the rest in the hash map.
constexpr size_t kDenseSlack = 4;
constexpr size_t kDenseFloor = 4096;

// What the guard entry after the lent entries holds.
VekHoleEntry GuardEntry() {
  VekHoleEntry guard;
  std::memset(&guard, 0xA5, sizeof guard);
  return guard;
}

template <class Map, class Value>
void Restore(const Map& kept, VekId id, Value& value) {
  if (kept.empty()) return;
  if (auto it = kept.find(id); it != kept.end()) value = it->second;
}

}  // namespace

template <class Value>
void IdTable<Value>::Add(uint32_t id, Value value) {
  if (id < dense_.size() && !(dense_[id] == Value{})) {
    dense_[id] = value;  // a new value for an id already kept
    return;
  }
  if (auto it = sparse_.find(id); it != sparse_.end()) {
    it->second = value;
    return;
  }
  ++count_;
  const size_t bound = std::max(kDenseFloor, count_ * kDenseSlack);
  if (id < bound) {
    if (id >= dense_.size()) dense_.resize(std::max<size_t>(id + 1, dense_.size() * 2), Value{});
    dense_[id] = value;
  } else {
    sparse_[id] = value;
  }
}

template <class Value>
Value IdTable<Value>::Find(uint32_t id) const {
  if (id < dense_.size() && !(dense_[id] == Value{})) return dense_[id];
  const auto it = sparse_.empty() ? sparse_.end() : sparse_.find(id);
  if (it == sparse_.end()) return Value{};
  return it->second;
}

template <class Record>
RecordStore<Record>& RecordStore<Record>::operator=(const RecordStore& other) {
  if (this == &other) return *this;
  RecordStore copy;
  for (size_t i = 0; i < other.size(); ++i) copy.Add(other[i]);
  Swap(copy);
  return *this;
}

template <class Record>
Record& RecordStore<Record>::Add(Record record) {
  if (size_ == blocks_.size() * kBlock) {
    blocks_.reserve(blocks_.size() + 1);
    void* memory = memory_.Take(sizeof(Record) * kBlock, blocks_.size());
    auto* block = static_cast<Record*>(memory);
    // Records have no throwing constructors: the block is whole or not made.
    for (size_t i = 0; i < kBlock; ++i) new (block + i) Record();
    blocks_.push_back(block);
  }
  Record& added = (*this)[size_++];
  added = std::move(record);
  return added;
}

template <class Record>
std::vector<VekId> RecordStore<Record>::Ids() const {
  std::vector<VekId> ids;
  ids.reserve(size_);
  for (size_t i = 0; i < size_; ++i) ids.push_back((*this)[i].id);
  return ids;
}

template <class Record>
RecordStore<Record>::~RecordStore() {
  for (Record* block : blocks_) {
    for (size_t i = 0; i < kBlock; ++i) block[i].~Record();
  }
}

template <class Record>
void RecordStore<Record>::Swap(RecordStore& other) noexcept {
  std::swap(blocks_, other.blocks_);
  std::swap(size_, other.size_);
  std::swap(memory_, other.memory_);
}

template class RecordStore<Element>;
template class RecordStore<Segment>;

template class IdTable<Element*>;
template class IdTable<Segment*>;
template class IdTable<Hole*>;

Drawing::Drawing(const Drawing& other)
    : layerOfNoSegment(other.layerOfNoSegment),
      elements_(other.elements_),
      segments_(other.segments_),
      holes_(other.holes_),
      nextHoleId_(other.nextHoleId_),
      keepingOriginals_(other.keepingOriginals_),
      elementOriginals_(other.elementOriginals_),
      layerOriginals_(other.layerOriginals_),
      entryOriginals_(other.entryOriginals_) {
  for (size_t i = 0; i < elements_.size(); ++i) elementIndex_.Add(elements_[i].id, &elements_[i]);
  for (size_t i = 0; i < segments_.size(); ++i) segmentIndex_.Add(segments_[i].id, &segments_[i]);
  for (auto& [id, hole] : holes_) {
    holeIndex_.Add(static_cast<uint32_t>(id), &hole);
    holeBySegment_.Add(hole.key.word1, &hole);
    MakeRoomToLend(hole.entries.size());
  }
}

Drawing& Drawing::operator=(const Drawing& other) {
  if (this != &other) *this = Drawing(other);
  return *this;
}

VekId Drawing::NextInChain(VekId element) const {
  const Element* found = FindElement(element);
  const Segment* owner = found == nullptr ? nullptr : FindSegment(found->segment);
  if (owner == nullptr || found->chainPosition + 1 >= owner->elements.size()) return kVekNoId;
  return owner->elements[found->chainPosition + 1];
}

void Drawing::MakeRoomToLend(size_t entries) {
  if (lent_.capacity() < entries + 1) lent_.reserve(entries + 1);
}

VekHoleEntry* Drawing::LendEntries(const Hole& hole) {
  lent_.assign(hole.entries.begin(), hole.entries.end());
  lent_.push_back(GuardEntry());
  return lent_.data();
}

bool Drawing::LentEntriesKeptInBounds() const {
  if (lent_.empty()) return true;
  const VekHoleEntry guard = GuardEntry();
  return std::memcmp(&lent_.back(), &guard, sizeof guard) == 0;
}

Segment& Drawing::AddSegment(VekId id, int32_t layer, VekId companion) {
  if (id == kVekNoId) throw std::invalid_argument("segment id 0xFFFFFFFF means none");
  if (FindSegment(id) != nullptr) throw std::invalid_argument("duplicate segment " + IdText(id));
  Segment& added =
      segments_.Add(Segment{.id = id, .layer = layer, .companion = companion, .elements = {}});
  segmentIndex_.Add(id, &added);
  return added;
}

Element& Drawing::AddElement(VekId id, int32_t type, VekId segment) {
  if (id == kVekNoId) throw std::invalid_argument("element id 0xFFFFFFFF means none");
  Segment* owner = nullptr;
  if (segment != kVekNoId) {
    owner = FindSegment(segment);
    if (owner == nullptr) throw std::invalid_argument("no segment " + IdText(segment));
  }
  if (FindElement(id) != nullptr) throw std::invalid_argument("duplicate element " + IdText(id));
  Element& added = elements_.Add(Element{.id = id, .type = type, .segment = segment});
  elementIndex_.Add(id, &added);
  if (owner != nullptr) {
    added.chainPosition = owner->elements.size();
    owner->elements.push_back(id);
  }
  return added;
}

Hole& Drawing::AddHole(VekId segment, std::vector<VekHoleEntry> entries) {
  Segment* owner = FindSegment(segment);
  if (owner == nullptr) throw std::invalid_argument("no segment " + IdText(segment));
  // The module builds the key from a selection entry with its two words
  // swapped: the companion first, then the segment.
  VekHoleKey key{owner->companion, segment};
  if (holeBySegment_.Find(segment) != nullptr) {
    throw std::invalid_argument("segment " + IdText(segment) + " already has a hole");
  }
  Hole& hole = holes_[nextHoleId_];
  holeIndex_.Add(static_cast<uint32_t>(nextHoleId_), &hole);
  holeBySegment_.Add(segment, &hole);
  hole.id = nextHoleId_++;
  hole.key = key;
  hole.entries = std::move(entries);
  MakeRoomToLend(hole.entries.size());
  owner->hasHoleData = true;
  return hole;
}

void Drawing::KeepOriginals() {
  keepingOriginals_ = true;
  elementOriginals_ = {};
  layerOriginals_.clear();
  entryOriginals_.clear();
}

void Drawing::KeepOriginal(const Element& element, Property property) {
  if (!keepingOriginals_) return;
  ElementOriginals& o = elementOriginals_;
  const VekId id = element.id;
  // emplace keeps what is already there: only the first value counts. A
  // switch, so that a property added to the list cannot be forgotten here.
  switch (property) {
    case Property::kLine:
      o.line.emplace(id, element.line);
      return;
    case Property::kDecimalPlaces:
      o.decimalPlaces.emplace(id, element.decimalPlaces);
      return;
    case Property::kTolerance:
      o.tolerance.emplace(id, std::pair{element.toleranceStatus, element.tolerance});
      return;
    case Property::kDimCharSize:
      o.dimCharSize.emplace(id, element.dimCharSize);
      return;
    case Property::kArrows:
      o.arrows.emplace(id, element.arrows);
      return;
    case Property::kCommentCharSize:
      o.commentCharSize.emplace(id, element.comment.charSize);
      return;
  }
}

void Drawing::KeepOriginal(const Segment& segment) {
  if (keepingOriginals_) layerOriginals_.emplace(segment.id, segment.layer);
}

void Drawing::KeepOriginal(const Hole& hole) {
  if (keepingOriginals_) entryOriginals_.emplace(hole.id, hole.entries);
}

Element Drawing::ElementAsItWas(const Element& now) const {
  Element was = now;
  const ElementOriginals& o = elementOriginals_;
  Restore(o.line, now.id, was.line);
  Restore(o.decimalPlaces, now.id, was.decimalPlaces);
  auto tolerance = std::tie(was.toleranceStatus, was.tolerance);
  Restore(o.tolerance, now.id, tolerance);
  Restore(o.dimCharSize, now.id, was.dimCharSize);
  Restore(o.arrows, now.id, was.arrows);
  Restore(o.commentCharSize, now.id, was.comment.charSize);
  return was;
}

int32_t Drawing::LayerAsItWas(const Segment& now) const {
  int32_t layer = now.layer;
  Restore(layerOriginals_, now.id, layer);
  return layer;
}

const std::vector<VekHoleEntry>& Drawing::EntriesAsTheyWere(const Hole& now) const {
  auto it = entryOriginals_.find(now.id);
  return it == entryOriginals_.end() ? now.entries : it->second;
}

std::optional<VekHoleId> Drawing::HoleIdFor(const VekHoleKey& key) const {
  const Hole* hole = holeBySegment_.Find(key.word1);
  if (hole == nullptr || hole->key.word0 != key.word0) return std::nullopt;
  return hole->id;
}

Element& Drawing::element(VekId id) { return Found(FindElement(id), "element", id); }
Segment& Drawing::segment(VekId id) { return Found(FindSegment(id), "segment", id); }

}  // namespace sim
