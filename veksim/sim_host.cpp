#include "sim_host.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace sim {

namespace detail {
HostCore& Core() { return Host::Instance().core_; }

// More lists than a command keeps open at once, and texts longer than any
// the module shows.
constexpr size_t kListRoom = 8;
constexpr size_t kTextRoom = 256;

HostCore::HostCore() {
  selectionLists.reserve(kListRoom);
  currentPrompt.reserve(kTextRoom);
  currentCursor.reserve(kTextRoom);
}
}  // namespace detail

Host& Host::Instance() {
  static Host host;
  return host;
}

const std::vector<std::string_view>& Host::FunctionNames() {
  static const std::vector<std::string_view> names{
      "VekCtlRegisterVekLib2",  "VekCtlSetReadyFunc",       "VekCtlSetExecuteFunc",
      "VekEvtSetEventMask",     "VekEvtSetCompareFunction", "VekEvtGetPoint",
      "VekEvtGetElementId",     "VekEvtGetSegmentId",       "VekEvtGetInstanceId",
      "VekEvtGetDetailId",      "VekElmGetSegment",         "VekElmGetType",
      "VekElmGetNextElementId", "VekSgmGetLayer",           "VekSgmChangeLayer",
      "VekSgmHasAttribute",     "VekSgmGetHeadElementId",   "VekFigGetLineType",
      "VekFigSetLineType",      "VekCmtGetComment",         "VekCmtSetCharSize",
      "VekDimGetCharSize",      "VekDimSetCharSize",        "VekDimGetArrow",
      "VekDimSetArrow",         "VekDimGetDecimalPlace",    "VekDimSetDecimalPlace",
      "VekDimGetTolerance",     "VekDimSetTolerance",       "VekHolGetHoleId",
      "VekHolGetHoleData",      "VekHolAmendHoleData",      "VekIddClearSysIdData",
      "VekIddOpenSelIdData",    "VekIddGetHeadSelIdData",   "VekIddGetNextSelIdData",
      "VekIddCloseSelIdData",   "VekEnvGetCurrentFrame",    "VekFilRedraw",
      "VekMsgPutMessage",       "VekMsgPutErrorMessage",    "VekMsgPutCursorMessage"};
  return names;
}

namespace {

void RequireKnown(std::string_view name) {
  const auto& names = Host::FunctionNames();
  if (std::find(names.begin(), names.end(), name) == names.end()) {
    throw std::invalid_argument("no host function named " + std::string(name));
  }
}

}  // namespace

int32_t Host::Register(StartupFn startup, VekArg a4) {
  int32_t result = startup(kStartupArgs[0], kStartupArgs[1], kStartupArgs[2], a4);
  RecordCallback("Startup", {kStartupArgs[0], kStartupArgs[1], kStartupArgs[2], a4}, result);
  return result;
}

std::optional<int32_t> Host::CallSecond() {
  if (core_.second == nullptr) return std::nullopt;
  return CallReady(core_.second, "second");
}

std::optional<int32_t> Host::CallEnd() {
  if (core_.end == nullptr) return std::nullopt;
  return CallReady(core_.end, "end");
}

bool Host::RunCommand() {
  if (core_.start == nullptr) return false;
  // A new run starts from nothing: whatever step an earlier run was in is gone.
  core_.commandActive = true;
  core_.pendingReady = nullptr;
  core_.execute = nullptr;
  core_.compare = nullptr;
  core_.eventMask = 0;
  core_.lastExecuteResult.reset();
  core_.pick.reset();
  FollowReady(CallReady(core_.start, "start"));
  return true;
}

bool Host::Pick(VekId element, const PickDetail& detail) {
  if (!core_.commandActive || core_.execute == nullptr) return false;
  if ((core_.eventMask & kMaskPickOne) == 0) return false;
  if (!Accepts(element)) return false;
  const Element* found = core_.drawing.FindElement(element);
  core_.pick =
      detail::PickEvent{detail.elementUnresolved ? kVekNoId : element,
                        detail.segment.value_or(found ? found->segment : kVekNoId), detail};
  return Deliver(kEventPick);
}

bool Host::SelectRange(const std::vector<VekId>& elements) {
  if (!core_.commandActive || core_.execute == nullptr) return false;
  if ((core_.eventMask & kMaskSelectRange) == 0) return false;
  std::vector<SelectionEntry> selection;
  // Each segment once, where its first accepted element brought it in.
  std::unordered_set<VekId> seen;
  seen.reserve(elements.size());
  for (VekId element : elements) {
    if (!Accepts(element)) continue;
    const Element* found = core_.drawing.FindElement(element);
    const Segment* segment = found ? core_.drawing.FindSegment(found->segment) : nullptr;
    if (segment == nullptr) continue;
    if (seen.insert(segment->id).second)
      selection.push_back({segment->id, segment->companion, element});
  }
  SetSelection(std::move(selection));
  core_.pick.reset();
  return Deliver(kEventRangeComplete);
}

const std::vector<SelectionEntry>& Host::Selection() const {
  static const std::vector<SelectionEntry> none;
  return core_.selection ? *core_.selection : none;
}

void Host::SetSelection(std::vector<SelectionEntry> selection) {
  core_.selection = std::make_shared<const std::vector<SelectionEntry>>(std::move(selection));
}

bool Host::SendEvent(int32_t kind) {
  if (!core_.commandActive || core_.execute == nullptr) return false;
  core_.pick.reset();
  return Deliver(kind);
}

std::vector<std::u16string> Host::Errors() const {
  std::vector<std::u16string> errors;
  for (const Message& message : core_.messages) {
    if (message.kind == MessageKind::kError) errors.push_back(message.text);
  }
  return errors;
}

std::vector<Call> Host::CallsTo(std::string_view name) const {
  RequireKnown(name);
  std::vector<Call> calls;
  for (const Call& call : core_.trace) {
    if (call.name == name) calls.push_back(call);
  }
  return calls;
}

void Host::ClearTrace() {
  core_.trace.clear();
  core_.callbacks.clear();
}

void Host::FailCallOnNth(std::string_view name, int n) {
  if (n < 1) throw std::invalid_argument("calls are counted from 1");
  AddFailure(name, std::nullopt, n);
}

void Host::SetNonPickStatus(int32_t status) {
  if (status == 0) throw std::invalid_argument("0 is the answer for a pick");
  core_.nonPickStatus = status;
}

void Host::SetTrueByte(uint8_t value) {
  if (value == 0) throw std::invalid_argument("0 is false");
  core_.trueByte = value;
}

void Host::AnswerSuccessWith(std::string_view name, int32_t status) {
  RequireKnown(name);
  if (status == kVekFailure || status == 0) {
    throw std::invalid_argument("a success status other than 0 and -1 is wanted");
  }
  core_.successStatuses.emplace_back(std::string(name), status);
}

void Host::AddFailure(std::string_view name, std::optional<uint32_t> id, int nth) {
  RequireKnown(name);
  core_.failures.push_back({std::string(name), id, nth, 0});
}

bool Host::Deliver(int32_t kind) {
  ++core_.eventSerial;
  VekArg data = LastEventData();
  int32_t result = core_.execute(kind, data, kExecuteArg3, kExecuteArg4);
  RecordCallback("execute", {kind, data, kExecuteArg3, kExecuteArg4}, result);
  core_.lastExecuteResult = result;
  result == kExecuteEnd ? EndCommand() : FollowReady(result);
  return true;
}

int32_t Host::CallReady(VekReadyFunc f, const char* which) {
  int32_t result = f(kReadyArgs[0], kReadyArgs[1], kReadyArgs[2], kReadyArgs[3]);
  RecordCallback(which, {kReadyArgs[0], kReadyArgs[1], kReadyArgs[2], kReadyArgs[3]}, result);
  return result;
}

void Host::FollowReady(int32_t result) {
  // A ready function is a callback too, so one that returns 2 after naming
  // another is followed in turn.
  while (result == kExecuteNextStep && core_.pendingReady != nullptr && core_.commandActive) {
    VekReadyFunc next = std::exchange(core_.pendingReady, nullptr);
    result = CallReady(next, "ready");
  }
}

bool Host::Accepts(VekId element) {
  if (core_.compare == nullptr) return true;
  core_.inCompare = true;
  int32_t result = core_.compare(element);
  core_.inCompare = false;
  RecordCallback("compare", {element}, result);
  return result != 0;
}

void Host::EndCommand() {
  core_.commandActive = false;
  core_.pendingReady = nullptr;
  core_.execute = nullptr;
  core_.compare = nullptr;
  core_.eventMask = 0;
  core_.currentPrompt.clear();
  core_.currentCursor.clear();
  core_.selection.reset();
}

void Host::RecordCallback(const char* which, std::initializer_list<int64_t> args, int32_t result) {
  if (!core_.tracing) return;
  core_.callbacks.push_back({which, std::vector<int64_t>(args), result});
}

}  // namespace sim
