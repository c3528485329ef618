// The first step: the user picks the element whose properties are copied.
#pragma once

#include "host/VekLib.h"

int32_t SourceReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
int32_t SourceFilter(VekId element);
int32_t SourceExecute(int32_t eventKind, VekArg eventData, VekArg a3, VekArg a4);
