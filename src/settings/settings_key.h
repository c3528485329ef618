// Where the module keeps its settings under HKEY_CURRENT_USER: its maker's
// product key and, in it, the module's own subkey. The module builds the
// path from these two; everything around it (the tests, vekhost, the
// benchmarks) names the key by SettingsKeyPath().
#pragma once

#include <string>

inline constexpr char16_t kSettingsParentKey[] = u"SOFTWARE\\Denmarrow\\VEK";
inline constexpr char16_t kSettingsSubkey[] = u"Sorvane";

inline std::u16string SettingsKeyPath() {
  return std::u16string(kSettingsParentKey) + u"\\" + kSettingsSubkey;
}
