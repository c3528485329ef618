// UTF-16 <-> UTF-8, the one conversion the scaffolding uses: for the .reg
// text the registry is saved in, and for showing the module's texts (Korean
// prompts and messages) on a terminal, in a log or in a test message.
//
// The encoding is generalized UTF-8 (WTF-8): a surrogate that has no partner
// is written as the three bytes of its own code point (U+D800 as ED A0 80)
// and read back as that surrogate. A registry name is any sequence of UTF-16
// units, and regedit, which exports UTF-16, keeps such a name as it is; so
// must the UTF-8 export, or a key or value saved and loaded again would be
// renamed. Any UTF-16 text therefore survives ToUtf8 and FromUtf8 unchanged,
// and a text without lone surrogates is written as plain UTF-8. Terminals
// show the rare lone surrogate as a broken character, which is what it is.
//
// Bytes that encode no code point (a stray continuation byte, an overlong
// form, a value past U+10FFFF, a sequence cut short) are an error for the
// strict reader, which the .reg import uses to name the bad line, and U+FFFD
// per bad byte for FromUtf8, so that the bytes after a bad one still count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace utf {

constexpr bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::string ToUtf8(std::u16string_view text);
void AppendUtf16(std::u16string& out, char32_t codePoint);

// One code point read from `text` at `offset`.
struct Decoded {
  enum class Problem { kNone, kInvalid, kTruncated };
  Problem problem = Problem::kNone;
  char32_t codePoint = 0;
  std::size_t length = 0;  // bytes read; 0 unless problem is kNone
};
// kTruncated when the text ends inside a sequence whose first byte was
// sound; kInvalid for everything else that is no code point.
Decoded DecodeAt(std::string_view text, std::size_t offset);

std::u16string FromUtf8(std::string_view text);

}  // namespace utf
