// What the shared suite needs of the platform it runs on, with two
// implementations: the Linux stand-ins (tests/standin_platform.cpp) and
// Windows itself (tests/wine/win32_platform.cpp), so that every claim the
// stand-ins make about Windows is checked against Wine's real one by the
// same test source.
//
// The registry is reached through its Win32 names on both sides
// (platform/registry.h); what has no portable Win32 call in the stand-in,
// removing a whole key and listing its values, is here. So are the settings
// dialog, played as a user plays it, and the host's main window.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim_host.h"

namespace shared {

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int CentreX() const { return (left + right) / 2; }
  int CentreY() const { return (top + bottom) / 2; }
};

// A visible top-level window standing for the host's main window.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  virtual uintptr_t Handle() const = 0;
  virtual bool IsEnabled() const = 0;
  virtual bool IsActive() const = 0;
  virtual ScreenRect Bounds() const = 0;
  // A shown, active popup window that this window owns, as a host's
  // floating palette or tool window is.
  virtual std::unique_ptr<HostWindow> ShowOwnedPopup() = 0;
};

// The user in front of the open settings dialog.
class DialogUser {
 public:
  virtual ~DialogUser() = default;
  virtual bool HasControl(int id) = 0;
  virtual bool IsChecked(int id) = 0;
  // A click, handled before this returns: an automatic box has flipped and
  // the dialog has had its BN_CLICKED.
  virtual void Click(int id) = 0;
  virtual void PressEnter() = 0;
  virtual void PressEscape() = 0;
  virtual void PressCloseBox() = 0;
  // The control with the keyboard focus; 0 for none.
  virtual int FocusedControl() = 0;
  // Where windows exist: the dialog's owner (0 for none) and its place.
  virtual uintptr_t Owner() = 0;
  virtual ScreenRect Bounds() = 0;
  // A WM_INITDIALOG that the dialog did not ask for, as another program may
  // send one, with whatever it likes in lParam; gives the dialog's answer.
  virtual intptr_t SendInitDialog(intptr_t lParam) = 0;
};

// What became of one press of the exit button.
struct DialogRun {
  bool shown = false;        // the dialog appeared and was played
  bool endedByPlay = false;  // it was gone when the play returned
};

class Platform {
 public:
  virtual ~Platform() = default;
  // "stand-ins" or "Win32", for the suite's summary.
  virtual const char* Name() const = 0;
  virtual sim::StartupFn Startup() = 0;

  // A key below HKEY_CURRENT_USER, as "SOFTWARE\\...".
  virtual void DeleteKeyTree(std::u16string_view path) = 0;
  // The names of the key's values, sorted by code unit.
  virtual std::vector<std::u16string> ValueNames(std::u16string_view path) = 0;

  // Presses the host's exit button in a running command and plays the
  // dialog it opens with `play`; returns once the event is answered.
  virtual DialogRun PressExitAndPlay(const std::function<void(DialogUser&)>& play) = 0;

  // A shown, active host window; null where there is no window manager.
  virtual std::unique_ptr<HostWindow> ShowHostWindow() = 0;
  // The work area of the primary monitor.
  virtual ScreenRect WorkArea() = 0;
  // Why a case that needs windows cannot run here; empty where it can.
  virtual std::string WithoutWindows() const = 0;
  // Why a case that compares the runtime with its model cannot run here;
  // empty where it can.
  virtual std::string WithoutRealRuntime() const = 0;

  // Makes the module's allocation `n` from now (1 for the next) fail, once,
  // as an exhausted heap would: the module's operator new throws
  // std::bad_alloc. 0 cancels a pending failure. The platform's own
  // allocations (the registry's, the dialog manager's) are left alone.
  virtual void FailModuleAllocation(long n) = 0;
  // Whether the failure asked for has happened.
  virtual bool ModuleAllocationFailed() = 0;
};

// The platform of this test program.
Platform& CurrentPlatform();

}  // namespace shared
