// vekhost: loads the module the way the CAD host does and runs its command
// once against an empty simulated drawing, printing what the module shows.
//
//   vekhost [--module PATH]
//
// The module takes the Vek* functions and the registry from this process, so
// the simulated host and the registry stand-in are linked in whole and
// exported.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim_host.h"
#include "sim_text.h"

namespace {

const char* KindName(sim::MessageKind kind) {
  switch (kind) {
    case sim::MessageKind::kPrompt:
      return "prompt";
    case sim::MessageKind::kError:
      return "error";
    case sim::MessageKind::kCursor:
      return "cursor";
  }
  return "message";
}

int Usage() {
  std::fprintf(stderr, "usage: vekhost [--module PATH]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string module = VEKHOST_DEFAULT_MODULE;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--module") == 0 && i + 1 < argc) {
      module = argv[++i];
    } else {
      return Usage();
    }
  }

  void* library = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "vekhost: cannot load %s: %s\n", module.c_str(), dlerror());
    return 1;
  }
  auto startup = reinterpret_cast<sim::StartupFn>(dlsym(library, "Startup"));
  if (startup == nullptr) {
    std::fprintf(stderr, "vekhost: %s has no Startup\n", module.c_str());
    return 1;
  }

  sim::Host& host = sim::Host::Instance();
  host.Reset();
  int32_t registered = host.Register(startup);
  if (registered != 0 || !host.Registered()) {
    std::fprintf(stderr, "vekhost: Startup returned %d\n", registered);
    return 1;
  }
  host.RunCommand();
  for (const sim::Message& message : host.Messages()) {
    std::printf("%s: %s\n", KindName(message.kind), sim::ToUtf8(message.text).c_str());
  }
  // The module stays loaded until exit: its callbacks are still registered.
  return 0;
}
