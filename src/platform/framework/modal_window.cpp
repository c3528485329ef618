#include "platform/framework/modal_window.h"

#ifdef _WIN32

namespace {

bool IsChildWindow(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

// A popup is owned by a top-level window or a popup, never by a child.
HWND OwnableWindow(HWND window) {
  while (window != nullptr && IsChildWindow(window)) window = GetParent(window);
  return window;
}

struct Rect {
  LONG left, top, right, bottom;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
};

Rect WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.left, r.top, r.right, r.bottom};
}

Rect WorkAreaNear(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

// The dialog's top-left corner when centred on `centre`, kept inside `area`.
LONG CentredStart(LONG centreStart, LONG centreEnd, LONG size, LONG areaStart, LONG areaEnd) {
  LONG start = (centreStart + centreEnd) / 2 - size / 2;
  if (start + size > areaEnd) start = areaEnd - size;
  if (start < areaStart) start = areaStart;
  return start;
}

// The window at the top of the chain that GetParent walks: for a child its
// parent, for a popup its owner. So a floating palette or tool window of the
// host leads to the host's main window, which must not take input either
// while the dialog is open; GetAncestor(GA_ROOT) would stop at the palette.
HWND TopOfOwnerChain(HWND window) {
  HWND top = window;
  for (HWND up = GetParent(top); up != nullptr; up = GetParent(up)) top = up;
  return top;
}

}  // namespace

ModalOwner TakeModalOwner(HWND parent) {
  HWND window = OwnableWindow(parent != nullptr ? parent : GetActiveWindow());
  const HWND top = window != nullptr ? TopOfOwnerChain(window) : nullptr;
  // Without a parent, the dialog goes to where the user last was in that
  // window: an open popup of it, if there is one.
  if (parent == nullptr && window != nullptr) window = GetLastActivePopup(window);

  ModalOwner taken;
  taken.owner = window;
  if (top != nullptr && top != window && IsWindowEnabled(top)) {
    EnableWindow(top, FALSE);
    taken.disabledTop = top;
  }
  return taken;
}

void ReleaseModalOwner(const ModalOwner& taken) {
  if (taken.disabledTop != nullptr) EnableWindow(taken.disabledTop, TRUE);
  if (taken.owner != nullptr && IsWindow(taken.owner) && GetActiveWindow() != taken.owner) {
    SetActiveWindow(taken.owner);
  }
}

DialogPlacement PlacementOf(HWND dialog) {
  const Rect r = WindowRect(dialog);
  return {IsWindowVisible(dialog) != FALSE, r.left, r.top};
}

void CentreIfNotPlaced(HWND dialog, const DialogPlacement& before) {
  if (before.visible) return;
  if ((GetWindowLongW(dialog, GWL_STYLE) & (WS_VISIBLE | WS_CHILD)) != 0) return;
  const Rect now = WindowRect(dialog);
  if (now.left != before.left || now.top != before.top) return;
  HWND owner = GetWindow(dialog, GW_OWNER);
  if (owner != nullptr && IsWindowEnabled(owner)) return;

  // A hidden or minimised owner is no place to centre on.
  if (owner != nullptr && (!IsWindowVisible(owner) || IsIconic(owner))) owner = nullptr;
  const Rect area = WorkAreaNear(owner);
  const Rect centre = owner != nullptr ? WindowRect(owner) : area;
  const LONG left = CentredStart(centre.left, centre.right, now.Width(), area.left, area.right);
  const LONG top = CentredStart(centre.top, centre.bottom, now.Height(), area.top, area.bottom);
  SetWindowPos(dialog, nullptr, left, top, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

#else

// Linux has no windows of its own: the only ones are the stand-in's dialogs,
// which have neither owners nor places on a screen.
ModalOwner TakeModalOwner(HWND parent) { return {parent, nullptr}; }

void ReleaseModalOwner(const ModalOwner&) {}

DialogPlacement PlacementOf(HWND) { return {}; }

void CentreIfNotPlaced(HWND, const DialogPlacement&) {}

#endif
