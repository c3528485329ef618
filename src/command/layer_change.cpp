#include "command/layer_change.h"

#include "command/captured_properties.h"
#include "settings/settings_flags.h"

bool ChangeSegmentLayerIfChosen(VekId segment, const char16_t* failureMessage) {
  if (SettingsFlags.mIsLayer == 0 || VekEnvGetCurrentFrame() != 1) return false;
  if (VekSgmChangeLayer(segment, CapturedProperties.layer) == kVekFailure) {
    VekMsgPutErrorMessage(failureMessage);
  }
  return true;
}
