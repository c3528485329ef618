#include "settings/text_to_int.h"

#include <limits>

namespace {

bool IsWideSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

int32_t WideTextToInt(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWideSpace(text[i])) ++i;

  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }

  // Accumulate in 64 bits and clamp once past the 32-bit range, so the loop
  // itself can never overflow however many digits follow.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }

  if (negative) return static_cast<int32_t>(-magnitude);
  if (magnitude >= kLimit) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(magnitude);
}
