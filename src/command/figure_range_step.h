// After a plain figure source: copy its layer and line attributes onto a
// selected range of figures.
#pragma once

#include "host/VekLib.h"

int32_t FigureRangeReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
int32_t FigureFilter(VekId element);
int32_t FigureApply(int32_t eventKind, VekArg a2, VekArg a3, VekArg a4);
