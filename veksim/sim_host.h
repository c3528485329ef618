// The simulated host: one process-wide drawing and command driver behind the
// free Vek* functions, the way the CAD host runs a plug-in command.
//
// A test (or vekhost) builds a drawing, registers the module's Startup, runs
// the command and plays user events at it; every Vek* call the module makes is
// answered from the drawing and written to a trace that the test can inspect.
//
// It drives the module by the protocol told at the top of host/VekLib.h,
// with these choices of its own:
// - RunCommand calls the start function, and the host every ready function,
//   with kReadyArgs; execute functions get kExecuteArg3 and kExecuteArg4 as
//   their last two arguments.
// - Result 0 also drops the cursor label and any named ready function; no
//   event is delivered until the next RunCommand. Result 2 with no ready
//   function named leaves the step as it is, as 3 does.
// - A pick needs the pick-one mask bit and a range the range bit; with no
//   compare function set, every element is accepted.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/VekLib.h"
#include "sim_drawing.h"

namespace sim {

using StartupFn = int32_t (*)(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

// The event kind of a pick. VekEvtGetPoint returns 0 only for a pick; its
// event data names the pick so the VekEvtGet*Id functions can answer for it.
inline constexpr int32_t kEventPick = 1;

// Host arguments, distinct so that a trace shows which ones were passed on.
inline constexpr std::array<VekArg, 3> kStartupArgs{0x5A1, 0x5A2, 0x5A3};
inline constexpr std::array<VekArg, 4> kReadyArgs{0x7A1, 0x7A2, 0x7A3, 0x7A4};
inline constexpr VekArg kExecuteArg3 = 0x7E3;
inline constexpr VekArg kExecuteArg4 = 0x7E4;
// Every event's data is kEventDataBase plus its serial number (from 1).
inline constexpr VekArg kEventDataBase = 0xE7000;

// One Vek* call as the module made it.
struct Call {
  std::string name;
  // The integer arguments in order: ids, kinds, masks, layers, selectors,
  // places, modes, handles, host arguments, event data; for VekHolGetHoleId
  // the key's two words; for VekHolAmendHoleData the hole id and the count.
  std::vector<int64_t> args;
  // The text argument, if the function has one and was given one: a null
  // pointer is recorded as no text, so that it cannot pass for u"".
  std::optional<std::u16string> text;
  // The record passed in (setters, the hole entries given to amend) or
  // written out by a successful getter; empty otherwise.
  std::vector<uint8_t> record;
  int64_t result = 0;      // as returned, ids and handles zero-extended
  bool injected = false;   // the call failed because a test asked it to
  bool inCompare = false;  // made by the module's compare function

  // The index-th record of type T in `record`; throws std::out_of_range if
  // the record is too short.
  template <class T>
  T As(size_t index = 0) const {
    static_assert(std::is_trivially_copyable_v<T>);
    if (record.size() < (index + 1) * sizeof(T)) {
      throw std::out_of_range(name + ": record too short for the requested type");
    }
    T value;
    std::memcpy(&value, record.data() + index * sizeof(T), sizeof(T));
    return value;
  }
};

// A call the host made into the module.
struct Callback {
  std::string which;  // "Startup", "start", "second", "end", "ready", "execute", "compare"
  std::vector<int64_t> args;
  int32_t result = 0;
};

enum class MessageKind { kPrompt, kError, kCursor };

struct Message {
  MessageKind kind;
  std::u16string text;
  bool operator==(const Message&) const = default;
};

// The host's selection: the segments of the accepted elements, in order.
struct SelectionEntry {
  VekId segment;
  VekId companion;
  VekId firstElement;  // the element that put the segment in the selection
};

// How a pick looks to the module beyond the picked element.
struct PickDetail {
  bool elementUnresolved = false;  // VekEvtGetElementId answers kVekNoId
  std::optional<VekId> segment{};  // default: the element's segment in the drawing
  uint32_t instance = 0;
  uint32_t detail = 0;
  PointValue point{};
};

namespace detail {

struct Failure {
  std::string name;
  std::optional<uint32_t> id;
  int nth = 0;  // 0: not counted
  int seen = 0;
};

// A selection as the host holds it: shared, never changed once made, so that
// a list opened on it is a snapshot that costs no copy.
using SharedSelection = std::shared_ptr<const std::vector<SelectionEntry>>;

struct SelectionList {
  VekSelHandle handle = 0;
  SharedSelection entries;  // null: the selection was empty
  size_t next = 0;          // the entry VekIddGetNextSelIdData returns
};

struct PickEvent {
  VekId element = kVekNoId;
  VekId segment = kVekNoId;
  PickDetail detail;
};

// Everything the host holds: Host drives it, the Vek* functions answer from it.
struct HostCore {
  // Room for the lists and texts a command uses, so that with the trace off
  // the library's calls find their storage made.
  HostCore();

  Drawing drawing;
  int32_t registrationResult = 1;
  VekReadyFunc start = nullptr;
  VekReadyFunc second = nullptr;
  VekReadyFunc end = nullptr;
  VekArg hostArg = 0;

  bool commandActive = false;
  VekReadyFunc pendingReady = nullptr;  // named since the host last called a ready function
  VekExecuteFunc execute = nullptr;
  VekCompareFunc compare = nullptr;
  uint32_t eventMask = 0;
  std::optional<int32_t> lastExecuteResult;
  VekArg eventSerial = 0;
  std::optional<PickEvent> pick;  // the latest event, when it was a pick

  bool inCompare = false;                     // a compare function is running
  SharedSelection selection;                  // null: nothing selected
  std::vector<SelectionList> selectionLists;  // the open ones, oldest first
  VekSelHandle nextHandle = 0x5E1001;
  int32_t frame = 1;
  int redraws = 0;
  int32_t nonPickStatus = 1;  // what VekEvtGetPoint answers for no pick
  uint8_t trueByte = 1;       // what VekSgmHasAttribute answers for true
  // Statuses answered in place of a successful call's 0, by function name.
  std::vector<std::pair<std::string, int32_t>> successStatuses;

  bool keepsMessages = true;  // whether shown texts are kept in `messages`
  std::vector<Message> messages;
  std::u16string currentPrompt;
  std::u16string currentCursor;
  bool tracing = true;  // whether Vek* calls and callbacks are recorded
  std::vector<Call> trace;
  std::vector<Callback> callbacks;
  std::vector<Failure> failures;
};

// The process-wide instance's state, for the Vek* functions.
HostCore& Core();

}  // namespace detail

class Host {
 public:
  static Host& Instance();

  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Empty drawing, no trace, no messages, no failures, nothing registered,
  // frame 1, registration result 1.
  void Reset() { core_ = detail::HostCore{}; }

  Drawing& drawing() { return core_.drawing; }

  // --- Registration ----------------------------------------------------
  // Calls startup(kStartupArgs..., a4) and returns what it returned.
  int32_t Register(StartupFn startup, VekArg a4 = 0x5EED);
  // What VekCtlRegisterVekLib2 returns (and, above 0, whether it registers).
  void SetRegistrationResult(int32_t result) { core_.registrationResult = result; }
  bool Registered() const { return core_.start != nullptr; }
  VekArg RegisteredHostArg() const { return core_.hostArg; }
  // Calls the registered second callback or end function with kReadyArgs;
  // nullopt if none is registered.
  std::optional<int32_t> CallSecond();
  std::optional<int32_t> CallEnd();

  // --- The command -----------------------------------------------------
  // Starts (or restarts) the command from no step at all: mask, compare and
  // execute functions and any named ready function are dropped first. False
  // if nothing is registered.
  bool RunCommand();
  // Each returns whether the event reached an execute function.
  bool Pick(VekId element, const PickDetail& detail = {});
  bool SelectRange(const std::vector<VekId>& elements);
  bool PressExit() { return SendEvent(kEventExitButton); }  // event kind 7
  // Any event that is no pick, with the selection left as it is (kind 0 with
  // SetSelection delivers a prepared selection without the compare function).
  bool SendEvent(int32_t kind);

  bool CommandActive() const { return core_.commandActive; }
  std::optional<int32_t> LastExecuteResult() const { return core_.lastExecuteResult; }
  VekArg LastEventData() const { return kEventDataBase + core_.eventSerial; }
  uint32_t EventMask() const { return core_.eventMask; }
  VekCompareFunc CompareFunction() const { return core_.compare; }
  VekExecuteFunc ExecuteFunction() const { return core_.execute; }

  // --- Host state the module reads or changes --------------------------
  const std::vector<SelectionEntry>& Selection() const;
  void SetSelection(std::vector<SelectionEntry> selection);
  size_t OpenSelectionLists() const { return core_.selectionLists.size(); }
  void SetCurrentFrame(int32_t frame) { core_.frame = frame; }
  int RedrawCount() const { return core_.redraws; }

  // --- Messages --------------------------------------------------------
  const std::vector<Message>& Messages() const { return core_.messages; }
  std::u16string CurrentPrompt() const { return core_.currentPrompt; }  // cleared at the end
  std::u16string CurrentCursor() const { return core_.currentCursor; }  // cleared at the end
  std::vector<std::u16string> Errors() const;

  // --- Trace -----------------------------------------------------------
  const std::vector<Call>& Trace() const { return core_.trace; }
  // Throws std::invalid_argument for a name that is no Vek* function, so a
  // misspelt name cannot make "never called" pass.
  std::vector<Call> CallsTo(std::string_view name) const;
  const std::vector<Callback>& Callbacks() const { return core_.callbacks; }
  void ClearTrace();  // the Vek* trace and the callback log
  // Both on by default and after Reset, as the tests want them. Tracing off,
  // no Vek* call or callback is recorded and no Vek* call allocates, as a
  // benchmark or a large session wants. Messages not kept, the prompt and
  // cursor label still follow the module but Messages() stays as it is, so a
  // long run of picks (each showing its prompt again) allocates nothing.
  void SetTracing(bool on) { core_.tracing = on; }
  void SetKeepMessages(bool on) { core_.keepsMessages = on; }
  void ClearMessages() { core_.messages.clear(); }

  // --- Failure injection -----------------------------------------------
  // A failing call changes nothing and returns kVekFailure; functions that return an id return
  // kVekNoId, VekIddOpenSelIdData returns the null handle 0 and VekSgmHasAttribute returns 0
  // (false). Names are checked: an unknown name throws std::invalid_argument.
  void FailCall(std::string_view name) { AddFailure(name, std::nullopt, 0); }  // every call
  // Calls whose subject id equals `id`: the element, segment, hole or handle
  // they are about (for VekHolGetHoleId the key's segment, word 1).
  void FailCall(std::string_view name, uint32_t id) { AddFailure(name, id, 0); }
  // The n-th call (1-based) counted from now.
  void FailCallOnNth(std::string_view name, int n);
  void ClearFailures() { core_.failures.clear(); }

  // --- Answers a module must not read more into -------------------------
  // Each throws std::invalid_argument for the one value that would change
  // the answer's meaning. Reset restores the defaults.
  // What VekEvtGetPoint answers for no pick: 1 by default, but any non-zero.
  void SetNonPickStatus(int32_t status);
  // What VekSgmHasAttribute answers for true: 1 by default, but any non-zero.
  void SetTrueByte(uint8_t value);
  // A call of `name` that succeeds answers `status` in place of its 0. Only -1
  // is a failure, so -2 or 5 from a status function is still a success. Meant
  // for the functions that answer a status; names are checked, and -1 and 0
  // are refused.
  void AnswerSuccessWith(std::string_view name, int32_t status);

  static const std::vector<std::string_view>& FunctionNames();

 private:
  friend detail::HostCore& detail::Core();

  Host() = default;
  void AddFailure(std::string_view name, std::optional<uint32_t> id, int nth);
  bool Deliver(int32_t kind);
  int32_t CallReady(VekReadyFunc f, const char* which);
  void FollowReady(int32_t result);
  bool Accepts(VekId element);
  void EndCommand();
  void RecordCallback(const char* which, std::initializer_list<int64_t> args, int32_t result);

  detail::HostCore core_;
};

}  // namespace sim
