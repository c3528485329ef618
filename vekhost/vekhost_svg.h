// A picture of a drawing as SVG, to see what a session changed: figures in
// their line colour and with their line type's dashes, annotations and
// dimensions as text at their character size, one group per layer
// (<g id="layer-N">), each element a group (<g id="element-ID">) whose
// <title> is its tooltip: its id and properties. The picture after a
// session outlines each element it changed in a highlight colour and says in
// the tooltip what changed; the legend counts the elements on each layer.
// The same drawing always gives the same bytes.
#pragma once

#include <string>

#include "sim_drawing.h"
#include "vekhost_drawing_file.h"

namespace vekhost {

struct SvgOptions {
  bool labels = false;  // each element's id written beside it
  // For a picture after a session: mark what changed, as the drawing's
  // originals tell it (sim::Drawing::KeepOriginals).
  bool markChanges = false;
};

// The colour changed elements are outlined in.
inline constexpr const char* kHighlightColour = "#ff9800";

std::string RenderSvg(const DrawingFile& file, const sim::Drawing& drawing,
                      const SvgOptions& options = {});

// The host's colour numbers as the picture shows them: 0 is the segment's
// layer colour, 1 to 15 a fixed palette, anything else grey.
std::string ColourFor(int32_t colour, const std::string& layerColour);

// The dash pattern of a line type, in drawing units, empty for a solid line:
// 0 and 1 solid, 2 dashed, 3 dash-dot (centre line), 4 dotted, 5 dash-dot-dot
// (phantom), 6 long dash; anything else solid.
std::string DashesFor(int32_t lineType);

}  // namespace vekhost
