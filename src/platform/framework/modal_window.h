// Where a modal dialog stands among the host's windows: which window owns it,
// which one it disables while it runs, and where it opens.
//
// A modal dialog constructed without a parent is owned by the window the
// user was working in: the calling thread's active window (for a child
// window, the window it belongs to), then that window's last active popup.
// The dialog manager disables the owner while the dialog runs. The framework
// disables the window at the top of the owner's chain of parents and owners
// as well (the host's main window, when the active window is a palette that
// it owns), so that nothing of the host takes input until the dialog has
// gone, and afterwards gives the owner back the activation. A dialog that has
// not placed itself by the end of WM_INITDIALOG, and whose owner is missing
// or disabled, is centred on its owner, or on the work area of the monitor
// when it has no owner or the owner is hidden or minimised.
#pragma once

#include "platform/user32.h"

struct ModalOwner {
  HWND owner = nullptr;        // handed to the dialog manager
  HWND disabledTop = nullptr;  // disabled by the framework, enabled again after
};

// Finds the owner for a dialog whose parent is `parent` (null for none), and
// disables its top-level window when the dialog manager would not.
ModalOwner TakeModalOwner(HWND parent);
// Enables again what TakeModalOwner disabled and activates the owner, once
// the dialog has gone.
void ReleaseModalOwner(const ModalOwner& taken);

// Where the dialog was before WM_INITDIALOG was handled.
struct DialogPlacement {
  bool visible = false;
  int left = 0;
  int top = 0;
};
DialogPlacement PlacementOf(HWND dialog);
// Centres the dialog as described above, when it is still where it was and
// hidden.
void CentreIfNotPlaced(HWND dialog, const DialogPlacement& before);
