// The simulated host's drawing: elements grouped into segments, and the hole
// data some segments carry.
//
// Ids are chosen by whoever builds the drawing, so a test can name the ids it
// later expects in the call trace. Every element carries every property the
// library can read or write, whatever its type: the host refuses nothing on
// account of an element's kind, and refusals are made on purpose through the
// host's failure injection instead.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/VekLib.h"
#include "sim_memory.h"
#include "sim_records.h"

namespace sim {

struct Element {
  VekId id = kVekNoId;
  int32_t type = 0;
  VekId segment = kVekNoId;  // kVekNoId: the element belongs to no segment
  size_t chainPosition = 0;  // its place in the segment's chain, set by AddElement
  VekLineAttr line{};
  int32_t decimalPlaces = 0;
  int32_t toleranceStatus = 0;  // what VekDimGetTolerance returns; 1 once a tolerance is set
  VekTolerance tolerance{};
  VekCharSize dimCharSize{};
  std::array<VekArrows, 2> arrows{};  // by the selector of VekDimGetArrow/VekDimSetArrow
  VekComment comment{};               // its bytes 64..87 are the annotation's char size
};

struct Segment {
  VekId id = kVekNoId;
  int32_t layer = 0;
  bool hasHoleData = false;     // VekSgmHasAttribute(segment, 0)
  VekId companion = 0;          // word 1 of the segment's selection entries
  std::vector<VekId> elements;  // the chain, in order; grown only by AddElement
};

// Finds what is kept for an id in constant time: ids below a bound that
// grows with the number of entries sit in a table, sparse ones in a hash map.
// Value{} stands for "nothing kept".
template <class Value>
class IdTable {
 public:
  void Add(uint32_t id, Value value);
  Value Find(uint32_t id) const;

 private:
  std::vector<Value> dense_;
  std::unordered_map<uint32_t, Value> sparse_;
  size_t count_ = 0;
};

// Element and segment records in the order they were added, in blocks that never move. A walk
// over a large drawing then reads its records in the order they lie in memory, which the
// processor prefetches well, where the nodes of a tree lie wherever the allocator put them.
template <class Record>
class RecordStore {
 public:
  RecordStore() = default;
  RecordStore(const RecordStore& other) { *this = other; }
  RecordStore& operator=(const RecordStore& other);
  RecordStore(RecordStore&& other) noexcept { Swap(other); }
  RecordStore& operator=(RecordStore&& other) noexcept {
    RecordStore gone(std::move(other));
    Swap(gone);
    return *this;
  }
  ~RecordStore();

  Record& Add(Record record);
  size_t size() const { return size_; }
  Record& operator[](size_t i) { return blocks_[i / kBlock][i % kBlock]; }
  const Record& operator[](size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
  // The records' ids, in the order they were added.
  std::vector<VekId> Ids() const;

 private:
  static constexpr size_t kBlock = 256;
  void Swap(RecordStore& other) noexcept;

  std::vector<Record*> blocks_;  // kBlock records each, all constructed
  size_t size_ = 0;
  BlockMemory memory_;  // where the blocks are; the records go first (~RecordStore)
};

struct Hole {
  VekHoleId id = 0;
  VekHoleKey key{};
  std::vector<VekHoleEntry> entries;
  // Test knob for a host that keeps a hole's entries to itself: VekHolGetHoleData
  // reports their count but a null entry array, and VekHolAmendHoleData takes
  // such a record back, keeping the entries as they are.
  bool withholdsEntries = false;
};

// The properties the library can change, one entry each in the drawing's
// originals (below).
enum class Property : uint8_t {
  kLine,             // VekFigSetLineType
  kDecimalPlaces,    // VekDimSetDecimalPlace
  kTolerance,        // VekDimSetTolerance, with the status it sets
  kDimCharSize,      // VekDimSetCharSize
  kArrows,           // VekDimSetArrow, both selectors
  kCommentCharSize,  // VekCmtSetCharSize
};

// What an element's changed properties held before the library first changed
// them, for the element as a whole: the rest of its record is as it is now.
struct ElementOriginals {
  std::unordered_map<VekId, VekLineAttr> line;
  std::unordered_map<VekId, int32_t> decimalPlaces;
  std::unordered_map<VekId, std::pair<int32_t, VekTolerance>> tolerance;
  std::unordered_map<VekId, VekCharSize> dimCharSize;
  std::unordered_map<VekId, std::array<VekArrows, 2>> arrows;
  std::unordered_map<VekId, VekCharSize> commentCharSize;
};

class Drawing {
 public:
  Drawing() = default;
  // A copy has indexes of its own, pointing into its own records.
  Drawing(const Drawing& other);
  Drawing& operator=(const Drawing& other);
  Drawing(Drawing&&) = default;
  Drawing& operator=(Drawing&&) = default;

  // What the host answers when asked for the layer of "no segment": some hosts
  // give their current layer, others refuse (nullopt, the default).
  std::optional<int32_t> layerOfNoSegment;

  // Each Add throws std::invalid_argument for a duplicate or reserved id, or a
  // segment that does not exist, so a mistyped test drawing fails loudly.
  Segment& AddSegment(VekId id, int32_t layer, VekId companion = 0);
  // Appends the element to the end of the segment's chain; with kVekNoId the
  // element stands alone.
  Element& AddElement(VekId id, int32_t type, VekId segment);
  // Gives the segment hole data, found by the key {companion, segment}, and
  // sets its hole-data attribute.
  Hole& AddHole(VekId segment, std::vector<VekHoleEntry> entries);

  Element* FindElement(VekId id) { return elementIndex_.Find(id); }
  const Element* FindElement(VekId id) const { return elementIndex_.Find(id); }
  Segment* FindSegment(VekId id) { return segmentIndex_.Find(id); }
  const Segment* FindSegment(VekId id) const { return segmentIndex_.Find(id); }
  Hole* FindHole(VekHoleId id) { return holeIndex_.Find(static_cast<uint32_t>(id)); }
  const Hole* HoleOfSegment(VekId segment) const { return holeBySegment_.Find(segment); }
  std::optional<VekHoleId> HoleIdFor(const VekHoleKey& key) const;

  // Lookups that throw std::out_of_range, for tests that know the id exists.
  Element& element(VekId id);
  Segment& segment(VekId id);
  Hole& hole(VekHoleId id) { return holes_.at(id); }

  // The elements' ids in the order they were added.
  std::vector<VekId> ElementIds() const { return elements_.Ids(); }
  size_t ElementCount() const { return elements_.size(); }
  // The segments' ids in the order they were added.
  std::vector<VekId> SegmentIds() const { return segments_.Ids(); }
  size_t SegmentCount() const { return segments_.size(); }
  const std::map<VekHoleId, Hole>& Holes() const { return holes_; }
  // Copies the hole's entries into the one buffer VekHolGetHoleData lends them
  // in, valid until the next lend. Kept as large as the largest hole, it needs
  // no new memory for a lend and stays in the cache across a walk over holes.
  VekHoleEntry* LendEntries(const Hole& hole);
  // Whether the memory right after the entries last lent is as it was lent:
  // a guard entry follows them, so a write past the last entry shows here
  // without a sanitizer.
  bool LentEntriesKeptInBounds() const;

  // The element after `element` in its segment's chain, kVekNoId at the end
  // or for an element of no segment; constant time.
  VekId NextInChain(VekId element) const;

  // From KeepOriginals() on (which forgets what was kept before), the library
  // calls KeepOriginal before it changes a property, which keeps the first
  // value each property had; the As-it-was functions give the records as they
  // were then. A viewer thus compares before and after without copying the
  // drawing (most of a gigabyte at a million elements): memory follows what
  // changed. Off until asked, so that otherwise nothing is allocated for it.
  void KeepOriginals();
  void KeepOriginal(const Element& element, Property property);
  void KeepOriginal(const Segment& segment);
  void KeepOriginal(const Hole& hole);
  Element ElementAsItWas(const Element& now) const;
  int32_t LayerAsItWas(const Segment& now) const;
  const std::vector<VekHoleEntry>& EntriesAsTheyWere(const Hole& now) const;

 private:
  void MakeRoomToLend(size_t entries);

  RecordStore<Element> elements_;
  RecordStore<Segment> segments_;
  std::map<VekHoleId, Hole> holes_;  // a map, whose nodes never move
  // A segment has one hole at most, found by the key's second word, the
  // segment: a lookup per selected segment, in a table in id order.
  IdTable<Hole*> holeBySegment_;
  IdTable<Element*> elementIndex_;
  IdTable<Segment*> segmentIndex_;
  IdTable<Hole*> holeIndex_;
  VekHoleId nextHoleId_ = 501;
  bool keepingOriginals_ = false;
  ElementOriginals elementOriginals_;
  std::unordered_map<VekId, int32_t> layerOriginals_;
  std::unordered_map<VekHoleId, std::vector<VekHoleEntry>> entryOriginals_;
  std::vector<VekHoleEntry> lent_;
};

}  // namespace sim
