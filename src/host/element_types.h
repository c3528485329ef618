// The kinds of element, by the type number VekElmGetType answers. Types are
// compared unsigned, so a negative answer (a refusal) is of no kind.
#pragma once

#include <cstdint>

// Plain figures: types 0 to 8.
inline bool IsPlainFigureType(uint32_t type) { return type <= 8; }

// Annotations: types 33 to 35.
inline bool IsAnnotationType(uint32_t type) { return type - 33u <= 2u; }

// Dimensions: types 12 to 21, 24 and 26 to 29.
inline bool IsDimensionType(uint32_t type) {
  return type <= 29 && ((0x3D3FF000u >> type) & 1u) != 0;
}

// Anything that can be picked as a source: the three kinds above.
inline bool IsSourceType(uint32_t type) {
  return type <= 35 && ((0xE3D3FF1FFull >> type) & 1u) != 0;
}
