// What the command costs over large selections, next to what it cannot beat.
// Build with -DSORVANE_BUILD_BENCH=ON; scripts/bench.sh runs it and writes
// docs/performance.md from its JSON.
//
// For every path through an apply (workload.h) and each size, three rows:
//   <path>/module/<n>    the module's apply, called as the host calls it;
//   <path>/baseline/<n>  a hand-written loop making the same host calls;
// and for the figure apply that writes whole line records also
//   <path>/host/<n>      the same changes made on the drawing directly, without
//                        the library: the memory traffic alone.
// Only the apply is timed: the drawing, the command's start, the source pick
// and the selection are made before the timed loop, with the host's trace and
// message log off. The counter "elements" gives n, so that a reader can work
// out the time per element.
#include <benchmark/benchmark.h>

#include <string>

#include "baseline.h"
#include "settings/load_settings.h"
#include "sim_host.h"
#include "standin/registry_standin.h"
#include "workload.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

namespace {

constexpr int64_t kSizes[] = {1000, 10000, 100000, 1000000};

enum class Runner { kModule, kBaseline, kHost };

// The drawing is built once per size: the benchmarks run size by size.
size_t builtSize = 0;
std::vector<VekId> targets;

void UseDrawingOf(size_t elements) {
  sim::Host& host = sim::Host::Instance();
  if (builtSize != elements) {
    host.Reset();
    host.Register(Startup);
    workload::BuildDrawing(host.drawing(), elements);
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

void BM_Apply(benchmark::State& state, workload::Path path, Runner runner) {
  const auto elements = static_cast<size_t>(state.range(0));
  UseDrawingOf(elements);
  regstandin::Reset();
  workload::EnterStep(path);
  baseline::Prepare(path);
  sim::Host& host = sim::Host::Instance();
  if (path == workload::Path::kDimensionPicks && runner == Runner::kBaseline) {
    baseline::DimensionReady(sim::kReadyArgs[0], sim::kReadyArgs[1], sim::kReadyArgs[2],
                             sim::kReadyArgs[3]);
  }
  const std::vector<sim::SelectionEntry> selection = host.Selection();
  const VekLineAttr line = host.drawing().element(workload::kFigureSource).line;

  for (auto _ : state) {
    switch (runner) {
      case Runner::kModule:
        benchmark::DoNotOptimize(workload::RunModule(path, targets));
        break;
      case Runner::kBaseline:
        benchmark::DoNotOptimize(baseline::Run(path, targets));
        break;
      case Runner::kHost:
        ApplyOnTheDrawing(selection, line);
        benchmark::ClobberMemory();
        break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(targets.size()));
  state.counters["elements"] = static_cast<double>(targets.size());
}

// LoadSettings at every command start. The registry stand-in logs every
// call; the log is emptied outside the timed part now and then, so that it
// neither grows without bound nor costs more as it grows.
constexpr int64_t kLogRoom = 4096;

void BM_LoadSettings(benchmark::State& state, Runner runner) {
  regstandin::Reset();
  LoadSettings();  // the key and its values exist from here on
  int64_t sinceCleared = 0;
  for (auto _ : state) {
    if (runner == Runner::kModule) {
      LoadSettings();
    } else {
      benchmark::DoNotOptimize(baseline::LoadSettings());
    }
    if (++sinceCleared == kLogRoom) {
      state.PauseTiming();
      regstandin::ClearLog();
      sinceCleared = 0;
      state.ResumeTiming();
    }
  }
}

std::string Name(std::string_view path, const char* runner) {
  return std::string(path) + "/" + runner;
}

const bool registered = [] {
  benchmark::RegisterBenchmark("LoadSettings/module", BM_LoadSettings, Runner::kModule);
  benchmark::RegisterBenchmark("LoadSettings/baseline", BM_LoadSettings, Runner::kBaseline);
  for (int64_t size : kSizes) {
    for (workload::Path path : workload::kPaths) {
      const std::string_view name = workload::NameOf(path);
      benchmark::RegisterBenchmark(Name(name, "module").c_str(), BM_Apply, path, Runner::kModule)
          ->Arg(size);
      benchmark::RegisterBenchmark(Name(name, "baseline").c_str(), BM_Apply, path,
                                   Runner::kBaseline)
          ->Arg(size);
      if (path == workload::Path::kFigureBothLineFlags) {
        benchmark::RegisterBenchmark(Name(name, "host").c_str(), BM_Apply, path, Runner::kHost)
            ->Arg(size);
      }
    }
  }
  return true;
}();

}  // namespace
