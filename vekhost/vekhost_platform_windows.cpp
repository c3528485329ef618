// vekhost's platform layer on Windows: the module is a DLL, the registry is
// the current user's real one and the settings dialog is the real dialog
// manager's, driven by window messages on the thread that runs it.
//
// The dialog runs modally inside the host's event, so this thread sits in
// DialogBoxParamW's message loop until it ends. A hook sees its WM_INITDIALOG
// return and sets a timer, whose callback the loop dispatches: the driver
// plays the user from there (BM_GETCHECK reads a box, BM_CLICK clicks one or
// OK or Cancel). Messages sent to a window of the same thread are plain
// calls, so each click has been handled when it returns.
//
// The registry file is kept in memory here: its settings key replaces the
// real one before the session, so that the session starts from what the file
// says, and is read back after it, the whole written out as on Linux.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/wide.h"
#include "settings/settings_key.h"
#include "support/reg_text.h"
#include "support/utf.h"
#include "vekhost_output.h"
#include "vekhost_platform.h"
#include "vekhost_words.h"

namespace vekhost::platform {
namespace {

// vekhost's log and messages are UTF-8 with "\n" line ends on every platform,
// so that the output of both builds compares byte for byte: both streams go
// untranslated, from before anything can be written to them.
[[maybe_unused]] const bool kBinaryStandardError = _setmode(_fileno(stderr), _O_BINARY) != -1;
[[maybe_unused]] const bool kBinaryStandardOutput = _setmode(_fileno(stdout), _O_BINARY) != -1;

// The settings key, as a path for the registry's functions and as its names
// for the registry file's tree.
const std::u16string kSettingsKey = SettingsKeyPath();
const std::vector<std::u16string> kSettingsPath = [] {
  std::vector<std::u16string> names;
  regtext::SplitPath(SettingsKeyPath(), names);
  return names;
}();

// ---- Text.

// wchar_t and char16_t are both UTF-16 here; only the type differs.
std::u16string U16(std::wstring_view wide) { return {wide.begin(), wide.end()}; }
// vekhost's file names and messages are UTF-8.
std::string Narrow(std::wstring_view wide) { return utf::ToUtf8(U16(wide)); }

// The system's wording of an error code, on one line.
std::string Reason(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  if (buffer != nullptr) LocalFree(buffer);
  text.erase(text.find_last_not_of(L"\r\n .") + 1);  // npos + 1 is 0: nothing left
  if (text.empty()) return "error " + std::to_string(code);
  return Narrow(text) + " (error " + std::to_string(code) + ")";
}

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return U16(text);
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  const int length = GetClassNameW(window, name, 64);
  return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

// ---- The module and its dialog templates.

HMODULE g_module = nullptr;

// Windows keeps no record of the template a dialog was made from, so
// vekhost sees the module ask for it: the module's import of DialogBoxParamW
// is pointed at RecordTemplate, which notes the template's id while the
// dialog runs and hands the call on to user32 unchanged.
using DialogBoxParamFn = INT_PTR(WINAPI*)(HINSTANCE, LPCWSTR, HWND, DLGPROC, LPARAM);
DialogBoxParamFn g_dialogBoxParam = nullptr;
std::vector<int> g_templateIds;  // of the dialogs running, innermost last; -1 for a named one

INT_PTR WINAPI RecordTemplate(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC procedure,
                              LPARAM param) {
  g_templateIds.push_back(IS_INTRESOURCE(name) ? static_cast<int>(reinterpret_cast<uintptr_t>(name))
                                               : -1);
  const INT_PTR result = g_dialogBoxParam(instance, name, parent, procedure, param);
  g_templateIds.pop_back();
  return result;
}

// The module's import address slot for user32's DialogBoxParamW, if it has one.
ULONG_PTR* DialogBoxParamSlot(HMODULE module) {
  auto* const base = reinterpret_cast<uint8_t*>(module);
  const auto* const headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* library =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "user32.dll") != 0) continue;
    const auto* name =
        reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "DialogBoxParamW") == 0) {
        return &slot->u1.Function;
      }
    }
  }
  return nullptr;
}

void WatchTemplates(HMODULE module) {
  ULONG_PTR* const slot = DialogBoxParamSlot(module);
  DWORD protection = 0;
  if (slot == nullptr || !VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return;
  g_dialogBoxParam = reinterpret_cast<DialogBoxParamFn>(*slot);
  *slot = reinterpret_cast<ULONG_PTR>(&RecordTemplate);
  VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// ---- The open dialog.

class Win32Dialog final : public DialogPort {
 public:
  explicit Win32Dialog(HWND dialog)
      : dialog_(dialog), templateId_(g_templateIds.empty() ? -1 : g_templateIds.back()) {}

  int TemplateId() const override { return templateId_; }
  std::u16string Caption() const override { return WindowText(dialog_); }

  std::vector<Box> Boxes() const override {
    std::vector<Box> boxes;
    // The dialog manager makes the controls in template order, each below the
    // one before, so the order of the children is the tab order.
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (!IsCheckBox(child)) continue;
      boxes.push_back({GetDlgCtrlID(child), WindowText(child),
                       SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED});
    }
    return boxes;
  }

  bool Click(int boxId) override {
    const HWND control = IsOpen() ? GetDlgItem(dialog_, boxId) : nullptr;
    if (control == nullptr || ClassName(control) != L"Button") return false;
    // The mouse's press and release, as a click reaches the button: an
    // automatic box flips, and the dialog gets BN_CLICKED, before this returns.
    SendMessageW(control, BM_CLICK, 0, 0);
    return true;
  }

  bool PressOk() override { return Press(IDOK); }
  bool PressCancel() override { return Press(IDCANCEL); }

  // EndDialog hides the dialog at once; the window itself goes only when the
  // modal loop has come round to it, after the driver has returned.
  bool IsOpen() const override { return IsWindow(dialog_) && IsWindowVisible(dialog_); }

 private:
  static bool IsCheckBox(HWND control) {
    if (ClassName(control) != L"Button") return false;
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTO3STATE ||
           type == BS_3STATE;
  }

  bool Press(int buttonId) {
    if (!IsOpen()) return false;
    if (const HWND button = GetDlgItem(dialog_, buttonId)) {
      SendMessageW(button, BM_CLICK, 0, 0);
    } else {
      SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
    }
    return true;
  }

  HWND dialog_;
  int templateId_;
};

// ---- The hand-over of each dialog to the driver.

std::function<void(DialogPort& dialog)> g_driver;
HHOOK g_hook = nullptr;
// Dialogs initialised and not yet handed over, innermost last: a dialog the
// module opens from within another one's handler gets its own turn inside
// the outer one's.
std::vector<HWND> g_pending;

void CloseWhatIsLeftOpen(HWND dialog) {
  if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return;
  // As the stand-in does for a driver that returns early: the close box,
  // which the dialog manager answers as Cancel; and if the dialog ignores
  // even that, it is ended here, so the modal loop can never be left waiting.
  SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (IsWindow(dialog) && IsWindowVisible(dialog)) EndDialog(dialog, -1);
}

void CALLBACK HandOver(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (g_pending.empty()) return;
  const HWND dialog = g_pending.back();
  g_pending.pop_back();
  if (!IsWindow(dialog)) return;
  // What a user sees before clicking anything; the dialog manager would show
  // it at its first idle moment anyway.
  ShowWindow(dialog, SW_SHOWNORMAL);
  // No exception may unwind through the dialog manager, which is not C++.
  // There is nobody to hand one to on this side of the modal loop, so the run
  // ends here the way vekhost ends any failure nothing foresaw.
  auto giveUp = [](const char* what) {
    std::fflush(stdout);
    std::fprintf(stderr, "vekhost: internal error: %s\n", what);
    std::fflush(stderr);
    ExitProcess(1);
  };
  try {
    Win32Dialog port(dialog);
    if (g_driver) g_driver(port);
  } catch (const std::exception& error) {
    giveUp(error.what());
  } catch (...) {
    giveUp("unknown exception while the settings dialog was open");
  }
  CloseWhatIsLeftOpen(dialog);
}

bool IsModuleDialog(HWND window) {
  return g_module != nullptr &&
         reinterpret_cast<HMODULE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) == g_module &&
         ClassName(window) == L"#32770";
}

LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_INITDIALOG && IsModuleDialog(call->hwnd)) {
    // The boxes are set once WM_INITDIALOG has returned; the driver runs
    // once the modal loop, started right after, dispatches the timer.
    g_pending.push_back(call->hwnd);
    if (SetTimer(nullptr, 0, 0, &HandOver) == 0) {
      // No timer, no driver: the dialog is ended before it runs, as if
      // cancelled, rather than left waiting for a user.
      g_pending.pop_back();
      PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- The registry.

class RegistryError : public std::runtime_error {
 public:
  RegistryError(const std::string& what, LSTATUS status)
      : std::runtime_error("HKEY_CURRENT_USER\\" + utf::ToUtf8(kSettingsKey) + ": " + what + ": " +
                           Reason(static_cast<DWORD>(status))) {}
};

// A registry call's status; anything but success is thrown.
void Check(LSTATUS status, const char* what) {
  if (status != ERROR_SUCCESS) throw RegistryError(what, status);
}

// What the file held, the settings key included until the save replaces it
// (and reads the order of its values from it first).
regtext::Tree g_file;

void WriteKey(HKEY parent, const regtext::Tree::Key& key) {
  UniqueRegKey handle;
  Check(RegCreateKeyExW(parent, AsWide(key.name.c_str()), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        handle.put(), nullptr),
        "cannot be written");
  for (const regtext::NamedValue& value : key.values) {
    Check(RegSetValueExW(handle.get(), AsWide(value.name.c_str()), 0, value.value.type,
                         value.value.bytes.data(), static_cast<DWORD>(value.value.bytes.size())),
          "cannot be written");
  }
  for (const auto& [folded, child] : key.children) WriteKey(handle.get(), *child);
}

// Reads a key and everything below it, its values in the order they were
// made, as the Linux vekhost keeps them (Windows lists them so, Wine by
// name): first those the file had, in its order, as they were made when it
// was loaded; then, in the settings key, the module's settings in the order
// it makes them; then anything else as listed.
std::unique_ptr<regtext::Tree::Key> ReadKey(HKEY key, const std::u16string& name,
                                            const regtext::Tree::Key* loaded, bool settingsKey) {
  DWORD subkeys = 0, maxSubkeyLength = 0, valueCount = 0, maxNameLength = 0, maxDataSize = 0;
  Check(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkeyLength, nullptr,
                         &valueCount, &maxNameLength, &maxDataSize, nullptr, nullptr),
        "cannot be read");

  regtext::ValueList listed;  // as this registry lists them
  std::vector<wchar_t> nameBuffer(maxNameLength + 1);
  std::vector<uint8_t> data(maxDataSize + 1);
  for (DWORD i = 0; i < valueCount; ++i) {
    DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    Check(RegEnumValueW(key, i, nameBuffer.data(), &nameLength, nullptr, &type, data.data(), &size),
          "cannot be read");
    listed.Store(U16({nameBuffer.data(), nameLength}),
                 {type, std::vector<uint8_t>(data.begin(), data.begin() + size)});
  }

  auto result = std::make_unique<regtext::Tree::Key>();
  result->name = name;
  // A value taken again keeps the place it was first taken at.
  auto take = [&](std::u16string_view valueName) {
    if (const regtext::NamedValue* value = listed.Find(valueName))
      result->values.Store(value->name, value->value);
  };
  if (loaded != nullptr) {
    for (const regtext::NamedValue& value : loaded->values) take(value.name);
  }
  if (settingsKey) {
    for (const std::u16string& setting : SettingNames()) take(setting);
  }
  for (const regtext::NamedValue& value : listed) take(value.name);

  std::vector<wchar_t> subkeyBuffer(maxSubkeyLength + 1);
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD length = static_cast<DWORD>(subkeyBuffer.size());
    Check(RegEnumKeyExW(key, i, subkeyBuffer.data(), &length, nullptr, nullptr, nullptr, nullptr),
          "cannot be read");
    const std::u16string childName = U16({subkeyBuffer.data(), length});
    UniqueRegKey child;
    Check(RegOpenKeyExW(key, AsWide(childName.c_str()), 0, KEY_READ, child.put()),
          "cannot be read");
    const regtext::Tree::Key* loadedChild = loaded != nullptr ? loaded->Child(childName) : nullptr;
    result->children[regtext::FoldName(childName)] =
        ReadKey(child.get(), childName, loadedChild, false);
  }
  return result;
}

}  // namespace

sim::StartupFn LoadModule(const std::string& path, std::string& error) {
  std::wstring wide = AsWide(utf::FromUtf8(path).c_str());
  // A bare name is looked for the way Windows looks for DLLs, beside vekhost
  // first; a path is taken from the current folder.
  if (wide.find_first_of(L"\\/") != std::wstring::npos) {
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), length, full.data(), nullptr));
    if (!full.empty()) wide = full;
  }
  const HMODULE module = LoadLibraryW(wide.c_str());
  if (module == nullptr) {
    error = path + ": cannot be loaded: " + Reason(GetLastError());
    return nullptr;
  }
  // The module stays loaded until the process ends: its callbacks stay
  // registered with the host.
  g_module = module;
  WatchTemplates(module);
  // GetProcAddress hands out every export under one generic pointer type;
  // the detour through void* says the real type is known.
  auto startup =
      reinterpret_cast<sim::StartupFn>(reinterpret_cast<void*>(GetProcAddress(module, "Startup")));
  if (startup == nullptr) error = path + ": exports no Startup";
  return startup;
}

bool LoadDialogResources(sim::StartupFn, const std::string& resources, std::string& error) {
  // The templates are compiled into the module, where the dialog manager
  // finds them by itself.
  if (resources.empty()) return true;
  error = "--resources is for Linux only: on Windows the dialog templates are in the module";
  return false;
}

void SetDialogDriver(std::function<void(DialogPort& dialog)> driver) {
  g_driver = std::move(driver);
  if (g_hook == nullptr)
    g_hook = SetWindowsHookExW(WH_CALLWNDPROCRET, &WatchDialogs, nullptr, GetCurrentThreadId());
  if (g_hook == nullptr) {
    throw std::runtime_error("cannot watch for the module's dialogs: " + Reason(GetLastError()));
  }
}

std::string DefaultRegistryFile() {
  for (const wchar_t* variable : {L"LOCALAPPDATA", L"APPDATA"}) {
    const wchar_t* folder = _wgetenv(variable);
    if (folder != nullptr && folder[0] != L'\0') return Narrow(folder) + "\\sorvane\\registry.reg";
  }
  return "registry.reg";
}

void LoadRegistry(const std::string& path) {
  g_file = regtext::Tree();
  std::error_code code;
  if (!path.empty() && (std::filesystem::exists(regtext::PathFromUtf8(path), code) || code)) {
    std::string text;
    std::string error;
    if (!regtext::ReadFile(path, text, error)) throw InputError(AtLine(path, error));
    std::vector<regtext::Change> changes;
    regtext::ParseError problem;
    if (!regtext::Parse(text, changes, problem)) {
      throw InputError(AtLine(path, problem.line, problem.problem));
    }
    g_file.Apply(changes);
  }

  // The session starts from what the file says, not from what an earlier
  // run left in the registry.
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, AsWide(kSettingsKey.c_str()));
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw RegistryError("cannot be emptied", status);
  }
  if (const regtext::Tree::Key* settings = g_file.Find(kSettingsPath)) {
    UniqueRegKey parent;
    Check(RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(kSettingsParentKey), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, parent.put(), nullptr),
          "cannot be written");
    WriteKey(parent.get(), *settings);
  }
}

bool SaveRegistry(const std::string& path, std::string& error) {
  try {
    UniqueRegKey settings;
    const LSTATUS status =
        RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(kSettingsKey.c_str()), 0, KEY_READ, settings.put());
    if (status == ERROR_FILE_NOT_FOUND) {
      g_file.Remove(kSettingsPath);
    } else {
      Check(status, "cannot be read");
      g_file.Replace(kSettingsPath, ReadKey(settings.get(), kSettingsPath.back(),
                                            g_file.Find(kSettingsPath), true));
    }
  } catch (const RegistryError& failure) {
    error = failure.what();
    return false;
  }
  const std::filesystem::path parent = regtext::PathFromUtf8(path).parent_path();
  std::error_code code;
  if (!parent.empty()) std::filesystem::create_directories(parent, code);
  if (code) {
    const std::u8string name = parent.u8string();
    error = std::string(name.begin(), name.end()) + ": cannot be created: " + code.message();
    return false;
  }
  return vekhost::WriteWhole(path, g_file.Export(), error);
}

bool IsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

namespace {

// The signal that ends the session (2 for Ctrl-C, as on Linux), whether a
// line is being read at the prompt, and whether Ctrl-C dropped it there.
volatile LONG g_ending = 0;
volatile LONG g_atPrompt = 0;
volatile LONG g_lineDropped = 0;

LONG Get(volatile LONG& flag) { return InterlockedCompareExchange(&flag, 0, 0); }

// Runs on a thread of its own that the console starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_CLOSE_EVENT) {
    // The console window is closing: a hang-up. The process ends when this
    // returns, so it waits while the main thread, whose read the closing
    // ended, writes the record and the log and exits; Windows allows it
    // five seconds.
    InterlockedCompareExchange(&g_ending, 1, 0);
    Sleep(5000);
    return TRUE;
  }
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  if (event == CTRL_C_EVENT && Get(g_atPrompt) != 0) {
    InterlockedExchange(&g_lineDropped, 1);
  } else {
    InterlockedCompareExchange(&g_ending, 2, 0);
  }
  return TRUE;
}

}  // namespace

void CatchSignals() { SetConsoleCtrlHandler(&OnConsoleEvent, TRUE); }

int EndingSignal() { return static_cast<int>(Get(g_ending)); }

// The console's own line input, with its editing and history.
LineRead ReadLine(const char* prompt, std::FILE* screen, std::string& line) {
  line.clear();
  if (Get(g_ending) != 0) return LineRead::kInterrupted;
  std::fputs(prompt, screen);
  std::fflush(screen);
  InterlockedExchange(&g_lineDropped, 0);
  InterlockedExchange(&g_atPrompt, 1);
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  // Ctrl-C ends the console's read as if the input had ended, and the
  // handler's thread may set its flag a moment later.
  if (!read) Sleep(50);
  InterlockedExchange(&g_atPrompt, 0);
  if (Get(g_ending) != 0) return LineRead::kInterrupted;
  if (Get(g_lineDropped) != 0) {
    std::cin.clear();
    line.clear();  // the console does not say what was typed
    return LineRead::kCleared;
  }
  return read ? LineRead::kLine : LineRead::kEnd;
}

}  // namespace vekhost::platform
