// What the shared cases have in common: the module driven as a host drives
// it, and the settings key read and written through the registry's Win32
// names, which are the stand-in's on Linux and advapi32's on Windows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/settings_key.h"
#include "shared/platform.h"
#include "sim_host.h"

namespace shared {

inline const std::u16string kSettingsKey = SettingsKeyPath();

// The seven settings in the order the store reads and writes them.
extern const std::vector<std::u16string> kSettingNames;
// Their defaults, in that order.
extern const std::vector<std::u16string> kDefaultTexts;

struct StoredValue {
  DWORD type = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const StoredValue&) const = default;
};
void PrintTo(const StoredValue& value, std::ostream* os);

// Creates the key as needed; fails the test when the registry refuses.
void StoreValue(const std::u16string& path, const std::u16string& name, DWORD type,
                const std::vector<uint8_t>& bytes);
std::optional<StoredValue> ReadValue(const std::u16string& path, const std::u16string& name);

// UTF-16 with one terminating NUL, as the module writes a setting.
std::vector<uint8_t> TextBytes(const std::u16string& text);
void StoreText(const std::u16string& name, const std::u16string& text);
// A setting's text up to its first NUL, or "<missing>".
std::u16string Stored(const std::u16string& name);
std::vector<std::u16string> StoredSettings();
// "1" or "0" for each flag, in the store's order.
void StoreSettings(const std::vector<int>& flags);

// For failure messages: Korean texts are unreadable as UTF-16 escapes.
std::string Utf8(const std::u16string& text);

// A fresh simulated host with Startup registered, and no settings key.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static Platform& platform() { return CurrentPlatform(); }
  static sim::Host& host() { return sim::Host::Instance(); }
  static sim::Drawing& drawing() { return host().drawing(); }
};

}  // namespace shared
