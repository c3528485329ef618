// The simulated host's own behaviour, which every module test relies on: how
// it drives a command, gates events, builds the selection, lends hole data
// and injects failures. Driven by a small fake module defined here.
#include "sim_host.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/VekLib.h"

namespace {

using sim::Host;

// What the fake module does and what it saw.
struct FakeModule {
  uint32_t mask = kMaskPickOne;
  VekCompareFunc compare = nullptr;
  int32_t executeResult = kExecuteStayInStep;
  bool nameReady = false;  // name SecondReady before returning
  int readyCalls = 0;
  std::vector<int32_t> firstKinds;
  std::vector<int32_t> secondKinds;
  int32_t pointResult = 0;
  VekId element = 0;
  VekId segment = 0;
  std::vector<std::pair<VekId, VekId>> listed;  // selection entries read on kind 0
};
FakeModule fake;

int32_t SecondExecute(int32_t kind, VekArg, VekArg, VekArg) {
  fake.secondKinds.push_back(kind);
  return kExecuteStayInStep;
}

int32_t SecondReady(VekArg, VekArg, VekArg, VekArg) {
  ++fake.readyCalls;
  VekCtlSetExecuteFunc(SecondExecute, u"");
  return 0;
}

int32_t FirstExecute(int32_t kind, VekArg data, VekArg a3, VekArg a4) {
  fake.firstKinds.push_back(kind);
  VekPoint point;
  fake.pointResult = VekEvtGetPoint(kind, data, &point, a4);
  fake.element = VekEvtGetElementId(kind, data);
  fake.segment = VekEvtGetSegmentId(kind, data);
  if (kind == kEventRangeComplete) {
    VekSelHandle h = VekIddOpenSelIdData(1, data, a3, a4);
    VekSelEntry entry;
    for (int32_t r = VekIddGetHeadSelIdData(h, &entry); r != kVekFailure;
         r = VekIddGetNextSelIdData(h, &entry)) {
      fake.listed.emplace_back(entry.segment, entry.companion);
    }
    VekIddCloseSelIdData(h);
  }
  if (fake.nameReady) VekCtlSetReadyFunc(SecondReady, u"");
  return fake.executeResult;
}

int32_t Start(VekArg, VekArg, VekArg, VekArg) {
  VekEvtSetEventMask(fake.mask);
  VekEvtSetCompareFunction(fake.compare);
  VekMsgPutMessage(u"첫 단계");
  VekCtlSetExecuteFunc(FirstExecute, u"");
  return 0;
}

int32_t Nothing(VekArg, VekArg, VekArg, VekArg) { return 0; }

int32_t FakeStartup(VekArg, VekArg, VekArg, VekArg hostArg) {
  return VekCtlRegisterVekLib2(Start, Nothing, Nothing, hostArg) > 0 ? 0 : -1;
}

int32_t EvenTypesOnly(VekId element) { return VekElmGetType(element) % 2 == 0 ? 1 : 0; }

class SimHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Reset();
    fake = FakeModule{};
    // Segment 10: elements 100 (type 2), 101 (type 3); segment 20: 200 (type 4).
    sim::Drawing& d = host.drawing();
    d.AddSegment(10, 5, 77);
    d.AddSegment(20, 6, 88);
    d.AddElement(100, 2, 10);
    d.AddElement(101, 3, 10);
    d.AddElement(200, 4, 20);
  }
  void Start() {
    ASSERT_EQ(host.Register(FakeStartup), 0);
    ASSERT_TRUE(host.RunCommand());
  }
  Host& host = Host::Instance();
};

TEST_F(SimHostTest, RegistrationKeepsTheHostArgumentAndCanBeRefused) {
  EXPECT_EQ(host.Register(FakeStartup, 0x1234), 0);
  EXPECT_TRUE(host.Registered());
  EXPECT_EQ(host.RegisteredHostArg(), 0x1234);
  EXPECT_EQ(host.CallSecond(), 0);

  host.Reset();
  host.SetRegistrationResult(0);
  EXPECT_EQ(host.Register(FakeStartup), -1);
  EXPECT_FALSE(host.RunCommand());
}

TEST_F(SimHostTest, ExecuteResultDecidesTheNextStep) {
  struct Case {
    int32_t result;
    bool nameReady;
    int readyCalls;     // after the first event
    bool active;        // after the first event
    size_t firstKinds;  // events the first execute function saw after two events
    size_t secondKinds;
  };
  const Case cases[] = {
      {kExecuteNextStep, true, 1, true, 1, 1},   {kExecuteStayInStep, false, 0, true, 2, 0},
      {kExecuteStayInStep, true, 0, true, 2, 0},  // named but not asked for
      {kExecuteNextStep, false, 0, true, 2, 0},   // asked for but none named
      {kExecuteEnd, false, 0, false, 1, 0},      {kExecuteEnd, true, 0, false, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "result " << c.result << " named " << c.nameReady);
    SetUp();
    fake.executeResult = c.result;
    fake.nameReady = c.nameReady;
    Start();
    EXPECT_TRUE(host.SendEvent(9));
    EXPECT_EQ(host.LastExecuteResult(), c.result);
    EXPECT_EQ(fake.readyCalls, c.readyCalls);
    EXPECT_EQ(host.CommandActive(), c.active);
    EXPECT_EQ(host.SendEvent(9), c.active);
    EXPECT_EQ(fake.firstKinds.size(), c.firstKinds);
    EXPECT_EQ(fake.secondKinds.size(), c.secondKinds);
  }
}

TEST_F(SimHostTest, EndingTheCommandClearsPromptAndSelection) {
  fake.mask = kMaskSelectRange;
  fake.executeResult = kExecuteEnd;
  Start();
  EXPECT_EQ(host.CurrentPrompt(), u"첫 단계");
  EXPECT_TRUE(host.SelectRange({100}));
  EXPECT_FALSE(host.CommandActive());
  EXPECT_EQ(host.CurrentPrompt(), u"");
  EXPECT_EQ(host.Messages().back(), (sim::Message{sim::MessageKind::kPrompt, u"첫 단계"}));
  EXPECT_TRUE(host.Selection().empty());
  EXPECT_EQ(host.OpenSelectionLists(), 0u);
}

TEST_F(SimHostTest, PickReachesTheModuleOnlyWhenTheCompareFunctionAccepts) {
  fake.compare = EvenTypesOnly;
  Start();
  EXPECT_FALSE(host.Pick(101));  // type 3
  EXPECT_TRUE(fake.firstKinds.empty());

  ASSERT_TRUE(host.Pick(200));
  EXPECT_EQ(fake.firstKinds, std::vector<int32_t>{sim::kEventPick});
  EXPECT_EQ(fake.pointResult, 0);
  EXPECT_EQ(fake.element, 200u);
  EXPECT_EQ(fake.segment, 20u);

  ASSERT_TRUE(host.Pick(100, {.elementUnresolved = true}));
  EXPECT_EQ(fake.element, kVekNoId);
  EXPECT_EQ(fake.segment, 10u);

  // A non-pick event is no point, and stale event data names no pick.
  VekArg stale = host.LastEventData();
  ASSERT_TRUE(host.PressExit());
  EXPECT_NE(fake.pointResult, 0);
  EXPECT_EQ(fake.element, kVekNoId);
  EXPECT_EQ(VekEvtGetElementId(sim::kEventPick, stale), kVekNoId);
}

TEST_F(SimHostTest, EventsNeedTheMaskBitOfTheirKind) {
  Start();  // pick one element
  EXPECT_FALSE(host.SelectRange({100}));
  EXPECT_TRUE(host.Pick(100));
}

TEST_F(SimHostTest, RangeSelectsAcceptedSegmentsOnceInOrder) {
  host.drawing().AddSegment(30, 7, 99);
  host.drawing().AddElement(300, 6, 30);
  host.drawing().AddElement(400, 8, kVekNoId);  // in no segment
  fake.mask = kMaskSelectRange;
  fake.compare = EvenTypesOnly;
  Start();
  ASSERT_TRUE(host.SelectRange({300, 101, 200, 100, 400, 301, 300}));
  EXPECT_EQ(fake.firstKinds, std::vector<int32_t>{kEventRangeComplete});
  using Entries = std::vector<std::pair<VekId, VekId>>;
  EXPECT_EQ(fake.listed, (Entries{{30, 99}, {20, 88}, {10, 77}}));
  EXPECT_EQ(host.OpenSelectionLists(), 0u);

  VekIddClearSysIdData(1, 2, 3, 4);
  EXPECT_TRUE(host.Selection().empty());
}

TEST_F(SimHostTest, SelectionListIsASnapshotThatClosingInvalidates) {
  host.SetSelection({{10, 77, 100}});
  VekSelHandle h = VekIddOpenSelIdData(1, 0, 0, 0);
  ASSERT_NE(h, 0u);
  VekIddClearSysIdData(0, 0, 0, 0);
  VekSelEntry entry;
  std::memset(&entry, 0xCD, sizeof entry);
  ASSERT_EQ(VekIddGetHeadSelIdData(h, &entry), 0);
  EXPECT_EQ(entry.segment, 10u);
  EXPECT_EQ(entry.companion, 77u);
  for (uint8_t b : entry.host) EXPECT_NE(b, 0xCD);  // the host fills all 24 bytes
  EXPECT_EQ(VekIddGetNextSelIdData(h, &entry), kVekFailure);
  EXPECT_EQ(VekIddCloseSelIdData(h), 0);
  EXPECT_EQ(VekIddGetHeadSelIdData(h, &entry), kVekFailure);
  EXPECT_EQ(VekIddCloseSelIdData(h), kVekFailure);
}

TEST_F(SimHostTest, HoleDataRoundTripsThroughTheLentEntries) {
  sim::Hole& hole =
      host.drawing().AddHole(10, {sim::MakeHoleEntry(1, 5), sim::MakeHoleEntry(2, 5)});
  EXPECT_NE(VekSgmHasAttribute(10, 0), 0);
  EXPECT_EQ(VekSgmHasAttribute(20, 0), 0);

  VekHoleKey swapped{77, 10};
  VekHoleKey unswapped{10, 77};
  EXPECT_EQ(VekHolGetHoleId(&unswapped), kVekFailure);
  VekHoleId id = VekHolGetHoleId(&swapped);
  ASSERT_EQ(id, hole.id);

  VekHoleData data;
  ASSERT_EQ(VekHolGetHoleData(id, &data), 0);
  ASSERT_EQ(data.count, 2);
  for (int i = 0; i < data.count; ++i) data.entries[i].layer = 42;
  EXPECT_EQ(hole.entries[0].layer, 5);  // nothing changes before the amend
  ASSERT_EQ(VekHolAmendHoleData(id, &data), 0);
  EXPECT_EQ(hole.entries[0].layer, 42);
  EXPECT_EQ(hole.entries[1].layer, 42);
  EXPECT_EQ(hole.entries[1].word0, 2);

  data.count = 0;
  ASSERT_EQ(VekHolAmendHoleData(id, &data), 0);
  EXPECT_TRUE(hole.entries.empty());
}

TEST_F(SimHostTest, AWritePastTheLentEntriesIsRefusedAtTheAmend) {
  sim::Hole& hole = host.drawing().AddHole(10, {sim::MakeHoleEntry(1, 5)});
  VekHoleData data{};
  ASSERT_EQ(VekHolGetHoleData(hole.id, &data), 0);
  data.entries[1].layer = 42;  // one past the last entry
  EXPECT_EQ(VekHolAmendHoleData(hole.id, &data), kVekFailure);
  EXPECT_EQ(hole.entries[0].layer, 5);
}

TEST_F(SimHostTest, HoleThatWithholdsItsEntriesReportsTheirCountWithoutAnArray) {
  sim::Hole& hole =
      host.drawing().AddHole(10, {sim::MakeHoleEntry(1, 5), sim::MakeHoleEntry(2, 5)});
  sim::Hole& other = host.drawing().AddHole(20, {sim::MakeHoleEntry(3, 6)});
  hole.withholdsEntries = true;

  VekHoleData data{};
  ASSERT_EQ(VekHolGetHoleData(hole.id, &data), 0);
  EXPECT_EQ(data.count, 2);
  EXPECT_EQ(data.entries, nullptr);
  EXPECT_EQ(VekHolAmendHoleData(hole.id, &data), 0);
  EXPECT_EQ(hole.entries.size(), 2u);
  EXPECT_EQ(hole.entries[1].layer, 5);

  // Any other hole still refuses a record that has lost its array.
  EXPECT_EQ(VekHolAmendHoleData(other.id, &data), kVekFailure);
  EXPECT_EQ(other.entries.size(), 1u);
}

TEST_F(SimHostTest, UnknownIdsAnswerNone) {
  VekLineAttr attr{};
  EXPECT_EQ(VekElmGetSegment(999), kVekNoId);
  EXPECT_EQ(VekElmGetType(999), -1);
  EXPECT_EQ(VekElmGetNextElementId(999), kVekNoId);
  EXPECT_EQ(VekSgmGetLayer(kVekNoId, 0), -1);
  EXPECT_EQ(VekSgmGetHeadElementId(999), kVekNoId);
  EXPECT_EQ(VekFigGetLineType(999, &attr), -1);
  // The chain of a known segment ends in none too.
  EXPECT_EQ(VekSgmGetHeadElementId(10), 100u);
  EXPECT_EQ(VekElmGetNextElementId(100), 101u);
  EXPECT_EQ(VekElmGetNextElementId(101), kVekNoId);
}

TEST_F(SimHostTest, InjectedFailuresHitOnlyTheirCallsAndChangeNothing) {
  host.FailCall("VekSgmChangeLayer", 20);
  host.FailCallOnNth("VekFigSetLineType", 2);
  const VekLineAttr red = sim::MakeLineAttr(1, 3);
  struct Case {
    VekId element;
    int32_t setResult;
    int32_t colourAfter;
  };
  const Case lineCases[] = {{100, 0, 1}, {101, -1, 0}, {200, 0, 1}};
  for (const Case& c : lineCases) {
    EXPECT_EQ(VekFigSetLineType(c.element, &red), c.setResult) << c.element;
    EXPECT_EQ(host.drawing().element(c.element).line.colour, c.colourAfter) << c.element;
  }
  EXPECT_EQ(VekSgmChangeLayer(10, 9), 0);
  EXPECT_EQ(VekSgmChangeLayer(20, 9), -1);
  EXPECT_EQ(host.drawing().segment(20).layer, 6);

  std::vector<bool> injected;
  for (const sim::Call& call : host.CallsTo("VekFigSetLineType")) injected.push_back(call.injected);
  EXPECT_EQ(injected, (std::vector<bool>{false, true, false}));
  EXPECT_EQ(host.CallsTo("VekFigSetLineType")[0].As<VekLineAttr>().lineType, 3);

  host.FailCall("VekElmGetSegment");
  EXPECT_EQ(VekElmGetSegment(100), kVekNoId);
  EXPECT_THROW(host.FailCall("VekSgmChangeLayr"), std::invalid_argument);
  EXPECT_THROW(host.CallsTo("VekFigSetLineTyp"), std::invalid_argument);
}

// Answers that only one value of this host would otherwise give: a test can
// make it answer what a host may.
TEST_F(SimHostTest, AnswersCanTakeEveryValueOfTheirMeaning) {
  Start();
  host.SetNonPickStatus(-7);
  ASSERT_TRUE(host.SendEvent(4));
  EXPECT_EQ(fake.pointResult, -7);
  EXPECT_THROW(host.SetNonPickStatus(0), std::invalid_argument);

  host.drawing().AddHole(10, {});
  host.SetTrueByte(0xFE);
  EXPECT_EQ(VekSgmHasAttribute(10, 0), 0xFE);
  EXPECT_EQ(VekSgmHasAttribute(20, 0), 0);
  EXPECT_THROW(host.SetTrueByte(0), std::invalid_argument);

  host.AnswerSuccessWith("VekSgmChangeLayer", -2);
  host.FailCall("VekSgmChangeLayer", 20);
  EXPECT_EQ(VekSgmChangeLayer(10, 9), -2);
  EXPECT_EQ(host.drawing().segment(10).layer, 9);  // the call did its work
  EXPECT_EQ(VekSgmChangeLayer(20, 9), kVekFailure);
  EXPECT_THROW(host.AnswerSuccessWith("VekSgmChangeLayer", -1), std::invalid_argument);
  EXPECT_THROW(host.AnswerSuccessWith("VekSgmChangeLayr", 5), std::invalid_argument);
}

// A null text is not an empty one: the trace keeps no text for it, and the
// host refuses to name a function with it.
TEST_F(SimHostTest, ANullTextIsRecordedAsNoneAndRefused) {
  Start();
  host.ClearTrace();
  EXPECT_EQ(VekCtlSetExecuteFunc(SecondExecute, nullptr), kVekFailure);
  EXPECT_EQ(VekCtlSetReadyFunc(SecondReady, nullptr), kVekFailure);
  EXPECT_EQ(VekCtlSetExecuteFunc(SecondExecute, u""), 0);
  const std::vector<sim::Call> calls = host.Trace();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].text, std::nullopt);
  EXPECT_EQ(calls[1].text, std::nullopt);
  EXPECT_EQ(calls[2].text, u"");
  EXPECT_EQ(host.ExecuteFunction(), &SecondExecute);
  // Nor is the refused ready function the one a next step starts with.
  fake.executeResult = kExecuteNextStep;
  VekCtlSetExecuteFunc(FirstExecute, u"");
  EXPECT_TRUE(host.SendEvent(9));
  EXPECT_EQ(fake.readyCalls, 0);
}

TEST_F(SimHostTest, EveryFunctionIsTracedUnderItsOwnName) {
  VekLineAttr attr{};
  VekComment comment{};
  VekCharSize size{};
  VekArrows arrows{};
  VekTolerance tolerance{};
  VekPoint point{};
  VekHoleKey key{};
  VekHoleData data{};
  VekSelEntry entry{};
  VekCtlRegisterVekLib2(Nothing, Nothing, Nothing, 0);
  VekCtlSetReadyFunc(Nothing, u"");
  VekCtlSetExecuteFunc(FirstExecute, u"");
  VekEvtSetEventMask(0);
  VekEvtSetCompareFunction(nullptr);
  VekEvtGetPoint(0, 0, &point, 0);
  VekEvtGetElementId(0, 0);
  VekEvtGetSegmentId(0, 0);
  VekEvtGetInstanceId(0, 0);
  VekEvtGetDetailId(0, 0);
  VekElmGetSegment(100);
  VekElmGetType(100);
  VekElmGetNextElementId(100);
  VekSgmGetLayer(10, 0);
  VekSgmChangeLayer(10, 1);
  VekSgmHasAttribute(10, 0);
  VekSgmGetHeadElementId(10);
  VekFigGetLineType(100, &attr);
  VekFigSetLineType(100, &attr);
  VekCmtGetComment(100, &comment);
  VekCmtSetCharSize(100, &size);
  VekDimGetCharSize(100, &size);
  VekDimSetCharSize(100, &size);
  VekDimGetArrow(100, 1, &arrows);
  VekDimSetArrow(100, 0, &arrows);
  VekDimGetDecimalPlace(100);
  VekDimSetDecimalPlace(100, 2);
  VekDimGetTolerance(100, &tolerance);
  VekDimSetTolerance(100, &tolerance);
  VekHolGetHoleId(&key);
  VekHolGetHoleData(0, &data);
  VekHolAmendHoleData(0, &data);
  VekIddClearSysIdData(0, 0, 0, 0);
  VekSelHandle h = VekIddOpenSelIdData(1, 0, 0, 0);
  VekIddGetHeadSelIdData(h, &entry);
  VekIddGetNextSelIdData(h, &entry);
  VekIddCloseSelIdData(h);
  VekEnvGetCurrentFrame();
  VekFilRedraw();
  VekMsgPutMessage(u"p");
  VekMsgPutErrorMessage(u"e");
  VekMsgPutCursorMessage(u"c");
  const auto& names = Host::FunctionNames();
  std::vector<std::string> called;
  for (const sim::Call& call : host.Trace()) called.push_back(call.name);
  EXPECT_EQ(called, std::vector<std::string>(names.begin(), names.end()));
  EXPECT_EQ(host.Errors(), std::vector<std::u16string>{u"e"});
  EXPECT_EQ(host.CurrentCursor(), u"c");
}

// The properties the library can change, as bytes.
std::vector<uint8_t> Changeable(const sim::Element& e) {
  std::vector<uint8_t> bytes;
  for (const std::vector<uint8_t>& part :
       {sim::Bytes(e.line), sim::Bytes(e.decimalPlaces), sim::Bytes(e.toleranceStatus),
        sim::Bytes(e.tolerance), sim::Bytes(e.dimCharSize), sim::Bytes(e.arrows),
        sim::Bytes(e.comment)}) {
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

// Each library setter keeps the value it replaces, the first one only, and
// only once asked: the drawing then tells each record as it was.
TEST_F(SimHostTest, KeptOriginalsAreTheFirstValueOfEachPropertyTheLibraryChanged) {
  sim::Drawing& d = host.drawing();
  d.AddHole(10, {sim::MakeHoleEntry(0, 5)});
  const sim::Element start = d.element(100);
  VekLineAttr line = sim::MakeLineAttr(9, 9);
  ASSERT_EQ(VekFigSetLineType(100, &line), 0);  // before KeepOriginals: not kept

  d.KeepOriginals();
  const sim::Element kept = d.element(100);  // what the drawing held when asked
  line = sim::MakeLineAttr(3, 4);
  ASSERT_EQ(VekFigSetLineType(100, &line), 0);
  line = sim::MakeLineAttr(6, 7);
  ASSERT_EQ(VekFigSetLineType(100, &line), 0);
  const VekCharSize size = sim::MakeCharSize({4, 3, 1});
  ASSERT_EQ(VekCmtSetCharSize(100, &size), 0);
  ASSERT_EQ(VekDimSetCharSize(100, &size), 0);
  const VekArrows arrows = sim::MakeArrows({1, 2, 3});
  ASSERT_EQ(VekDimSetArrow(100, 1, &arrows), 0);
  ASSERT_EQ(VekDimSetDecimalPlace(100, 4), 0);
  const VekTolerance tolerance = sim::MakeTolerance({0.5, -0.5, 2});
  ASSERT_EQ(VekDimSetTolerance(100, &tolerance), 0);
  ASSERT_EQ(VekSgmChangeLayer(10, 9), 0);
  ASSERT_EQ(VekSgmChangeLayer(10, 8), 0);
  const VekHoleKey key{77, 10};
  const VekHoleId hole = VekHolGetHoleId(&key);
  VekHoleData data{};
  ASSERT_EQ(VekHolGetHoleData(hole, &data), 0);
  data.entries[0].layer = 9;
  ASSERT_EQ(VekHolAmendHoleData(hole, &data), 0);

  const sim::Element was = d.ElementAsItWas(d.element(100));
  EXPECT_EQ(Changeable(was), Changeable(kept));
  EXPECT_NE(sim::Bytes(was.line), sim::Bytes(start.line));
  EXPECT_NE(Changeable(d.element(100)), Changeable(kept));
  EXPECT_EQ(d.LayerAsItWas(d.segment(10)), 5);
  EXPECT_EQ(d.segment(10).layer, 8);
  EXPECT_EQ(d.EntriesAsTheyWere(d.hole(hole))[0].layer, 5);
  EXPECT_EQ(d.hole(hole).entries[0].layer, 9);
  // An element the library left alone is as it is.
  EXPECT_EQ(Changeable(d.ElementAsItWas(d.element(101))), Changeable(d.element(101)));
  // Asked again, the drawing starts over from what it holds now.
  d.KeepOriginals();
  EXPECT_EQ(Changeable(d.ElementAsItWas(d.element(100))), Changeable(d.element(100)));
  EXPECT_EQ(d.LayerAsItWas(d.segment(10)), 8);
}

// Records are kept in blocks, a large store's cut from regions of their own
// (more than 4096 records); a copy of a drawing has records, lookups and
// chains of its own, and a moved drawing keeps them.
TEST(SimDrawing, ACopyOfManyRecordsIsADrawingOfItsOwn) {
  constexpr VekId kSegments = 2000;
  constexpr VekId kPerSegment = 3;
  sim::Drawing d;
  std::vector<VekId> ids;
  for (VekId s = 0; s < kSegments; ++s) {
    d.AddSegment(100000 + s, 1);
    for (VekId e = 0; e < kPerSegment; ++e) {
      ids.push_back(10000 + s * kPerSegment + e);
      d.AddElement(ids.back(), 2, 100000 + s).line.colour = static_cast<int32_t>(s % 7);
    }
  }
  const VekId last = ids.back();
  EXPECT_THROW(d.AddElement(ids[700], 2, 100000), std::invalid_argument);
  EXPECT_THROW(d.AddSegment(100000 + kSegments - 1, 1), std::invalid_argument);
  EXPECT_THROW(d.element(5), std::out_of_range);
  sim::Drawing copy = d;
  EXPECT_EQ(copy.ElementIds(), ids);
  EXPECT_EQ(copy.SegmentCount(), kSegments);
  copy.element(last).line.colour = 9;
  copy.segment(100000 + kSegments - 1).layer = 7;
  EXPECT_EQ(d.element(last).line.colour, static_cast<int32_t>((kSegments - 1) % 7));
  EXPECT_EQ(d.segment(100000 + kSegments - 1).layer, 1);
  EXPECT_EQ(copy.FindElement(last), &copy.element(last));
  EXPECT_NE(copy.FindElement(last), d.FindElement(last));
  EXPECT_EQ(copy.NextInChain(ids[ids.size() - 3]), ids[ids.size() - 2]);
  EXPECT_EQ(copy.NextInChain(last), kVekNoId);

  const sim::Element* record = copy.FindElement(last);
  sim::Drawing moved = std::move(copy);
  EXPECT_EQ(moved.FindElement(last), record);  // records do not move
  EXPECT_EQ(moved.element(last).line.colour, 9);
  for (VekId id : ids) ASSERT_EQ(moved.element(id).id, id);
}

}  // namespace
