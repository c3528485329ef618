// The module's texts are UTF-16 in char16_t. Windows spells the same code
// units wchar_t; elsewhere the platform names take char16_t itself. `AsWide`
// hands a text to a platform function without copying.
#pragma once

#ifdef _WIN32
inline const wchar_t* AsWide(const char16_t* text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return reinterpret_cast<const wchar_t*>(text);
}
#else
inline const char16_t* AsWide(const char16_t* text) { return text; }
#endif
