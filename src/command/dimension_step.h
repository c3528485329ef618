// After a dimension source: copy its settings onto dimensions picked one at a
// time, until the user leaves with the exit button.
#pragma once

#include "host/VekLib.h"

int32_t DimensionReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
int32_t DimensionFilter(VekId element);
int32_t DimensionApply(int32_t eventKind, VekArg eventData, VekArg a3, VekArg a4);
