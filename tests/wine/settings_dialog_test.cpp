// What only a real dialog manager shows of the settings dialog: the window
// Windows builds from the template in Sorvane.dll, in pixels, and its
// picture. Everything the user does with it is in the shared suite.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "shared/module_test.h"
#include "wine_support.h"

namespace wine {
namespace {

struct ControlRow {
  int id;
  const wchar_t* className;
  DWORD style;
  RECT dialogUnits;  // x, y, width, height, as the template has them
  const wchar_t* text;
};

RECT Box(int x, int y, int width, int height) { return {x, y, width, height}; }

// Template order, which is also the order of the child windows.
const std::vector<ControlRow> kControls = {
    {IDOK, L"Button", 0x50010001, Box(65, 187, 50, 14), L"확인"},
    {IDCANCEL, L"Button", 0x50010000, Box(118, 187, 50, 14), L"취소"},
    {-1, L"Static", 0x50020000, Box(23, 22, 68, 8), L"◆. 명령어 TYPE"},
    {-1, L"Static", 0x50020000, Box(24, 138, 110, 8), L"◆. 구멍(Hole) 설정"},
    {12000, L"Button", 0x50010003, Box(35, 153, 159, 10),
     L"구멍(Hole)의 레이어도 전체 변경합니다."},
    {12001, L"Button", 0x50010003, Box(35, 36, 120, 10), L"선색 참조후 변경"},
    {12002, L"Button", 0x50010003, Box(35, 52, 120, 10), L"선종 참조후 변경"},
    {12003, L"Button", 0x50010003, Box(35, 68, 120, 10), L"레이어 참조후 변경"},
    {12004, L"Button", 0x50010003, Box(35, 84, 120, 10), L"치수 소수점자리수 변경"},
    {12005, L"Button", 0x50010003, Box(35, 100, 120, 10), L"치수 공차 변경"},
    {12007, L"Button", 0x50010003, Box(35, 116, 120, 10), L"치수 문자 사이즈 변경"},
};

std::wstring WindowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// A rectangle of a child in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class SettingsDialogTest : public shared::ModuleTest {
 protected:
  void SetUp() override {
    shared::ModuleTest::SetUp();
    ASSERT_TRUE(WaitUntilNoDialog()) << "a dialog of an earlier test is still open";
  }

  // The exit button's event is answered with 3 once the dialog has gone,
  // and the command stays in its step.
  void ExpectAnsweredAndStillInStep(const DialogRun& run) {
    EXPECT_TRUE(run.shown) << "no dialog appeared";
    EXPECT_TRUE(run.endedByPlay) << "the dialog did not end as the user ended it";
    EXPECT_EQ(host().LastExecuteResult(), 3);
    EXPECT_TRUE(host().CommandActive());
  }
};

TEST_F(SettingsDialogTest, ShowsTheTemplateFromTheModulesResources) {
  ASSERT_TRUE(host().RunCommand());
  const auto prompt = host().CurrentPrompt();

  const DialogRun run = PressExitAndPlay([](DialogUser& user) {
    const HWND dialog = user.dialog();
    EXPECT_EQ(WindowText(dialog), kDialogCaption);
    // Built on the instance handle the module captured when it was loaded.
    EXPECT_EQ(reinterpret_cast<HMODULE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), Module());
    // A top-level window of its own, not a child of the host.
    EXPECT_EQ(GetAncestor(dialog, GA_PARENT), GetDesktopWindow());

    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    EXPECT_EQ(style & (frame | WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), frame)
        << std::hex << style;
    // DS_MODALFRAME gives the window the modal frame.
    EXPECT_NE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);

    // The client area is the template's 233 x 216 dialog units.
    RECT size = Box(0, 0, 233, 216);
    ASSERT_TRUE(MapDialogRect(dialog, &size));
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      children.push_back(child);
    }
    ASSERT_EQ(children.size(), kControls.size());
    for (size_t i = 0; i < kControls.size(); ++i) {
      const ControlRow& row = kControls[i];
      const HWND child = children[i];
      SCOPED_TRACE("control " + std::to_string(i + 1) + ", id " + std::to_string(row.id));
      EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, row.id & 0xFFFF);
      EXPECT_EQ(ClassOf(child), row.className);
      EXPECT_EQ(WindowText(child), row.text) << Utf8(WindowText(child));
      // The style the template gave, in the bits the template sets: window
      // bits and the control's type. The dialog manager may move the default
      // push button's state around, but not before the user does anything.
      const DWORD childStyle = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
      EXPECT_EQ(childStyle & 0xFFFF001F, row.style) << std::hex << childStyle;
      // The dialog manager converts position and size each on its own.
      RECT expected = row.dialogUnits;
      ASSERT_TRUE(MapDialogRect(dialog, &expected));
      const RECT actual = ClientRectOf(dialog, child);
      EXPECT_EQ(actual.left, expected.left);
      EXPECT_EQ(actual.top, expected.top);
      EXPECT_EQ(actual.right - actual.left, expected.right);
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
    }
    EXPECT_EQ(user.Control(12006), nullptr);
    user.Click(IDCANCEL);
  });

  ExpectAnsweredAndStillInStep(run);
  EXPECT_EQ(host().CurrentPrompt(), prompt);
}

// For the documentation and for the eye: the dialog as Windows draws it. The
// suite's script takes the picture of the screen while the dialog waits here,
// and checks it. Run by hand, without the script, there is no one to take it.
TEST_F(SettingsDialogTest, HoldsStillForItsPicture) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"SORVANE_SHOT_DIR", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) GTEST_SKIP() << "SORVANE_SHOT_DIR not set";
  const std::wstring ready = std::wstring(folder) + L"\\dialog-ready.txt";
  const std::wstring taken = std::wstring(folder) + L"\\dialog-taken.txt";
  DeleteFileW(ready.c_str());
  DeleteFileW(taken.c_str());
  ASSERT_TRUE(host().RunCommand());

  bool pictureTaken = false;
  const DialogRun run = PressExitAndPlay([&](DialogUser& user) {
    const HWND dialog = user.dialog();
    // Drawn in full before anyone looks.
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    user.Send(dialog, WM_NULL, 0, 0);
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(dialog, &rect));
    {
      const std::wstring partial = ready + L".part";
      std::ofstream out(partial.c_str());
      out << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left << ' '
          << rect.bottom - rect.top << '\n';
      out.close();
      ASSERT_TRUE(MoveFileExW(partial.c_str(), ready.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
      if (GetFileAttributesW(taken.c_str()) != INVALID_FILE_ATTRIBUTES) {
        pictureTaken = true;
        break;
      }
      Sleep(50);
    }
    user.Click(IDCANCEL);
  });
  ExpectAnsweredAndStillInStep(run);
  EXPECT_TRUE(pictureTaken) << "nobody took the picture";
  EXPECT_EQ(shared::StoredSettings(), shared::kDefaultTexts);
}

}  // namespace
}  // namespace wine
