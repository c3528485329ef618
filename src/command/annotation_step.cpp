#include "command/annotation_step.h"

#include "command/captured_properties.h"
#include "command/layer_change.h"
#include "command/messages.h"
#include "host/element_types.h"
#include "settings/run_settings_dialog.h"
#include "settings/settings_flags.h"

namespace {

constexpr const char16_t* kAnnotationPrompt = u"주기복수지시 : (종료버튼:설정창)";

// The character size is what this step is for: no setting switches it off.
void CopyCharSizeInSegment(VekId segment) {
  for (VekId element = VekSgmGetHeadElementId(segment); element != kVekNoId;
       element = VekElmGetNextElementId(element)) {
    if (VekCmtSetCharSize(element, &CapturedProperties.commentCharSize) == kVekFailure) {
      VekMsgPutErrorMessage(kMsgCommentCharSizeWrite);
    }
  }
}

}  // namespace

int32_t AnnotationReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  VekIddClearSysIdData(a1, a2, a3, a4);
  VekEvtSetEventMask(kMaskSelectRange);
  VekEvtSetCompareFunction(AnnotationFilter);
  VekMsgPutMessage(kAnnotationPrompt);
  VekCtlSetExecuteFunc(AnnotationApply, u"");
  return 0;
}

int32_t AnnotationFilter(VekId element) {
  return IsAnnotationType(static_cast<uint32_t>(VekElmGetType(element))) ? 1 : 0;
}

int32_t AnnotationApply(int32_t eventKind, VekArg a2, VekArg a3, VekArg a4) {
  if (eventKind != kEventRangeComplete) {
    if (eventKind == kEventExitButton) RunSettingsDialog();
    return kExecuteStayInStep;
  }

  const VekSelHandle selection = VekIddOpenSelIdData(1, a2, a3, a4);
  VekSelEntry entry{};
  for (int32_t status = VekIddGetHeadSelIdData(selection, &entry); status != kVekFailure;
       status = VekIddGetNextSelIdData(selection, &entry)) {
    ChangeSegmentLayerIfChosen(entry.segment, kMsgAnnotationLayerWrite);
    CopyCharSizeInSegment(entry.segment);
  }
  VekIddCloseSelIdData(selection);
  VekFilRedraw();
  return kExecuteEnd;
}
