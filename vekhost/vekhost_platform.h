// What vekhost needs from the platform it runs on: loading the module, the
// registry the module's settings live in, the dialog manager's hand-over of
// an open dialog, and whether a person sits at a terminal. Everything else in
// vekhost is portable.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "sim_host.h"
#include "vekhost_session.h"

namespace vekhost::platform {

// Loads the module and finds its Startup. On failure gives nothing and sets
// `error`.
sim::StartupFn LoadModule(const std::string& path, std::string& error);

// Makes the module's dialog templates available to the dialog manager, where
// the platform needs that (`resources` names the compiled resource file, a
// .res; an empty name takes the one built with the module).
bool LoadDialogResources(sim::StartupFn startup, const std::string& resources, std::string& error);

// From now on every dialog the module opens is handed to `driver`, which
// returns once the dialog is closed.
void SetDialogDriver(std::function<void(DialogPort& dialog)> driver);

// The registry file vekhost uses when none is named.
std::string DefaultRegistryFile();
// Loads the registry from the file; a missing file leaves it empty, and so
// does an empty path (a throw-away registry). A file that cannot be read or
// parsed is an InputError naming the file and line.
void LoadRegistry(const std::string& path);
bool SaveRegistry(const std::string& path, std::string& error);

// Whether standard input is a terminal, so that a person types the actions
// (standard output may be a pipe, into tee for one).
bool IsTerminal();

enum class LineRead {
  kLine,
  kEnd,          // the end of input (Ctrl-D on an empty line)
  kCleared,      // Ctrl-C at the prompt: `line` holds what it dropped
  kInterrupted,  // a signal that ends the session: EndingSignal() says which
};
// Shows `prompt` on `screen` and reads one line typed at the terminal,
// without its line end.
LineRead ReadLine(const char* prompt, std::FILE* screen, std::string& line);
// From now on an interrupt (Ctrl-C), a hang-up (the terminal closed) and a
// request to terminate no longer end the process at once: Ctrl-C at the
// prompt makes ReadLine give kCleared; any of them elsewhere is kept for
// EndingSignal, and makes ReadLine give kInterrupted.
void CatchSignals();
// The signal that asked the session to end (its number, as in the exit
// status 128 + number), or 0.
int EndingSignal();

}  // namespace vekhost::platform
