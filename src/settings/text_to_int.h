// Text to integer, the way the Windows runtime's _wtoi reads a setting.
#pragma once

#include <cstdint>
#include <string_view>

// Skips leading white space, takes an optional sign and the decimal digits
// that follow, and stops at the first other character. A text without such
// digits gives 0. A number beyond the 32-bit range saturates at INT32_MAX or
// INT32_MIN rather than wrapping, so a huge number still reads as "on".
int32_t WideTextToInt(std::u16string_view text);
