// GoogleTest's own customisation point, taken instead of its empty default.
//
// The Windows build uses the win32 thread model of MinGW-w64's runtime (see
// cmake/mingw-w64-x86_64.cmake), which has no std::mutex or
// std::condition_variable. GoogleTest itself locks with Windows' critical
// sections; only its Notification, a one-shot event, is written with those
// two. This one is Windows' own event.
#pragma once

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
