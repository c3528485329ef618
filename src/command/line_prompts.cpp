#include "command/line_prompts.h"

#include "settings/settings_flags.h"

const LinePromptTable kSourcePrompts = {
    u"속성참조할 원본형상지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=선색ㆍ선종>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=선색>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=선종>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=레이어>  : (종료버튼:설정창)",
    u"속성참조할 원본형상지시<현재=변화없음>  : (종료버튼:설정창)",
};

const LinePromptTable kRangePrompts = {
    u"변경할 형상 범위지시<현재=선색ㆍ선종ㆍ레이어>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=선색ㆍ선종>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=선색ㆍ레이어>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=선색>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=선종ㆍ레이어>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=선종>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=레이어>  : (종료버튼:설정창)",
    u"변경할 형상 범위지시<현재=변화없음>  : (종료버튼:설정창)",
};

const char16_t* ChooseLinePrompt(const LinePromptTable& table) {
  const bool color = SettingsFlags.mIsColor != 0;
  const bool lineType = SettingsFlags.mIsLType != 0;
  const bool layer = SettingsFlags.mIsLayer != 0;
  const std::size_t row = (color ? 0 : 4) + (lineType ? 0 : 2) + (layer ? 0 : 1);
  // An element of the table of texts, not an integer (cppcheck misreads the
  // table's type).
  // cppcheck-suppress CastIntegerToAddressAtReturn
  return table[row];
}
