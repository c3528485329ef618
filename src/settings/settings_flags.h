// The seven on/off settings that choose what the command copies.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// One flag per setting, 0 or 1. Named after the registry values they mirror.
struct SettingsFlagSet {
  int32_t mIsColor;
  int32_t mIsLType;
  int32_t mIsLayer;
  int32_t mIsDecimalPlace;
  int32_t mIsTolerance;
  int32_t mIsDimSize;
  int32_t IsHoleLayerChanged;
};

// The process-wide flags the command reads. All 0 until the first LoadSettings.
extern SettingsFlagSet SettingsFlags;

// The registry subkey the command's settings live under.
extern const std::u16string SettingsSubkeyName;

// One setting: its registry value name, the text written when the value is
// missing, the settings dialog's check box for it, and its flag.
struct SettingDef {
  const char16_t* name;
  const char16_t* defaultText;
  int boxId;
  int32_t SettingsFlagSet::*flag;
};

// In the order the store reads and writes them. The first three are the line
// settings that the legacy "Type" value chose together.
inline constexpr std::array<SettingDef, 7> kSettings = {{
    {u"mIsColor", u"1", 12001, &SettingsFlagSet::mIsColor},
    {u"mIsLType", u"1", 12002, &SettingsFlagSet::mIsLType},
    {u"mIsLayer", u"1", 12003, &SettingsFlagSet::mIsLayer},
    {u"mIsDecimalPlace", u"1", 12004, &SettingsFlagSet::mIsDecimalPlace},
    {u"mIsTolerance", u"0", 12005, &SettingsFlagSet::mIsTolerance},
    {u"mIsDimSize", u"0", 12007, &SettingsFlagSet::mIsDimSize},
    {u"IsHoleLayerChanged", u"0", 12000, &SettingsFlagSet::IsHoleLayerChanged},
}};

inline constexpr std::size_t kLineSettingCount = 3;

// The registry text of a flag: the store only ever writes "1" or "0".
inline const char16_t* FlagText(int32_t flag) { return flag != 0 ? u"1" : u"0"; }
