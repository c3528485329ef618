// UTF-16 <-> UTF-8, for showing the module's texts (Korean prompts and
// messages) on a terminal or in a file. Unpaired surrogates and malformed
// UTF-8 become U+FFFD rather than being dropped, so a broken text stays
// visible as broken.
#pragma once

#include <string>
#include <string_view>

namespace sim {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace sim
