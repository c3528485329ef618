#include "settings/SorvaneDlg.h"

#include <cstddef>
#include <iterator>

#include "settings/load_settings.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "settings/settings_registry.h"

namespace {

// The settings table names each box by number; the resource script by name.
// Both must mean the same controls.
static_assert(kSettings[0].boxId == IDC_COLOR);
static_assert(kSettings[1].boxId == IDC_LTYPE);
static_assert(kSettings[2].boxId == IDC_LAYER);
static_assert(kSettings[3].boxId == IDC_DECIMAL_PLACE);
static_assert(kSettings[4].boxId == IDC_TOLERANCE);
static_assert(kSettings[5].boxId == IDC_DIM_SIZE);
static_assert(kSettings[6].boxId == IDC_HOLE_LAYER);

// The dialog's member for each setting, in the order of kSettings.
constexpr int32_t SorvaneDlg::*kMembers[] = {
    &SorvaneDlg::mIsColor,           &SorvaneDlg::mIsLType,     &SorvaneDlg::mIsLayer,
    &SorvaneDlg::mIsDecimalPlace,    &SorvaneDlg::mIsTolerance, &SorvaneDlg::mIsDimSize,
    &SorvaneDlg::IsHoleLayerChanged,
};
static_assert(std::size(kMembers) == kSettings.size());

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
ON_BN_CLICKED(IDC_COLOR, &SorvaneDlg::OnClickColor)
ON_BN_CLICKED(IDC_LTYPE, &SorvaneDlg::OnClickLType)
ON_BN_CLICKED(IDC_LAYER, &SorvaneDlg::OnClickLayer)
ON_BN_CLICKED(IDC_DECIMAL_PLACE, &SorvaneDlg::OnClickDecimalPlace)
ON_BN_CLICKED(IDC_TOLERANCE, &SorvaneDlg::OnClickTolerance)
ON_BN_CLICKED(IDC_DIM_SIZE, &SorvaneDlg::OnClickDimSize)
ON_BN_CLICKED(IDC_HOLE_LAYER, &SorvaneDlg::OnClickHoleLayer)
END_MESSAGE_MAP()

SorvaneDlg::SorvaneDlg(CWnd* parent)
    : CDialog(IDD, parent),
      mSubkeyName(kSettingsSubkey),
      mIsColor(0),
      mIsLType(0),
      mIsLayer(0),
      mIsDecimalPlace(0),
      mIsTolerance(0),
      mIsDimSize(0),
      IsHoleLayerChanged(0) {}

SorvaneDlg::~SorvaneDlg() = default;

bool SorvaneDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  DialogSink sink(*this);
  ReadSettingsInto(mSubkeyName, sink);
  return true;
}

void SorvaneDlg::OnClickColor() { ToggleBox(IDC_COLOR); }
void SorvaneDlg::OnClickLType() { ToggleBox(IDC_LTYPE); }
void SorvaneDlg::OnClickLayer() { ToggleBox(IDC_LAYER); }
void SorvaneDlg::OnClickDecimalPlace() { ToggleBox(IDC_DECIMAL_PLACE); }
void SorvaneDlg::OnClickTolerance() { ToggleBox(IDC_TOLERANCE); }
void SorvaneDlg::OnClickDimSize() { ToggleBox(IDC_DIM_SIZE); }
void SorvaneDlg::OnClickHoleLayer() { ToggleBox(IDC_HOLE_LAYER); }

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
