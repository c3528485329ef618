// Loading the seven settings from the registry, shared by the command's
// start and the settings dialog, which differ only in where the results go.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings_flags.h"

// Where a loaded setting goes. Called once per setting, right after its
// value is known.
class SettingsSink {
 public:
  virtual void Set(const SettingDef& setting, int32_t value) = 0;

 protected:
  ~SettingsSink() = default;
};

// Reads every setting under `subkeyName` into `sink`, in table order. A value
// that is missing or unreadable gets its default text written back. A legacy
// "Type" value is turned into the three line settings and deleted.
void ReadSettingsInto(const std::u16string& subkeyName, SettingsSink& sink);

// Fills SettingsFlags from the registry under SettingsSubkeyName.
void LoadSettings();
