#include "vekhost_words.h"

#include <algorithm>

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

// The characters of the text; a byte that starts none counts as one, so that
// a slip in a word counts the same whatever its characters' lengths.
std::u32string Characters(std::string_view text) {
  std::u32string characters;
  size_t i = 0;
  while (i < text.size()) {
    const utf::Decoded decoded = utf::DecodeAt(text, i);
    characters += decoded.length == 0 ? char32_t{0xDC00} + static_cast<unsigned char>(text[i])
                                      : decoded.codePoint;
    i += decoded.length == 0 ? 1 : decoded.length;
  }
  return characters;
}

// Edits that turn one word into the other: a character inserted, dropped or
// replaced, or two neighbours swapped, the slip typing makes most ("qiut").
size_t EditDistance(const std::u32string& a, const std::u32string& b) {
  std::vector<size_t> before(b.size() + 1);  // the row of a[i - 2]
  std::vector<size_t> above(b.size() + 1);   // the row of a[i - 1]
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    before.swap(above);
    above.swap(row);
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      row[j] =
          std::min({above[j] + 1, row[j - 1] + 1, above[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
  }
  return row[b.size()];
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

std::string NearestWord(std::string_view typed, const std::vector<std::string_view>& known) {
  constexpr size_t kMaxEdits = 2;
  // A word longer than any known one by more than two characters of up to
  // four bytes each is no slip; this also keeps the comparison short
  // whatever was typed.
  size_t longest = 0;
  for (std::string_view word : known) longest = std::max(longest, word.size());
  if (typed.size() > longest + kMaxEdits * 4) return "";
  const std::u32string typedCharacters = Characters(typed);
  std::string_view best;
  size_t bestDistance = kMaxEdits + 1;
  for (std::string_view word : known) {
    const std::u32string characters = Characters(word);
    const size_t distance = EditDistance(typedCharacters, characters);
    if (distance < bestDistance && distance < characters.size()) {
      bestDistance = distance;
      best = word;
    }
  }
  return std::string(best);
}

std::string Count(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string AtLine(const std::string& path, size_t line, const std::string& problem) {
  return path + ": at line " + std::to_string(line) + ": " + problem;
}

std::string AtLine(const std::string& path, const std::string& error) {
  const std::string prefix = path + ":";
  if (error.rfind(prefix, 0) != 0) return error;
  const size_t digits = prefix.size();
  const size_t end = std::min(error.find_first_not_of("0123456789", digits), error.size());
  if (end == digits || error.compare(end, 2, ": ") != 0) return error;
  return path + ": at line " + error.substr(digits, end - digits) + ": " + error.substr(end + 2);
}

}  // namespace vekhost
