// Running Sorvane.dll out of memory. Its C++ runtime is linked into it and
// takes its memory from msvcrt.dll's malloc, which the DLL imports by name.
// The test swaps that one import of the loaded DLL for a malloc that counts
// the calls and gives nothing for the one asked for, as an exhausted heap
// would: operator new in the module then throws std::bad_alloc, and
// nothing else in the process notices.
#pragma once

namespace wine {

// The module's call `n` from now (1 for the next one) to malloc fails, once;
// 0 cancels a pending failure.
void FailModuleMalloc(long n);
// Whether the failure asked for has happened.
bool ModuleMallocFailed();

}  // namespace wine
