// vekhost: loads the module the way the CAD host does and plays a session at
// it over a drawing read from a JSON file, printing everything the module
// shows. See docs/vekhost.md.
//
//   vekhost DRAWING [--script SESSION] [--out RESULT.json] [--svg PICTURE.svg]
//           [--svg-before PICTURE.svg] [--registry FILE] [--module PATH]
//           [--resources FILE.res]
//
// Exit status: 0 done; 1 the module or a file could not be loaded or
// written; 2 a bad drawing, script, registry file or command line (one
// message on standard error naming the file and the place, and no file
// written).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim_host.h"
#include "vekhost_drawing_file.h"
#include "vekhost_platform.h"
#include "vekhost_script.h"
#include "vekhost_session.h"
#include "vekhost_svg.h"

#ifndef VEKHOST_DEFAULT_MODULE
#define VEKHOST_DEFAULT_MODULE "Sorvane.so"
#endif

namespace {

constexpr size_t kMaxScriptBytes = 1u << 20;

struct Options {
  std::string drawing;
  std::string script;
  std::string out;
  std::string svg;
  std::string svgBefore;
  std::string registry;
  std::string module = VEKHOST_DEFAULT_MODULE;
  std::string resources;
  bool help = false;
  bool version = false;
};

const char kUsage[] =
    "usage: vekhost DRAWING.json [--script SESSION] [--out RESULT.json] [--svg PICTURE.svg]\n"
    "               [--svg-before PICTURE.svg] [--registry FILE.reg] [--module PATH]\n"
    "               [--resources FILE.res]\n"
    "       vekhost --help | --version\n"
    "Without --script, and with a terminal, the actions are typed at a prompt.\n";

// Throws InputError for a command line it cannot follow.
Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        throw vekhost::InputError("vekhost: " + arg + " needs a value (see vekhost --help)");
      }
      if (!into.empty() && &into != &options.module) {
        throw vekhost::InputError("vekhost: " + arg + " is given twice");
      }
      into = argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--version" || arg == "-V") {
      options.version = true;
      return options;
    }
    if (arg == "--script")
      value(options.script);
    else if (arg == "--out")
      value(options.out);
    else if (arg == "--svg")
      value(options.svg);
    else if (arg == "--svg-before")
      value(options.svgBefore);
    else if (arg == "--registry")
      value(options.registry);
    else if (arg == "--module")
      value(options.module);
    else if (arg == "--resources")
      value(options.resources);
    else if (!arg.empty() && arg[0] == '-') {
      throw vekhost::InputError("vekhost: unknown option " + arg + " (see vekhost --help)");
    } else if (options.drawing.empty()) {
      options.drawing = arg;
    } else {
      throw vekhost::InputError("vekhost: one drawing only, and " + arg +
                                " is a second (see vekhost --help)");
    }
  }
  if (options.drawing.empty()) {
    throw vekhost::InputError("vekhost: no drawing named (see vekhost --help)");
  }
  return options;
}

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

class ScriptSource final : public vekhost::ActionSource {
 public:
  ScriptSource(std::vector<vekhost::Action> actions, std::string fileName)
      : actions_(std::move(actions)), fileName_(std::move(fileName)) {}

  std::optional<vekhost::Action> Next(bool) override {
    if (next_ >= actions_.size()) return std::nullopt;
    lastLine_ = actions_[next_].line;
    return actions_[next_++];
  }
  bool Reject(const vekhost::Action& action, const std::string& problem,
              std::string& error) override {
    error = fileName_ + ": at line " + std::to_string(action.line) + ": " + problem;
    return true;
  }
  bool EndedInDialog(std::string& error) override {
    error = fileName_ + ": at line " + std::to_string(lastLine_) +
            ": the script ends with the settings dialog still open (end it with ok or cancel)";
    return true;
  }
  bool Interactive() const override { return false; }

 private:
  std::vector<vekhost::Action> actions_;
  std::string fileName_;
  size_t next_ = 0;
  int lastLine_ = 0;
};

// A person at a terminal. The terminal's own line editing (erase, kill,
// word erase in cooked mode) is all the editing offered; what is typed is
// taken a whole line at a time.
class TerminalSource final : public vekhost::ActionSource {
 public:
  std::optional<vekhost::Action> Next(bool inDialog) override {
    for (;;) {
      std::fputs(inDialog ? "dialog> " : "vekhost> ", stdout);
      std::fflush(stdout);
      std::string line;
      if (!std::getline(std::cin, line)) {
        std::fputc('\n', stdout);
        return std::nullopt;
      }
      std::string problem;
      std::optional<vekhost::Action> action = vekhost::ParseAction(line, true, problem);
      if (!problem.empty()) Tell(problem);
      if (action) return action;
    }
  }
  bool Reject(const vekhost::Action&, const std::string& problem, std::string&) override {
    Tell(problem);
    return false;
  }
  bool EndedInDialog(std::string&) override { return false; }
  bool Interactive() const override { return true; }

 private:
  static void Tell(const std::string& problem) {
    PrintLine("vekhost: " + problem);
    std::fflush(stdout);
  }
};

bool WriteFile(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "vekhost: %s: cannot be written: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "vekhost: %s: cannot be written\n", path.c_str());
    return false;
  }
  return true;
}

std::string Count(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

int Fail(int status, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", message.c_str());
  return status;
}

}  // namespace

static int Main(int argc, char** argv) {
  Options options;
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  vekhost::DrawingFile drawing;
  std::vector<vekhost::Action> actions;
  std::string registry;
  try {
    options = ParseOptions(argc, argv);
    if (options.help) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (options.version) {
      // The project's one version, the module's own (CMake's project()).
      PrintLine("vekhost " SORVANE_VERSION);
      return 0;
    }
    drawing = vekhost::LoadDrawing(options.drawing, host.drawing());
    if (!options.script.empty()) {
      actions = vekhost::ParseScript(vekhost::ReadInputFile(options.script, kMaxScriptBytes),
                                     options.script);
      vekhost::Session::CheckElementIds(actions, host.drawing(), options.script);
    } else if (!vekhost::platform::IsTerminal()) {
      throw vekhost::InputError(
          "vekhost: no --script, and standard input and output are not a terminal");
    }
    registry =
        options.registry.empty() ? vekhost::platform::DefaultRegistryFile() : options.registry;
    vekhost::platform::LoadRegistry(registry);
  } catch (const vekhost::InputError& error) {
    return Fail(2, error.what());
  }
  const std::string before =
      options.svgBefore.empty() ? "" : vekhost::RenderSvg(drawing, host.drawing());

  std::string error;
  const sim::StartupFn startup = vekhost::platform::LoadModule(options.module, error);
  if (startup == nullptr) return Fail(1, "vekhost: " + error);
  if (!vekhost::platform::LoadDialogResources(startup, options.resources, error)) {
    return Fail(1, "vekhost: " + error);
  }
  const int32_t registered = host.Register(startup);
  if (registered != 0 || !host.Registered()) {
    return Fail(1, "vekhost: Startup returned " + std::to_string(registered));
  }

  ScriptSource script(actions, options.script);
  TerminalSource terminal;
  vekhost::ActionSource& source =
      options.script.empty() ? static_cast<vekhost::ActionSource&>(terminal) : script;
  vekhost::Session session(host, drawing, source, PrintLine, vekhost::platform::ReadSetting);
  vekhost::platform::SetDialogDriver(
      [&session](vekhost::DialogPort& dialog) { session.OnDialog(dialog); });

  PrintLine("drawing \"" + drawing.title + "\": " + Count(drawing.layers.size(), "layer") + ", " +
            Count(drawing.segments.size(), "segment") + ", " +
            Count(drawing.elements.size(), "element"));
  if (source.Interactive()) PrintLine("type help for the actions, quit to end");
  if (!session.Run()) return Fail(2, session.error());
  session.PrintSummary();
  std::fflush(stdout);

  bool written = true;
  if (!options.svgBefore.empty()) written = WriteFile(options.svgBefore, before) && written;
  if (!options.svg.empty()) {
    written = WriteFile(options.svg, vekhost::RenderSvg(drawing, host.drawing())) && written;
  }
  if (!options.out.empty()) {
    written = WriteFile(options.out, vekhost::DrawingToJson(drawing, host.drawing())) && written;
  }
  if (!vekhost::platform::SaveRegistry(registry, error)) {
    return Fail(1, "vekhost: " + error);
  }
  return written ? 0 : 1;
}

int main(int argc, char** argv) {
  // Inputs are checked where they are read; this is for what no check
  // foresaw, so that it still ends with a message rather than an abort.
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    return Fail(1, std::string("vekhost: internal error: ") + error.what());
  }
}
