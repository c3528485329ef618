#include "settings/settings_flags.h"

SettingsFlagSet SettingsFlags = {};

const std::u16string SettingsSubkeyName = u"Sorvane";
