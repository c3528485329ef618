// Memory for the blocks of a large store of records.
//
// A walk over a million elements touches a new 4 KiB page every dozen
// records, and every page is a translation the processor looks up before it
// can reach the record: with small pages that lookup took a third of a figure
// apply's time at 10^6 elements. So a store's blocks, once the store is
// large, are cut from regions the system may back with its large pages
// (2 MiB on Linux, where the kernel gives them to memory that asks for them);
// a small store keeps to the ordinary heap and costs no more than before.
#pragma once

#include <cstddef>
#include <vector>

namespace sim {

class BlockMemory {
 public:
  BlockMemory() = default;
  BlockMemory(const BlockMemory&) = delete;
  BlockMemory& operator=(const BlockMemory&) = delete;
  BlockMemory(BlockMemory&& other) noexcept { Swap(other); }
  BlockMemory& operator=(BlockMemory&& other) noexcept {
    BlockMemory gone(std::move(other));
    Swap(gone);
    return *this;
  }
  ~BlockMemory();

  // Memory for a block of `bytes` (at most kRegionBytes), aligned for any
  // record; `blocksSoFar` tells how large the store already is. Throws
  // std::bad_alloc.
  void* Take(size_t bytes, size_t blocksSoFar);

  static constexpr size_t kRegionBytes = size_t{2} << 20;

 private:
  void Swap(BlockMemory& other) noexcept;

  std::vector<void*> small_;    // from the heap, one per block
  std::vector<void*> regions_;  // kRegionBytes each
  size_t used_ = 0;             // of the last region
};

}  // namespace sim
