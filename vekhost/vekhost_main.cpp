// vekhost: loads the module the way the CAD host does and plays a session at
// it over a drawing read from a JSON file, printing everything the module
// shows. See docs/vekhost.md.
//
//   vekhost DRAWING [--script SESSION] [--out RESULT.json] [--svg PICTURE.svg]
//           [--svg-before PICTURE.svg] [--registry FILE] [--module PATH]
//           [--resources FILE.res] [--record SESSION.vks] [--log FILE.log]
//   vekhost --help | --version
//
// Exit status: 0 done; 1 the module or a file could not be loaded or
// written (the log included); 2 a bad drawing, script, registry file or command line (one
// message on standard error naming the file and the place, and no file
// written); 130 interrupted at the prompt (only --record and --log written).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim_host.h"
#include "vekhost_drawing_file.h"
#include "vekhost_options.h"
#include "vekhost_output.h"
#include "vekhost_platform.h"
#include "vekhost_script.h"
#include "vekhost_session.h"
#include "vekhost_svg.h"

#ifndef VEKHOST_DEFAULT_MODULE
#define VEKHOST_DEFAULT_MODULE "Sorvane.so"
#endif
#ifndef VEKHOST_DEFAULT_RESOURCES
#define VEKHOST_DEFAULT_RESOURCES ""  // Windows: the dialog templates are in the module
#endif

namespace {

// Far above any session typed or written by hand; a script that lists the
// ids of ten million elements one by one still fits.
constexpr size_t kMaxScriptBytes = size_t{256} << 20;

// Where the log goes: standard output, or standard error when standard output
// carries the result drawing. The first failed write is kept, to be reported
// once the session is over.
std::FILE* g_log = stdout;
int g_logError = 0;
// The copy of the log that --log keeps, when asked for.
bool g_keepLog = false;
std::string g_keptLog;

void PrintLine(const std::string& line) {
  errno = 0;
  const bool good = std::fwrite(line.data(), 1, line.size(), g_log) == line.size() &&
                    std::fputc('\n', g_log) != EOF;
  if (!good && g_logError == 0) g_logError = errno != 0 ? errno : EIO;
}

void PrintFor(const std::string& line, vekhost::LineFor to) {
  if (to != vekhost::LineFor::kKeptLog) PrintLine(line);
  if (to != vekhost::LineFor::kScreen && g_keepLog) {
    g_keptLog += line;
    g_keptLog += '\n';
  }
}

// Flushes the log; false, with a message, when any of it was lost.
bool LogWritten() {
  errno = 0;
  if (std::fflush(g_log) != 0 && g_logError == 0) g_logError = errno != 0 ? errno : EIO;
  if (g_logError == 0) return true;
  // Standard error is the last place left to say it; if that fails too,
  // the exit status still does.
  (void)std::fprintf(stderr, "vekhost: %s: the log cannot be written: %s\n",
                     g_log == stdout ? "standard output" : "standard error",
                     std::strerror(g_logError));
  return false;
}

std::string ReadStandardInput(size_t limit) {
  std::string text;
  char buffer[65536];
  while (std::cin.read(buffer, sizeof buffer) || std::cin.gcount() > 0) {
    text.append(buffer, static_cast<size_t>(std::cin.gcount()));
    if (text.size() > limit) {
      throw vekhost::InputError("standard input: larger than " + std::to_string(limit) + " bytes");
    }
  }
  if (std::cin.bad()) throw vekhost::InputError("standard input: cannot be read");
  return text;
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

// A person at a terminal, typing a line at a time. The end of input
// (Ctrl-D) is a `quit`, so that it ends the session the same way, in the
// dialog too, and a record of the session replays it.
class TerminalSource final : public vekhost::ActionSource {
 public:
  std::optional<vekhost::Action> Next(bool inDialog) override {
    for (;;) {
      std::string line;
      const vekhost::platform::LineRead read =
          vekhost::platform::ReadLine(inDialog ? "dialog> " : "vekhost> ", g_log, line);
      if (read != vekhost::platform::LineRead::kLine) {
        // Ends the prompt's line on the screen; a failure shows in the log's
        // error flag, which LogWritten reports.
        (void)std::fputc('\n', g_log);
        vekhost::Action action;
        const bool quit = read == vekhost::platform::LineRead::kEnd;
        action.kind = quit ? vekhost::ActionKind::kQuit : vekhost::ActionKind::kInterrupt;
        action.text = quit ? "quit" : "";
        return action;
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
    PrintFor("vekhost: " + problem, vekhost::LineFor::kScreen);
    (void)std::fflush(g_log);  // checked, with every other write, by LogWritten
  }
};

std::string Count(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

int Fail(int status, const std::string& message) {
  // The status says it failed whatever becomes of these two writes.
  (void)std::fflush(g_log);
  (void)std::fprintf(stderr, "%s\n", message.c_str());
  return status;
}

}  // namespace

namespace {

// The output paths named, each checked before the session starts.
std::vector<std::string> OutputPaths(const vekhost::Options& options) {
  std::vector<std::string> paths;
  for (const std::string* path :
       {&options.svgBefore, &options.svg, &options.out, &options.record, &options.log}) {
    if (!path->empty() && *path != vekhost::kStandardStream) paths.push_back(*path);
  }
  return paths;
}

bool WriteToStandardOutput(const vekhost::TextProducer& produce) {
  std::string reason;
  const bool good = vekhost::WriteToStream(stdout, produce, reason);
  if (!good) {
    (void)std::fprintf(stderr,
                       "vekhost: standard output: the result drawing cannot be written: %s\n",
                       reason.c_str());
  }
  return good;
}

bool WriteToStandardOutput(const std::string& text) {
  return WriteToStandardOutput([&text](const vekhost::TextSink& sink) { return sink(text); });
}

// The script --record writes: the actions taken, one a line, after a
// comment saying what they replay.
std::string RecordText(const vekhost::Options& options, const std::vector<std::string>& taken) {
  std::string text = "# The actions of a vekhost session over " + options.drawing +
                     ". With the settings\n# it started from, this replays it:\n#   vekhost " +
                     options.drawing + " --script " + options.record + "\n";
  for (const std::string& action : taken) text += action + "\n";
  return text;
}

// The files kept whatever happens to the session: what was typed, and the log.
std::vector<vekhost::OutputFile> TypedWork(const vekhost::Options& options,
                                           const vekhost::Session& session) {
  std::vector<vekhost::OutputFile> files;
  if (!options.record.empty())
    files.push_back({options.record, RecordText(options, session.taken()), {}});
  if (!options.log.empty()) files.push_back({options.log, g_keptLog, {}});
  return files;
}

// Ctrl-C at the prompt: the session ends where it is. Only the typed work
// is written, and the log says which files are written and which are not, so
// that nobody takes an old result for this session's.
int EndInterrupted(const vekhost::Options& options, const vekhost::Session& session,
                   const std::string& registry) {
  using vekhost::LineFor;
  const size_t typed = session.taken().size();
  const std::string actions = Count(typed, "action") + " taken";
  PrintFor("interrupted: the session ends here; only the typed work is written", LineFor::kLog);
  if (!options.record.empty()) {
    PrintFor(
        "  saved: " + options.record + ", the " + actions + " as a script (--script replays them)",
        LineFor::kLog);
  } else {
    PrintFor("  not saved: the " + actions + " (--record FILE.vks keeps them)", LineFor::kLog);
  }
  if (!options.log.empty()) PrintFor("  saved: " + options.log + ", this log", LineFor::kLog);
  // The module's settings are stored as it stores them, as in Windows'
  // registry: an interrupted session does not take them back.
  PrintFor("  saved: " + registry + ", the settings as the module stored them", LineFor::kLog);
  const std::pair<const std::string*, const char*> lost[] = {
      {&options.out, "the result drawing"},
      {&options.svgBefore, "the picture before the session"},
      {&options.svg, "the picture after the session"}};
  for (const auto& [path, what] : lost) {
    if (path->empty()) continue;
    const std::string name = *path == vekhost::kStandardStream ? "standard output" : *path;
    PrintFor("  not saved: " + name + ", " + what, LineFor::kLog);
  }
  const bool logged = LogWritten();
  std::string error;
  if (!vekhost::WriteAllOrNone(TypedWork(options, session), error)) {
    return Fail(1, "vekhost: " + error);
  }
  if (!vekhost::platform::SaveRegistry(registry, error)) return Fail(1, "vekhost: " + error);
  return logged ? 130 : 1;
}

int PrintUsageOrVersion(const vekhost::Options& options) {
  const std::string text = options.help
                               ? vekhost::Usage({vekhost::platform::DefaultRegistryFile(),
                                                 VEKHOST_DEFAULT_MODULE, VEKHOST_DEFAULT_RESOURCES})
                               : std::string("vekhost ") + SORVANE_VERSION + "\n";
  return WriteToStandardOutput(text) ? 0 : 1;
}

}  // namespace

static int Main(int argc, char** argv) {
  vekhost::Options options;
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  // Nobody reads the call trace here: vekhost keeps the host at its speed.
  host.SetTracing(false);
  vekhost::DrawingFile drawing;
  std::vector<vekhost::Action> actions;
  std::string registry;
  std::string scriptName;
  bool typed = false;
  try {
    options = vekhost::ParseOptions(std::vector<std::string>(argv + 1, argv + argc),
                                    VEKHOST_DEFAULT_MODULE);
    if (options.help || options.version) return PrintUsageOrVersion(options);
    if (options.out == vekhost::kStandardStream) g_log = stderr;
    for (const std::string& path : OutputPaths(options)) {
      std::string problem;
      if (!vekhost::CheckWritable(path, problem)) return Fail(1, "vekhost: " + problem);
    }
    drawing = vekhost::LoadDrawing(options.drawing, host.drawing());
    // Without a script a person types at a prompt when standard input is a
    // terminal (standard output may well be a pipe into tee); otherwise
    // standard input is the script.
    typed = options.script.empty() && vekhost::platform::IsTerminal();
    g_keepLog = !options.log.empty();
    if (!typed) {
      const bool fromStdin = options.script.empty() || options.script == vekhost::kStandardStream;
      scriptName = fromStdin ? "standard input" : options.script;
      const std::string text = fromStdin ? ReadStandardInput(kMaxScriptBytes)
                                         : vekhost::ReadInputFile(options.script, kMaxScriptBytes);
      actions = vekhost::ParseScript(text, scriptName);
      vekhost::Session::CheckElementIds(actions, drawing, host.drawing(), scriptName);
    }
    registry =
        options.registry.empty() ? vekhost::platform::DefaultRegistryFile() : options.registry;
    vekhost::platform::LoadRegistry(registry);
  } catch (const vekhost::InputError& error) {
    return Fail(2, error.what());
  }
  vekhost::SvgOptions pictures;
  pictures.labels = options.labels;
  const std::string before =
      options.svgBefore.empty() ? "" : vekhost::RenderSvg(drawing, host.drawing(), pictures);

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

  ScriptSource script(actions, scriptName);
  TerminalSource terminal;
  vekhost::ActionSource* const chosen =
      typed ? static_cast<vekhost::ActionSource*>(&terminal) : &script;
  vekhost::ActionSource& source = *chosen;
  vekhost::Session session(host, drawing, source, PrintFor, vekhost::platform::ReadSetting);
  vekhost::platform::SetDialogDriver(
      [&session](vekhost::DialogPort& dialog) { session.OnDialog(dialog); });

  PrintFor("drawing \"" + drawing.title + "\": " + Count(drawing.layers.size(), "layer") + ", " +
               Count(drawing.segments.size(), "segment") + ", " +
               Count(drawing.elements.size(), "element"),
           vekhost::LineFor::kLog);
  if (source.Interactive()) {
    PrintFor("type help for the actions, quit to end", vekhost::LineFor::kScreen);
    vekhost::platform::CatchInterrupts();
  }
  if (!session.Run()) return Fail(2, session.error());
  if (session.interrupted()) return EndInterrupted(options, session, registry);
  session.PrintSummary();
  const bool logged = LogWritten();

  std::vector<vekhost::OutputFile> files = TypedWork(options, session);
  if (!options.svgBefore.empty()) files.push_back({options.svgBefore, before, {}});
  if (!options.svg.empty()) {
    pictures.markChanges = true;
    files.push_back({options.svg, vekhost::RenderSvg(drawing, host.drawing(), pictures), {}});
  }
  // The result drawing is written as it is made: for a large drawing its
  // text would take more memory than the drawing itself.
  const vekhost::TextProducer result = [&](const vekhost::TextSink& sink) {
    return vekhost::WriteDrawingJson(drawing, host.drawing(), sink);
  };
  if (!options.out.empty() && options.out != vekhost::kStandardStream) {
    files.push_back({options.out, "", result});
  }
  if (!vekhost::WriteAllOrNone(files, error)) return Fail(1, "vekhost: " + error);
  if (options.out == vekhost::kStandardStream && !WriteToStandardOutput(result)) return 1;
  if (!vekhost::platform::SaveRegistry(registry, error)) {
    return Fail(1, "vekhost: " + error);
  }
  return logged ? 0 : 1;
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
