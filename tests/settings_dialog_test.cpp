// The settings dialog run as the user would run it: through the headless
// dialog manager, with the in-memory registry behind it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework/framework.h"
#include "settings/SorvaneDlg.h"
#include "settings/load_settings.h"
#include "settings/run_settings_dialog.h"
#include "settings/settings_flags.h"
#include "settings/settings_key.h"
#include "sorvane_dialog_res.h"
#include "standin/user32_standin.h"
#include "tests/test_registry.h"

namespace {

using dlgstandin::OpenDialog;

const std::u16string kKey = SettingsKeyPath();
const std::string kScriptPath = SORVANE_DIALOG_RES;  // the compiled resources

using Flags = std::array<int32_t, 7>;  // in the order of kSettings
using Texts = std::array<const char16_t*, 7>;

const Texts kDefaultTexts = {u"1", u"1", u"1", u"1", u"0", u"0", u"0"};

// Each box with its registry value and the dialog member it mirrors.
struct Box {
  int id;
  const char16_t* name;
  int32_t SorvaneDlg::*member;
};

const Box kBoxes[] = {
    {12001, u"mIsColor", &SorvaneDlg::mIsColor},
    {12002, u"mIsLType", &SorvaneDlg::mIsLType},
    {12003, u"mIsLayer", &SorvaneDlg::mIsLayer},
    {12004, u"mIsDecimalPlace", &SorvaneDlg::mIsDecimalPlace},
    {12005, u"mIsTolerance", &SorvaneDlg::mIsTolerance},
    {12007, u"mIsDimSize", &SorvaneDlg::mIsDimSize},
    {12000, u"IsHoleLayerChanged", &SorvaneDlg::IsHoleLayerChanged},
};

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

Flags CurrentFlags() {
  Flags flags{};
  for (std::size_t i = 0; i < kSettings.size(); ++i) flags[i] = SettingsFlags.*kSettings[i].flag;
  return flags;
}

void SetFlags(const Flags& flags) {
  for (std::size_t i = 0; i < kSettings.size(); ++i) SettingsFlags.*kSettings[i].flag = flags[i];
}

void StoreTexts(const Texts& texts) {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    testreg::SetString(kKey, kSettings[i].name, texts[i]);
  }
}

std::optional<std::u16string> Stored(const char16_t* name) {
  return testreg::GetString(kKey, name);
}

// The values written since the log was last cleared, in order.
using Write = std::pair<std::u16string, std::u16string>;
std::vector<Write> Writes() {
  std::vector<Write> writes;
  for (const testreg::LogEntry& entry : testreg::Log()) {
    if (entry.function == "RegSetValueExW" && entry.status == ERROR_SUCCESS) {
      writes.emplace_back(entry.valueName, entry.text.value_or(u""));
    }
  }
  return writes;
}

HINSTANCE ModuleInstance() {
  return dlgstandin::ModuleHandleOf(reinterpret_cast<const void*>(&RunSettingsDialog));
}

INT_PTR LastShowResult() {
  const std::vector<dlgstandin::ShowCall> shows = dlgstandin::ShowLog();
  return shows.empty() ? 0 : shows.back().result;
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testreg::Reset();
    dlgstandin::Reset();
    std::string error;
    ASSERT_TRUE(dlgstandin::LoadResources(ModuleInstance(), kScriptPath, error)) << error;
    SetFlags({});
  }
  void TearDown() override {
    dlgstandin::Reset();
    testreg::Reset();
    SetFlags({});
  }

  // Runs the dialog the way the command does, with `play` as the user.
  void Run(std::function<void(OpenDialog&)> play) {
    dlgstandin::SetDriver([play = std::move(play)](OpenDialog& dialog) {
      ASSERT_EQ(dialog.TemplateId(), 23000);
      play(dialog);
    });
    RunSettingsDialog();
  }
};

// Each box shows its member from the moment the member is loaded: the box
// is set right after it, in the order the settings are read.
TEST_F(SettingsDialogTest, EachBoxIsSetFromItsMemberAsSoonAsItIsLoaded) {
  StoreTexts({u"0", u"1", u"0", u"1", u"1", u"0", u"1"});
  AFX_MAINTAIN_STATE2 moduleState(AfxGetStaticModuleState());
  SorvaneDlg dialog;
  std::vector<int> order;
  dlgstandin::SetCheckListener([&](const dlgstandin::CheckCall& call) {
    order.push_back(call.controlId);
    EXPECT_EQ(call.result, 1) << call.controlId;
    for (const Box& box : kBoxes) {
      if (box.id == call.controlId) {
        EXPECT_EQ(static_cast<UINT>(dialog.*box.member), call.check);
      }
    }
  });
  dlgstandin::SetDriver([](OpenDialog& open) { open.PressEscape(); });

  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(order, (std::vector<int>{12001, 12002, 12003, 12004, 12005, 12007, 12000}));
  Flags members{};
  for (std::size_t i = 0; i < std::size(kBoxes); ++i) members[i] = dialog.*kBoxes[i].member;
  EXPECT_EQ(members, (Flags{0, 1, 0, 1, 1, 0, 1}));
}

struct UnusualTextCase {
  const char* name;
  const char16_t* text;
  std::function<void(OpenDialog&)> play;
  const char16_t* storedAfter;
};

void PrintTo(const UnusualTextCase& row, std::ostream* os) { *os << row.name; }

class SettingsDialogUnusualTextTest : public SettingsDialogTest,
                                      public ::testing::WithParamInterface<UnusualTextCase> {};

// A value the module did not write keeps its text until the user touches it.
TEST_P(SettingsDialogUnusualTextTest, IsCheckedAndRewrittenOnlyByAClickOrOk) {
  const UnusualTextCase& c = GetParam();
  Texts texts = kDefaultTexts;
  texts[5] = c.text;  // mIsDimSize, off by default
  StoreTexts(texts);

  Run([&c](OpenDialog& dialog) {
    EXPECT_TRUE(dialog.IsChecked(12007));
    EXPECT_EQ(Stored(u"mIsDimSize"), c.text);
    c.play(dialog);
  });

  EXPECT_EQ(Stored(u"mIsDimSize"), c.storedAfter);
}

void CancelAtOnce(OpenDialog& dialog) { dialog.PressEscape(); }
void ClickThenCancel(OpenDialog& dialog) {
  dialog.Click(12007);
  dialog.PressEscape();
}
void OkAtOnce(OpenDialog& dialog) { dialog.PressEnter(); }

INSTANTIATE_TEST_SUITE_P(
    TwoAndMinusOne, SettingsDialogUnusualTextTest,
    ::testing::Values(UnusualTextCase{"TwoCancelled", u"2", CancelAtOnce, u"2"},
                      UnusualTextCase{"TwoClicked", u"2", ClickThenCancel, u"0"},
                      UnusualTextCase{"TwoConfirmed", u"2", OkAtOnce, u"1"},
                      UnusualTextCase{"MinusOneCancelled", u"-1", CancelAtOnce, u"-1"},
                      UnusualTextCase{"MinusOneClicked", u"-1", ClickThenCancel, u"0"},
                      UnusualTextCase{"MinusOneConfirmed", u"-1", OkAtOnce, u"1"}),
    [](const ::testing::TestParamInfo<UnusualTextCase>& param) {
      return std::string(param.param.name);
    });

// Opening the dialog on a legacy "Type": the three line values are written
// without being read, then the three boxes are set, then "Type" is deleted.
// What the conversion makes of each "Type", and that the boxes show it, is
// in the shared suite.
TEST_F(SettingsDialogTest, LegacyTypeIsWrittenThenShownThenDeleted) {
  StoreTexts(kDefaultTexts);
  testreg::SetString(kKey, u"Type", u"1");
  testreg::ClearLog();

  // Where the registry log stood at each check mark.
  std::vector<std::pair<int, std::size_t>> checks;
  dlgstandin::SetCheckListener([&checks](const dlgstandin::CheckCall& call) {
    checks.emplace_back(call.controlId, testreg::Log().size());
  });
  Run([](OpenDialog& dialog) { dialog.PressEscape(); });

  const std::vector<testreg::LogEntry> log = testreg::Log();
  std::vector<std::size_t> lineWrites;
  std::optional<std::size_t> typeDelete;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const bool isLine = log[i].valueName == u"mIsColor" || log[i].valueName == u"mIsLType" ||
                        log[i].valueName == u"mIsLayer";
    if (isLine && log[i].function == "RegQueryValueExW") {
      ADD_FAILURE() << "read: " << testreg::Describe(log[i]);
    }
    if (isLine && log[i].function == "RegSetValueExW") lineWrites.push_back(i);
    if (log[i].function == "RegDeleteValueW" && log[i].valueName == u"Type") typeDelete = i;
  }
  ASSERT_EQ(lineWrites.size(), 3u);
  ASSERT_TRUE(typeDelete.has_value());
  ASSERT_GE(checks.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(checks[i].first, 12001 + i);
    EXPECT_GT(checks[i].second, lineWrites[2]) << "box " << 12001 + i << " before the writes";
    EXPECT_LE(checks[i].second, *typeDelete) << "box " << 12001 + i << " after the delete";
  }
}

struct FailedShowCase {
  const char* name;
  bool installDriver;
  bool loadTemplate;
};

void PrintTo(const FailedShowCase& row, std::ostream* os) { *os << row.name; }

class SettingsDialogFailedShowTest : public SettingsDialogTest,
                                     public ::testing::WithParamInterface<FailedShowCase> {};

TEST_P(SettingsDialogFailedShowTest, SavesAndReloadsNothing) {
  const FailedShowCase& c = GetParam();
  dlgstandin::Reset();
  std::string error;
  if (c.loadTemplate) {
    ASSERT_TRUE(dlgstandin::LoadResources(ModuleInstance(), kScriptPath, error)) << error;
  }
  bool driven = false;
  if (c.installDriver) dlgstandin::SetDriver([&driven](OpenDialog&) { driven = true; });
  StoreTexts({u"2", u"0", u"0", u"0", u"1", u"1", u"1"});
  testreg::ClearLog();
  const Flags before = {0, 1, 1, 1, 0, 0, 0};
  SetFlags(before);

  RunSettingsDialog();

  EXPECT_EQ(LastShowResult(), -1);
  EXPECT_FALSE(driven);
  EXPECT_TRUE(testreg::Log().empty()) << testreg::Describe(testreg::Log().front());
  EXPECT_TRUE(dlgstandin::CheckLog().empty());
  EXPECT_EQ(CurrentFlags(), before);
}

INSTANTIATE_TEST_SUITE_P(Ways, SettingsDialogFailedShowTest,
                         ::testing::Values(FailedShowCase{"NoDriver", false, true},
                                           FailedShowCase{"NoTemplate", true, false}),
                         [](const ::testing::TestParamInfo<FailedShowCase>& param) {
                           return std::string(param.param.name);
                         });

class SettingsDialogMessageMapTest : public SettingsDialogTest,
                                     public ::testing::WithParamInterface<int> {};

// Every id from 12000 to 12007 clicked on a dialog whose settings are all
// off: exactly its own member and value turn on, and 12006 is no control.
TEST_P(SettingsDialogMessageMapTest, RoutesEachBoxToItsMemberAndValue) {
  const int id = GetParam();
  StoreTexts({u"0", u"0", u"0", u"0", u"0", u"0", u"0"});
  AFX_MAINTAIN_STATE2 moduleState(AfxGetStaticModuleState());
  SorvaneDlg dialog;
  bool clicked = false;
  std::vector<dlgstandin::CheckCall> checksByClick;
  std::vector<std::size_t> writesMadeAtTheCheck;
  dlgstandin::SetDriver([&](OpenDialog& open) {
    testreg::ClearLog();
    dlgstandin::ClearCheckLog();
    dlgstandin::SetCheckListener(
        [&](const dlgstandin::CheckCall&) { writesMadeAtTheCheck.push_back(Writes().size()); });
    clicked = open.Click(id);
    checksByClick = dlgstandin::CheckLog();
    open.PressEscape();
  });

  EXPECT_EQ(dialog.DoModal(), IDCANCEL);

  const Box* routed = nullptr;
  for (const Box& box : kBoxes) {
    if (box.id == id) routed = &box;
  }
  EXPECT_EQ(clicked, routed != nullptr);
  for (const Box& box : kBoxes) {
    EXPECT_EQ(dialog.*box.member, &box == routed ? 1 : 0) << Narrow(box.name);
  }
  if (routed == nullptr) {
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(checksByClick.empty());
  } else {
    EXPECT_EQ(Writes(), (std::vector<Write>{{routed->name, u"1"}}));
    // The box is set from the member, not left to the automatic flip, and
    // before the value is written: the box shows the new state even when the
    // write fails.
    EXPECT_EQ(checksByClick, (std::vector<dlgstandin::CheckCall>{{id, BST_CHECKED, 1}}));
    EXPECT_EQ(writesMadeAtTheCheck, std::vector<std::size_t>{0});
  }
}

INSTANTIATE_TEST_SUITE_P(Ids, SettingsDialogMessageMapTest, ::testing::Range(12000, 12008));

// A driver that walks away from the open dialog has closed it, as Cancel:
// the click stays stored and the flags are not reloaded. How the five ways a
// user ends it decide is in the shared suite.
TEST_F(SettingsDialogTest, LeftOpenByTheDriverEndsAsCancel) {
  StoreTexts(kDefaultTexts);
  LoadSettings();

  Run([](OpenDialog& dialog) {
    dialog.Click(12005);
    EXPECT_TRUE(dialog.IsOpen());
  });

  EXPECT_EQ(LastShowResult(), IDCANCEL);
  EXPECT_EQ(SettingsFlags.mIsTolerance, 0);
  EXPECT_EQ(Stored(u"mIsTolerance"), u"1");
}

// The template lives in the module's resources: the dialog finds it only
// with the module's state current, and the caller's state comes back after.
TEST_F(SettingsDialogTest, ModuleStateIsCurrentExactlyWhileTheDialogRuns) {
  StoreTexts(kDefaultTexts);
  AFX_MODULE_STATE* const callerState = AfxGetModuleState();
  ASSERT_NE(callerState, AfxGetStaticModuleState());
  ASSERT_NE(AfxGetStaticModuleState()->m_hCurrentInstanceHandle, nullptr);

  Run([](OpenDialog& dialog) {
    EXPECT_EQ(dialog.Instance(), ModuleInstance());
    EXPECT_EQ(AfxGetModuleState(), AfxGetStaticModuleState());
    EXPECT_EQ(dialog.Caption(), u"속성참조");
    EXPECT_EQ(dialog.ControlIds(),
              (std::vector<int>{1, 2, 12000, 12001, 12002, 12003, 12004, 12005, 12007}));
    dialog.PressEscape();
  });
  EXPECT_EQ(AfxGetModuleState(), callerState);

  // Without the guard the caller's resources are searched, and they have no
  // such template.
  SorvaneDlg dialog;
  EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(SorvaneDlgClassTest, CarriesItsRunTimeClassAndStartsFromNothing) {
  const SorvaneDlg dialog;
  EXPECT_EQ(std::u16string(dialog.GetRuntimeClass()->m_lpszClassName), u"SorvaneDlg");
  EXPECT_TRUE(dialog.IsKindOf(RUNTIME_CLASS(CDialog)));
  EXPECT_TRUE(dialog.IsKindOf(RUNTIME_CLASS(CWnd)));
  EXPECT_FALSE(dialog.IsKindOf(RUNTIME_CLASS(CWinApp)));
  EXPECT_EQ(dialog.mSubkeyName, u"Sorvane");
  for (const Box& box : kBoxes) EXPECT_EQ(dialog.*box.member, 0) << Narrow(box.name);
}

TEST(FrameworkModuleStateTest, NestedGuardsRestoreInReverseOrder) {
  AFX_MODULE_STATE* const outer = AfxGetModuleState();
  AFX_MODULE_STATE other = {nullptr, nullptr, nullptr};
  {
    AFX_MAINTAIN_STATE2 first(AfxGetStaticModuleState());
    {
      AFX_MAINTAIN_STATE2 second(&other);
      EXPECT_EQ(AfxGetModuleState(), &other);
    }
    EXPECT_EQ(AfxGetModuleState(), AfxGetStaticModuleState());
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetStaticModuleState()->m_hCurrentResourceHandle);
  }
  EXPECT_EQ(AfxGetModuleState(), outer);
}

// --- The headless dialog manager, seen from a bare dialog procedure ---------

// What a dialog procedure received, with the check mark of box 12005 as it
// stood when the message arrived.
struct Received {
  UINT message;
  int id;
  WORD code;
  UINT boxState;
  bool operator==(const Received&) const = default;
};

std::vector<Received>& ReceivedMessages() {
  static std::vector<Received> received;
  return received;
}

// Ends the dialog on IDOK and IDCANCEL, with those results; leaves WM_CLOSE
// to the default handling.
INT_PTR CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_INITDIALOG && message != WM_COMMAND && message != WM_CLOSE) return 0;
  const bool command = message == WM_COMMAND;
  ReceivedMessages().push_back({message, command ? CommandId(wParam) : 0,
                                command ? CommandCode(wParam) : WORD{0},
                                IsDlgButtonChecked(window, 12005)});
  if (command && (CommandId(wParam) == IDOK || CommandId(wParam) == IDCANCEL)) {
    EndDialog(window, CommandId(wParam));
  }
  return command ? 1 : 0;
}

struct DriverCase {
  const char* name;
  std::function<bool(OpenDialog&)> act;
  bool accepted;
  std::vector<Received> after;  // what followed WM_INITDIALOG
  INT_PTR result;
};

void PrintTo(const DriverCase& row, std::ostream* os) { *os << row.name; }

class HeadlessDialogTest : public ::testing::TestWithParam<DriverCase> {
 protected:
  void SetUp() override {
    dlgstandin::Reset();
    ReceivedMessages().clear();
    std::string error;
    ASSERT_TRUE(dlgstandin::LoadResources(ModuleInstance(), kScriptPath, error)) << error;
  }
  void TearDown() override { dlgstandin::Reset(); }
};

TEST_P(HeadlessDialogTest, TurnsTheUsersActionsIntoMessages) {
  const DriverCase& c = GetParam();
  bool accepted = false;
  bool lateClick = true;
  dlgstandin::SetDriver([&](OpenDialog& dialog) {
    accepted = c.act(dialog);
    if (dialog.IsOpen()) dialog.PressEscape();
    // Nothing reaches a dialog that has ended.
    lateClick = dialog.Click(12005);
  });

  const INT_PTR result =
      DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(23000), nullptr, &RecordingProcedure, 77);

  EXPECT_EQ(accepted, c.accepted);
  EXPECT_FALSE(lateClick);
  EXPECT_EQ(result, c.result);
  std::vector<Received> expected = {{WM_INITDIALOG, 0, 0, BST_UNCHECKED}};
  expected.insert(expected.end(), c.after.begin(), c.after.end());
  EXPECT_EQ(ReceivedMessages(), expected);
}

const Received kEscape = {WM_COMMAND, IDCANCEL, BN_CLICKED, BST_UNCHECKED};

INSTANTIATE_TEST_SUITE_P(
    Actions, HeadlessDialogTest,
    ::testing::Values(
        // An automatic box is flipped before its click is reported.
        DriverCase{"ClickAutomaticBox",
                   [](OpenDialog& d) { return d.Click(12005); },
                   true,
                   {{WM_COMMAND, 12005, BN_CLICKED, BST_CHECKED},
                    {WM_COMMAND, IDCANCEL, BN_CLICKED, BST_CHECKED}},
                   IDCANCEL},
        DriverCase{"OkButton",
                   [](OpenDialog& d) { return d.Click(IDOK); },
                   true,
                   {{WM_COMMAND, IDOK, BN_CLICKED, BST_UNCHECKED}},
                   IDOK},
        DriverCase{"Enter",
                   [](OpenDialog& d) { return d.PressEnter(); },
                   true,
                   {{WM_COMMAND, IDOK, BN_CLICKED, BST_UNCHECKED}},
                   IDOK},
        DriverCase{"CancelButton",
                   [](OpenDialog& d) { return d.Click(IDCANCEL); },
                   true,
                   {kEscape},
                   IDCANCEL},
        DriverCase{"Esc", [](OpenDialog& d) { return d.PressEscape(); }, true, {kEscape}, IDCANCEL},
        DriverCase{"CloseBox",
                   [](OpenDialog& d) { return d.Close(); },
                   true,
                   {{WM_CLOSE, 0, 0, BST_UNCHECKED}, kEscape},
                   IDCANCEL},
        DriverCase{
            "Heading", [](OpenDialog& d) { return d.Click(-1); }, false, {kEscape}, IDCANCEL},
        DriverCase{"NoSuchControl",
                   [](OpenDialog& d) { return d.Click(12006); },
                   false,
                   {kEscape},
                   IDCANCEL}),
    [](const ::testing::TestParamInfo<DriverCase>& param) {
      return std::string(param.param.name);
    });

TEST_F(HeadlessDialogTest, WithoutATemplateOrADriverNothingIsShown) {
  dlgstandin::SetDriver([](OpenDialog& dialog) { dialog.PressEnter(); });
  EXPECT_EQ(
      DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(23001), nullptr, &RecordingProcedure, 0),
      -1);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(23000), nullptr, &RecordingProcedure, 0), -1);
  dlgstandin::SetDriver(nullptr);
  EXPECT_EQ(
      DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(23000), nullptr, &RecordingProcedure, 0),
      -1);
  EXPECT_TRUE(ReceivedMessages().empty());
}

}  // namespace
