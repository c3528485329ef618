// What the command costs over large selections, next to what it cannot beat.
// Build with -DSORVANE_BUILD_BENCH=ON; scripts/bench.sh runs it and writes
// docs/performance.md from its JSON.
//
// For every path through an apply (workload.h) and each size:
//   <path>/pair/<n>  the module's apply, called as the host calls it, in turn
//                    with a hand-written loop making the same host calls
//                    (bench/baseline.h); its counters give each one's median
//                    time per element and the median ratio of the two;
// and for the figure apply that writes whole line records also
//   FigureBothLineFlags/host/<n>  the same changes made on the drawing
//                    directly, without the library: the memory traffic alone.
// Only the apply is timed: the drawing, the command's start, the source pick
// and the selection are made before it, with the host's trace and message
// log off. The counter "elements" gives n.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <utility>

#include "baseline.h"
#include "settings/load_settings.h"
#include "sim_host.h"
#include "standin/registry_standin.h"
#include "workload.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

namespace {

constexpr int64_t kSizes[] = {1000, 10000, 100000, 1000000};

enum class Runner { kModule, kBaseline };

// The drawing of each size is built once and kept aside while another size
// runs: the repetitions of all the benchmarks are shuffled together, so the
// size changes from one run to the next.
size_t builtSize = 0;
std::map<size_t, sim::Drawing> aside;
std::vector<VekId> targets;

void UseDrawingOf(size_t elements) {
  sim::Host& host = sim::Host::Instance();
  if (builtSize != elements) {
    if (builtSize != 0) std::swap(aside[builtSize], host.drawing());
    host.Reset();
    host.Register(Startup);
    auto kept = aside.find(elements);
    if (kept == aside.end()) {
      kept = aside.emplace(elements, sim::Drawing()).first;
      workload::BuildDrawing(kept->second, elements);
    }
    std::swap(kept->second, host.drawing());
    targets = workload::Targets(host.drawing());
    builtSize = elements;
  }
  host.SetTracing(false);
  host.SetKeepMessages(false);
  host.ClearFailures();
}

// The figure apply with both line flags, done on the host's records.
void ApplyOnTheDrawing(const std::vector<sim::SelectionEntry>& selection, const VekLineAttr& line) {
  sim::Drawing& drawing = sim::Host::Instance().drawing();
  for (const sim::SelectionEntry& entry : selection) {
    for (VekId id : drawing.FindSegment(entry.segment)->elements)
      drawing.FindElement(id)->line = line;
  }
}

// Makes the host's step the one the module or the baseline applies: for
// dimension picks each has a ready function of its own that takes the step
// over; a range apply is called directly, so the two share the step.
void EnterStepFor(workload::Path path, Runner runner) {
  if (path != workload::Path::kDimensionPicks) return;
  if (runner == Runner::kModule) {
    workload::EnterStep(path);
  } else {
    baseline::DimensionReady(sim::kReadyArgs[0], sim::kReadyArgs[1], sim::kReadyArgs[2],
                             sim::kReadyArgs[3]);
  }
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

// Times `run` (untimed `prepare` before it) in turn with its rival: each
// iteration runs both, the first of the two alternating, so that whatever
// else the machine does in a spell falls on both. Reports the medians of
// each side's time per item and of the ratio within each pair, which is
// what the comparison rests on: it is robust to a noisy machine where two
// separate runs are not. The fastest of each side is reported too.
template <class Prepare, class Run>
void RunPairs(benchmark::State& state, double items, Prepare prepare, Run run) {
  std::vector<double> mine;
  std::vector<double> rival;
  std::vector<double> ratios;
  for (auto _ : state) {
    double took[2] = {0, 0};
    const size_t first = state.iterations() % 2;
    for (size_t k = 0; k < 2; ++k) {
      const size_t side = (first + k) % 2;  // 0: the module, 1: the baseline
      prepare(side);
      const auto start = std::chrono::steady_clock::now();
      run(side);
      took[side] = Seconds(std::chrono::steady_clock::now() - start);
    }
    state.SetIterationTime(took[0] + took[1]);
    mine.push_back(took[0]);
    rival.push_back(took[1]);
    ratios.push_back(took[1] > 0 ? took[0] / took[1] : 0);
  }
  state.counters["elements"] = items;
  state.counters["module_ns"] = Median(mine) * 1e9 / items;
  state.counters["baseline_ns"] = Median(rival) * 1e9 / items;
  state.counters["ratio"] = Median(ratios);
  // The fastest of each side: the cost with the least of the machine's noise.
  if (!mine.empty()) {
    state.counters["module_min_ns"] = *std::min_element(mine.begin(), mine.end()) * 1e9 / items;
    state.counters["baseline_min_ns"] = *std::min_element(rival.begin(), rival.end()) * 1e9 / items;
  }
}

// The module's apply and the baseline's, in pairs.
void BM_Pair(benchmark::State& state, workload::Path path) {
  const auto elements = static_cast<size_t>(state.range(0));
  UseDrawingOf(elements);
  regstandin::Reset();
  workload::EnterStep(path);
  baseline::Prepare(path);
  RunPairs(
      state, static_cast<double>(targets.size()),
      [path](size_t side) { EnterStepFor(path, side == 0 ? Runner::kModule : Runner::kBaseline); },
      [path](size_t side) {
        benchmark::DoNotOptimize(side == 0 ? workload::RunModule(path, targets)
                                           : baseline::Run(path, targets));
      });
}

// The figure apply with both line flags made on the host's records alone.
void BM_Host(benchmark::State& state) {
  const auto elements = static_cast<size_t>(state.range(0));
  UseDrawingOf(elements);
  regstandin::Reset();
  workload::EnterStep(workload::Path::kFigureBothLineFlags);
  sim::Host& host = sim::Host::Instance();
  const std::vector<sim::SelectionEntry> selection = host.Selection();
  const VekLineAttr line = host.drawing().element(workload::kFigureSource).line;
  for (auto _ : state) {
    ApplyOnTheDrawing(selection, line);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(targets.size()));
  state.counters["elements"] = static_cast<double>(targets.size());
}

// LoadSettings at every command start, on the bare registry stand-in: no
// layer, so no log grows as the pairs run.
void BM_LoadSettings(benchmark::State& state) {
  regstandin::Reset();
  LoadSettings();  // the key and its values exist from here on
  RunPairs(
      state, 1.0, [](size_t) {},
      [](size_t side) {
        if (side == 0) {
          LoadSettings();
        } else {
          benchmark::DoNotOptimize(baseline::LoadSettings());
        }
      });
}

const bool registered = [] {
  benchmark::RegisterBenchmark("LoadSettings/pair", BM_LoadSettings)->UseManualTime();
  for (int64_t size : kSizes) {
    for (workload::Path path : workload::kPaths) {
      const std::string name = std::string(workload::NameOf(path)) + "/pair";
      // At the largest size a pair takes a tenth of a second or more:
      // longer, so that the medians rest on a score of pairs.
      benchmark::RegisterBenchmark(name.c_str(), BM_Pair, path)
          ->Arg(size)
          ->UseManualTime()
          ->MinTime(size >= 1000000 ? 4.0 : 1.0);
    }
    benchmark::RegisterBenchmark("FigureBothLineFlags/host", BM_Host)->Arg(size);
  }
  return true;
}();

}  // namespace
