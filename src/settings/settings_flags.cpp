#include "settings/settings_flags.h"

#include "settings/settings_key.h"

SettingsFlagSet SettingsFlags = {};

const std::u16string SettingsSubkeyName = kSettingsSubkey;
