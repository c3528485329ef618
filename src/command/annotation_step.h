// After an annotation source: copy its character size and layer onto the
// selected annotations.
#pragma once

#include "host/VekLib.h"

int32_t AnnotationReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
int32_t AnnotationFilter(VekId element);
int32_t AnnotationApply(int32_t eventKind, VekArg a2, VekArg a3, VekArg a4);
