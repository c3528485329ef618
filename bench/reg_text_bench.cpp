// How the .reg reader scales with its input, on the texts that cost it most:
// every case grows one dimension of a text, and the time per byte must stay
// flat as the text grows (Google Benchmark fits the complexity, which must
// come out as N). The cases are those where a careless reader goes over the
// same characters again for every line: a value continued over many lines
// after many leading blanks, blanks kept before each continuation, a deep
// key holding many values, and long hex data.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/reg_text.h"

namespace {

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";

// `n` leading blanks, then a hex value continued over `n` lines.
std::string LeadingBlanksThenContinuations(int64_t n) {
  std::string text = kHead + std::string(std::size_t(n), ' ') + "\"v\"=hex:00,\\\r\n";
  for (int64_t i = 0; i < n; ++i) text += "  01,\\\r\n";
  return text + "  02\r\n";
}

// Continuation lines that each keep blanks before their "\".
std::string BlanksBeforeEachContinuation(int64_t n) {
  std::string text = kHead + "\"v\"=hex:00,";
  for (int64_t i = 0; i < n; ++i) text += "01,        \\\r\n";
  return text + "02\r\n";
}

// The deepest key Windows allows, with the longest names, and `n` values.
std::string DeepKeyWithValues(int64_t n) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER";
  for (std::size_t depth = 0; depth < regtext::kMaxDepth; ++depth) {
    text += "\\" + std::string(regtext::kMaxKeyNameLength, 'k');
  }
  text += "]\r\n";
  for (int64_t i = 0; i < n; ++i) text += "\"v" + std::to_string(i) + "\"=-\r\n";
  return text;
}

// One value of `n` hex bytes on one line.
std::string LongHexLine(int64_t n) {
  std::string text = kHead + "\"v\"=hex:00";
  for (int64_t i = 0; i < n; ++i) text += ",ab";
  return text + "\r\n";
}

void Read(benchmark::State& state, std::string (*make)(int64_t)) {
  const std::string text = make(state.range(0));
  std::vector<regtext::Change> changes;
  regtext::ParseError error;
  for (auto _ : state) {
    if (!regtext::Parse(text, changes, error)) {
      state.SkipWithError(error.problem.c_str());
      break;
    }
    regtext::Tree tree;
    tree.Apply(changes);
    benchmark::DoNotOptimize(tree);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
  state.SetComplexityN(int64_t(text.size()));
}

void BM_LeadingBlanksThenContinuations(benchmark::State& s) {
  Read(s, LeadingBlanksThenContinuations);
}
void BM_BlanksBeforeEachContinuation(benchmark::State& s) { Read(s, BlanksBeforeEachContinuation); }
void BM_DeepKeyWithValues(benchmark::State& s) { Read(s, DeepKeyWithValues); }
void BM_LongHexLine(benchmark::State& s) { Read(s, LongHexLine); }

// Sizes from tens of kilobytes to a few megabytes.
#define SORVANE_READER_SIZES(bm)      \
  BENCHMARK(bm)                       \
      ->RangeMultiplier(4)            \
      ->Range(4 << 10, 256 << 10)     \
      ->Unit(benchmark::kMillisecond) \
      ->Complexity(benchmark::oN)

SORVANE_READER_SIZES(BM_LeadingBlanksThenContinuations);
SORVANE_READER_SIZES(BM_BlanksBeforeEachContinuation);
SORVANE_READER_SIZES(BM_DeepKeyWithValues);
SORVANE_READER_SIZES(BM_LongHexLine);

}  // namespace
