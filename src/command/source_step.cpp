#include "command/source_step.h"

#include <cstring>

#include "command/annotation_step.h"
#include "command/captured_properties.h"
#include "command/dimension_step.h"
#include "command/figure_range_step.h"
#include "command/line_prompts.h"
#include "command/messages.h"
#include "host/element_types.h"
#include "settings/run_settings_dialog.h"
#include "settings/settings_flags.h"

namespace {

int32_t CaptureFigure(VekId element) {
  if (VekFigGetLineType(element, &CapturedProperties.lineAttributes) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgLineRead);
    return kExecuteEnd;
  }
  VekCtlSetReadyFunc(FigureRangeReady, u"");
  return kExecuteNextStep;
}

int32_t CaptureAnnotation(VekId element) {
  VekComment comment{};
  if (VekCmtGetComment(element, &comment) == kVekFailure) {
    VekMsgPutErrorMessage(kMsgCommentRead);
    return kExecuteEnd;
  }
  std::memcpy(&CapturedProperties.commentCharSize, &comment.charSize, sizeof(VekCharSize));
  VekCtlSetReadyFunc(AnnotationReady, u"");
  return kExecuteNextStep;
}

// All four reads are made whatever the settings say. A failed read is
// reported and the step goes on: the other values are still worth copying,
// and each read's status keeps the apply from writing a value it never got.
int32_t CaptureDimension(VekId element) {
  CapturedPropertiesRecord& c = CapturedProperties;

  c.dimCharSizeStatus = VekDimGetCharSize(element, &c.dimCharSize);
  if (c.dimCharSizeStatus == kVekFailure) VekMsgPutErrorMessage(kMsgDimCharSizeRead);

  c.dimArrowsStatus = VekDimGetArrow(element, 1, &c.dimArrows);
  if (c.dimArrowsStatus == kVekFailure) VekMsgPutErrorMessage(kMsgDimArrowRead);

  c.decimalPlaces = VekDimGetDecimalPlace(element);
  if (c.decimalPlaces == kVekFailure) VekMsgPutErrorMessage(kMsgDimDecimalRead);

  c.toleranceStatus = VekDimGetTolerance(element, &c.tolerance);
  if (c.toleranceStatus == kVekFailure) VekMsgPutErrorMessage(kMsgDimToleranceRead);

  VekCtlSetReadyFunc(DimensionReady, u"");
  return kExecuteNextStep;
}

}  // namespace

int32_t SourceReady(VekArg, VekArg, VekArg, VekArg) {
  VekEvtSetEventMask(kMaskPickOne);
  VekEvtSetCompareFunction(SourceFilter);
  VekMsgPutMessage(ChooseLinePrompt(kSourcePrompts));
  VekCtlSetExecuteFunc(SourceExecute, u"");
  return 0;
}

int32_t SourceFilter(VekId element) {
  return IsSourceType(static_cast<uint32_t>(VekElmGetType(element))) ? 1 : 0;
}

int32_t SourceExecute(int32_t eventKind, VekArg eventData, VekArg, VekArg a4) {
  VekPoint point{};
  if (VekEvtGetPoint(eventKind, eventData, &point, a4) != 0) {
    if (eventKind == kEventExitButton) RunSettingsDialog();
    return kExecuteStayInStep;
  }

  const VekId element = VekEvtGetElementId(eventKind, eventData);
  if (element == kVekNoId) {
    VekMsgPutErrorMessage(kMsgElementInput);
    return kExecuteEnd;
  }

  // An element outside any segment has no layer to copy: layer copying is
  // off for the rest of this run, in memory only.
  const VekId segment = VekElmGetSegment(element);
  if (segment == kVekNoId) SettingsFlags.mIsLayer = 0;

  CapturedProperties.layer = VekSgmGetLayer(segment, 0);
  if (CapturedProperties.layer == kVekFailure) {
    VekMsgPutErrorMessage(kMsgLayerRead);
    return kExecuteEnd;
  }

  const uint32_t type = static_cast<uint32_t>(VekElmGetType(element));
  if (IsPlainFigureType(type)) return CaptureFigure(element);
  if (IsAnnotationType(type)) return CaptureAnnotation(element);
  if (IsDimensionType(type)) return CaptureDimension(element);

  VekMsgPutErrorMessage(kMsgUnhandledType);
  return kExecuteEnd;
}
