// Where the dialog stand-in puts the keyboard focus when a dialog opens: on
// the first visible, enabled tab stop in template order when the procedure's
// WM_INITDIALOG gives nonzero, and nowhere when it gives 0. Played with a
// dialog procedure of the test's own, not the module's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sorvane_dialog_res.h"
#include "standin/user32_standin.h"

namespace {

using dlgstandin::ControlTemplate;
using dlgstandin::DialogTemplate;
using dlgstandin::OpenDialog;

constexpr uint32_t kTabStop = 0x00010000;
constexpr uint32_t kVisible = 0x10000000;
constexpr uint32_t kDisabled = 0x08000000;
constexpr uint32_t kChild = 0x40000000;

INT_PTR g_initResult = 0;

// Gives g_initResult for WM_INITDIALOG and ends the dialog on OK or Cancel.
INT_PTR CALLBACK TestProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return g_initResult;
  if (message == WM_COMMAND && (CommandId(wParam) == IDOK || CommandId(wParam) == IDCANCEL)) {
    EndDialog(dialog, CommandId(wParam));
    return 1;
  }
  return 0;
}

HINSTANCE TestInstance() { return dlgstandin::ModuleHandleOf(&g_initResult); }

// Opens the template, gives the focused control's id as the driver saw it,
// and presses Esc.
int FocusWhenOpened(int templateId, INT_PTR initResult) {
  g_initResult = initResult;
  int focused = -2;
  dlgstandin::SetDriver([&focused](OpenDialog& dialog) {
    focused = dialog.FocusedControl();
    dialog.PressEscape();
  });
  const INT_PTR result =
      DialogBoxParamW(TestInstance(), MAKEINTRESOURCEW(templateId), nullptr, &TestProcedure, 0);
  EXPECT_EQ(result, IDCANCEL) << "the dialog did not open";
  return focused;
}

class DialogFocusTest : public ::testing::Test {
 protected:
  void SetUp() override { dlgstandin::Reset(); }
  void TearDown() override { dlgstandin::Reset(); }
};

TEST_F(DialogFocusTest, SettingsTemplateFocusesOkWhenInitDialogGivesTrue) {
  std::string error;
  ASSERT_TRUE(dlgstandin::LoadResources(TestInstance(), SORVANE_DIALOG_RES, error)) << error;
  EXPECT_EQ(FocusWhenOpened(23000, 1), IDOK);
}

TEST_F(DialogFocusTest, SettingsTemplateFocusesNothingWhenInitDialogGivesFalse) {
  std::string error;
  ASSERT_TRUE(dlgstandin::LoadResources(TestInstance(), SORVANE_DIALOG_RES, error)) << error;
  EXPECT_EQ(FocusWhenOpened(23000, 0), 0);
}

struct FocusCase {
  const char* name;
  std::vector<uint32_t> styles;  // control i has the id 10 + i
  int focused;
};

void PrintTo(const FocusCase& row, std::ostream* os) { *os << row.name; }

class FirstTabStopTest : public DialogFocusTest, public ::testing::WithParamInterface<FocusCase> {};

TEST_P(FirstTabStopTest, TakesTheFocus) {
  DialogTemplate dialog;
  dialog.id = 500;
  for (std::size_t i = 0; i < GetParam().styles.size(); ++i) {
    ControlTemplate control;
    control.id = 10 + static_cast<int>(i);
    control.className = u"Button";
    control.style = GetParam().styles[i];
    dialog.controls.push_back(control);
  }
  dlgstandin::AddDialogTemplate(TestInstance(), dialog);
  EXPECT_EQ(FocusWhenOpened(500, 1), GetParam().focused);
}

const uint32_t kShown = kChild | kVisible;

INSTANTIATE_TEST_SUITE_P(
    Templates, FirstTabStopTest,
    ::testing::Values(
        FocusCase{"FirstOfTwo", {kShown | kTabStop, kShown | kTabStop}, 10},
        FocusCase{"PassesOverControlsThatAreNoTabStop", {kShown, kShown, kShown | kTabStop}, 12},
        FocusCase{"PassesOverADisabledOne", {kShown | kTabStop | kDisabled, kShown | kTabStop}, 11},
        FocusCase{"PassesOverAHiddenOne", {kChild | kTabStop, kShown | kTabStop}, 11},
        FocusCase{"NoneWithoutATabStop", {kShown, kShown | kDisabled}, 0},
        FocusCase{"NoneWithoutControls", {}, 0}),
    [](const ::testing::TestParamInfo<FocusCase>& param) { return std::string(param.param.name); });

}  // namespace
