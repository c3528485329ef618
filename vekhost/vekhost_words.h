// How vekhost quotes in a message what it was given: a word of a script, a
// key or a text of a drawing. What a user reads there must be what the file
// holds, so a character a terminal shows as nothing is spelt out.
#pragma once

#include <string>
#include <string_view>

namespace vekhost {

// The text with each character that shows as nothing (a byte order mark,
// a zero-width space or joiner, a soft hyphen, a direction mark) spelt as
// <U+FEFF>; everything else as it is.
std::string Visible(std::string_view text);

// The word in quotes for a message, cut after 40 bytes (never inside a
// character), made visible.
std::string Quoted(std::string_view word);

}  // namespace vekhost
