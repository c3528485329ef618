// One owned handle of the platform (a registry key, a file descriptor),
// closed once, on every path out of the scope that owns it, in the manner of
// WIL's unique_any: the handle's type, the function that closes it and the
// value that means "none" make the type.
#pragma once

#include <utility>

template <typename Handle, auto close, Handle kNone = Handle{}>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(Handle handle) : handle_(handle) {}
  ~UniqueAny() { reset(); }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  Handle get() const { return handle_; }
  // For a function that opens a handle into the pointer it is given; the
  // handle held before is closed first.
  Handle* put() {
    reset();
    return &handle_;
  }
  void reset() {
    if (handle_ == kNone) return;
    const Handle handle = std::exchange(handle_, kNone);
    (void)close(handle);
  }
  // Closes the handle now; false when closing it failed (a file whose last
  // writes did not reach the disk, say). Closing none succeeds.
  bool Close() {
    if (handle_ == kNone) return true;
    const Handle handle = std::exchange(handle_, kNone);
    return close(handle) == 0;
  }

 private:
  Handle handle_ = kNone;
};
