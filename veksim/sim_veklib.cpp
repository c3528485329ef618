// The host library's functions, answered from the simulated host's drawing.
//
// Each function writes one trace entry before it does anything else, asks the
// failure injection whether to fail, and fills in its result on the way out.
// A failing call returns before touching any state or output buffer, so the
// module sees exactly what a refusal by the real host would leave behind.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <type_traits>

#include "host/VekLib.h"
#include "sim_host.h"

namespace sim {
namespace {

bool ShouldFail(detail::HostCore& core, std::string_view name, std::optional<uint32_t> subject) {
  bool fail = false;
  for (detail::Failure& failure : core.failures) {
    if (failure.name != name) continue;
    if (failure.nth > 0) {
      // Every rule counts its own calls, so two rules on one name stay independent.
      if (++failure.seen == failure.nth) fail = true;
    } else if (failure.id) {
      if (subject && *subject == *failure.id) fail = true;
    } else {
      fail = true;
    }
  }
  return fail;
}

// One call in progress: its trace entry, when the host keeps a trace, and
// whether it is to fail. With the trace off nothing is allocated.
class Traced {
 public:
  Traced(const char* name, std::initializer_list<int64_t> args, std::optional<uint32_t> subject)
      : core_(detail::Core()), tracing_(core_.tracing) {
    fails_ = !core_.failures.empty() && ShouldFail(core_, name, subject);
    for (const auto& [function, status] : core_.successStatuses) {
      if (function == name) successStatus_ = status;
    }
    if (!tracing_) return;
    index_ = core_.trace.size();
    Call call;
    call.name = name;
    call.args = args;
    call.inCompare = core_.inCompare;
    call.injected = fails_;
    core_.trace.push_back(std::move(call));
  }

  bool fails() const { return fails_; }
  detail::HostCore& core() { return core_; }
  bool tracing() const { return tracing_; }
  Call& call() { return core_.trace[index_]; }

  void Text(const char16_t* text) {
    if (tracing_ && text != nullptr) call().text = std::u16string(text);
  }
  template <class R>
  void Record(const R* record) {
    if (tracing_) call().record = record == nullptr ? std::vector<uint8_t>{} : Bytes(*record);
  }

  template <class R>
  R Return(R result) {
    if constexpr (std::is_same_v<R, int32_t>) {
      if (result == 0 && successStatus_) result = *successStatus_;
    }
    // Unsigned results (ids, handles) are zero-extended.
    if (tracing_) call().result = static_cast<int64_t>(result);
    return result;
  }

 private:
  detail::HostCore& core_;
  bool tracing_;
  size_t index_ = 0;
  bool fails_ = false;
  std::optional<int32_t> successStatus_;
};

Element* FindElement(Traced& t, VekId id) { return t.core().drawing.FindElement(id); }
Segment* FindSegment(Traced& t, VekId id) { return t.core().drawing.FindSegment(id); }

// A getter of one record of an element: copies the element's `field` out and
// answers 0, or what `status` of the element holds.
template <class T>
int32_t GetRecord(const char* name, VekId element, T* out, T Element::*field,
                  int32_t Element::*status = nullptr) {
  Traced t(name, {element}, element);
  const Element* e = t.fails() ? nullptr : FindElement(t, element);
  if (e == nullptr || out == nullptr) return t.Return(kVekFailure);
  *out = e->*field;
  t.Record(out);
  return t.Return(status == nullptr ? 0 : e->*status);
}

// A setter of one record of an element: `store` puts the record in place
// once the property's original is kept. `valid` is false for arguments
// besides the record that the host refuses.
template <class T, class Store>
int32_t SetRecord(const char* name, std::initializer_list<int64_t> args, VekId element, const T* in,
                  Property property, Store store, bool valid = true) {
  Traced t(name, args, element);
  t.Record(in);
  Element* e = t.fails() ? nullptr : FindElement(t, element);
  if (e == nullptr || in == nullptr || !valid) return t.Return(kVekFailure);
  t.core().drawing.KeepOriginal(*e, property);
  store(*e, *in);
  return t.Return(0);
}

// Whether the event the module asks about is the pick the host is delivering.
const detail::PickEvent* PickFor(Traced& t, int32_t kind, VekArg data) {
  detail::HostCore& core = t.core();
  if (kind != kEventPick || !core.pick || data != kEventDataBase + core.eventSerial) {
    return nullptr;
  }
  return &*core.pick;
}

int32_t PutMessage(const char* name, MessageKind kind, const char16_t* text) {
  Traced t(name, {}, std::nullopt);
  t.Text(text);
  if (t.fails() || text == nullptr) return t.Return(kVekFailure);
  detail::HostCore& core = t.core();
  if (core.keepsMessages) core.messages.push_back({kind, std::u16string(text)});
  if (kind == MessageKind::kPrompt) core.currentPrompt = text;
  if (kind == MessageKind::kCursor) core.currentCursor = text;
  return t.Return(0);
}

detail::SelectionList* OpenList(detail::HostCore& core, VekSelHandle h) {
  const auto found = std::ranges::find(core.selectionLists, h, &detail::SelectionList::handle);
  return found == core.selectionLists.end() ? nullptr : &*found;
}

// Shared by the two list walks: fill `out` with the list's next entry.
int32_t NextSelection(const char* name, VekSelHandle h, VekSelEntry* out, bool fromHead) {
  Traced t(name, {static_cast<int64_t>(h)}, static_cast<uint32_t>(h));
  detail::SelectionList* list = OpenList(t.core(), h);
  if (t.fails() || list == nullptr || out == nullptr) return t.Return(kVekFailure);
  if (fromHead) list->next = 0;
  const size_t size = list->entries ? list->entries->size() : 0;
  if (list->next >= size) return t.Return(kVekFailure);
  const SelectionEntry& entry = (*list->entries)[list->next];
  // The host fills the whole entry: after the two words the module reads come
  // the element that brought the segment in and the entry's position.
  VekSelEntry filled{entry.segment, entry.companion, {}};
  uint32_t tail[4] = {entry.firstElement, static_cast<uint32_t>(list->next), 0, 0};
  std::memcpy(filled.host, tail, sizeof tail);
  *out = filled;
  ++list->next;
  t.Record(out);
  return t.Return(0);
}

}  // namespace
}  // namespace sim

using sim::Traced;

extern "C" {

int32_t VekCtlRegisterVekLib2(VekReadyFunc start, VekReadyFunc second, VekReadyFunc end,
                              VekArg hostArg) {
  Traced t("VekCtlRegisterVekLib2", {hostArg}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  auto& core = t.core();
  // A host that answers 0 or less has refused the module: nothing is kept.
  if (core.registrationResult > 0) {
    core.start = start;
    core.second = second;
    core.end = end;
    core.hostArg = hostArg;
  }
  return t.Return(core.registrationResult);
}

int32_t VekCtlSetReadyFunc(VekReadyFunc f, const char16_t* text) {
  Traced t("VekCtlSetReadyFunc", {}, std::nullopt);
  t.Text(text);
  // A host reads the text: a null one is refused, as a function is.
  if (t.fails() || f == nullptr || text == nullptr) return t.Return(kVekFailure);
  t.core().pendingReady = f;
  return t.Return(0);
}

int32_t VekCtlSetExecuteFunc(VekExecuteFunc f, const char16_t* text) {
  Traced t("VekCtlSetExecuteFunc", {}, std::nullopt);
  t.Text(text);
  if (t.fails() || f == nullptr || text == nullptr) return t.Return(kVekFailure);
  t.core().execute = f;
  return t.Return(0);
}

int32_t VekEvtSetEventMask(uint32_t mask) {
  Traced t("VekEvtSetEventMask", {mask}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  t.core().eventMask = mask;
  return t.Return(0);
}

int32_t VekEvtSetCompareFunction(VekCompareFunc f) {
  Traced t("VekEvtSetCompareFunction", {}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  t.core().compare = f;
  return t.Return(0);
}

int32_t VekEvtGetPoint(int32_t kind, VekArg data, VekPoint* point, VekArg a4) {
  Traced t("VekEvtGetPoint", {kind, data, a4}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  const sim::detail::PickEvent* pick = sim::PickFor(t, kind, data);
  // Non-zero tells the module the event is no pick.
  if (pick == nullptr) return t.Return(t.core().nonPickStatus);
  if (point == nullptr) return t.Return(kVekFailure);
  *point = sim::MakePoint(pick->detail.point);
  t.Record(point);
  return t.Return(0);
}

VekId VekEvtGetElementId(int32_t kind, VekArg data) {
  Traced t("VekEvtGetElementId", {kind, data}, std::nullopt);
  const sim::detail::PickEvent* pick = t.fails() ? nullptr : sim::PickFor(t, kind, data);
  return t.Return(pick == nullptr ? kVekNoId : pick->element);
}

VekId VekEvtGetSegmentId(int32_t kind, VekArg data) {
  Traced t("VekEvtGetSegmentId", {kind, data}, std::nullopt);
  const sim::detail::PickEvent* pick = t.fails() ? nullptr : sim::PickFor(t, kind, data);
  return t.Return(pick == nullptr ? kVekNoId : pick->segment);
}

uint32_t VekEvtGetInstanceId(int32_t kind, VekArg data) {
  Traced t("VekEvtGetInstanceId", {kind, data}, std::nullopt);
  const sim::detail::PickEvent* pick = t.fails() ? nullptr : sim::PickFor(t, kind, data);
  return t.Return(pick == nullptr ? kVekNoId : pick->detail.instance);
}

uint32_t VekEvtGetDetailId(int32_t kind, VekArg data) {
  Traced t("VekEvtGetDetailId", {kind, data}, std::nullopt);
  const sim::detail::PickEvent* pick = t.fails() ? nullptr : sim::PickFor(t, kind, data);
  return t.Return(pick == nullptr ? kVekNoId : pick->detail.detail);
}

VekId VekElmGetSegment(VekId element) {
  Traced t("VekElmGetSegment", {element}, element);
  const sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  return t.Return(e == nullptr ? kVekNoId : e->segment);
}

int32_t VekElmGetType(VekId element) {
  Traced t("VekElmGetType", {element}, element);
  const sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  return t.Return(e == nullptr ? kVekFailure : e->type);
}

VekId VekElmGetNextElementId(VekId element) {
  Traced t("VekElmGetNextElementId", {element}, element);
  const sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  return t.Return(e == nullptr ? kVekNoId : t.core().drawing.NextInChain(element));
}

int32_t VekSgmGetLayer(VekId segment, int32_t which) {
  Traced t("VekSgmGetLayer", {segment, which}, segment);
  const std::optional<int32_t> loose = t.core().drawing.layerOfNoSegment;
  if (!t.fails() && segment == kVekNoId && loose.has_value()) return t.Return(*loose);
  const sim::Segment* s = t.fails() ? nullptr : sim::FindSegment(t, segment);
  return t.Return(s == nullptr ? kVekFailure : s->layer);
}

int32_t VekSgmChangeLayer(VekId segment, int32_t layer) {
  Traced t("VekSgmChangeLayer", {segment, layer}, segment);
  sim::Segment* s = t.fails() ? nullptr : sim::FindSegment(t, segment);
  if (s == nullptr) return t.Return(kVekFailure);
  t.core().drawing.KeepOriginal(*s);
  s->layer = layer;
  return t.Return(0);
}

uint8_t VekSgmHasAttribute(VekId segment, int32_t attribute) {
  Traced t("VekSgmHasAttribute", {segment, attribute}, segment);
  const sim::Segment* s = t.fails() ? nullptr : sim::FindSegment(t, segment);
  // Attribute 0 is "has hole data"; the host knows no other.
  bool has = s != nullptr && attribute == 0 && s->hasHoleData;
  return t.Return(has ? t.core().trueByte : uint8_t{0});
}

VekId VekSgmGetHeadElementId(VekId segment) {
  Traced t("VekSgmGetHeadElementId", {segment}, segment);
  const sim::Segment* s = t.fails() ? nullptr : sim::FindSegment(t, segment);
  return t.Return(s == nullptr || s->elements.empty() ? kVekNoId : s->elements.front());
}

int32_t VekFigGetLineType(VekId element, VekLineAttr* out) {
  return sim::GetRecord("VekFigGetLineType", element, out, &sim::Element::line);
}

int32_t VekFigSetLineType(VekId element, const VekLineAttr* in) {
  return sim::SetRecord("VekFigSetLineType", {element}, element, in, sim::Property::kLine,
                        [](sim::Element& e, const VekLineAttr& line) { e.line = line; });
}

int32_t VekCmtGetComment(VekId element, VekComment* out) {
  return sim::GetRecord("VekCmtGetComment", element, out, &sim::Element::comment);
}

int32_t VekCmtSetCharSize(VekId element, const VekCharSize* in) {
  return sim::SetRecord(
      "VekCmtSetCharSize", {element}, element, in, sim::Property::kCommentCharSize,
      [](sim::Element& e, const VekCharSize& size) { e.comment.charSize = size; });
}

int32_t VekDimGetCharSize(VekId element, VekCharSize* out) {
  return sim::GetRecord("VekDimGetCharSize", element, out, &sim::Element::dimCharSize);
}

int32_t VekDimSetCharSize(VekId element, const VekCharSize* in) {
  return sim::SetRecord("VekDimSetCharSize", {element}, element, in, sim::Property::kDimCharSize,
                        [](sim::Element& e, const VekCharSize& size) { e.dimCharSize = size; });
}

int32_t VekDimGetArrow(VekId element, int32_t selector, VekArrows* out) {
  Traced t("VekDimGetArrow", {element, selector}, element);
  const sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  if (e == nullptr || out == nullptr || selector < 0 || selector > 1) {
    return t.Return(kVekFailure);
  }
  *out = e->arrows[static_cast<size_t>(selector)];
  t.Record(out);
  return t.Return(0);
}

int32_t VekDimSetArrow(VekId element, int32_t selector, const VekArrows* in) {
  return sim::SetRecord(
      "VekDimSetArrow", {element, selector}, element, in, sim::Property::kArrows,
      [selector](sim::Element& e, const VekArrows& arrows) {
        e.arrows[static_cast<size_t>(selector)] = arrows;
      },
      selector >= 0 && selector <= 1);
}

int32_t VekDimGetDecimalPlace(VekId element) {
  Traced t("VekDimGetDecimalPlace", {element}, element);
  const sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  return t.Return(e == nullptr ? kVekFailure : e->decimalPlaces);
}

int32_t VekDimSetDecimalPlace(VekId element, int32_t places) {
  Traced t("VekDimSetDecimalPlace", {element, places}, element);
  sim::Element* e = t.fails() ? nullptr : sim::FindElement(t, element);
  if (e == nullptr) return t.Return(kVekFailure);
  t.core().drawing.KeepOriginal(*e, sim::Property::kDecimalPlaces);
  e->decimalPlaces = places;
  return t.Return(0);
}

int32_t VekDimGetTolerance(VekId element, VekTolerance* out) {
  return sim::GetRecord("VekDimGetTolerance", element, out, &sim::Element::tolerance,
                        &sim::Element::toleranceStatus);
}

int32_t VekDimSetTolerance(VekId element, const VekTolerance* in) {
  return sim::SetRecord("VekDimSetTolerance", {element}, element, in, sim::Property::kTolerance,
                        [](sim::Element& e, const VekTolerance& tolerance) {
                          e.tolerance = tolerance;
                          e.toleranceStatus = 1;
                        });
}

VekHoleId VekHolGetHoleId(const VekHoleKey* key) {
  VekHoleKey k = key == nullptr ? VekHoleKey{kVekNoId, kVekNoId} : *key;
  Traced t("VekHolGetHoleId", {k.word0, k.word1}, k.word1);
  if (t.fails() || key == nullptr) return t.Return(kVekFailure);
  return t.Return(t.core().drawing.HoleIdFor(k).value_or(kVekFailure));
}

int32_t VekHolGetHoleData(VekHoleId hole, VekHoleData* out) {
  Traced t("VekHolGetHoleData", {hole}, static_cast<uint32_t>(hole));
  sim::Hole* h = t.fails() ? nullptr : t.core().drawing.FindHole(hole);
  if (h == nullptr || out == nullptr) return t.Return(kVekFailure);
  // The entries are lent in a copy, never the hole's own: what the module
  // changes in them reaches the hole only through VekHolAmendHoleData.
  VekHoleEntry* lent = t.core().drawing.LendEntries(*h);
  VekHoleData data{};
  std::memcpy(data.host, &hole, sizeof hole);
  data.count = static_cast<int32_t>(h->entries.size());
  data.entries = h->withholdsEntries ? nullptr : lent;
  *out = data;
  t.Record(out);
  return t.Return(0);
}

int32_t VekHolAmendHoleData(VekHoleId hole, const VekHoleData* in) {
  int32_t count = in == nullptr ? 0 : in->count;
  Traced t("VekHolAmendHoleData", {hole, count}, static_cast<uint32_t>(hole));
  sim::Hole* h = t.fails() ? nullptr : t.core().drawing.FindHole(hole);
  if (h == nullptr || in == nullptr || count < 0) return t.Return(kVekFailure);
  // A module that wrote past the entries it was lent has overwritten the
  // host's memory: refused, so that no test can pass over it.
  if (!t.core().drawing.LentEntriesKeptInBounds()) return t.Return(kVekFailure);
  if (count > 0 && in->entries == nullptr) {
    // Only a hole that withheld its entries may come back without them.
    return t.Return(h->withholdsEntries ? 0 : kVekFailure);
  }
  // The entries come from the module, usually the host's own lent buffer,
  // never from the hole itself, which is not lent out.
  t.core().drawing.KeepOriginal(*h);
  if (in->entries != h->entries.data()) h->entries.assign(in->entries, in->entries + count);
  if (t.tracing()) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(h->entries.data());
    t.call().record.assign(bytes, bytes + h->entries.size() * sizeof(VekHoleEntry));
  }
  return t.Return(0);
}

int32_t VekIddClearSysIdData(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  Traced t("VekIddClearSysIdData", {a1, a2, a3, a4}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  t.core().selection.reset();
  return t.Return(0);
}

VekSelHandle VekIddOpenSelIdData(int32_t mode, VekArg a2, VekArg a3, VekArg a4) {
  Traced t("VekIddOpenSelIdData", {mode, a2, a3, a4}, std::nullopt);
  if (t.fails()) return t.Return(VekSelHandle{0});
  auto& core = t.core();
  // The list is a snapshot: clearing the selection later leaves it intact.
  VekSelHandle handle = core.nextHandle++;
  core.selectionLists.push_back({handle, core.selection, 0});
  return t.Return(handle);
}

int32_t VekIddGetHeadSelIdData(VekSelHandle h, VekSelEntry* out) {
  return sim::NextSelection("VekIddGetHeadSelIdData", h, out, true);
}

int32_t VekIddGetNextSelIdData(VekSelHandle h, VekSelEntry* out) {
  return sim::NextSelection("VekIddGetNextSelIdData", h, out, false);
}

int32_t VekIddCloseSelIdData(VekSelHandle h) {
  Traced t("VekIddCloseSelIdData", {static_cast<int64_t>(h)}, static_cast<uint32_t>(h));
  sim::detail::SelectionList* list = t.fails() ? nullptr : sim::OpenList(t.core(), h);
  if (list == nullptr) return t.Return(kVekFailure);
  auto& lists = t.core().selectionLists;
  lists.erase(lists.begin() + (list - lists.data()));
  return t.Return(0);
}

int32_t VekEnvGetCurrentFrame() {
  Traced t("VekEnvGetCurrentFrame", {}, std::nullopt);
  return t.Return(t.fails() ? kVekFailure : t.core().frame);
}

int32_t VekFilRedraw() {
  Traced t("VekFilRedraw", {}, std::nullopt);
  if (t.fails()) return t.Return(kVekFailure);
  ++t.core().redraws;
  return t.Return(0);
}

int32_t VekMsgPutMessage(const char16_t* text) {
  return sim::PutMessage("VekMsgPutMessage", sim::MessageKind::kPrompt, text);
}

int32_t VekMsgPutErrorMessage(const char16_t* text) {
  return sim::PutMessage("VekMsgPutErrorMessage", sim::MessageKind::kError, text);
}

int32_t VekMsgPutCursorMessage(const char16_t* text) {
  return sim::PutMessage("VekMsgPutCursorMessage", sim::MessageKind::kCursor, text);
}

}  // extern "C"
