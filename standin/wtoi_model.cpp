#include "standin/wtoi_model.h"

#include <limits>

namespace crtstandin {
namespace {

// The runtime's digit table: the zero of each block of ten decimal digits it
// knows: ASCII, Arabic-Indic, Extended Arabic-Indic, Devanagari, Bengali, Gurmukhi, Gujarati,
// Oriya, Telugu, Kannada, Malayalam, Thai, Lao, Tibetan, Myanmar, Khmer, Mongolian and Fullwidth,
// in that order. Every other Unicode digit (the superscripts, the mathematical digits, Myanmar's
// second set, ...) ends the number.
constexpr char16_t kDigitZeros[] = {0x0030, 0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66,
                                    0x0AE6, 0x0B66, 0x0C66, 0x0CE6, 0x0D66, 0x0E50,
                                    0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810, 0xFF10};

// The runtime's space class: the C0 controls tab to carriage return, the
// blank, and Unicode's space separators and line and paragraph separators.
// The information separators U+001C to U+001F and NEL (U+0085) are not in it.
bool IsSkippedSpace(char16_t c) {
  return c == 0x0020 || (c >= 0x0009 && c <= 0x000D) || c == 0x00A0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// The value of a decimal digit of any script `_wtoi` reads, or -1.
int DigitValue(char16_t c) {
  for (char16_t zero : kDigitZeros) {
    if (c >= zero && c <= zero + 9) return c - zero;
  }
  return -1;
}

}  // namespace

int32_t WideToInt(const char16_t* text) {
  const char16_t* p = text;
  while (IsSkippedSpace(*p)) ++p;

  // No white space may stand between the sign and the digits.
  const bool negative = *p == u'-';
  if (*p == u'+' || *p == u'-') ++p;

  // Accumulated in 64 bits and held just past the 32-bit range, so that the
  // loop cannot overflow however many digits follow; out-of-range numbers
  // give the nearest bound.
  constexpr int64_t kPastMax = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (int digit = DigitValue(*p); digit >= 0; digit = DigitValue(*++p)) {
    magnitude = magnitude * 10 + digit;
    if (magnitude > kPastMax) magnitude = kPastMax;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  if (magnitude == kPastMax) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(magnitude);
}

}  // namespace crtstandin
