// The settings dialog: one check box per setting, each click stored in the
// registry at once.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework/framework.h"
#include "settings/resource.h"
#include "settings/settings_flags.h"

class SorvaneDlg : public CDialog {
  DECLARE_DYNAMIC(SorvaneDlg)

 public:
  enum { IDD = IDD_SORVANE };

  explicit SorvaneDlg(CWnd* parent = nullptr);
  ~SorvaneDlg() override;

  // Loads the settings into the members and the boxes, the way LoadSettings
  // does for SettingsFlags: defaults written for missing values, a legacy
  // "Type" converted and deleted.
  bool OnInitDialog() override;

  // The registry subkey this dialog reads and writes.
  std::u16string mSubkeyName;

  // The dialog's own copy of the settings, 0 or 1, one member per setting
  // (mIsColor, mIsLType, ..., IsHoleLayerChanged), named like the registry
  // values they mirror. SettingsFlags is not touched until OK reloads it.
#define SORVANE_DIALOG_MEMBER(name, defaultText, boxId, handler) int32_t name = 0;
  SORVANE_SETTINGS(SORVANE_DIALOG_MEMBER)
#undef SORVANE_DIALOG_MEMBER

 protected:
  // One per box (OnClickColor, ..., OnClickHoleLayer): flip the member, show
  // it, store it.
#define SORVANE_DIALOG_HANDLER(name, defaultText, boxId, handler) void handler();
  SORVANE_SETTINGS(SORVANE_DIALOG_HANDLER)
#undef SORVANE_DIALOG_HANDLER

  DECLARE_MESSAGE_MAP()

 private:
  void ToggleBox(int boxId);
};

// Writes the dialog's seven settings, in table order, as "1" or "0".
void SaveSettings(SorvaneDlg& dialog);
