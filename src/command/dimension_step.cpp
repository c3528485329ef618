#include "command/dimension_step.h"

#include "command/captured_properties.h"
#include "command/layer_change.h"
#include "command/messages.h"
#include "host/element_types.h"
#include "settings/settings_flags.h"

namespace {

constexpr const char16_t* kDimensionPrompt = u"치수지시 : ";
constexpr const char16_t* kTargetCursorLabel = u"TARGET";

// Arrows are read with selector 1 and written with selector 0.
constexpr int32_t kArrowWriteSelector = 0;

// Each value goes on only if the source pick actually read it: a failed read
// leaves a failure code or an earlier source's data in the record, and
// writing that would corrupt the target. The failure was shown at the pick.
void CopyDimensionSettings(VekId element) {
  const CapturedPropertiesRecord& c = CapturedProperties;
  if (SettingsFlags.mIsDecimalPlace != 0 && c.decimalPlaces != kVekFailure) {
    VekDimSetDecimalPlace(element, c.decimalPlaces);
  }
  if (SettingsFlags.mIsTolerance != 0 && c.toleranceStatus == 1) {
    VekDimSetTolerance(element, &c.tolerance);
  }
  if (SettingsFlags.mIsDimSize != 0) {
    if (c.dimCharSizeStatus != kVekFailure) VekDimSetCharSize(element, &c.dimCharSize);
    if (c.dimArrowsStatus != kVekFailure) {
      VekDimSetArrow(element, kArrowWriteSelector, &c.dimArrows);
    }
  }
}

}  // namespace

int32_t DimensionReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  VekIddClearSysIdData(a1, a2, a3, a4);
  VekEvtSetEventMask(kMaskPickOne);
  VekMsgPutCursorMessage(kTargetCursorLabel);
  VekEvtSetCompareFunction(DimensionFilter);
  VekMsgPutMessage(kDimensionPrompt);
  VekCtlSetExecuteFunc(DimensionApply, u"");
  return 0;
}

int32_t DimensionFilter(VekId element) {
  return IsDimensionType(static_cast<uint32_t>(VekElmGetType(element))) ? 1 : 0;
}

// The exit button ends the command here; this step has no settings dialog.
int32_t DimensionApply(int32_t eventKind, VekArg eventData, VekArg, VekArg a4) {
  VekPoint point{};
  if (VekEvtGetPoint(eventKind, eventData, &point, a4) != 0) {
    return eventKind == kEventExitButton ? kExecuteEnd : kExecuteStayInStep;
  }

  const VekId element = VekEvtGetElementId(eventKind, eventData);
  const VekId segment = VekEvtGetSegmentId(eventKind, eventData);
  VekEvtGetInstanceId(eventKind, eventData);
  VekEvtGetDetailId(eventKind, eventData);

  ChangeSegmentLayerIfChosen(segment, kMsgDimensionLayerWrite);
  CopyDimensionSettings(element);

  // Open the step again for the next target.
  VekCtlSetReadyFunc(DimensionReady, u"");
  return kExecuteNextStep;
}
