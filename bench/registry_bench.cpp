// How the registry stand-in scales with the size of a key. vekhost loads and
// saves the whole registry as regedit text at every session, so one key
// holding many values must cost time in proportion to its size: a lookup by
// name that scanned the key would make the import quadratic.
#include <benchmark/benchmark.h>

#include <string>

#include "tests/test_registry.h"

namespace {

// One key holding `count` REG_SZ values, named so that no two fold alike.
std::string KeyText(int64_t count) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Big]\r\n";
  for (int64_t i = 0; i < count; ++i) {
    text += "\"value" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\r\n";
  }
  return text;
}

void BM_ImportKeyOfNValues(benchmark::State& state) {
  const std::string text = KeyText(state.range(0));
  std::string error;
  for (auto _ : state) {
    regstandin::Reset();
    if (!testreg::ImportRegText(text, error)) state.SkipWithError(error.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImportKeyOfNValues)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
