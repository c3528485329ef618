// The drawings and command steps the benchmarks time, shared with the test
// that holds each hand-written baseline to the calls the module makes.
//
// A drawing of n target elements is n / 8 segments of eight elements each,
// every segment with hole data of two entries, plus one source segment with a
// figure, an annotation and a dimension to pick. The targets are of a
// dimension type, so that a pick of any of them reaches the dimension apply;
// the figure and annotation applies do not look at an element's type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/VekLib.h"
#include "sim_host.h"

namespace workload {

inline constexpr VekId kSourceSegment = 1;
inline constexpr VekId kFigureSource = 10;
inline constexpr VekId kAnnotationSource = 11;
inline constexpr VekId kDimensionSource = 12;
inline constexpr VekId kFirstTargetSegment = 100;
inline constexpr size_t kElementsPerSegment = 8;

// Every path through an apply that a setting or the drawing chooses.
enum class Path {
  kFigureBothLineFlags,  // the captured line record is written whole
  kFigureColourOnly,     // each element's line record is read, changed, written
  kFigureNoLineFlags,    // read and written back unchanged
  kFigureLayer,          // also each segment's layer, its hole data left alone
  kFigureLayerAndHoles,  // also the layers in each segment's hole data
  kAnnotation,           // layer and character size
  kDimensionPicks,       // one pick per target element
};

inline constexpr std::array<Path, 7> kPaths{Path::kFigureBothLineFlags, Path::kFigureColourOnly,
                                            Path::kFigureNoLineFlags,   Path::kFigureLayer,
                                            Path::kFigureLayerAndHoles, Path::kAnnotation,
                                            Path::kDimensionPicks};

std::string_view NameOf(Path path);

// The seven settings the path runs with, in the registry's order: colour,
// line type, layer, decimal places, tolerance, dimension size, hole layer.
std::array<int, 7> FlagsOf(Path path);

// The first target element of a drawing and the element after `element`.
inline constexpr VekId kFirstTarget = 1000;

// Replaces the host's drawing by one with `elements` targets (rounded up to
// whole segments).
void BuildDrawing(sim::Drawing& drawing, size_t elements);

// The target elements of the host's drawing, in id order.
std::vector<VekId> Targets(const sim::Drawing& drawing);

// Runs the command with the path's settings in the registry and picks its
// source, so that the module waits in the path's step; for a range path the
// host's selection then holds every target segment.
void EnterStep(Path path);

// One apply by the module: for a range path the execute function once, as the
// host calls it when the range is complete; for dimension picks one pick of
// each of `targets`. Gives the last execute result.
int32_t RunModule(Path path, const std::vector<VekId>& targets);

// The event data a range apply is called with.
inline constexpr VekArg kRangeEventData = sim::kEventDataBase + 0xABC;

}  // namespace workload
