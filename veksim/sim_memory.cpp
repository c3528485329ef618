#include "sim_memory.h"

#include <cstdlib>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace sim {
namespace {

// Blocks a store takes from the heap before it turns to regions: a drawing of
// a few thousand records, as every test builds, never reserves a region.
constexpr size_t kSmallBlocks = 16;

void* NewRegion() {
#if defined(__linux__)
  void* region = nullptr;
  if (posix_memalign(&region, BlockMemory::kRegionBytes, BlockMemory::kRegionBytes) != 0) {
    throw std::bad_alloc();
  }
  // Only advice: where the kernel keeps large pages for no one, or has none
  // left, the region is ordinary memory.
  (void)madvise(region, BlockMemory::kRegionBytes, MADV_HUGEPAGE);
  return region;
#else
  void* region = std::malloc(BlockMemory::kRegionBytes);
  if (region == nullptr) throw std::bad_alloc();
  return region;
#endif
}

}  // namespace

BlockMemory::~BlockMemory() {
  for (void* block : small_) std::free(block);
  for (void* region : regions_) std::free(region);
}

void BlockMemory::Swap(BlockMemory& other) noexcept {
  std::swap(small_, other.small_);
  std::swap(regions_, other.regions_);
  std::swap(used_, other.used_);
}

void* BlockMemory::Take(size_t bytes, size_t blocksSoFar) {
  // Every block starts on a boundary that suits any record.
  bytes = (bytes + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
  if (blocksSoFar < kSmallBlocks || bytes > kRegionBytes) {
    void* block = std::malloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    small_.push_back(block);
    return block;
  }
  if (regions_.empty() || used_ + bytes > kRegionBytes) {
    regions_.reserve(regions_.size() + 1);
    regions_.push_back(NewRegion());
    used_ = 0;
  }
  void* block = static_cast<char*>(regions_.back()) + used_;
  used_ += bytes;
  return block;
}

}  // namespace sim
