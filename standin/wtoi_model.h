// Windows' `_wtoi`, as plain portable code: what the Linux process hands the
// module under that name (msvcrt_standin.cpp), and what the Wine suite holds
// against the real runtime's, code unit by code unit.
#pragma once

#include <cstdint>

namespace crtstandin {

// `_wtoi` itself: `text` ends at its first NUL.
int32_t WideToInt(const char16_t* text);

}  // namespace crtstandin
