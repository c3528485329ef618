#include "standin/platform_call.h"

namespace standin {
namespace {
thread_local int depth = 0;
}  // namespace

PlatformCall::PlatformCall() { ++depth; }
PlatformCall::~PlatformCall() { --depth; }

CallerCode::CallerCode() : saved_(depth) { depth = 0; }
CallerCode::~CallerCode() { depth = saved_; }

bool InPlatformCall() { return depth > 0; }

}  // namespace standin
