// The test program's global operator new counts what it hands out and can be
// told to refuse one allocation, as an exhausted heap would. The module is
// linked into the test program, so its allocations go through it too.
#pragma once

namespace counting_new {

// How many allocations have been made since the program started.
long Count();

// Makes the caller's allocation `n` from now (1 for the next one) throw
// std::bad_alloc, once; 0 cancels a pending failure. The stand-ins' own
// allocations are not the caller's and never fail (standin/platform_call.h):
// Windows reports running out of memory as a status, which other tests
// inject.
void FailAfter(long n);

// Whether the failure asked for has happened.
bool Failed();

}  // namespace counting_new
