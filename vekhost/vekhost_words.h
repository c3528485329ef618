// How vekhost words in a message what it was given: a word of a script, a
// key or a text of a drawing, an option. What a user reads there must be
// what the file holds, so a character a terminal shows as nothing is spelt
// out; and a word it does not know is answered with the known one nearest.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vekhost {

// The text with each character that shows as nothing (a byte order mark,
// a zero-width space or joiner, a soft hyphen, a direction mark) spelt as
// <U+FEFF>; everything else as it is.
std::string Visible(std::string_view text);

// The word in quotes for a message, cut after 40 bytes (never inside a
// character), made visible.
std::string Quoted(std::string_view word);

// The word of `known` nearest to `typed`, the first of them on a tie, or ""
// when none is a likely slip: one is when at most two characters are
// inserted, dropped or replaced, and not the whole word replaced.
std::string NearestWord(std::string_view typed, const std::vector<std::string_view>& known);

// "1 element", "2 elements".
std::string Count(size_t count, const std::string& noun);

// The words vekhost gives every place in a file: "FILE: at line N: problem".
std::string AtLine(const std::string& path, size_t line, const std::string& problem);
// A registry file's error as its reader words it, "FILE:LINE: problem", in
// those words. Any other error as it is.
std::string AtLine(const std::string& path, const std::string& error);

}  // namespace vekhost
