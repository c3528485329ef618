// The shared suite's platform under Wine: Windows' own registry and dialog
// manager, Sorvane.dll loaded by path, and real top-level windows.
#include <windows.h>

#include <algorithm>
#include <string>

#include "dialog_driver.h"
#include "module_allocations.h"
#include "shared/platform.h"
#include "wine_support.h"

namespace shared {
namespace {

const wchar_t* Wide(std::u16string_view text, std::wstring& storage) {
  storage.assign(text.begin(), text.end());
  return storage.c_str();
}

ScreenRect ToScreenRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

ScreenRect WindowBounds(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return ToScreenRect(r);
}

class Win32User : public DialogUser {
 public:
  explicit Win32User(wine::DialogUser& user) : user_(user) {}

  bool HasControl(int id) override { return user_.Control(id) != nullptr; }
  bool IsChecked(int id) override { return user_.CheckState(id) == BST_CHECKED; }
  void Click(int id) override { user_.Click(id); }
  void PressEnter() override { user_.PressEnter(); }
  void PressEscape() override { user_.PressEscape(); }
  void PressCloseBox() override { user_.PressCloseBox(); }
  int FocusedControl() override {
    const HWND focus = user_.FocusedWindow();
    if (focus == nullptr || GetParent(focus) != user_.dialog()) return 0;
    return GetDlgCtrlID(focus);
  }
  uintptr_t Owner() override {
    return reinterpret_cast<uintptr_t>(GetWindow(user_.dialog(), GW_OWNER));
  }
  ScreenRect Bounds() override { return WindowBounds(user_.dialog()); }
  intptr_t SendInitDialog(intptr_t lParam) override {
    return user_.Send(user_.dialog(), WM_INITDIALOG, 0, lParam);
  }

 private:
  wine::DialogUser& user_;
};

// A plain overlapped window, as a host's main window is, or a popup that
// such a window owns, made on the calling thread, which is the one the
// module's dialog will run on.
class Win32HostWindow : public HostWindow {
 public:
  explicit Win32HostWindow(HWND owner = nullptr) {
    static const ATOM windowClass = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"SorvaneTestHost";
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
      return RegisterClassW(&wc);
    }();
    window_ =
        owner == nullptr
            ? CreateWindowExW(0, MAKEINTATOM(windowClass), L"Host", WS_OVERLAPPEDWINDOW, 150, 100,
                              900, 700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)
            : CreateWindowExW(WS_EX_TOOLWINDOW, MAKEINTATOM(windowClass), L"Palette",
                              WS_POPUP | WS_CAPTION, 200, 150, 200, 300, owner, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
    Pump();
  }
  ~Win32HostWindow() override {
    DestroyWindow(window_);
    Pump();
  }

  uintptr_t Handle() const override { return reinterpret_cast<uintptr_t>(window_); }
  bool IsEnabled() const override { return IsWindowEnabled(window_) != FALSE; }
  bool IsActive() const override { return GetActiveWindow() == window_; }
  ScreenRect Bounds() const override { return WindowBounds(window_); }
  std::unique_ptr<HostWindow> ShowOwnedPopup() override {
    return std::make_unique<Win32HostWindow>(window_);
  }

 private:
  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  HWND window_ = nullptr;
};

class Win32Platform : public Platform {
 public:
  const char* Name() const override { return "Win32"; }
  sim::StartupFn Startup() override { return wine::Startup(); }

  void DeleteKeyTree(std::u16string_view path) override {
    std::wstring storage;
    // With a subkey named, the subkey itself goes too, not only its contents.
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide(path, storage));
  }

  std::vector<std::u16string> ValueNames(std::u16string_view path) override {
    std::vector<std::u16string> names;
    std::wstring storage;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(path, storage), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return names;
    }
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      names.emplace_back(name, name + length);
    }
    RegCloseKey(key);
    std::sort(names.begin(), names.end());
    return names;
  }

  DialogRun PressExitAndPlay(const std::function<void(DialogUser&)>& play) override {
    const wine::DialogRun run = wine::PressExitAndPlay([&](wine::DialogUser& user) {
      Win32User adapted(user);
      play(adapted);
    });
    return {run.shown, run.endedByPlay};
  }

  std::unique_ptr<HostWindow> ShowHostWindow() override {
    return std::make_unique<Win32HostWindow>();
  }

  ScreenRect WorkArea() override {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return ToScreenRect(info.rcWork);
  }

  std::string WithoutWindows() const override { return {}; }
  std::string WithoutRealRuntime() const override { return {}; }

  void FailModuleAllocation(long n) override { wine::FailModuleMalloc(n); }
  bool ModuleAllocationFailed() override { return wine::ModuleMallocFailed(); }
};

}  // namespace

Platform& CurrentPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace shared
