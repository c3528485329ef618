// Marks the one function the module exports to its host.
#pragma once

#ifdef _WIN32
#define SORVANE_EXPORT extern "C" __declspec(dllexport)
#else
#define SORVANE_EXPORT extern "C" __attribute__((visibility("default")))
#endif
