// Where the host enters the module: registration, and the start of each run.
#include "command/source_step.h"
#include "host/VekLib.h"
#include "platform/export.h"
#include "settings/load_settings.h"

namespace {

// Every run starts fresh from the registry, so a flag an earlier run switched
// off in memory is restored, and settings changed elsewhere are seen.
int32_t StartFunction(VekArg a1, VekArg a2, VekArg a3, VekArg a4) {
  // Nothing may unwind into the host. Loading builds key paths and texts, so
  // all it can throw is running out of memory; the flags then keep what they
  // held, as after a registry read that failed, and the command still opens.
  try {
    LoadSettings();
  } catch (...) {
  }
  SourceReady(a1, a2, a3, a4);
  return 0;
}

int32_t SecondCallback(VekArg, VekArg, VekArg, VekArg) { return 0; }

int32_t EndFunction(VekArg, VekArg, VekArg, VekArg) { return 0; }

}  // namespace

SORVANE_EXPORT int32_t Startup(VekArg, VekArg, VekArg, VekArg hostArg) {
  if (VekCtlRegisterVekLib2(StartFunction, SecondCallback, EndFunction, hostArg) > 0) return 0;
  return -1;
}
