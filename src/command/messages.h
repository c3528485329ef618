// The fixed texts the command shows when the host refuses something.
#pragma once

inline constexpr const char16_t* kMsgElementInput = u"형상 INPUT 에러";
inline constexpr const char16_t* kMsgLayerRead = u"layer 정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgLineRead = u"선속성을 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgLineWrite = u"선속성을 수정할 수 없습니다.";
inline constexpr const char16_t* kMsgCommentRead = u"comment 정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgDimCharSizeRead = u"dimension 문자정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgDimArrowRead = u"dimension 화살표정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgDimDecimalRead = u"dimension 소수점정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgDimToleranceRead = u"dimension 공차정보를 참조할 수 없습니다.";
inline constexpr const char16_t* kMsgUnhandledType = u"적용할수 없는 형상입니다.";

// The suffix tells which step failed to change a layer: figures, annotations,
// dimensions.
inline constexpr const char16_t* kMsgFigureLayerWrite = u"layer 정보를 수정할 수 없습니다.(1)";
inline constexpr const char16_t* kMsgAnnotationLayerWrite = u"layer 정보를 수정할 수 없습니다.(2)";
inline constexpr const char16_t* kMsgDimensionLayerWrite = u"layer 정보를 수정할 수 없습니다.(3)";
inline constexpr const char16_t* kMsgHoleRead = u"구멍 정보를 참조할 수 없습니다.(1)";
inline constexpr const char16_t* kMsgHoleWrite = u"구멍 정보를 수정할 수 없습니다.(1)";
inline constexpr const char16_t* kMsgCommentCharSizeWrite = u"주기문자사이즈를 수정할 수 없습니다.";
