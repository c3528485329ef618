// Copying the captured layer onto a target segment, shared by the three
// target steps.
#pragma once

#include "host/VekLib.h"

// When layer copying is chosen and the host is in the frame where layers
// apply (frame 1), moves `segment` to the captured layer, showing
// `failureMessage` if the host refuses. Gives whether the layer step ran.
bool ChangeSegmentLayerIfChosen(VekId segment, const char16_t* failureMessage);
