// What every fuzz target shares: the input read as a stream of choices, and
// the way a broken invariant ends the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// Reads choices off the front of the input. An exhausted input answers 0
// and false from then on, so every target ends once its input does.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return size_ == 0; }
  size_t left() const { return size_; }

  uint8_t Byte() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  bool Bool() { return (Byte() & 1) != 0; }
  uint16_t U16() { return uint16_t(Byte() | Byte() << 8); }
  uint32_t U32() { return uint32_t(U16()) | uint32_t(U16()) << 16; }
  int32_t I32() { return int32_t(U32()); }
  // A number in [0, bound); 0 when bound is 0.
  size_t Below(size_t bound) { return bound == 0 ? 0 : U32() % bound; }
  // `count` bytes, zeros once the input runs out.
  std::vector<uint8_t> Bytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = Byte();
    return bytes;
  }
  std::string Rest() {
    std::string rest(reinterpret_cast<const char*>(data_), size_);
    data_ += size_;
    size_ = 0;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

[[noreturn]] inline void Broken(const char* invariant, const char* file, int line,
                                const std::string& detail) {
  (void)std::fprintf(stderr, "%s:%d: invariant broken: %s%s%s\n", file, line, invariant,
                     detail.empty() ? "" : ": ", detail.c_str());
  std::abort();
}

}  // namespace fuzz

// Ends the run with the invariant and a detail when `condition` is false.
#define FUZZ_REQUIRE(condition, detail)                                     \
  do {                                                                      \
    if (!(condition)) fuzz::Broken(#condition, __FILE__, __LINE__, detail); \
  } while (false)
