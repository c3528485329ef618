// Plays the user in front of the module's real settings dialog.
//
// The module runs the dialog modally inside its execute function, on the
// host's thread: that thread is inside DialogBoxParamW until the dialog ends.
// So the user is played from a second thread, by window messages, the way
// accessibility and test tools drive another program's dialog. Every wait has
// a deadline, and whatever the play does, the dialog is made to end, so the
// host's thread always gets its event answered.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace wine {

// The dialog's caption, by which it is found.
inline constexpr wchar_t kDialogCaption[] = L"속성참조";

class DialogUser {
 public:
  DialogUser(HWND dialog, DWORD uiThread) : dialog_(dialog), uiThread_(uiThread) {}

  HWND dialog() const { return dialog_; }
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }

  // The window with the keyboard focus on the dialog's thread, or null.
  HWND FocusedWindow() const;

  // BM_GETCHECK of a box: BST_CHECKED or BST_UNCHECKED.
  LRESULT CheckState(int id) const;
  // A mouse click on a button (BM_CLICK), answered before this returns: an
  // automatic box flips and the dialog has handled its BN_CLICKED.
  void Click(int id) const;
  // The keys, as they arrive at the control with the focus.
  void PressEnter() const;
  void PressEscape() const;
  // The close box on the caption.
  void PressCloseBox() const;

  // Sends a message and waits for the dialog's thread to answer it; fails the
  // test instead of waiting for ever.
  LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;

 private:
  void PressKey(WPARAM key) const;

  HWND dialog_;
  DWORD uiThread_;
};

// What became of one press of the exit button.
struct DialogRun {
  bool shown = false;        // the dialog appeared and was played
  bool endedByPlay = false;  // it was gone when the play returned
};

// Presses the host's exit button on this thread and plays the dialog that it
// opens with `play` on a second thread, once the dialog is visible. Returns
// once the exit button's event is answered and the player is done.
DialogRun PressExitAndPlay(const std::function<void(DialogUser&)>& play);

// Waits until no dialog of this process with the caption is left.
bool WaitUntilNoDialog();

}  // namespace wine
