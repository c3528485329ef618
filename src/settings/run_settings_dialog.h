// The settings dialog as the command steps see it: one call that shows the
// dialog and, when the user confirms it, stores and reloads the settings.
#pragma once

// Shows the settings dialog modally. On OK every setting is written and
// SettingsFlags is reloaded; any other end leaves SettingsFlags as it was,
// though each click has already reached the registry.
void RunSettingsDialog();
