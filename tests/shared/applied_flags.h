// The seven settings as the module acts on them, found out the only way a
// host can: by running the command on a drawing made for it and looking at
// what changed. No flag is read from inside the module.
#pragma once

#include <vector>

namespace shared {

// From the source step of a running command: picks the plain figure that is
// the source, which opens the figure range step.
void PickFigureSource();
// From the figure range step: selects a range of one figure and tells which
// of colour, line type, layer and hole layer were copied, as {colour, line
// type, layer, hole layer}. The command ends with the range.
std::vector<int> SelectFigureTargets();

// From the source step of a running command: picks an annotation, which
// opens the annotation step.
void PickAnnotationSource();

// From the source step of a running command: PickFigureSource, then
// SelectFigureTargets. Picks a plain figure, selects
// a range of one figure and tells which of colour, line type, layer and hole
// layer were copied, as {colour, line type, layer, hole layer}. The hole
// data follows the segment's layer, so with the layer off the hole layer
// reads 0 whatever its setting. The command ends with the range.
std::vector<int> AppliedFigureFlags();

// From the source step of a running command: picks a dimension, then a
// target dimension, and tells which of decimal places, tolerance and
// character size were copied, as {decimal places, tolerance, size}.
std::vector<int> AppliedDimensionFlags();

// Two fresh runs of the command, each loading the settings from the registry
// first: all seven flags in the store's order (colour, line type, layer,
// decimal places, tolerance, dimension size, hole layer).
std::vector<int> AppliedFlags();

}  // namespace shared
