// How the command scales with the size of what it works on. Build with
// -DSORVANE_BUILD_BENCH=ON and run build/.../bench/sorvane_bench.
//
// The costs that matter to a user are the start of each run (seven registry
// reads) and an apply over a large selection, which the host runs while the
// user waits.
#include <benchmark/benchmark.h>

#include "command/captured_properties.h"
#include "standin/registry_standin.h"
#include "settings/load_settings.h"
#include "settings/settings_flags.h"
#include "sim_host.h"
#include "sim_records.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

namespace {

void BM_LoadSettings(benchmark::State& state) {
  regstandin::Reset();
  LoadSettings();  // the key and its values exist from here on
  for (auto _ : state) LoadSettings();
}
BENCHMARK(BM_LoadSettings);

// One figure range apply over `segments` segments of eight figures each,
// copying layer, colour and line type.
void BM_FigureRangeApply(benchmark::State& state) {
  const auto segments = static_cast<VekId>(state.range(0));
  regstandin::Reset();
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  host.Register(Startup);
  host.drawing().AddSegment(1, 5);
  host.drawing().AddElement(1, 0, 1).line = sim::MakeLineAttr(3, 4);
  std::vector<VekId> targets;
  for (VekId s = 2; s < segments + 2; ++s) {
    host.drawing().AddSegment(s, 1);
    for (VekId i = 0; i < 8; ++i) host.drawing().AddElement(s * 16 + i, 2, s);
    targets.push_back(s * 16);
  }

  for (auto _ : state) {
    host.ClearTrace();
    host.RunCommand();
    host.Pick(1);
    host.SelectRange(targets);
  }
  state.SetItemsProcessed(state.iterations() * segments * 8);
}
BENCHMARK(BM_FigureRangeApply)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
