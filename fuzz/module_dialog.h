// For the targets that run the module itself: its settings dialog, taken
// from the compiled resources as vekhost takes it, and played by `driver`.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "host/VekLib.h"
#include "sorvane_dialog_res.h"
#include "standin/user32_standin.h"

extern "C" int32_t Startup(VekArg a1, VekArg a2, VekArg a3, VekArg a4);

namespace fuzz {

inline void PrepareModuleDialog(dlgstandin::Driver driver) {
  const HINSTANCE module = dlgstandin::ModuleHandleOf(reinterpret_cast<const void*>(&Startup));
  std::string error;
  if (!dlgstandin::LoadResources(module, SORVANE_DIALOG_RES, error)) {
    (void)std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  dlgstandin::SetDriver(std::move(driver));
}

}  // namespace fuzz
