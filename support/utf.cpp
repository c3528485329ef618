#include "support/utf.h"

namespace utf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// What the first byte says: the sequence's length, the bits it carries and
// the least code point that needs that length. A length of 0 is no lead byte.
struct Lead {
  std::size_t length = 0;
  char32_t bits = 0;
  char32_t minimum = 0;
};

Lead LeadOf(unsigned char byte) {
  if (byte < 0x80) return {1, byte, 0};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, char32_t(byte & 0x1F), 0x80};
  if (byte >= 0xE0 && byte <= 0xEF) return {3, char32_t(byte & 0x0F), 0x800};
  if (byte >= 0xF0 && byte <= 0xF4) return {4, char32_t(byte & 0x07), 0x10000};
  return {};
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
    return;
  }
  // The lead byte by the number of continuation bytes, which carry six bits each.
  constexpr char32_t kLead[] = {0, 0xC0, 0xE0, 0xF0};
  const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out.push_back(char(kLead[more] | (c >> (6 * more))));
  for (int shift = 6 * (more - 1); shift >= 0; shift -= 6) {
    out.push_back(char(0x80 | ((c >> shift) & 0x3F)));
  }
}

}  // namespace

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(char16_t(c));
    return;
  }
  c -= 0x10000;
  out.push_back(char16_t(0xD800 + (c >> 10)));
  out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(out, c);  // a lone surrogate as its own code point
  }
  return out;
}

Decoded DecodeAt(std::string_view text, std::size_t offset) {
  const Lead lead = LeadOf(static_cast<unsigned char>(text[offset]));
  if (lead.length == 0) return {Decoded::Problem::kInvalid};
  if (text.size() - offset < lead.length) return {Decoded::Problem::kTruncated};
  char32_t c = lead.bits;
  for (std::size_t k = 1; k < lead.length; ++k) {
    const auto next = static_cast<unsigned char>(text[offset + k]);
    if ((next & 0xC0) != 0x80) return {Decoded::Problem::kInvalid};
    c = (c << 6) | (next & 0x3F);
  }
  if (c < lead.minimum || c > 0x10FFFF) return {Decoded::Problem::kInvalid};
  return {Decoded::Problem::kNone, c, lead.length};
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const Decoded decoded = DecodeAt(text, i);
    if (decoded.problem == Decoded::Problem::kNone) {
      AppendUtf16(out, decoded.codePoint);
      i += decoded.length;
    } else {
      AppendUtf16(out, kReplacement);
      ++i;
    }
  }
  return out;
}

}  // namespace utf
