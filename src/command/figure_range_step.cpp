#include "command/figure_range_step.h"

#include "command/captured_properties.h"
#include "command/layer_change.h"
#include "command/line_prompts.h"
#include "command/messages.h"
#include "host/element_types.h"
#include "settings/run_settings_dialog.h"
#include "settings/settings_flags.h"

namespace {

// The hole data of a segment is found by the selection entry's two words in
// the opposite order: the companion id first, then the segment.
VekHoleKey HoleKeyFor(const VekSelEntry& entry) {
  return VekHoleKey{entry.companion, entry.segment};
}

// Gives false when the apply must stop: the hole data could not be read or
// written back.
bool ChangeHoleLayers(const VekSelEntry& entry) {
  const VekHoleKey key = HoleKeyFor(entry);
  const VekHoleId hole = VekHolGetHoleId(&key);

  VekHoleData data{};
  if (VekHolGetHoleData(hole, &data) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgHoleRead);
    return false;
  }
  // A host that reports entries without handing over their array has nothing
  // here to change; the record still goes back as it came.
  if (data.entries != nullptr) {
    for (int32_t i = 0; i < data.count; ++i) data.entries[i].layer = CapturedProperties.layer;
  }
  if (VekHolAmendHoleData(hole, &data) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgHoleWrite);
    return false;
  }
  return true;
}

// The hole data follows the segment's layer. Gives false when the apply must
// stop.
bool ChangeSegmentLayer(const VekSelEntry& entry) {
  if (!ChangeSegmentLayerIfChosen(entry.segment, kMsgFigureLayerWrite)) return true;

  const bool hasHoleData = VekSgmHasAttribute(entry.segment, 0) != 0;
  if (!hasHoleData || SettingsFlags.IsHoleLayerChanged == 0) return true;
  return ChangeHoleLayers(entry);
}

void SetLineAttributes(VekId element, const VekLineAttr& attributes) {
  if (VekFigSetLineType(element, &attributes) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgLineWrite);
  }
}

// With both colour and line type chosen the captured record goes on whole;
// otherwise each element keeps the word that is not copied.
void CopyLineAttributes(VekId element) {
  if (SettingsFlags.mIsColor != 0 && SettingsFlags.mIsLType != 0) {
    SetLineAttributes(element, CapturedProperties.lineAttributes);
    return;
  }
  VekLineAttr attributes{};
  if (VekFigGetLineType(element, &attributes) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgLineRead);
    return;
  }
  if (SettingsFlags.mIsColor != 0) attributes.colour = CapturedProperties.lineAttributes.colour;
  if (SettingsFlags.mIsLType != 0) attributes.lineType = CapturedProperties.lineAttributes.lineType;
  SetLineAttributes(element, attributes);
}

void CopyLineAttributesInSegment(VekId segment) {
  for (VekId element = VekSgmGetHeadElementId(segment); element != kVekNoId;
       element = VekElmGetNextElementId(element)) {
    CopyLineAttributes(element);
  }
}

}  // namespace

int32_t FigureRangeReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  VekIddClearSysIdData(a1, a2, a3, a4);
  VekEvtSetEventMask(kMaskSelectRange);
  VekEvtSetCompareFunction(FigureFilter);
  VekMsgPutMessage(ChooseLinePrompt(kRangePrompts));
  VekCtlSetExecuteFunc(FigureApply, u"");
  return 0;
}

int32_t FigureFilter(VekId element) {
  return IsPlainFigureType(static_cast<uint32_t>(VekElmGetType(element))) ? 1 : 0;
}

int32_t FigureApply(int32_t eventKind, VekArg a2, VekArg a3, VekArg a4) {
  if (eventKind != kEventRangeComplete) {
    if (eventKind == kEventExitButton) RunSettingsDialog();
    return kExecuteStayInStep;
  }

  const VekSelHandle selection = VekIddOpenSelIdData(1, a2, a3, a4);
  VekSelEntry entry{};
  for (int32_t status = VekIddGetHeadSelIdData(selection, &entry); status != kVekFailure;
       status = VekIddGetNextSelIdData(selection, &entry)) {
    if (!ChangeSegmentLayer(entry)) {
      VekIddCloseSelIdData(selection);
      return kExecuteEnd;
    }
    CopyLineAttributesInSegment(entry.segment);
  }
  VekIddCloseSelIdData(selection);
  VekFilRedraw();
  return kExecuteEnd;
}
