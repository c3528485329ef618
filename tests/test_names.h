// Readable names for table rows, so that a failing row is named in the test
// report instead of shown as raw bytes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Printable ASCII as it is, everything else as \uXXXX; long texts shortened.
inline std::string Escaped(std::u16string_view text) {
  std::string out;
  for (char16_t c : text.substr(0, 16)) {
    if (c >= 0x21 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char code[8];
      // Eight bytes always hold "\uXXXX" and its NUL.
      (void)std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
      out += code;
    }
  }
  if (text.size() > 16) out += "...(" + std::to_string(text.size()) + " chars)";
  return out.empty() ? "(empty)" : out;
}
