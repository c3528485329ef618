// Hand-written loops that make exactly the host calls the module makes for
// the same selection, with no structure of their own: what an apply cannot
// beat. A benchmark times each next to the module; a test holds each to the
// module's calls, one for one.
#pragma once

#include <cstdint>
#include <vector>

#include "host/VekLib.h"
#include "workload.h"

namespace baseline {

// What a baseline copies: the source's properties as the host holds them,
// and the settings, read once before any apply.
struct Source {
  int32_t layer = 0;
  VekLineAttr line{};
  VekCharSize commentCharSize{};
  int32_t decimalPlaces = 0;
  int32_t toleranceStatus = 0;
  VekTolerance tolerance{};
  VekCharSize dimCharSize{};
  VekArrows dimArrows{};
};

// Takes the path's settings and the sources of the host's drawing.
void Prepare(workload::Path path);

// The range applies, called as the host calls an execute function.
int32_t FigureApply(int32_t kind, VekArg a2, VekArg a3, VekArg a4);
int32_t AnnotationApply(int32_t kind, VekArg a2, VekArg a3, VekArg a4);

// Takes over the dimension step from the module: sets the host's mask,
// compare and execute functions to the baseline's own, as the module's ready
// function does with its own.
int32_t DimensionReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

// One apply by the baseline, as workload::RunModule does it for the module;
// for dimension picks, DimensionReady must have taken over the step.
int32_t Run(workload::Path path, const std::vector<VekId>& targets);

// The registry calls of LoadSettings when the settings key holds all seven
// values and no legacy value; gives how many settings are on.
int LoadSettings();

}  // namespace baseline
