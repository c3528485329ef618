#include "settings/load_settings.h"

#include "platform/crt.h"
#include "settings/settings_registry.h"

namespace {

int32_t FlagFromText(const std::u16string& text) {
  return _wtoi(AsWide(text.c_str())) != 0 ? 1 : 0;
}

// A value that exists keeps its text whatever it holds; only a missing or
// unreadable one gets the default written back.
void ReadOrDefault(const std::u16string& subkeyName, const std::u16string& keyPath,
                   const SettingDef& setting, SettingsSink& sink) {
  std::u16string text;
  if (ReadRegistryString(keyPath, setting.name, text) == -1) {
    text = setting.defaultText;
    WriteSettingValue(subkeyName, setting.name, setting.defaultText);
  }
  sink.Set(setting, FlagFromText(text));
}

// Older versions stored the three line settings as one number, "Type":
// 0 (or no number) meant colour and line type, 1 the layer alone, anything
// else all three.
struct LegacyTypeRow {
  int32_t color, lineType, layer;
};

LegacyTypeRow LegacyTypeRowFor(int32_t n) {
  if (n == 0) return {1, 1, 0};
  if (n == 1) return {0, 0, 1};
  return {1, 1, 1};
}

void ConvertLegacyType(const std::u16string& subkeyName, const std::u16string& typeText,
                       SettingsSink& sink) {
  const LegacyTypeRow row = LegacyTypeRowFor(_wtoi(AsWide(typeText.c_str())));
  const int32_t values[kLineSettingCount] = {row.color, row.lineType, row.layer};

  for (std::size_t i = 0; i < kLineSettingCount; ++i) {
    WriteSettingValue(subkeyName, kSettings[i].name, FlagText(values[i]));
  }
  for (std::size_t i = 0; i < kLineSettingCount; ++i) {
    sink.Set(kSettings[i], values[i]);
  }
  DeleteSettingValue(subkeyName, u"Type");
}

class GlobalFlagsSink final : public SettingsSink {
 public:
  void Set(const SettingDef& setting, int32_t value) override {
    SettingsFlags.*(setting.flag) = value;
  }
};

}  // namespace

void ReadSettingsInto(const std::u16string& subkeyName, SettingsSink& sink) {
  // Every read is under the same key: its path is built once.
  const std::u16string keyPath = BuildSettingsKeyPath(subkeyName);
  std::u16string typeText;
  if (ReadRegistryString(keyPath, u"Type", typeText) == 0) {
    ConvertLegacyType(subkeyName, typeText, sink);
  } else {
    for (std::size_t i = 0; i < kLineSettingCount; ++i) {
      ReadOrDefault(subkeyName, keyPath, kSettings[i], sink);
    }
  }
  for (std::size_t i = kLineSettingCount; i < kSettings.size(); ++i) {
    ReadOrDefault(subkeyName, keyPath, kSettings[i], sink);
  }
}

void LoadSettings() {
  GlobalFlagsSink sink;
  ReadSettingsInto(SettingsSubkeyName, sink);
}
