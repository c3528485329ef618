#include "counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "standin/platform_call.h"

namespace {
std::atomic<long> allocations{0};
// The caller's allocations, outside the stand-ins' Win32 functions.
std::atomic<long> callerAllocations{0};
// The caller's allocation to fail; 0 for none.
std::atomic<long> failAt{0};
std::atomic<bool> failed{false};
}  // namespace

namespace counting_new {

long Count() { return allocations.load(); }

void FailAfter(long n) {
  failed = false;
  failAt = n > 0 ? callerAllocations.load() + n : 0;
}

bool Failed() { return failed.load(); }

}  // namespace counting_new

// GCC sees malloc behind operator new and free behind operator delete and
// takes the pair for a mismatch; in a replacement they are the pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (!standin::InPlatformCall()) {
    const long count = callerAllocations.fetch_add(1, std::memory_order_relaxed) + 1;
    long target = count;
    if (failAt.load(std::memory_order_relaxed) == count &&
        failAt.compare_exchange_strong(target, 0)) {
      failed = true;
      throw std::bad_alloc();
    }
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
#pragma GCC diagnostic pop
