// The shared suite's platform on Linux: the registry and dialog-manager
// stand-ins the process links in place of advapi32 and user32, and no
// windows.
#include <algorithm>
#include <string>

#include "counting_new.h"
#include "shared/platform.h"
#include "sorvane_dialog_res.h"
#include "standin/platform_call.h"
#include "standin/user32_standin.h"
#include "tests/test_registry.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

namespace shared {
namespace {

class StandinUser : public DialogUser {
 public:
  explicit StandinUser(dlgstandin::OpenDialog& dialog) : dialog_(dialog) {}

  bool HasControl(int id) override { return dialog_.HasControl(id); }
  bool IsChecked(int id) override { return dialog_.IsChecked(id); }
  void Click(int id) override { EXPECT_TRUE(dialog_.Click(id)) << "no click on " << id; }
  void PressEnter() override { EXPECT_TRUE(dialog_.PressEnter()); }
  void PressEscape() override { EXPECT_TRUE(dialog_.PressEscape()); }
  void PressCloseBox() override { EXPECT_TRUE(dialog_.Close()); }
  int FocusedControl() override { return dialog_.FocusedControl(); }
  uintptr_t Owner() override { return 0; }
  ScreenRect Bounds() override { return {}; }
  intptr_t SendInitDialog(intptr_t lParam) override {
    return dialog_.SendMessage(WM_INITDIALOG, 0, lParam);
  }

 private:
  dlgstandin::OpenDialog& dialog_;
};

class StandinPlatform : public Platform {
 public:
  const char* Name() const override { return "the stand-ins"; }
  sim::StartupFn Startup() override { return &::Startup; }

  void DeleteKeyTree(std::u16string_view path) override { testreg::RemoveKey(path); }

  std::vector<std::u16string> ValueNames(std::u16string_view path) override {
    std::vector<std::u16string> names = testreg::ValueNames(path);
    std::sort(names.begin(), names.end());
    return names;
  }

  DialogRun PressExitAndPlay(const std::function<void(DialogUser&)>& play) override {
    DialogRun run;
    {
      // Setting the dialog manager up is the platform's work, and none of
      // the module's allocations.
      const standin::PlatformCall platform;
      LoadDialogResources();
      SetDriverPlaying(play, run);
    }
    sim::Host::Instance().PressExit();
    const standin::PlatformCall platform;
    dlgstandin::SetDriver({});
    return run;
  }

  static void SetDriverPlaying(const std::function<void(DialogUser&)>& play, DialogRun& run) {
    dlgstandin::SetDriver([&](dlgstandin::OpenDialog& dialog) {
      run.shown = true;
      EXPECT_EQ(dialog.TemplateId(), 23000);
      StandinUser user(dialog);
      play(user);
      run.endedByPlay = !dialog.IsOpen();
    });
  }

  std::unique_ptr<HostWindow> ShowHostWindow() override { return nullptr; }
  ScreenRect WorkArea() override { return {}; }
  std::string WithoutWindows() const override {
    return "the headless dialog manager has no windows, owners or screen";
  }
  std::string WithoutRealRuntime() const override {
    return "here the stand-in is the only _wtoi there is";
  }

  // The module is linked into this program, so its allocations are the
  // program's own outside the stand-ins' Win32 functions.
  void FailModuleAllocation(long n) override { counting_new::FailAfter(n); }
  bool ModuleAllocationFailed() override { return counting_new::Failed(); }

 private:
  // The module's templates, as the dialog manager finds them in its
  // resources on Windows.
  static void LoadDialogResources() {
    const HINSTANCE module = dlgstandin::ModuleHandleOf(reinterpret_cast<const void*>(&::Startup));
    std::string error;
    ASSERT_TRUE(dlgstandin::LoadResources(module, SORVANE_DIALOG_RES, error)) << error;
  }
};

}  // namespace

Platform& CurrentPlatform() {
  static StandinPlatform platform;
  return platform;
}

}  // namespace shared
