// Whether the code running now is the platform's, a stand-in's Win32
// function, or its caller's. On Windows the two do not share an allocator
// or a way of failing: the platform reports running out of memory as a
// status, while the module's own code gets std::bad_alloc. A test that makes
// allocations fail asks this, so that it fails the caller's allocations and
// leaves the platform's alone.
#pragma once

namespace standin {

// How many Win32 functions of the stand-ins the thread is inside.
inline thread_local int platformDepth = 0;

// Entered by each Win32 function of the stand-ins for as long as it runs.
class PlatformCall {
 public:
  PlatformCall() { ++platformDepth; }
  ~PlatformCall() { --platformDepth; }
  PlatformCall(const PlatformCall&) = delete;
  PlatformCall& operator=(const PlatformCall&) = delete;
};

// Around a call back into the caller's code, such as a dialog procedure:
// that code is the caller's again until it returns.
class CallerCode {
 public:
  CallerCode() : saved_(platformDepth) { platformDepth = 0; }
  ~CallerCode() { platformDepth = saved_; }
  CallerCode(const CallerCode&) = delete;
  CallerCode& operator=(const CallerCode&) = delete;

 private:
  int saved_;
};

inline bool InPlatformCall() { return platformDepth > 0; }

}  // namespace standin
