// Which elements a `select` or a `list` names, as a user in front of a CAD
// host names them: by id, by a range of ids, all of them, or those on a
// layer, of a range of types or in a segment.
//
//   select 301 311 401-403      ids and ranges of ids, in the order written
//   select all                  every element of the drawing
//   select layer 2 type 0-8     every element passing all the filters given
//   list segment 30             (list also takes no argument: every element)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/VekLib.h"
#include "sim_drawing.h"
#include "vekhost_drawing_file.h"

namespace vekhost {

// Words of a script line. Decimal digits only, with a sign where allowed:
// no base prefix, no trailing text.
std::optional<int64_t> ParseDecimal(std::string_view word, bool allowSign);
// An element id, 0 to 4294967294; sets `problem` when the word is none.
bool ParseElementId(std::string_view word, VekId& id, std::string& problem);

struct Selection {
  struct Range {
    VekId first = 0;
    VekId last = 0;  // first for a single id
  };
  std::vector<Range> ranges;  // ids and id ranges; empty when filters are used
  // The filters; none given (and no ranges) means every element.
  std::optional<int32_t> layer;
  std::optional<std::pair<int32_t, int32_t>> types;
  std::optional<VekId> segment;
};

// Reads the words after `select` or `list`. `verb` is for the messages; an
// empty `words` is every element for a list and a problem for a select. On
// a problem gives nothing and sets `problem`.
std::optional<Selection> ParseSelection(const std::vector<std::string_view>& words,
                                        const std::string& verb, std::string& problem);

// Whether what the selection names by number is in the drawing: each single
// id, the layer and the segment. A range or a filter that matches nothing
// now is no mistake (the layers change as the session goes). Sets `problem`.
bool SelectionNamesExist(const Selection& selection, const DrawingFile& file,
                         const sim::Drawing& drawing, std::string& problem);

// The elements the selection names in the drawing as it is now, each once:
// ids and ranges in the order written (a range in ascending ids), filters
// and `all` in file order.
std::vector<VekId> SelectedElements(const Selection& selection, const DrawingFile& file,
                                    const sim::Drawing& drawing);

// The selection in words, for the log: "layer 2, types 0 to 8".
std::string Describe(const Selection& selection);

}  // namespace vekhost
