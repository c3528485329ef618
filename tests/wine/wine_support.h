// What the Windows test program needs beside the shared suite: Sorvane.dll
// loaded by path as a host loads it.
#pragma once

#include <windows.h>

#include <string>

#include "sim_host.h"

namespace wine {

// Where Sorvane.dll is: the SORVANE_DLL environment variable if set, else
// beside this program.
std::wstring ModulePath();

// Sorvane.dll, loaded once for the whole run with LoadLibraryW and never
// unloaded: its callbacks stay registered with the host, as in a real host.
// Null if it cannot be loaded.
HMODULE Module();

// The module's exported Startup, looked up by name; null if there is none.
sim::StartupFn Startup();

// For failure messages: Korean texts are unreadable as UTF-16 escapes.
std::string Utf8(const std::wstring& text);

}  // namespace wine
