// The settings dialog: one check box per setting, each click stored in the
// registry at once.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework/framework.h"
#include "settings/resource.h"

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

  // The dialog's own copy of the settings, 0 or 1, named like the registry
  // values they mirror. SettingsFlags is not touched until OK reloads it.
  int32_t mIsColor;
  int32_t mIsLType;
  int32_t mIsLayer;
  int32_t mIsDecimalPlace;
  int32_t mIsTolerance;
  int32_t mIsDimSize;
  int32_t IsHoleLayerChanged;

 protected:
  // One per box: flip the member, show it, store it.
  void OnClickColor();
  void OnClickLType();
  void OnClickLayer();
  void OnClickDecimalPlace();
  void OnClickTolerance();
  void OnClickDimSize();
  void OnClickHoleLayer();

  DECLARE_MESSAGE_MAP()

 private:
  void ToggleBox(int boxId);
};

// Writes the dialog's seven settings, in table order, as "1" or "0".
void SaveSettings(SorvaneDlg& dialog);
