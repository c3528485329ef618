// What the last source pick read, for the target step to copy.
#pragma once

#include <cstdint>

#include "host/VekLib.h"

// One process-wide record, zero at load and never cleared: a pick overwrites
// `layer` and the fields of its own kind only.
struct CapturedPropertiesRecord {
  int32_t toleranceStatus;
  VekTolerance tolerance;
  int32_t decimalPlaces;
  int32_t layer;
  VekArrows dimArrows;
  VekCharSize dimCharSize;
  VekCharSize commentCharSize;
  VekLineAttr lineAttributes;
  // Whether the dimension's character size and arrows were read from the
  // current source. A failed read leaves its field holding whatever an earlier
  // source left there, which must never be written onto a target.
  int32_t dimCharSizeStatus;
  int32_t dimArrowsStatus;
};

extern CapturedPropertiesRecord CapturedProperties;
