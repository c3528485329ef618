// Opening the settings dialog from a command step.
#pragma once

// Runs the settings dialog modally; on OK saves every box and reloads
// SettingsFlags. Any other ending saves and reloads nothing.
void RunSettingsDialog();
