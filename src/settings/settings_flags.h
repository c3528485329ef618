// The seven on/off settings that choose what the command copies.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/resource.h"

// Every setting, once, in the order the store reads and writes them and the
// settings dialog's message map routes their boxes. Each row gives:
//   - its name: the flag and dialog member, and the registry value it mirrors;
//   - the text written when the value is missing;
//   - its check box in the settings dialog (the ids live in resource.h, which
//     the resource compiler reads too);
//   - the dialog's click handler for that box.
// The first three are the line settings that the legacy "Type" value chose
// together. Everything else about the settings is built from this table.
#define SORVANE_SETTINGS(X)                                        \
  X(mIsColor, u"1", IDC_COLOR, OnClickColor)                       \
  X(mIsLType, u"1", IDC_LTYPE, OnClickLType)                       \
  X(mIsLayer, u"1", IDC_LAYER, OnClickLayer)                       \
  X(mIsDecimalPlace, u"1", IDC_DECIMAL_PLACE, OnClickDecimalPlace) \
  X(mIsTolerance, u"0", IDC_TOLERANCE, OnClickTolerance)           \
  X(mIsDimSize, u"0", IDC_DIM_SIZE, OnClickDimSize)                \
  X(IsHoleLayerChanged, u"0", IDC_HOLE_LAYER, OnClickHoleLayer)

// One flag per setting, 0 or 1.
struct SettingsFlagSet {
#define SORVANE_FLAG_MEMBER(name, defaultText, boxId, handler) int32_t name;
  SORVANE_SETTINGS(SORVANE_FLAG_MEMBER)
#undef SORVANE_FLAG_MEMBER
};

// The process-wide flags the command reads. All 0 until the first LoadSettings.
extern SettingsFlagSet SettingsFlags;

// The registry subkey the command's settings live under.
extern const std::u16string SettingsSubkeyName;

// One setting as data: its registry value name, the text written when the
// value is missing, the settings dialog's check box for it, and its flag.
struct SettingDef {
  const char16_t* name;
  const char16_t* defaultText;
  int boxId;
  int32_t SettingsFlagSet::*flag;
};

inline constexpr std::array kSettings = {
#define SORVANE_SETTING_DEF(name, defaultText, boxId, handler) \
  SettingDef{u"" #name, defaultText, boxId, &SettingsFlagSet::name},
    SORVANE_SETTINGS(SORVANE_SETTING_DEF)
#undef SORVANE_SETTING_DEF
};

inline constexpr std::size_t kLineSettingCount = 3;

// The registry text of a flag: the store only ever writes "1" or "0".
inline const char16_t* FlagText(int32_t flag) { return flag != 0 ? u"1" : u"0"; }
