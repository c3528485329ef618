// Elements in words, the same in the log, in a list and in the pictures'
// tooltips: what an element is, and what a session changed of it.
#pragma once

#include <string>
#include <vector>

#include "host/VekLib.h"
#include "sim_drawing.h"
#include "vekhost_drawing_file.h"

namespace vekhost {

// The element as a list shows it after its id: its kind and type, segment,
// layer, and what the command reads of it (line colour and type, or the
// dimension's or the annotation's properties). The element must exist.
std::string ElementText(VekId id, const DrawingFile& file, const sim::Drawing& drawing);

// Each of the element's own properties (not its segment's layer) that
// differs between the element as it was and as it is, as "what OLD ARROW
// NEW", in a fixed order; empty when nothing did.
std::vector<std::string> ElementChanges(const sim::Element& was, const sim::Element& is,
                                        const std::string& arrow);

}  // namespace vekhost
