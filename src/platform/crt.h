// The C runtime's text-to-integer conversion, under its Windows name.
//
// On Windows this is msvcrt's own `_wtoi`. It skips leading white space,
// takes an optional sign and the decimal digits that follow, and stops at the
// first other character; a text without such digits gives 0, and a number
// beyond the 32-bit range gives INT_MAX or INT_MIN. White space and digits are
// Unicode's, not only ASCII's: "１" (U+FF11) and "١" (U+0661) read as 1, and
// U+3000 is skipped like a blank. Settings written by hand or by other
// programs are read exactly as that runtime reads them.
//
// Linux has no `_wtoi`; the name is only declared here and left undefined in
// the module, and the process that loads it links a stand-in, as it does for
// the registry.
#pragma once

#include "platform/wide.h"

#ifdef _WIN32
#include <stdlib.h>
#else
extern "C" int _wtoi(const char16_t* text);
#endif
