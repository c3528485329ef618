#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "sim_host.h"

namespace wine {
namespace {

using Clock = std::chrono::steady_clock;

// Generous: a fresh Wine prefix may still be loading fonts when the first
// dialog opens. Nothing waits this long when all is well.
constexpr auto kAppearDeadline = std::chrono::seconds(60);
constexpr auto kEndDeadline = std::chrono::seconds(20);
constexpr UINT kSendTimeoutMs = 20000;
constexpr DWORD kPollMs = 20;

struct FindState {
  HWND found = nullptr;
};

BOOL CALLBACK FindOurDialog(HWND window, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  wchar_t caption[64] = {};
  GetWindowTextW(window, caption, 64);
  if (std::wstring(caption) != kDialogCaption) return TRUE;
  reinterpret_cast<FindState*>(param)->found = window;
  return FALSE;
}

HWND FindDialog() {
  FindState state;
  EnumWindows(&FindOurDialog, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

// The dialog manager shows the dialog once WM_INITDIALOG has returned, so a
// visible dialog has its boxes set. Once the host's event has been answered
// no dialog can come any more: the module shows it inside that event.
HWND WaitForVisibleDialog(const std::atomic<bool>& answered) {
  const auto deadline = Clock::now() + kAppearDeadline;
  while (Clock::now() < deadline) {
    const bool gaveUp = answered.load();
    const HWND dialog = FindDialog();
    if (dialog != nullptr && IsWindowVisible(dialog)) return dialog;
    if (gaveUp) return nullptr;
    Sleep(kPollMs);
  }
  return nullptr;
}

bool WaitUntilGone(HWND dialog) {
  const auto deadline = Clock::now() + kEndDeadline;
  while (Clock::now() < deadline) {
    if (!IsWindow(dialog)) return true;
    Sleep(kPollMs);
  }
  return !IsWindow(dialog);
}

}  // namespace

LRESULT DialogUser::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result) ==
      0) {
    ADD_FAILURE() << "message 0x" << std::hex << message << " not answered, error " << std::dec
                  << GetLastError();
    return 0;
  }
  return static_cast<LRESULT>(result);
}

HWND DialogUser::FocusedWindow() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(uiThread_, &info) ? info.hwndFocus : nullptr;
}

LRESULT DialogUser::CheckState(int id) const { return Send(Control(id), BM_GETCHECK, 0, 0); }

void DialogUser::Click(int id) const {
  const HWND control = Control(id);
  ASSERT_NE(control, nullptr) << "no control " << id;
  Send(control, BM_CLICK, 0, 0);
}

void DialogUser::PressKey(WPARAM key) const {
  // Keys go to the window with the focus; the dialog manager's message loop
  // (IsDialogMessage) turns Enter into the default button and Esc into
  // Cancel. Posted, not sent, since that loop only sees queued messages.
  HWND target = FocusedWindow();
  if (target == nullptr) target = dialog_;
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
  // The key press alone: the dialog acts on it and may be gone before a key
  // release could arrive.
  ASSERT_TRUE(PostMessageW(target, WM_KEYDOWN, key, 1 | (static_cast<LPARAM>(scan) << 16)));
}

void DialogUser::PressEnter() const { PressKey(VK_RETURN); }

void DialogUser::PressEscape() const { PressKey(VK_ESCAPE); }

void DialogUser::PressCloseBox() const { Send(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

namespace {

// The player's side of one press of the exit button.
struct Player {
  Player(const std::function<void(DialogUser&)>& playing, DWORD hostThread)
      : play(playing), uiThread(hostThread) {}

  const std::function<void(DialogUser&)>& play;
  const DWORD uiThread;
  std::atomic<bool> answered{false};
  DialogRun run;

  void Play() {
    const HWND dialog = WaitForVisibleDialog(answered);
    if (dialog == nullptr) return;
    run.shown = true;
    DialogUser user(dialog, uiThread);
    play(user);
    run.endedByPlay = WaitUntilGone(dialog);
    if (!run.endedByPlay) {
      // The play failed half-way: end the dialog as Cancel would, so the
      // host's thread comes back and the next test starts clean.
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, SMTO_NORMAL,
                          kSendTimeoutMs, &ignored);
      WaitUntilGone(dialog);
    }
  }

  static DWORD WINAPI Run(void* self) {
    static_cast<Player*>(self)->Play();
    return 0;
  }
};

}  // namespace

DialogRun PressExitAndPlay(const std::function<void(DialogUser&)>& play) {
  Player player(play, GetCurrentThreadId());
  const HANDLE thread = CreateThread(nullptr, 0, &Player::Run, &player, 0, nullptr);
  if (thread == nullptr) {
    ADD_FAILURE() << "no thread for the player, error " << GetLastError();
    return {};
  }
  sim::Host::Instance().PressExit();
  player.answered = true;
  // The player may still be asking this thread's windows for their
  // captions, which is a message sent to this thread: it must be answered
  // while waiting, or the two wait for each other.
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(thread);
  return player.run;
}

bool WaitUntilNoDialog() {
  const auto deadline = Clock::now() + kEndDeadline;
  while (Clock::now() < deadline) {
    if (FindDialog() == nullptr) return true;
    Sleep(kPollMs);
  }
  return FindDialog() == nullptr;
}

}  // namespace wine
