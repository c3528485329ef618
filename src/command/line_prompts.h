// The source and range prompts name the line properties that will be copied.
#pragma once

#include <array>

using LinePromptTable = std::array<const char16_t*, 8>;

// Rows in the order: colour+type+layer, colour+type, colour+layer, colour,
// type+layer, type, layer, none.
extern const LinePromptTable kSourcePrompts;
extern const LinePromptTable kRangePrompts;

// Picks the row for the current line flags of SettingsFlags. Read each time a
// step opens, so a change made in the settings dialog shows at once.
const char16_t* ChooseLinePrompt(const LinePromptTable& table);
