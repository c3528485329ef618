#include "baseline.h"

#include <array>

#include "platform/crt.h"
#include "platform/registry.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "sim_host.h"

namespace baseline {
namespace {

std::array<int, 7> flags{};
Source source;

// Texts of the baseline's own; the loops the benchmarks time never fail.
constexpr const char16_t* kFailed = u"baseline: the host refused a call";

}  // namespace

void Prepare(workload::Path path) {
  flags = workload::FlagsOf(path);
  const sim::Drawing& drawing = sim::Host::Instance().drawing();
  const sim::Element& figure = *drawing.FindElement(workload::kFigureSource);
  const sim::Element& annotation = *drawing.FindElement(workload::kAnnotationSource);
  const sim::Element& dimension = *drawing.FindElement(workload::kDimensionSource);
  source.layer = drawing.FindSegment(workload::kSourceSegment)->layer;
  source.line = figure.line;
  source.commentCharSize = annotation.comment.charSize;
  source.decimalPlaces = dimension.decimalPlaces;
  source.toleranceStatus = dimension.toleranceStatus;
  source.tolerance = dimension.tolerance;
  source.dimCharSize = dimension.dimCharSize;
  source.dimArrows = dimension.arrows[1];
}

int32_t FigureApply(int32_t kind, VekArg a2, VekArg a3, VekArg a4) {
  if (kind != kEventRangeComplete) return 3;
  const VekSelHandle h = VekIddOpenSelIdData(1, a2, a3, a4);
  VekSelEntry entry{};
  for (int32_t status = VekIddGetHeadSelIdData(h, &entry); status != kVekFailure;
       status = VekIddGetNextSelIdData(h, &entry)) {
    if (flags[2] != 0 && VekEnvGetCurrentFrame() == 1) {
      if (VekSgmChangeLayer(entry.segment, source.layer) == kVekFailure) {
        VekMsgPutErrorMessage(kFailed);
      }
      if (VekSgmHasAttribute(entry.segment, 0) != 0 && flags[6] != 0) {
        const VekHoleKey key{entry.companion, entry.segment};
        const VekHoleId hole = VekHolGetHoleId(&key);
        VekHoleData data{};
        if (VekHolGetHoleData(hole, &data) == kVekFailure) {
          VekMsgPutErrorMessage(kFailed);
          VekIddCloseSelIdData(h);
          return 0;
        }
        if (data.entries != nullptr) {
          for (int32_t i = 0; i < data.count; ++i) data.entries[i].layer = source.layer;
        }
        if (VekHolAmendHoleData(hole, &data) == kVekFailure) {
          VekMsgPutErrorMessage(kFailed);
          VekIddCloseSelIdData(h);
          return 0;
        }
      }
    }
    for (VekId e = VekSgmGetHeadElementId(entry.segment); e != kVekNoId;
         e = VekElmGetNextElementId(e)) {
      if (flags[0] != 0 && flags[1] != 0) {
        if (VekFigSetLineType(e, &source.line) == kVekFailure) VekMsgPutErrorMessage(kFailed);
        continue;
      }
      VekLineAttr line{};
      if (VekFigGetLineType(e, &line) == kVekFailure) {
        VekMsgPutErrorMessage(kFailed);
        continue;
      }
      if (flags[0] != 0) line.colour = source.line.colour;
      if (flags[1] != 0) line.lineType = source.line.lineType;
      if (VekFigSetLineType(e, &line) == kVekFailure) VekMsgPutErrorMessage(kFailed);
    }
  }
  VekIddCloseSelIdData(h);
  VekFilRedraw();
  return 0;
}

int32_t AnnotationApply(int32_t kind, VekArg a2, VekArg a3, VekArg a4) {
  if (kind != kEventRangeComplete) return 3;
  const VekSelHandle h = VekIddOpenSelIdData(1, a2, a3, a4);
  VekSelEntry entry{};
  for (int32_t status = VekIddGetHeadSelIdData(h, &entry); status != kVekFailure;
       status = VekIddGetNextSelIdData(h, &entry)) {
    if (flags[2] != 0 && VekEnvGetCurrentFrame() == 1 &&
        VekSgmChangeLayer(entry.segment, source.layer) == kVekFailure) {
      VekMsgPutErrorMessage(kFailed);
    }
    for (VekId e = VekSgmGetHeadElementId(entry.segment); e != kVekNoId;
         e = VekElmGetNextElementId(e)) {
      if (VekCmtSetCharSize(e, &source.commentCharSize) == kVekFailure) {
        VekMsgPutErrorMessage(kFailed);
      }
    }
  }
  VekIddCloseSelIdData(h);
  VekFilRedraw();
  return 0;
}

namespace {

int32_t DimensionFilter(VekId element) {
  const auto type = static_cast<uint32_t>(VekElmGetType(element));
  return type <= 29 && ((0x3D3FF000u >> type) & 1u) != 0 ? 1 : 0;
}

int32_t DimensionApply(int32_t kind, VekArg data, VekArg, VekArg a4) {
  VekPoint point{};
  if (VekEvtGetPoint(kind, data, &point, a4) != 0) return kind == kEventExitButton ? 0 : 3;
  const VekId element = VekEvtGetElementId(kind, data);
  const VekId segment = VekEvtGetSegmentId(kind, data);
  VekEvtGetInstanceId(kind, data);
  VekEvtGetDetailId(kind, data);
  if (flags[2] != 0 && VekEnvGetCurrentFrame() == 1 &&
      VekSgmChangeLayer(segment, source.layer) == kVekFailure) {
    VekMsgPutErrorMessage(kFailed);
  }
  if (flags[3] != 0 && source.decimalPlaces != kVekFailure) {
    VekDimSetDecimalPlace(element, source.decimalPlaces);
  }
  if (flags[4] != 0 && source.toleranceStatus == 1) VekDimSetTolerance(element, &source.tolerance);
  if (flags[5] != 0) {
    VekDimSetCharSize(element, &source.dimCharSize);
    VekDimSetArrow(element, 0, &source.dimArrows);
  }
  VekCtlSetReadyFunc(DimensionReady, u"");
  return 2;
}

}  // namespace

int32_t DimensionReady(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  VekIddClearSysIdData(a1, a2, a3, a4);
  VekEvtSetEventMask(kMaskPickOne);
  VekMsgPutCursorMessage(u"TARGET");
  VekEvtSetCompareFunction(DimensionFilter);
  VekMsgPutMessage(u"치수지시 : ");
  VekCtlSetExecuteFunc(DimensionApply, u"");
  return 0;
}

int32_t Run(workload::Path path, const std::vector<VekId>& targets) {
  sim::Host& host = sim::Host::Instance();
  switch (path) {
    case workload::Path::kDimensionPicks:
      for (VekId target : targets) host.Pick(target);
      return host.LastExecuteResult().value_or(kVekFailure);
    case workload::Path::kAnnotation:
      return AnnotationApply(kEventRangeComplete, workload::kRangeEventData, sim::kExecuteArg3,
                             sim::kExecuteArg4);
    default:
      return FigureApply(kEventRangeComplete, workload::kRangeEventData, sim::kExecuteArg3,
                         sim::kExecuteArg4);
  }
}

namespace {

const std::u16string kKeyPath = SettingsKeyPath();

// One value: open the key, query, close, and read the text as a number with
// the C runtime, as the module must. Gives whether that number is other than
// 0, or -1 when the value is missing.
int ReadFlag(const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(kKeyPath.c_str()), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return -1;
  }
  char16_t buffer[129] = {};  // 255 bytes of data, and always a NUL after them
  DWORD type = 0;
  DWORD size = 255;
  const LSTATUS status =
      RegQueryValueExW(key, AsWide(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return -1;
  return _wtoi(AsWide(buffer)) != 0 ? 1 : 0;
}

}  // namespace

int LoadSettings() {
  ReadFlag(u"Type");
  int on = 0;
  for (const SettingDef& setting : kSettings) on += ReadFlag(setting.name) == 1 ? 1 : 0;
  return on;
}

}  // namespace baseline
