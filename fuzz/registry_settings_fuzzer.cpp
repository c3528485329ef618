// The module's settings as any program may have left them in the registry:
// the eight values it reads, each of any type and any bytes, or missing.
// The command starts (and reads them), the exit button opens the dialog, a
// few boxes are clicked and the dialog is closed with OK.
//
// What must hold whatever the registry held:
// - each flag is 0 or 1, and is what _wtoi makes of the text stored once the
//   settings are read;
// - the dialog opens showing the flags;
// - the module writes only "1" or "0" as REG_SZ, and deletes only "Type";
// - after OK the seven values are the boxes as they were left;
// - no key is left open.
#include <string>
#include <vector>

#include "command/captured_properties.h"
#include "fuzz_input.h"
#include "host/VekLib.h"
#include "module_dialog.h"
#include "platform/crt.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "sim_host.h"
#include "standin/user32_standin.h"
#include "support/reg_text.h"
#include "tests/test_registry.h"

namespace {

const std::u16string kKey = SettingsKeyPath();
constexpr size_t kMaxBytes = 600;

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? char(c) : '?';
  return out;
}

int32_t FlagOf(const SettingDef& setting) { return SettingsFlags.*(setting.flag); }

// The value as another program may have written it.
void StoreHostile(fuzz::Input& in, const char16_t* name) {
  const uint8_t shape = in.Byte();
  if ((shape & 3) == 0) return;  // missing
  // Mostly REG_SZ, the type the module writes; any other type too.
  const DWORD type = (shape & 4) != 0 ? REG_SZ : DWORD(in.Byte() % 12);
  const size_t count = in.U16() % (kMaxBytes + 1);
  std::vector<uint8_t> bytes;
  if ((shape & 8) != 0) {
    // A digit text, the shape _wtoi is about, with what follows it.
    const std::u16string digits = (shape & 16) != 0 ? u"1" : u"0";
    bytes = regtext::StringBytes(digits);
    bytes.resize(std::min(count, bytes.size()));
  } else {
    bytes = in.Bytes(count);
  }
  testreg::SetValue(kKey, name, type, bytes);
}

std::vector<bool> g_opened;  // the boxes as the dialog opened, in kSettings order
std::vector<bool> g_closed;  // and as OK left them
fuzz::Input* g_input = nullptr;

void PlayDialog(dlgstandin::OpenDialog& dialog) {
  g_opened.clear();
  for (const SettingDef& setting : kSettings) g_opened.push_back(dialog.IsChecked(setting.boxId));
  const size_t clicks = g_input->Byte() % 8;
  for (size_t i = 0; i < clicks; ++i) {
    dialog.Click(kSettings[g_input->Below(kSettings.size())].boxId);
  }
  g_closed.clear();
  for (const SettingDef& setting : kSettings) g_closed.push_back(dialog.IsChecked(setting.boxId));
  dialog.Click(IDOK);
}

void CheckWrites() {
  for (const testreg::LogEntry& entry : testreg::Log()) {
    if (entry.function == "RegSetValueExW") {
      // The log keeps the text of REG_SZ data only.
      FUZZ_REQUIRE(entry.text && (*entry.text == u"1" || *entry.text == u"0"),
                   testreg::Describe(entry));
      const auto stored = testreg::GetValue(kKey, entry.valueName);
      if (entry.status == ERROR_SUCCESS && stored) {
        FUZZ_REQUIRE(stored->type == REG_SZ && stored->bytes.size() == 4 && stored->bytes[2] == 0 &&
                         stored->bytes[3] == 0,
                     testreg::Describe(entry));
      }
    }
    if (entry.function == "RegDeleteValueW") {
      FUZZ_REQUIRE(entry.valueName == u"Type", testreg::Describe(entry));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::PrepareModuleDialog(PlayDialog);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  g_input = &in;
  testreg::Reset();
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  host.SetTracing(false);
  SettingsFlags = {};
  CapturedProperties = {};
  for (const SettingDef& setting : kSettings) StoreHostile(in, setting.name);
  StoreHostile(in, u"Type");
  FUZZ_REQUIRE(host.Register(Startup) == 0, "");
  testreg::ClearLog();

  FUZZ_REQUIRE(host.RunCommand(), "");
  for (const SettingDef& setting : kSettings) {
    const int32_t flag = FlagOf(setting);
    FUZZ_REQUIRE(flag == 0 || flag == 1, Utf8(setting.name));
    const std::u16string stored = testreg::GetString(kKey, setting.name).value_or(u"");
    const int32_t expected = _wtoi(stored.c_str()) != 0 ? 1 : 0;
    FUZZ_REQUIRE(flag == expected, Utf8(setting.name) + " is " + std::to_string(flag) +
                                       ", stored \"" + Utf8(stored) + "\"");
  }

  std::vector<bool> loaded;
  loaded.reserve(kSettings.size());
  for (const SettingDef& setting : kSettings) loaded.push_back(FlagOf(setting) == 1);
  g_opened.clear();
  host.PressExit();
  FUZZ_REQUIRE(g_opened.size() == kSettings.size(), "the dialog did not open");
  for (size_t i = 0; i < kSettings.size(); ++i) {
    FUZZ_REQUIRE(g_opened[i] == loaded[i], Utf8(kSettings[i].name));
    const std::u16string stored = testreg::GetString(kKey, kSettings[i].name).value_or(u"");
    FUZZ_REQUIRE(stored == (g_closed[i] ? u"1" : u"0"), Utf8(kSettings[i].name));
  }
  CheckWrites();
  FUZZ_REQUIRE(regstandin::OpenHandleCount() == 0, "");
  g_input = nullptr;
  return 0;
}
