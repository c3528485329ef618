#include "settings/run_settings_dialog.h"

#include "platform/framework/framework.h"
#include "settings/SorvaneDlg.h"
#include "settings/load_settings.h"

void RunSettingsDialog() {
  // The host's call arrives with the host's state current; the template is
  // in this module's resources, so this module's state must be current
  // until the dialog is gone.
  AFX_MAINTAIN_STATE2 moduleState(AfxGetStaticModuleState());

  // Nothing may unwind into the host. What could throw here is running out
  // of memory for a text; the settings then stay as far as they got, just as
  // after a registry write that failed.
  try {
    SorvaneDlg dialog(nullptr);
    if (dialog.DoModal() == IDOK) {
      SaveSettings(dialog);
      LoadSettings();
    }
  } catch (...) {
  }
}
