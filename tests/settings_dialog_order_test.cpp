// OK in the settings dialog stores the dialog's settings first and only then
// reloads the command's flags from the registry, so that the flags are what
// was just stored. Seen in the registry's call log, with the dialog opened by
// the exit button as the host delivers it.
#include <vector>

#include "command_dialog_fixture.h"
#include "settings/settings_flags.h"

namespace {

using SettingsDialogOrderTest = CommandWithDialogTest;

// The value writes and reads in the order they were made.
std::vector<testreg::LogEntry> WritesAndReads() {
  std::vector<testreg::LogEntry> entries;
  for (const testreg::LogEntry& entry : testreg::Log()) {
    if (entry.function == "RegSetValueExW" || entry.function == "RegQueryValueExW") {
      entries.push_back(entry);
    }
  }
  return entries;
}

TEST_F(SettingsDialogOrderTest, OkStoresAllSevenBeforeTheReloadReadsAny) {
  host().RunCommand();
  dlgstandin::SetDriver([](dlgstandin::OpenDialog& dialog) {
    testreg::ClearLog();
    dialog.Click(IDOK);
  });
  ASSERT_TRUE(host().PressExit());

  const std::vector<testreg::LogEntry> entries = WritesAndReads();
  ASSERT_GT(entries.size(), kSettings.size());
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    EXPECT_EQ(entries[i].function, "RegSetValueExW") << testreg::Describe(entries[i]);
    EXPECT_EQ(entries[i].valueName, kSettings[i].name) << i;
  }
  // Then the reload, which reads and writes nothing more.
  for (std::size_t i = kSettings.size(); i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].function, "RegQueryValueExW") << testreg::Describe(entries[i]);
  }
}

}  // namespace
