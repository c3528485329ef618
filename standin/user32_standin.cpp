#include "standin/user32_standin.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "standin/platform_call.h"
#include "support/reg_text.h"

namespace dlgstandin {

struct OpenDialog::Window {
  HINSTANCE instance;
  const DialogTemplate* dialog;
  DLGPROC procedure;
  std::map<int, UINT> checks;  // per button, by id
  int focused = 0;
  std::optional<INT_PTR> result;
};

namespace {

constexpr uint32_t kButtonTypeMask = 0xF;
constexpr uint32_t kDefPushButton = 0x1;
constexpr uint32_t kAutoCheckBox = 0x3;
constexpr uint32_t kAuto3State = 0x6;
constexpr UINT kIndeterminate = 2;
constexpr uint32_t kTabStop = 0x00010000;   // WS_TABSTOP
constexpr uint32_t kVisible = 0x10000000;   // WS_VISIBLE
constexpr uint32_t kDisabled = 0x08000000;  // WS_DISABLED
// Far more than any module's resources; a bound so that a wrong path costs an
// error, not the process's memory.
constexpr std::uintmax_t kMaxResourceFileBytes = 16u << 20;

struct State {
  std::map<HINSTANCE, std::map<int, DialogTemplate>> resources;
  Driver driver;
  std::function<void(const CheckCall&)> checkListener;
  std::vector<CheckCall> checkLog;
  std::vector<ShowCall> showLog;
  std::vector<OpenDialog::Window*> open;  // innermost last
};

State& Global() {
  static State state;
  return state;
}

// Class names compare as registry names do, folding ASCII letters only.
bool IsButtonClass(const std::u16string& className) {
  return regtext::SameName(className, u"Button");
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int controlId) {
  if (controlId == -1) return nullptr;
  const auto found = std::ranges::find(dialog.controls, controlId, &ControlTemplate::id);
  return found == dialog.controls.end() ? nullptr : &*found;
}

// Where the dialog manager puts the focus after WM_INITDIALOG asks for it.
int FirstTabStop(const DialogTemplate& dialog) {
  const auto found = std::ranges::find_if(dialog.controls, [](const ControlTemplate& control) {
    return (control.style & (kTabStop | kVisible | kDisabled)) == (kTabStop | kVisible);
  });
  return found == dialog.controls.end() ? 0 : found->id;
}

bool ReadResourceFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::error_code code;
  const std::uintmax_t size = std::filesystem::file_size(path, code);
  if (code) {
    error = path + ": cannot be read: " + code.message();
    return false;
  }
  if (size > kMaxResourceFileBytes) {
    error = path + ": " + std::to_string(size) + " bytes, more than a module's resources can be";
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in || in.gcount() != static_cast<std::streamsize>(bytes.size())) {
    error = path + ": cannot be read";
    return false;
  }
  return true;
}

OpenDialog::Window* FindWindow(HWND handle) {
  for (OpenDialog::Window* window : Global().open) {
    if (reinterpret_cast<HWND>(window) == handle) return window;
  }
  return nullptr;
}

HWND HandleOf(OpenDialog::Window& window) { return reinterpret_cast<HWND>(&window); }

// The dialog manager is C code: on Windows an exception that a dialog
// procedure lets out unwinds through frames that cannot pass it on, and what
// happens then is undefined. Here it ends the process at once, so that a test
// sees the fault instead of a caller further up catching it.
INT_PTR Send(OpenDialog::Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    const standin::CallerCode caller;
    return window.procedure(HandleOf(window), message, wParam, lParam);
  } catch (...) {
    // Nothing more can be done if standard error is gone too.
    (void)std::fprintf(
        stderr, "dialog stand-in: the dialog procedure let an exception out of message 0x%x\n",
        message);
    std::abort();
  }
}

// A control's window handle goes with WM_COMMAND; none of them is a real
// window here, so the control's template stands in for it.
void SendCommand(OpenDialog::Window& window, int controlId, const ControlTemplate* control) {
  Send(window, WM_COMMAND, CommandParam(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// Takes the window out of the open ones however DialogBoxParamW is left, a
// driver's exception included.
struct OpenScope {
  OpenDialog::Window* window;
  ~OpenScope() { std::erase(Global().open, window); }
};

INT_PTR LogShow(HINSTANCE instance, int templateId, INT_PTR result) {
  Global().showLog.push_back(ShowCall{instance, templateId, result});
  return result;
}

INT_PTR ShowModal(HINSTANCE instance, LPCWSTR templateName, DLGPROC procedure, LPARAM initParam) {
  if (!IS_INTRESOURCE(templateName)) return LogShow(instance, -1, -1);
  const int templateId = static_cast<int>(reinterpret_cast<uintptr_t>(templateName));

  auto module = Global().resources.find(instance);
  if (module == Global().resources.end()) return LogShow(instance, templateId, -1);
  auto found = module->second.find(templateId);
  if (found == module->second.end() || procedure == nullptr || !Global().driver) {
    return LogShow(instance, templateId, -1);
  }

  OpenDialog::Window window{instance, &found->second, procedure, {}, 0, std::nullopt};
  for (const ControlTemplate& control : window.dialog->controls) {
    if (IsButtonClass(control.className)) window.checks[control.id] = BST_UNCHECKED;
  }

  {
    Global().open.push_back(&window);
    const OpenScope scope{&window};
    if (Send(window, WM_INITDIALOG, 0, initParam) != 0) {
      window.focused = FirstTabStop(*window.dialog);
    }

    // A procedure may end its dialog before it is ever shown.
    if (!window.result) {
      OpenDialog dialog(window);
      // A copy: the driver may install another one for the dialogs it opens.
      Driver driver = Global().driver;
      driver(dialog);
      if (!window.result) dialog.Close();
    }
  }
  return LogShow(instance, templateId, window.result.value_or(-1));
}

}  // namespace

HINSTANCE ModuleHandleOf(const void* addressInModule) {
  Dl_info info{};
  if (dladdr(addressInModule, &info) == 0) return nullptr;
  return static_cast<HINSTANCE>(info.dli_fbase);
}

bool LoadResources(HINSTANCE module, const std::string& resPath, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadResourceFile(resPath, bytes, error)) return false;
  std::vector<DialogTemplate> dialogs;
  if (!dlgtemplate::ReadDialogTemplates(bytes, resPath, dialogs, error)) return false;
  for (DialogTemplate& dialog : dialogs) AddDialogTemplate(module, std::move(dialog));
  return true;
}

void AddDialogTemplate(HINSTANCE module, DialogTemplate dialog) {
  const int id = dialog.id;
  Global().resources[module].insert_or_assign(id, std::move(dialog));
}

HINSTANCE OpenDialog::Instance() const { return window_->instance; }
int OpenDialog::TemplateId() const { return window_->dialog->id; }
const DialogTemplate& OpenDialog::Template() const { return *window_->dialog; }
const std::u16string& OpenDialog::Caption() const { return window_->dialog->caption; }

std::vector<int> OpenDialog::ControlIds() const {
  std::vector<int> ids;
  for (const ControlTemplate& control : window_->dialog->controls) {
    if (control.id != -1) ids.push_back(control.id);
  }
  return ids;
}

bool OpenDialog::HasControl(int controlId) const {
  return FindControl(*window_->dialog, controlId) != nullptr;
}

int OpenDialog::FocusedControl() const { return window_->focused; }

UINT OpenDialog::CheckState(int controlId) const {
  auto found = window_->checks.find(controlId);
  return found != window_->checks.end() ? found->second : BST_UNCHECKED;
}

bool OpenDialog::Click(int controlId) {
  if (!IsOpen()) return false;
  const ControlTemplate* control = FindControl(*window_->dialog, controlId);
  if (control == nullptr || !IsButtonClass(control->className)) return false;

  const uint32_t type = control->style & kButtonTypeMask;
  UINT& check = window_->checks[controlId];
  if (type == kAutoCheckBox) check = check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  if (type == kAuto3State) {
    check = check == BST_UNCHECKED ? BST_CHECKED
            : check == BST_CHECKED ? kIndeterminate
                                   : BST_UNCHECKED;
  }
  SendCommand(*window_, controlId, control);
  return true;
}

bool OpenDialog::PressEnter() {
  if (!IsOpen()) return false;
  for (const ControlTemplate& control : window_->dialog->controls) {
    if (IsButtonClass(control.className) && (control.style & kButtonTypeMask) == kDefPushButton) {
      SendCommand(*window_, control.id, &control);
      return true;
    }
  }
  SendCommand(*window_, IDOK, FindControl(*window_->dialog, IDOK));
  return true;
}

bool OpenDialog::PressEscape() {
  if (!IsOpen()) return false;
  SendCommand(*window_, IDCANCEL, FindControl(*window_->dialog, IDCANCEL));
  return true;
}

bool OpenDialog::Close() {
  if (!IsOpen()) return false;
  if (Send(*window_, WM_CLOSE, 0, 0) == 0 && IsOpen()) {
    SendCommand(*window_, IDCANCEL, FindControl(*window_->dialog, IDCANCEL));
  }
  return true;
}

INT_PTR OpenDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(*window_, message, wParam, lParam);
}

bool OpenDialog::IsOpen() const { return !window_->result.has_value(); }

void SetDriver(Driver driver) { Global().driver = std::move(driver); }

std::vector<CheckCall> CheckLog() { return Global().checkLog; }
void ClearCheckLog() { Global().checkLog.clear(); }

void SetCheckListener(std::function<void(const CheckCall& call)> listener) {
  Global().checkListener = std::move(listener);
}

std::vector<ShowCall> ShowLog() { return Global().showLog; }

void Reset() {
  State& state = Global();
  state.resources.clear();
  state.driver = nullptr;
  state.checkListener = nullptr;
  state.checkLog.clear();
  state.showLog.clear();
}

}  // namespace dlgstandin

using dlgstandin::Global;
using dlgstandin::OpenDialog;

extern "C" {

// Windows reports a dialog it has no memory for as one that cannot be shown,
// and a check mark it cannot set as a failed call: no exception leaves them.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND /*parent*/,
                        DLGPROC procedure, LPARAM initParam) {
  const standin::PlatformCall platform;
  try {
    return dlgstandin::ShowModal(instance, templateName, procedure, initParam);
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  OpenDialog::Window* window = dlgstandin::FindWindow(dialog);
  if (window == nullptr) return 0;
  if (!window->result) window->result = result;
  return 1;
}

BOOL CheckDlgButton(HWND dialog, int controlId, UINT check) try {
  const standin::PlatformCall platform;
  OpenDialog::Window* window = dlgstandin::FindWindow(dialog);
  const dlgstandin::ControlTemplate* control =
      window != nullptr ? dlgstandin::FindControl(*window->dialog, controlId) : nullptr;
  const bool isButton = control != nullptr && dlgstandin::IsButtonClass(control->className);
  if (isButton) window->checks[controlId] = check;

  const dlgstandin::CheckCall call{controlId, check, isButton ? 1 : 0};
  Global().checkLog.push_back(call);
  if (Global().checkListener) Global().checkListener(call);
  return call.result;
} catch (const std::bad_alloc&) {
  return 0;
}

UINT IsDlgButtonChecked(HWND dialog, int controlId) {
  OpenDialog::Window* window = dlgstandin::FindWindow(dialog);
  return window == nullptr ? 0 : OpenDialog(*window).CheckState(controlId);
}

}  // extern "C"
