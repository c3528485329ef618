// The host CAD library's C interface, as far as this module uses it.
//
// How the host drives a plug-in command:
//
//   Startup      The host loads the module and calls its exported Startup
//                once. Startup registers the command with
//                VekCtlRegisterVekLib2(start, second, end, hostArg); above 0
//                means registered. All three are VekReadyFunc: the host calls
//                start at each run of the command, second and end at times of
//                its own choosing.
//   Steps        A command is a chain of steps, each a ready function and an
//                execute function. The ready function (four host arguments,
//                returns 0) sets the event mask and the compare function,
//                shows its prompt and names its execute function with
//                VekCtlSetExecuteFunc. The host then calls the execute
//                function for each event: event kind, event data, two more
//                host arguments. It returns an ExecuteResult:
//                  0  the command ends; the host clears prompt and selection.
//                  2  the host calls the ready function just named with
//                     VekCtlSetReadyFunc, with four host arguments.
//                  3  the step stays; the next event comes to the same
//                     execute function.
//   Events       Kind 0 completes a range selection, kind 7 is the exit
//                button. VekEvtGetPoint answers 0 only for a pick. The mask
//                says what the host offers: kMaskPickOne (0x1000) one element,
//                kMaskSelectRange (0x20) a range.
//   Compare      The compare function takes an element id and answers 1 to
//                accept or 0 to reject: a pick reaches the execute function,
//                and a range lists a segment, only for accepted elements.
//   Selection    A list opened with VekIddOpenSelIdData is walked with
//                VekIddGetHead/NextSelIdData and closed within the same
//                callback.
//   Values       Statuses: -1 (kVekFailure) is failure. Ids: 0xFFFFFFFF
//                (kVekNoId) is none or the end of a list. A VekArg is the
//                host's and is passed on unchanged. Element types:
//                host/element_types.h.
//   Threads      Every call in either direction is made on the host's
//                user-interface thread, one at a time.
//
// The families of functions:
//
//   Ctl  registration, and naming a step's ready and execute functions
//   Evt  the event mask, the compare function, and what an event picked
//   Elm  an element's segment and type, and the next element of its segment
//   Sgm  a segment's layer and attributes, and its first element
//   Fig  the line attributes of a plain figure
//   Cmt  an annotation and its character size
//   Dim  a dimension's character size, arrows, decimal places and tolerance
//   Hol  the hole data of a segment, found by a key from a selection entry
//   Idd  the host's selection: cleared, and read back as a list
//   Env  the drawing environment: the current frame
//   Fil  the drawing file: redraw
//   Msg  the prompt line, error messages and the cursor label
//
// Every type, width and record layout here is part of the binary contract
// with the host: the module, the simulated host and any real host must agree
// on them byte for byte, so each record's size and the offsets the module
// relies on are pinned by static_assert below. Texts are zero-terminated
// UTF-16; on Windows they are the same bits as `const wchar_t*`.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint32_t VekId;         // element or segment id; kVekNoId means none / end
typedef int32_t VekHoleId;      // passed on untested
typedef uint64_t VekSelHandle;  // opaque selection-list handle
typedef intptr_t VekArg;        // opaque host argument, passed on unchanged

typedef int32_t (*VekReadyFunc)(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
typedef int32_t (*VekExecuteFunc)(int32_t eventKind, VekArg eventData, VekArg a3, VekArg a4);
typedef int32_t (*VekCompareFunc)(VekId element);

// Line attributes: colour and line type; the last 8 bytes belong to the host.
struct VekLineAttr {
  int32_t colour;
  int32_t lineType;
  uint8_t host[8];
};

// Opaque records: the module only copies them between host calls.
struct VekCharSize {
  uint8_t bytes[24];
};
struct VekArrows {
  uint8_t bytes[24];
};
struct VekTolerance {
  uint8_t bytes[72];
};
struct VekPoint {
  uint8_t bytes[16];
};

// An annotation; the host writes at most these 88 bytes.
struct VekComment {
  uint8_t host[64];
  VekCharSize charSize;
};

// One entry of a hole's data; word 1 is the layer.
struct VekHoleEntry {
  int32_t word0;
  int32_t layer;
  uint8_t host[232];
};

struct VekHoleData {
  uint8_t host[84];
  int32_t count;
  VekHoleEntry* entries;
};

struct VekHoleKey {
  uint32_t word0;
  uint32_t word1;
};

// One entry of the host's selection list; the host fills all 24 bytes.
struct VekSelEntry {
  uint32_t segment;
  uint32_t companion;
  uint8_t host[16];
};

int32_t VekCtlRegisterVekLib2(VekReadyFunc start, VekReadyFunc second, VekReadyFunc end,
                              VekArg hostArg);
int32_t VekCtlSetReadyFunc(VekReadyFunc f, const char16_t* text);
int32_t VekCtlSetExecuteFunc(VekExecuteFunc f, const char16_t* text);

int32_t VekEvtSetEventMask(uint32_t mask);
int32_t VekEvtSetCompareFunction(VekCompareFunc f);
int32_t VekEvtGetPoint(int32_t kind, VekArg data, VekPoint* point, VekArg a4);
VekId VekEvtGetElementId(int32_t kind, VekArg data);
VekId VekEvtGetSegmentId(int32_t kind, VekArg data);
uint32_t VekEvtGetInstanceId(int32_t kind, VekArg data);
uint32_t VekEvtGetDetailId(int32_t kind, VekArg data);

VekId VekElmGetSegment(VekId element);
int32_t VekElmGetType(VekId element);
VekId VekElmGetNextElementId(VekId element);

int32_t VekSgmGetLayer(VekId segment, int32_t which);
int32_t VekSgmChangeLayer(VekId segment, int32_t layer);
uint8_t VekSgmHasAttribute(VekId segment, int32_t attribute);
VekId VekSgmGetHeadElementId(VekId segment);

int32_t VekFigGetLineType(VekId element, VekLineAttr* out);
int32_t VekFigSetLineType(VekId element, const VekLineAttr* in);

int32_t VekCmtGetComment(VekId element, VekComment* out);
int32_t VekCmtSetCharSize(VekId element, const VekCharSize* in);

int32_t VekDimGetCharSize(VekId element, VekCharSize* out);
int32_t VekDimSetCharSize(VekId element, const VekCharSize* in);
int32_t VekDimGetArrow(VekId element, int32_t selector, VekArrows* out);
int32_t VekDimSetArrow(VekId element, int32_t selector, const VekArrows* in);
int32_t VekDimGetDecimalPlace(VekId element);
int32_t VekDimSetDecimalPlace(VekId element, int32_t places);
int32_t VekDimGetTolerance(VekId element, VekTolerance* out);
int32_t VekDimSetTolerance(VekId element, const VekTolerance* in);

VekHoleId VekHolGetHoleId(const VekHoleKey* key);
int32_t VekHolGetHoleData(VekHoleId hole, VekHoleData* out);
int32_t VekHolAmendHoleData(VekHoleId hole, const VekHoleData* in);

int32_t VekIddClearSysIdData(VekArg a1, VekArg a2, VekArg a3, VekArg a4);
VekSelHandle VekIddOpenSelIdData(int32_t mode, VekArg a2, VekArg a3, VekArg a4);
int32_t VekIddGetHeadSelIdData(VekSelHandle h, VekSelEntry* out);
int32_t VekIddGetNextSelIdData(VekSelHandle h, VekSelEntry* out);
int32_t VekIddCloseSelIdData(VekSelHandle h);

int32_t VekEnvGetCurrentFrame();
int32_t VekFilRedraw();

int32_t VekMsgPutMessage(const char16_t* text);
int32_t VekMsgPutErrorMessage(const char16_t* text);
int32_t VekMsgPutCursorMessage(const char16_t* text);

}  // extern "C"

// Codes exchanged with the host.
constexpr VekId kVekNoId = 0xFFFFFFFFu;
constexpr int32_t kVekFailure = -1;

constexpr int32_t kEventRangeComplete = 0;
constexpr int32_t kEventExitButton = 7;

constexpr uint32_t kMaskPickOne = 0x1000;
constexpr uint32_t kMaskSelectRange = 0x20;

// What an execute function tells the host to do next.
enum ExecuteResult : int32_t {
  kExecuteEnd = 0,        // the command ends
  kExecuteNextStep = 2,   // call the ready function just named
  kExecuteStayInStep = 3  // the next event comes to the same execute function
};

static_assert(sizeof(VekLineAttr) == 16 && offsetof(VekLineAttr, lineType) == 4);
static_assert(sizeof(VekCharSize) == 24);
static_assert(sizeof(VekArrows) == 24);
static_assert(sizeof(VekTolerance) == 72);
static_assert(sizeof(VekPoint) == 16);
static_assert(sizeof(VekComment) == 88 && offsetof(VekComment, charSize) == 64);
static_assert(sizeof(VekHoleEntry) == 240 && offsetof(VekHoleEntry, layer) == 4);
static_assert(sizeof(VekHoleData) == 96);
static_assert(offsetof(VekHoleData, count) == 84 && offsetof(VekHoleData, entries) == 88);
static_assert(sizeof(VekHoleKey) == 8);
static_assert(sizeof(VekSelEntry) == 24 && offsetof(VekSelEntry, companion) == 4);
static_assert(sizeof(VekId) == 4 && sizeof(VekSelHandle) == 8 && sizeof(VekArg) == sizeof(void*));
