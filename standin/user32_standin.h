// The dialog manager of a Linux process: a headless stand-in behind the Win32
// functions declared in platform/user32.h, plus the calls that tests and the
// simulated host use to give it the module's dialog templates and to play the
// user in front of a dialog.
//
// No window is drawn. DialogBoxParamW looks the template up among the
// resources loaded for the given instance, sends WM_INITDIALOG to the dialog
// procedure and then hands the open dialog to the driver that the process
// installed. The driver plays the user: it reads the check marks, clicks
// controls, presses Enter or Esc or the close box. Each of these reaches the
// dialog procedure as it would on Windows:
//
// - A click on an automatic check box flips its check mark first, then sends
//   WM_COMMAND with BN_CLICKED and the box's id. A click on any other button
//   sends only the WM_COMMAND. Statics and unknown ids take no clicks.
// - Enter is a click on the default push button (IDOK when the template has
//   none); Esc sends IDCANCEL.
// - The close box sends WM_CLOSE; when the procedure leaves it unhandled
//   (returns 0), the default handling sends IDCANCEL.
//
// The dialog ends when the procedure calls EndDialog; DialogBoxParamW then
// returns the result given. A driver that returns while the dialog is still
// open has closed it with the close box, as a user walking away would; if even
// that leaves it open, DialogBoxParamW gives -1.
//
// DialogBoxParamW gives -1 without calling the procedure, as a dialog that
// fails to show, when the template is not among the instance's resources or
// when no driver is installed.
//
// Dialogs may nest: a driver may open another modal dialog.
// Everything here is for the process's user-interface thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/user32.h"
#include "support/dialog_template.h"

#ifndef _WIN32
// The check mark of a box, as user32 gives it. The module only sets marks;
// tests and hosts read them.
extern "C" UINT IsDlgButtonChecked(HWND dialog, int controlId);
#endif

namespace dlgstandin {

using dlgtemplate::ControlTemplate;
using dlgtemplate::DialogTemplate;

// The instance handle of the module (executable or shared object) that holds
// `addressInModule`: its load address, which is also what the module itself
// takes as its instance handle. Null when the address is in no module.
HINSTANCE ModuleHandleOf(const void* addressInModule);

// Makes the dialogs of a compiled resource file (.res, as the resource
// compiler leaves it for the linker) the resources of `module`, as the linker
// would on Windows. A dialog id loaded again replaces the earlier template.
// On failure nothing is added, and the error names the file, the place and
// the problem.
bool LoadResources(HINSTANCE module, const std::string& resPath, std::string& error);
void AddDialogTemplate(HINSTANCE module, DialogTemplate dialog);

// The open dialog, as the driver sees it. Valid only during the driver call.
class OpenDialog {
 public:
  HINSTANCE Instance() const;
  int TemplateId() const;
  const DialogTemplate& Template() const;
  const std::u16string& Caption() const;
  // The ids of the controls that can be addressed (every id but -1), in
  // template order.
  std::vector<int> ControlIds() const;
  bool HasControl(int controlId) const;
  // The id of the control with the keyboard focus, 0 when none has it. When
  // WM_INITDIALOG gives nonzero, the focus goes to the first control in
  // template order that is a visible, enabled tab stop; when it gives 0, it
  // stays where the procedure put it, which here is nowhere.
  int FocusedControl() const;

  // BST_UNCHECKED, BST_CHECKED, or 2 for an indeterminate mark; 0 for a
  // control that has none.
  UINT CheckState(int controlId) const;
  bool IsChecked(int controlId) const { return CheckState(controlId) == BST_CHECKED; }

  // Each gives false, and does nothing, when the dialog has already ended or
  // there is nothing to click.
  bool Click(int controlId);
  bool PressEnter();
  bool PressEscape();
  bool Close();
  // Any message, as another program may send one to the dialog's window;
  // gives what the dialog procedure answered.
  INT_PTR SendMessage(UINT message, WPARAM wParam, LPARAM lParam);

  bool IsOpen() const;

  struct Window;
  explicit OpenDialog(Window& window) : window_(&window) {}

 private:
  Window* window_;
};

using Driver = std::function<void(OpenDialog& dialog)>;

// Installs the driver for every dialog from now on; an empty one removes it.
void SetDriver(Driver driver);

// One CheckDlgButton call, in the order they came.
struct CheckCall {
  int controlId;
  UINT check;
  BOOL result;  // 0 when there was no such dialog or button
  bool operator==(const CheckCall&) const = default;
};
std::vector<CheckCall> CheckLog();
void ClearCheckLog();
// Called at every CheckDlgButton, after the mark is set, so that a test can
// see what else has happened by then.
void SetCheckListener(std::function<void(const CheckCall& call)> listener);

// One DialogBoxParamW call: what it asked for and what it gave.
struct ShowCall {
  HINSTANCE instance;
  int templateId;  // -1 for a template named by text
  INT_PTR result;
  bool operator==(const ShowCall&) const = default;
};
std::vector<ShowCall> ShowLog();

// Forgets every resource, the driver, the listener and both logs.
void Reset();

}  // namespace dlgstandin
