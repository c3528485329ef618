// The module inside a host that answers anything: every Vek* call returns
// whatever status, id, type and record bytes the input says (-1, kVekNoId,
// ids of other kinds, hole counts down to INT32_MIN and counts with no
// array), the host calls the module's functions in any order with any event,
// and now and then the module's own allocations fail.
//
// What must hold whatever the host does:
// - every execute function returns 0, 2 or 3;
// - every selection list opened in a callback is closed in it;
// - a setter only ever receives data that a read succeeded in giving;
// - a hole record goes back unchanged apart from its layers;
// - no exception leaves a callback.
// The sanitizers catch the rest: no read or write out of bounds, no use of
// freed memory, no undefined behaviour.
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "command/captured_properties.h"
#include "fuzz_input.h"
#include "host/VekLib.h"
#include "module_dialog.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "standin/user32_standin.h"
#include "tests/test_registry.h"

namespace {

// The longest list or chain the host hands out in one go; beyond it the
// host says "no more", so that every input ends.
constexpr size_t kMaxWalk = 64;
constexpr size_t kMaxHoleEntries = 16;

using Blob = std::string;

Blob BlobOf(const void* data, size_t size) { return Blob(static_cast<const char*>(data), size); }

struct GivenHole {
  Blob head;  // bytes 0 to 83
  int32_t count = 0;
  VekHoleEntry* entries = nullptr;
  std::vector<VekHoleEntry> copy;  // the entries as given
};

struct Host {
  fuzz::Input* in = nullptr;
  VekReadyFunc start = nullptr, second = nullptr, end = nullptr;
  VekReadyFunc pendingReady = nullptr;
  VekExecuteFunc execute = nullptr;
  VekCompareFunc compare = nullptr;
  std::multiset<VekSelHandle> openLists;
  std::map<VekSelHandle, size_t> walked;
  size_t chainSteps = 0;
  // What reads succeeded in giving.
  std::set<int32_t> layers;
  std::set<int32_t> decimalPlaces;
  // Each word of a line record may come from another read: the colour from
  // the source, the line type from the element itself.
  std::set<int32_t> colours, lineTypes;
  std::set<Blob> lineHost;  // bytes 8 to 15
  std::set<Blob> charSizes, arrows, tolerances;
  std::map<VekHoleId, GivenHole> holes;
  std::deque<std::vector<VekHoleEntry>> entryArrays;  // alive for the whole input
};

Host g_host;

// Allocation failures: while the module runs, the n-th allocation from now
// throws std::bad_alloc.
bool g_inModule = false;
size_t g_failCountdown = 0;

void* Allocate(std::size_t size) {
  if (g_inModule && g_failCountdown != 0 && --g_failCountdown == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

// The host's own code runs with allocation failures held off.
class InHost {
 public:
  InHost() : was_(g_inModule) { g_inModule = false; }
  ~InHost() { g_inModule = was_; }
  InHost(const InHost&) = delete;
  InHost& operator=(const InHost&) = delete;

 private:
  bool was_;
};

fuzz::Input& In() { return *g_host.in; }

// -1 often, success often, anything now and then.
int32_t Status() {
  switch (In().Byte() % 4) {
    case 0:
      return kVekFailure;
    case 1:
    case 2:
      return 0;
    default:
      return In().I32();
  }
}

VekId Id() {
  switch (In().Byte() % 4) {
    case 0:
      return kVekNoId;
    case 1:
      return In().Byte();  // small ids, which repeat
    default:
      return In().U32();
  }
}

int32_t Type() { return In().Bool() ? int32_t(In().Byte() % 40) : In().I32(); }

template <typename Record>
void Fill(Record* out) {
  const std::vector<uint8_t> bytes = In().Bytes(sizeof(Record));
  std::memcpy(out, bytes.data(), sizeof(Record));
}

// Calls into the module the way a host does: one callback at a time, with
// no exception allowed out and every selection list closed on the way back.
template <typename Call>
auto IntoModule(const char* what, Call&& call) {
  const size_t openBefore = g_host.openLists.size();
  g_failCountdown = In().Bool() ? 1 + In().Byte() % 32 : 0;
  g_inModule = true;
  try {
    auto result = call();
    g_inModule = false;
    g_failCountdown = 0;
    FUZZ_REQUIRE(g_host.openLists.size() == openBefore,
                 std::string(what) + " left a selection list open");
    return result;
  } catch (...) {
    g_inModule = false;
    fuzz::Broken("no exception leaves a callback", __FILE__, __LINE__, what);
  }
}

void Text(const char16_t* text) {
  if (text == nullptr) return;
  size_t n = 0;
  while (text[n] != 0) ++n;  // reads the whole text, so a bad one is caught
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
// Every form of new and delete that pairs with these, so that nothing frees
// through the sanitizer what was allocated here, or the other way round.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

extern "C" {

int32_t VekCtlRegisterVekLib2(VekReadyFunc start, VekReadyFunc second, VekReadyFunc end, VekArg) {
  InHost host;
  g_host.start = start;
  g_host.second = second;
  g_host.end = end;
  return In().Bool() ? 1 : In().I32();
}
int32_t VekCtlSetReadyFunc(VekReadyFunc f, const char16_t* text) {
  InHost host;
  Text(text);
  g_host.pendingReady = f;
  return Status();
}
int32_t VekCtlSetExecuteFunc(VekExecuteFunc f, const char16_t* text) {
  InHost host;
  Text(text);
  g_host.execute = f;
  return Status();
}
int32_t VekEvtSetEventMask(uint32_t) {
  InHost host;
  return Status();
}
int32_t VekEvtSetCompareFunction(VekCompareFunc f) {
  InHost host;
  g_host.compare = f;
  return Status();
}
int32_t VekEvtGetPoint(int32_t, VekArg, VekPoint* point, VekArg) {
  InHost host;
  if (point != nullptr) Fill(point);
  return Status();
}
VekId VekEvtGetElementId(int32_t, VekArg) {
  InHost host;
  return Id();
}
VekId VekEvtGetSegmentId(int32_t, VekArg) {
  InHost host;
  return Id();
}
uint32_t VekEvtGetInstanceId(int32_t, VekArg) {
  InHost host;
  return In().U32();
}
uint32_t VekEvtGetDetailId(int32_t, VekArg) {
  InHost host;
  return In().U32();
}

VekId VekElmGetSegment(VekId) {
  InHost host;
  return Id();
}
int32_t VekElmGetType(VekId) {
  InHost host;
  return Type();
}
VekId VekElmGetNextElementId(VekId) {
  InHost host;
  if (++g_host.chainSteps > kMaxWalk * kMaxWalk) return kVekNoId;
  return Id();
}

int32_t VekSgmGetLayer(VekId, int32_t) {
  InHost host;
  const int32_t layer = In().Bool() ? int32_t(In().Byte() % 8) : Status();
  if (layer != kVekFailure) g_host.layers.insert(layer);
  return layer;
}
int32_t VekSgmChangeLayer(VekId, int32_t layer) {
  InHost host;
  FUZZ_REQUIRE(g_host.layers.count(layer) != 0, "layer " + std::to_string(layer) + " never read");
  return Status();
}
uint8_t VekSgmHasAttribute(VekId, int32_t) {
  InHost host;
  return In().Byte();
}
VekId VekSgmGetHeadElementId(VekId) {
  InHost host;
  return Id();
}

int32_t VekFigGetLineType(VekId, VekLineAttr* out) {
  InHost host;
  Fill(out);
  const int32_t status = Status();
  if (status != kVekFailure) {
    g_host.colours.insert(out->colour);
    g_host.lineTypes.insert(out->lineType);
    g_host.lineHost.insert(BlobOf(out->host, sizeof out->host));
  }
  return status;
}
int32_t VekFigSetLineType(VekId element, const VekLineAttr* in) {
  InHost host;
  FUZZ_REQUIRE(g_host.colours.count(in->colour) != 0,
               "colour of element " + std::to_string(element));
  FUZZ_REQUIRE(g_host.lineTypes.count(in->lineType) != 0, "line type");
  FUZZ_REQUIRE(g_host.lineHost.count(BlobOf(in->host, sizeof in->host)) != 0, "the host's bytes");
  return Status();
}

int32_t VekCmtGetComment(VekId, VekComment* out) {
  InHost host;
  Fill(out);
  const int32_t status = Status();
  if (status != kVekFailure) g_host.charSizes.insert(BlobOf(&out->charSize, sizeof out->charSize));
  return status;
}
int32_t VekCmtSetCharSize(VekId, const VekCharSize* in) {
  InHost host;
  FUZZ_REQUIRE(g_host.charSizes.count(BlobOf(in, sizeof *in)) != 0, "character size");
  return Status();
}

int32_t VekDimGetCharSize(VekId, VekCharSize* out) {
  InHost host;
  Fill(out);
  const int32_t status = Status();
  if (status != kVekFailure) g_host.charSizes.insert(BlobOf(out, sizeof *out));
  return status;
}
int32_t VekDimSetCharSize(VekId, const VekCharSize* in) {
  InHost host;
  FUZZ_REQUIRE(g_host.charSizes.count(BlobOf(in, sizeof *in)) != 0, "character size");
  return Status();
}
int32_t VekDimGetArrow(VekId, int32_t, VekArrows* out) {
  InHost host;
  Fill(out);
  const int32_t status = Status();
  if (status != kVekFailure) g_host.arrows.insert(BlobOf(out, sizeof *out));
  return status;
}
int32_t VekDimSetArrow(VekId, int32_t, const VekArrows* in) {
  InHost host;
  FUZZ_REQUIRE(g_host.arrows.count(BlobOf(in, sizeof *in)) != 0, "arrows");
  return Status();
}
int32_t VekDimGetDecimalPlace(VekId) {
  InHost host;
  const int32_t places = In().Bool() ? int32_t(In().Byte() % 8) : Status();
  if (places != kVekFailure) g_host.decimalPlaces.insert(places);
  return places;
}
int32_t VekDimSetDecimalPlace(VekId, int32_t places) {
  InHost host;
  FUZZ_REQUIRE(g_host.decimalPlaces.count(places) != 0, "decimal places");
  return Status();
}
int32_t VekDimGetTolerance(VekId, VekTolerance* out) {
  InHost host;
  Fill(out);
  const int32_t status = Status();
  if (status != kVekFailure) g_host.tolerances.insert(BlobOf(out, sizeof *out));
  return status;
}
int32_t VekDimSetTolerance(VekId, const VekTolerance* in) {
  InHost host;
  FUZZ_REQUIRE(g_host.tolerances.count(BlobOf(in, sizeof *in)) != 0, "tolerance");
  return Status();
}

VekHoleId VekHolGetHoleId(const VekHoleKey* key) {
  InHost host;
  VekHoleKey copy;
  std::memcpy(&copy, key, sizeof copy);
  return In().Bool() ? VekHoleId(In().Byte() % 4) : In().I32();
}
int32_t VekHolGetHoleData(VekHoleId hole, VekHoleData* out) {
  InHost host;
  Fill(out);
  out->entries = nullptr;
  switch (In().Byte() % 6) {
    case 0:
      out->count = INT32_MIN;
      break;
    case 1:
      out->count = 0;
      break;
    case 2:
      out->count = In().I32();  // any count, and no array
      break;
    case 3:
      out->count = 1 + int32_t(In().Byte() % kMaxHoleEntries);  // a count with no array
      break;
    default: {
      out->count = int32_t(In().Byte() % (kMaxHoleEntries + 1));
      std::vector<VekHoleEntry>& entries = g_host.entryArrays.emplace_back(size_t(out->count));
      for (VekHoleEntry& entry : entries) Fill(&entry);
      out->entries = entries.data();
    }
  }
  const int32_t status = Status();
  if (status != kVekFailure) {
    GivenHole& given = g_host.holes[hole];
    given.head = BlobOf(out, offsetof(VekHoleData, count));
    given.count = out->count;
    given.entries = out->entries;
    given.copy.clear();
    if (out->entries != nullptr) given.copy.assign(out->entries, out->entries + out->count);
  }
  return status;
}
int32_t VekHolAmendHoleData(VekHoleId hole, const VekHoleData* in) {
  InHost host;
  auto it = g_host.holes.find(hole);
  FUZZ_REQUIRE(it != g_host.holes.end(), "hole " + std::to_string(hole) + " never read");
  const GivenHole& given = it->second;
  FUZZ_REQUIRE(BlobOf(in, offsetof(VekHoleData, count)) == given.head, "the hole record's head");
  FUZZ_REQUIRE(in->count == given.count, "the hole count");
  FUZZ_REQUIRE(in->entries == given.entries, "the entry array");
  for (size_t i = 0; i < given.copy.size(); ++i) {
    const VekHoleEntry& now = in->entries[i];
    const VekHoleEntry& was = given.copy[i];
    FUZZ_REQUIRE(now.word0 == was.word0 && std::memcmp(now.host, was.host, sizeof now.host) == 0,
                 "hole entry " + std::to_string(i) + " beyond its layer");
    FUZZ_REQUIRE(now.layer == was.layer || g_host.layers.count(now.layer) != 0,
                 "hole entry " + std::to_string(i) + "'s layer was never read");
  }
  return Status();
}

int32_t VekIddClearSysIdData(VekArg, VekArg, VekArg, VekArg) {
  InHost host;
  return Status();
}
VekSelHandle VekIddOpenSelIdData(int32_t, VekArg, VekArg, VekArg) {
  InHost host;
  const VekSelHandle handle = In().Bool() ? VekSelHandle(In().Byte()) : VekSelHandle(In().U32());
  g_host.openLists.insert(handle);
  g_host.walked[handle] = 0;
  return handle;
}
int32_t NextEntry(VekSelHandle h, VekSelEntry* out) {
  if (++g_host.walked[h] > kMaxWalk) return kVekFailure;
  Fill(out);
  if (In().Bool()) out->segment = Id();
  return Status();
}
int32_t VekIddGetHeadSelIdData(VekSelHandle h, VekSelEntry* out) {
  InHost host;
  return NextEntry(h, out);
}
int32_t VekIddGetNextSelIdData(VekSelHandle h, VekSelEntry* out) {
  InHost host;
  return NextEntry(h, out);
}
int32_t VekIddCloseSelIdData(VekSelHandle h) {
  InHost host;
  auto it = g_host.openLists.find(h);
  FUZZ_REQUIRE(it != g_host.openLists.end(), "closing a list that is not open");
  g_host.openLists.erase(it);
  return Status();
}

int32_t VekEnvGetCurrentFrame() {
  InHost host;
  // Frame 1, the one a layer is changed in, often enough to get there.
  return In().Bool() ? 1 : In().I32();
}
int32_t VekFilRedraw() {
  InHost host;
  return Status();
}
int32_t VekMsgPutMessage(const char16_t* text) {
  InHost host;
  Text(text);
  return Status();
}
int32_t VekMsgPutErrorMessage(const char16_t* text) {
  InHost host;
  Text(text);
  return Status();
}
int32_t VekMsgPutCursorMessage(const char16_t* text) {
  InHost host;
  Text(text);
  return Status();
}

}  // extern "C"

namespace {

// The user in front of the settings dialog: a few clicks, then any way out.
void PlayDialog(dlgstandin::OpenDialog& dialog) {
  InHost host;
  const int boxes[] = {12000, 12001, 12002, 12003, 12004, 12005, 12007};
  for (size_t clicks = In().Byte() % 4; clicks > 0; --clicks) dialog.Click(boxes[In().Below(7)]);
  switch (In().Byte() % 4) {
    case 0:
      dialog.Click(IDCANCEL);
      break;
    case 1:
      dialog.PressEscape();
      break;
    case 2:
      dialog.Close();
      break;
    default:
      dialog.Click(IDOK);
  }
}

void CheckExecuteResult(int32_t result) {
  FUZZ_REQUIRE(result == kExecuteEnd || result == kExecuteNextStep || result == kExecuteStayInStep,
               "execute returned " + std::to_string(result));
  if (result == kExecuteEnd) g_host.execute = nullptr;
  if (result == kExecuteNextStep && g_host.pendingReady != nullptr) {
    VekReadyFunc ready = g_host.pendingReady;
    IntoModule("a ready function", [&] { return ready(1, 2, 3, 4); });
  }
}

int32_t AnyEvent() {
  switch (In().Byte() % 4) {
    case 0:
      return kEventRangeComplete;
    case 1:
      return kEventExitButton;
    case 2:
      return In().Byte() % 16;
    default:
      return In().I32();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::PrepareModuleDialog(PlayDialog);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  g_host = Host{};
  g_host.in = &in;
  testreg::Reset();
  SettingsFlags = {};
  CapturedProperties = {};
  // Settings as the user may have chosen them, so that every path is taken.
  const uint8_t chosen = in.Byte();
  for (size_t i = 0; i < kSettings.size(); ++i) {
    testreg::SetString(SettingsKeyPath(), kSettings[i].name, (chosen >> i) & 1 ? u"1" : u"0");
  }
  IntoModule("Startup", [] { return Startup(1, 2, 3, 0x5EED); });

  for (size_t step = 0; step < 256 && !in.empty(); ++step) {
    switch (in.Byte() % 8) {
      case 0:
        if (VekReadyFunc start = g_host.start) {
          g_host.execute = nullptr;
          IntoModule("the start function", [&] { return start(1, 2, 3, 4); });
        }
        break;
      case 1:
        if (VekReadyFunc second = g_host.second) {
          IntoModule("the second function", [&] { return second(1, 2, 3, 4); });
        }
        break;
      case 2:
        if (VekReadyFunc end = g_host.end) {
          IntoModule("the end function", [&] { return end(1, 2, 3, 4); });
        }
        break;
      case 3:
        if (VekCompareFunc compare = g_host.compare) {
          const VekId element = Id();
          IntoModule("the compare function", [&] { return compare(element); });
        }
        break;
      default:
        if (VekExecuteFunc execute = g_host.execute) {
          const int32_t kind = AnyEvent();
          const VekArg eventData = VekArg(in.U32());
          CheckExecuteResult(
              IntoModule("an execute function", [&] { return execute(kind, eventData, 3, 4); }));
        }
    }
  }
  FUZZ_REQUIRE(regstandin::OpenHandleCount() == 0, "a registry key was left open");
  g_host = Host{};
  return 0;
}
