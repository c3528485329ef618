#include "settings/SorvaneDlg.h"

#include <cstddef>

#include "settings/load_settings.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "settings/settings_registry.h"

namespace {

// The dialog's member for each setting, in the order of kSettings.
constexpr int32_t SorvaneDlg::*kMembers[] = {
#define SORVANE_MEMBER_POINTER(name, defaultText, boxId, handler) &SorvaneDlg::name,
    SORVANE_SETTINGS(SORVANE_MEMBER_POINTER)
#undef SORVANE_MEMBER_POINTER
};

// Asked only for the seven boxes of the table, which the message map and the
// loading procedure are built from.
std::size_t SettingIndexForBox(int boxId) {
  std::size_t i = 0;
  while (i + 1 < kSettings.size() && kSettings[i].boxId != boxId) ++i;
  return i;
}

UINT CheckFor(int32_t flag) { return flag != 0 ? BST_CHECKED : BST_UNCHECKED; }

// Each setting goes into its member and, right away, into its box, so the
// box shows exactly what the member holds from the moment it is loaded.
class DialogSink final : public SettingsSink {
 public:
  explicit DialogSink(SorvaneDlg& dialog) : dialog_(dialog) {}

  void Set(const SettingDef& setting, int32_t value) override {
    dialog_.*kMembers[SettingIndexForBox(setting.boxId)] = value;
    dialog_.CheckDlgButton(setting.boxId, CheckFor(value));
  }

 private:
  SorvaneDlg& dialog_;
};

}  // namespace

IMPLEMENT_DYNAMIC(SorvaneDlg, CDialog)

BEGIN_MESSAGE_MAP(SorvaneDlg, CDialog)
#define SORVANE_MESSAGE_MAP_ENTRY(name, defaultText, boxId, handler) \
  ON_BN_CLICKED(boxId, &SorvaneDlg::handler)
SORVANE_SETTINGS(SORVANE_MESSAGE_MAP_ENTRY)
#undef SORVANE_MESSAGE_MAP_ENTRY
END_MESSAGE_MAP()

SorvaneDlg::SorvaneDlg(CWnd* parent) : CDialog(IDD, parent), mSubkeyName(kSettingsSubkey) {}

SorvaneDlg::~SorvaneDlg() = default;

bool SorvaneDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  DialogSink sink(*this);
  ReadSettingsInto(mSubkeyName, sink);
  return true;
}

#define SORVANE_HANDLER_BODY(name, defaultText, boxId, handler) \
  void SorvaneDlg::handler() { ToggleBox(boxId); }
SORVANE_SETTINGS(SORVANE_HANDLER_BODY)
#undef SORVANE_HANDLER_BODY

// The dialog manager has already flipped the automatic box. The member stays
// the authority: it is flipped on its own and the box is set to it, so the
// two cannot drift apart even if the box was changed some other way.
void SorvaneDlg::ToggleBox(int boxId) {
  const std::size_t index = SettingIndexForBox(boxId);
  int32_t& member = this->*kMembers[index];
  member = member != 0 ? 0 : 1;
  CheckDlgButton(boxId, CheckFor(member));
  WriteSettingValue(mSubkeyName, kSettings[index].name, FlagText(member));
}

void SaveSettings(SorvaneDlg& dialog) {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    WriteSettingValue(dialog.mSubkeyName, kSettings[i].name, FlagText(dialog.*kMembers[i]));
  }
}
