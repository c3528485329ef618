// vekhost: loads the module the way the CAD host does and plays a session at
// it over a drawing read from a JSON file, printing everything the module
// shows. See docs/vekhost.md; its usage and exit statuses are in
// vekhost_options.cpp. A bad input ends it with status 2 and one message on
// standard error naming the file and the place, before any file is written.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/settings_key.h"
#include "sim_host.h"
#include "support/reg_text.h"
#include "support/whole_file.h"
#include "vekhost_drawing_file.h"
#include "vekhost_options.h"
#include "vekhost_output.h"
#include "vekhost_platform.h"
#include "vekhost_script.h"
#include "vekhost_session.h"
#include "vekhost_svg.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

// The text of one of the module's settings as stored now, read as the module
// reads it, through the registry's Win32 names.
std::optional<std::u16string> ReadSetting(const std::u16string& name) {
  static const std::u16string key = SettingsKeyPath();
  UniqueRegKey settings;
  DWORD size = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(key.c_str()), 0, KEY_READ, settings.put()) !=
          ERROR_SUCCESS ||
      RegQueryValueExW(settings.get(), AsWide(name.c_str()), nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<uint8_t> data(size + 1);
  if (RegQueryValueExW(settings.get(), AsWide(name.c_str()), nullptr, nullptr, data.data(),
                       &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(size);
  return regtext::TextOf(data);
}

// Far above any session typed or written by hand; a script that lists the
// ids of ten million elements one by one still fits.
constexpr size_t kMaxScriptBytes = size_t{256} << 20;

// Where the log goes: standard output, or standard error when standard output
// carries the result drawing. The first failed write is kept, to be reported
// once the session is over.
std::FILE* g_log = stdout;
int g_logError = 0;
// The copy of the log that --log keeps, and the actions that --record
// keeps, each written as the session goes.
GrowingFile g_keptLog;
GrowingFile g_record;

void PrintLine(const std::string& line) {
  errno = 0;
  const bool good = std::fwrite(line.data(), 1, line.size(), g_log) == line.size() &&
                    std::fputc('\n', g_log) != EOF;
  if (!good && g_logError == 0) g_logError = errno != 0 ? errno : EIO;
}

void PrintFor(const std::string& line, LineFor to) {
  if (to != LineFor::kKeptLog) PrintLine(line);
  if (to != LineFor::kScreen) g_keptLog.AppendLine(line);
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
  const wholefile::Result read = wholefile::Read(stdin, limit, text);
  if (read.outcome == wholefile::Outcome::kTooLarge) {
    throw InputError("standard input: larger than " + std::to_string(limit) + " bytes");
  }
  if (!read.ok()) throw InputError("standard input: cannot be read");
  return text;
}

// The action that ends a session: a `quit`, or an interrupt.
Action Ended(ActionKind kind) {
  Action action;
  action.kind = kind;
  if (kind == ActionKind::kQuit) action.text = "quit";
  return action;
}

class ScriptSource final : public ActionSource {
 public:
  ScriptSource(std::vector<Action> actions, std::string fileName)
      : actions_(std::move(actions)), fileName_(std::move(fileName)) {}

  std::optional<Action> Next(bool) override {
    if (platform::EndingSignal() != 0) return Ended(ActionKind::kInterrupt);
    if (next_ >= actions_.size()) return std::nullopt;
    lastLine_ = actions_[next_].line;
    return actions_[next_++];
  }
  bool Reject(const Action& action, const std::string& problem, std::string& error) override {
    error = AtLine(fileName_, action.line, problem);
    return true;
  }
  bool EndedInDialog(std::string& error) override {
    error =
        AtLine(fileName_, lastLine_,
               "the script ends with the settings dialog still open (end it with ok or cancel)");
    return true;
  }
  bool Interactive() const override { return false; }

 private:
  std::vector<Action> actions_;
  std::string fileName_;
  size_t next_ = 0;
  int lastLine_ = 0;
};

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

// A person at a terminal, typing a line at a time. Ctrl-C drops the line
// typed, as in a shell; on the empty line right after one it ends the
// session as the end of input (Ctrl-D) does: both are a `quit`, so that they
// end it the same way, in the dialog too, and its record replays it.
class TerminalSource final : public ActionSource {
 public:
  std::optional<Action> Next(bool inDialog) override {
    using platform::LineRead;
    for (;;) {
      std::string line;
      const LineRead read = platform::ReadLine(inDialog ? "dialog> " : "vekhost> ", g_log, line);
      if (read == LineRead::kCleared) {
        if (EndsOnCtrlC(line)) return Ended(ActionKind::kQuit);
        continue;
      }
      dropped_ = false;
      if (read != LineRead::kLine) {
        // Ends the prompt's line on the screen; a failure shows in the log's
        // error flag, which LogWritten reports.
        (void)std::fputc('\n', g_log);
        return Ended(read == LineRead::kEnd ? ActionKind::kQuit : ActionKind::kInterrupt);
      }
      std::string problem;
      std::optional<Action> action = ParseAction(line, true, problem);
      if (!problem.empty()) Tell(problem);
      if (action) return action;
    }
  }
  bool Reject(const Action&, const std::string& problem, std::string&) override {
    Tell(problem);
    return false;
  }
  bool EndedInDialog(std::string&) override { return false; }
  bool Interactive() const override { return true; }

 private:
  static void Tell(const std::string& problem) { Show("vekhost: " + problem); }
  static void Show(const std::string& line) {
    PrintFor(line, LineFor::kScreen);
    (void)std::fflush(g_log);  // checked, with every other write, by LogWritten
  }

  bool EndsOnCtrlC(const std::string& line) {
    const bool again = dropped_ && IsBlank(line);
    dropped_ = true;
    if (!again) {
      Show(IsBlank(line) ? "^C (Ctrl-C again, quit or Ctrl-D ends the session)"
                         : "^C (the line is dropped)");
    }
    return again;
  }

  bool dropped_ = false;  // the last line read was dropped by Ctrl-C
};

int Fail(int status, const std::string& message) {
  // The status says it failed whatever becomes of these two writes.
  (void)std::fflush(g_log);
  (void)std::fprintf(stderr, "%s\n", message.c_str());
  return status;
}

// What vekhost could not load or write: exit status 1.
int Failed(const std::string& error) { return Fail(1, "vekhost: " + error); }

// Two options naming one file: one would overwrite what the other reads or
// writes. Devices and pipes are written in turn, as a shell would.
void RefuseSharedFiles(const Options& options, const std::string& registry) {
  struct Named {
    const char* option;
    const std::string* path;
    bool written;
  };
  const Named named[] = {{"the drawing", &options.drawing, false},
                         {"--script", &options.script, false},
                         {"--module", &options.module, false},
                         {"--resources", &options.resources, false},
                         {"--registry", &registry, true},
                         {"--svg-before", &options.svgBefore, true},
                         {"--svg", &options.svg, true},
                         {"--out", &options.out, true},
                         {"--record", &options.record, true},
                         {"--log", &options.log, true}};
  auto isFile = [](const std::string& path) {
    return !path.empty() && path != kStandardStream &&
           DestinationOf(path).kind == Destination::Kind::kReplace;
  };
  for (size_t i = 0; i < std::size(named); ++i) {
    for (size_t j = i + 1; j < std::size(named); ++j) {
      const Named& a = named[i];
      const Named& b = named[j];
      if ((!a.written && !b.written) || !isFile(*a.path) || !isFile(*b.path)) continue;
      // The result written over the drawing it was made from is safe: the
      // drawing is read whole first, and replaced whole at the end.
      if (a.path == &options.drawing && b.path == &options.out) continue;
      if (!SameFile(*a.path, *b.path)) continue;
      throw InputError("vekhost: " + std::string(a.option) + " " + *a.path + " and " + b.option +
                       " " + *b.path + " name the same file");
    }
  }
}

// The registry is written at the latest when the session ends, into a
// folder made for it when missing; a session must not start on one that
// cannot be written.
bool CheckRegistryWritable(const std::string& registry, std::string& error) {
  std::error_code code;
  const std::filesystem::path folder = DestinationOf(registry).target.parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, code);
  if (code) {
    error = registry + ": cannot be written: " + code.message();
    return false;
  }
  return CheckWritable(registry, error);
}

bool WriteToStandardOutput(const TextProducer& produce) {
  std::string reason;
  if (WriteToStream(stdout, produce, reason)) return true;
  (void)std::fprintf(stderr, "vekhost: standard output: the result drawing cannot be written: %s\n",
                     reason.c_str());
  return false;
}

// Where the settings of a session come from.
enum class RegistryStart { kRead, kCreated, kFresh };

// The first line of the log: a session's settings carry over to the next
// one, so the log says where they come from.
std::string RegistryLine(const std::string& registry, RegistryStart start) {
  if (start == RegistryStart::kFresh) {
    return "registry: fresh (the module starts from its defaults, and nothing is kept)";
  }
  return "registry: " + registry +
         (start == RegistryStart::kRead ? " (read)"
                                        : " (created; the module starts from its defaults)");
}

// The comment --record starts with: how to replay the session. `click`
// toggles a box, so a replay must start from the settings the session
// started from, not from those it left.
void WriteRecordHeader(const Options& options, const std::string& registry, RegistryStart start) {
  const bool read = start == RegistryStart::kRead;
  g_record.AppendLine("# The actions of a vekhost session over " + options.drawing + ".");
  if (read) {
    g_record.AppendLine("# It started from the settings in " + registry +
                        ", and `click` toggles a box,");
    g_record.AppendLine("# so replay it against a copy of " + registry +
                        " as it was before the session:");
  } else {
    g_record.AppendLine("# It started from the module's defaults, and so does this replay:");
  }
  g_record.AppendLine("#   vekhost " + options.drawing + " --registry " +
                      (read ? "COPY.reg" : "fresh") + " --script " + options.record);
}

// Ctrl-C while the module works or a script runs, a hang-up or a request to
// terminate: the session ends where it is. Only the typed work is written,
// and the log says which files are written and which are not, so that
// nobody takes an old result for this session's.
int EndInterrupted(const Options& options, const Session& session, const std::string& registry,
                   int signal) {
  // Their numbers, which Windows' C library does not all name.
  constexpr int kHangUp = 1;
  constexpr int kTerminate = 15;
  auto log = [](const std::string& line) { PrintFor(line, LineFor::kLog); };
  const std::string actions = Count(session.taken().size(), "action") + " taken";
  const std::string how = signal == kHangUp      ? "hung up (SIGHUP)"
                          : signal == kTerminate ? "terminated (SIGTERM)"
                                                 : "interrupted";
  log(how + ": the session ends here; only the typed work is written");
  log(options.record.empty() ? "  not saved: the " + actions + " (--record FILE.vks keeps them)"
                             : "  saved: " + options.record + ", the " + actions +
                                   " as a script (--script replays them)");
  if (!options.log.empty()) log("  saved: " + options.log + ", this log");
  // The module's settings are stored as it stores them, as in Windows'
  // registry: an interrupted session does not take them back.
  if (!registry.empty()) log("  saved: " + registry + ", the settings as the module stored them");
  const std::pair<const std::string*, const char*> lost[] = {
      {&options.out, "the result drawing"},
      {&options.svgBefore, "the picture before the session"},
      {&options.svg, "the picture after the session"}};
  for (const auto& [path, what] : lost) {
    if (path->empty()) continue;
    const std::string name = *path == kStandardStream ? "standard output" : *path;
    log("  not saved: " + name + ", " + what);
  }
  // The screen may be gone with the terminal; the exit status still says
  // how the session ended, and LogWritten has told what was lost.
  (void)LogWritten();
  std::string error;
  if (!WriteAllOrNone({}, {&g_record, &g_keptLog}, error)) return Failed(error);
  if (!registry.empty() && !platform::SaveRegistry(registry, error)) return Failed(error);
  return 128 + signal;
}

int PrintUsageOrVersion(const Options& options) {
  const std::string text = options.help ? Usage({platform::DefaultRegistryFile(),
                                                 VEKHOST_DEFAULT_MODULE, VEKHOST_DEFAULT_RESOURCES})
                                        : std::string("vekhost ") + SORVANE_VERSION + "\n";
  return WriteToStandardOutput([&text](const TextSink& sink) { return sink(text); }) ? 0 : 1;
}

// Everything a session needs, read and checked before the module is loaded.
struct Inputs {
  Options options;
  DrawingFile drawing;
  std::vector<Action> actions;  // the script's; none when typed
  std::string registry;         // empty for a fresh registry
  std::string scriptName;
  bool typed = false;
  RegistryStart registryStart = RegistryStart::kFresh;
};

// The command line, the outputs' places, the drawing, the script and the
// registry, each checked before anything runs. Gives an exit status when the
// session must not start (help and version end here too).
std::optional<int> ReadInputs(int argc, char** argv, sim::Host& host, Inputs& in) {
  Options& options = in.options;
  try {
    options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), VEKHOST_DEFAULT_MODULE);
    if (options.help || options.version) return PrintUsageOrVersion(options);
    if (options.out == kStandardStream) g_log = stderr;
    // "fresh" is a registry of the module's defaults that nothing keeps; a
    // file of that name is ./fresh.
    if (options.registry != kFreshRegistry) {
      in.registry = options.registry.empty() ? platform::DefaultRegistryFile() : options.registry;
    }
    RefuseSharedFiles(options, in.registry);
    std::string problem;
    for (const std::string* path :
         {&options.svgBefore, &options.svg, &options.out, &options.record, &options.log}) {
      if (!path->empty() && *path != kStandardStream && !CheckWritable(*path, problem))
        return Failed(problem);
    }
    if (!in.registry.empty() && !CheckRegistryWritable(in.registry, problem))
      return Failed(problem);
    in.drawing = LoadDrawing(options.drawing, host.drawing());
    // Without a script a person types at a prompt when standard input is a
    // terminal (standard output may well be a pipe into tee); otherwise
    // standard input is the script.
    in.typed = options.script.empty() && platform::IsTerminal();
    if (!in.typed) {
      const bool fromStdin = options.script.empty() || options.script == kStandardStream;
      in.scriptName = fromStdin ? "standard input" : options.script;
      const std::string text = fromStdin ? ReadStandardInput(kMaxScriptBytes)
                                         : ReadInputFile(options.script, kMaxScriptBytes);
      in.actions = ParseScript(text, in.scriptName);
      Session::CheckElementIds(in.actions, in.drawing, host.drawing(), in.scriptName);
    }
    if (!in.registry.empty()) {
      std::error_code code;
      const bool exists = std::filesystem::exists(DestinationOf(in.registry).target, code);
      in.registryStart = exists || code ? RegistryStart::kRead : RegistryStart::kCreated;
    }
    platform::LoadRegistry(in.registry);
  } catch (const InputError& error) {
    return Fail(2, error.what());
  }
  return std::nullopt;
}

// Loads the module and plays the session to its end. Gives an exit status
// when the session ended otherwise than by running through; `logged` says
// whether the log reached its destinations.
std::optional<int> RunSession(const Inputs& in, sim::Host& host, bool& logged) {
  const Options& options = in.options;
  std::string error;
  const sim::StartupFn startup = platform::LoadModule(options.module, error);
  if (startup == nullptr) return Failed(error);
  if (!platform::LoadDialogResources(startup, options.resources, error)) return Failed(error);
  const int32_t registered = host.Register(startup);
  if (registered != 0 || !host.Registered())
    return Failed("Startup returned " + std::to_string(registered));

  ScriptSource script(in.actions, in.scriptName);
  TerminalSource terminal;
  ActionSource* const chosen = in.typed ? static_cast<ActionSource*>(&terminal) : &script;
  ActionSource& source = *chosen;
  Session session(host, in.drawing, source, PrintFor, ReadSetting);
  platform::SetDialogDriver([&session](DialogPort& dialog) { session.OnDialog(dialog); });

  if (!options.log.empty() && !g_keptLog.Open(options.log, error)) return Failed(error);
  if (!options.record.empty()) {
    if (!g_record.Open(options.record, error)) return Failed(error);
    WriteRecordHeader(options, in.registry, in.registryStart);
    session.RecordTo([](const std::string& action) { g_record.AppendLine(action); });
  }
  platform::CatchSignals();
  PrintFor(RegistryLine(in.registry, in.registryStart), LineFor::kLog);
  PrintFor("drawing \"" + in.drawing.title + "\": " + Count(in.drawing.layers.size(), "layer") +
               ", " + Count(in.drawing.segments.size(), "segment") + ", " +
               Count(in.drawing.elements.size(), "element"),
           LineFor::kLog);
  if (source.Interactive()) PrintFor("type help for the actions, quit to end", LineFor::kScreen);
  if (!session.Run()) return Fail(2, session.error());
  if (session.interrupted()) {
    return EndInterrupted(options, session, in.registry, platform::EndingSignal());
  }
  session.PrintSummary();
  logged = LogWritten();
  return std::nullopt;
}

// The pictures, the result drawing, the record, the log and the registry:
// every file or none.
int WriteOutputs(const Inputs& in, sim::Host& host, const std::string& before, bool logged) {
  const Options& options = in.options;
  std::vector<OutputFile> files;
  if (!options.svgBefore.empty()) files.push_back({options.svgBefore, before, {}});
  if (!options.svg.empty()) {
    const SvgOptions pictures{.labels = options.labels, .markChanges = true};
    files.push_back({options.svg, RenderSvg(in.drawing, host.drawing(), pictures), {}});
  }
  // The result drawing is written as it is made: for a large drawing its
  // text would take more memory than the drawing itself.
  const TextProducer result = [&](const TextSink& sink) {
    return WriteDrawingJson(in.drawing, host.drawing(), sink);
  };
  if (!options.out.empty() && options.out != kStandardStream) {
    files.push_back({options.out, "", result});
  }
  std::string error;
  if (!WriteAllOrNone(files, {&g_record, &g_keptLog}, error)) return Failed(error);
  if (options.out == kStandardStream && !WriteToStandardOutput(result)) return 1;
  if (!in.registry.empty() && !platform::SaveRegistry(in.registry, error)) return Failed(error);
  return logged ? 0 : 1;
}

int Main(int argc, char** argv) {
  sim::Host& host = sim::Host::Instance();
  host.Reset();
  // Nobody reads the call trace here: vekhost keeps the host at its speed.
  host.SetTracing(false);
  Inputs in;
  if (const std::optional<int> status = ReadInputs(argc, argv, host, in)) return *status;
  const std::string before = in.options.svgBefore.empty()
                                 ? ""
                                 : RenderSvg(in.drawing, host.drawing(),
                                             {.labels = in.options.labels, .markChanges = false});
  bool logged = false;
  if (const std::optional<int> status = RunSession(in, host, logged)) return *status;
  return WriteOutputs(in, host, before, logged);
}

}  // namespace
}  // namespace vekhost

int main(int argc, char** argv) {
  // Inputs are checked where they are read; this is for what no check
  // foresaw, so that it still ends with a message rather than an abort.
  try {
    return vekhost::Main(argc, argv);
  } catch (const std::exception& error) {
    return vekhost::Fail(1, std::string("vekhost: internal error: ") + error.what());
  }
}
