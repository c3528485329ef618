#include "vekhost_words.h"

#include "support/utf.h"

namespace vekhost {
namespace {

constexpr size_t kQuotedBytes = 40;

// The format characters of Unicode that a user meets in text files: they
// take no room on a terminal, so a word holding one looks like another.
bool ShowsAsNothing(char32_t c) {
  return c == 0x00AD || c == 0xFEFF || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) ||
         (c >= 0x2066 && c <= 0x2069);
}

std::string CodePointName(char32_t c) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name = "<U+";
  for (int shift = 12; shift >= 0; shift -= 4) name += kHex[(c >> shift) & 0xF];
  return name + ">";
}

// Where `text` may be cut at or before `limit` without splitting a character.
size_t CutAt(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

std::string Visible(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const utf::Decoded decoded = utf::DecodeAt(text, i);
    // A byte that starts no character is kept as it is: only characters
    // are spelt out.
    const size_t length = decoded.length == 0 ? 1 : decoded.length;
    if (decoded.length != 0 && ShowsAsNothing(decoded.codePoint)) {
      shown += CodePointName(decoded.codePoint);
    } else {
      shown.append(text.substr(i, length));
    }
    i += length;
  }
  return shown;
}

std::string Quoted(std::string_view word) {
  const size_t cut = CutAt(word, kQuotedBytes);
  return "\"" + Visible(word.substr(0, cut)) + (cut < word.size() ? "..." : "") + "\"";
}

}  // namespace vekhost
