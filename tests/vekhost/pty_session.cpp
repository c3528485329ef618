// Types a short session at vekhost's interactive prompt through a
// pseudo-terminal, as a person would, and compares the whole screen
// transcript with a golden file.
//
//   vekhost_pty_session VEKHOST DRAWING GOLDEN WORKDIR SCENARIO
//
// SCENARIO is one of those below: a session ended by quit, one ended by
// Ctrl-D in the settings dialog, one ended by Ctrl-C, one whose terminal
// hung up in the dialog. Each keeps a record (--record) and a log (--log),
// and every record replays: the replay of a session that ended normally
// must print the kept log and write the same result drawing.
//
// Each line is typed only once the prompt for it is on the screen, so the
// terminal's echo and vekhost's output interleave the same way every time.
// With VEKHOST_UPDATE_GOLDEN set, the golden file is rewritten instead.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Only against a vekhost that hangs: a prompt that never comes.
constexpr int kPatienceMs = 30000;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int Fail(const std::string& why, const std::string& transcript) {
  (void)std::fprintf(stderr, "%s\n--- transcript so far ---\n%s\n", why.c_str(),
                     transcript.c_str());
  return 1;
}

// Reads until the screen ends with a prompt shown after `from`, or until
// vekhost has closed the terminal. False on neither within the patience.
bool ReadUntilPrompt(int master, std::string& screen, size_t from, bool& closed) {
  closed = false;
  for (;;) {
    if (screen.size() > from && (EndsWith(screen, "vekhost> ") || EndsWith(screen, "dialog> "))) {
      return true;
    }
    pollfd fd{master, POLLIN, 0};
    const int ready = poll(&fd, 1, kPatienceMs);
    if (ready == 0) return false;
    if (ready < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    char buffer[4096];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) {
      closed = true;  // EIO once the last process holding the terminal is gone
      return true;
    }
    screen.append(buffer, static_cast<size_t>(got));
  }
}

// Sent to vekhost as signals instead of typed.
const std::string kHangUp = "<SIGHUP>";
const std::string kTerminate = "<SIGTERM>";

int SignalOf(const std::string& keys) {
  return keys == kHangUp ? SIGHUP : keys == kTerminate ? SIGTERM : 0;
}

// Keys that end neither a line nor in a control key are a line half-typed:
// the next keys wait for their echo, not for a prompt.
bool HalfTyped(const std::string& keys) {
  return !keys.empty() && SignalOf(keys) == 0 && static_cast<unsigned char>(keys.back()) >= ' ';
}

// Reads until the screen ends with `echo`. False when it does not within the
// patience.
bool ReadUntilEcho(int master, std::string& screen, const std::string& echo) {
  while (!EndsWith(screen, echo)) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, kPatienceMs) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) return false;
    screen.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

struct Scenario {
  const char* name;
  std::vector<std::string> keys;  // each sent once a prompt shows, or a signal
  int status;                     // vekhost's exit status
  bool writesResult;              // the result and the registry are written
  std::string recordEnd;          // how the record ends
};

const std::vector<Scenario>& Scenarios() {
  // A typing mistake, the dialog opened from the source step, an action it
  // refuses while open, then a figure copied, and quit.
  static const std::vector<Scenario> scenarios{
      {"quit",
       {"help\n", "run\n", "zoom 2\n", "pick 101\n", "exit\n", "click hole\n", "pick 102\n", "ok\n",
        "select 301\n", "quit\n"},
       0,
       true,
       "ok\nselect 301\nquit\n"},
      // Ctrl-D in the dialog: the dialog is cancelled and the session ends
      // as with quit.
      {"ctrl-d", {"run\n", "exit\n", "click colour\n", "\x04"}, 0, true, "click colour\nquit\n"},
      // Ctrl-C drops a half-typed line, as in a shell; on the empty line
      // right after, it ends the session as quit does.
      {"ctrl-c", {"run\n", "pick 101\n", "zoo", "\x03", "\x03"}, 0, true, "pick 101\nquit\n"},
      // The terminal hangs up in the dialog: only the record and the log
      // are written, and the record ends the dialog so that it replays.
      {"sighup",
       {"run\n", "exit\n", "click colour\n", kHangUp},
       129,
       false,
       "click colour\ncancel\nquit\n"},
      // SIGTERM at the prompt: the same, with no dialog to end.
      {"sigterm", {"run\n", "pick 101\n", kTerminate}, 143, false, "run\npick 101\n"},
      // Line editing: a typo erased, the last line again with the up arrow,
      // a word put before what was typed with Ctrl-A. What the editor made
      // of the keys is what the record holds; the screen, full of the
      // editor's redrawing, is not compared.
      {"editing",
       {"rum\x7fn\n", "frame 2\n", "\x1b[A\n", "101\x01pick \n", "quit\n"},
       0,
       true,
       "\nrun\nframe 2\nframe 2\npick 101\nquit\n"},
  };
  return scenarios;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs vekhost on a script, its standard output into `log`; its exit status.
int RunScript(const std::string& vekhost, const std::vector<std::string>& args,
              const std::filesystem::path& work, const std::filesystem::path& log) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (chdir(work.c_str()) != 0) _exit(126);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || dup2(out, 1) < 0 || dup2(in, 0) < 0) _exit(126);
    std::vector<char*> argv{const_cast<char*>(vekhost.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(vekhost.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The line editor shows its prompt and only then puts the terminal in raw
// mode; keys typed in between would be taken by the terminal's cooked mode
// (a Ctrl-D lost, a line echoed twice). A person never types that fast.
bool WaitForRawMode(int master) {
  for (int waited = 0; waited < kPatienceMs; ++waited) {
    termios mode{};
    if (tcgetattr(master, &mode) != 0) return false;
    if ((mode.c_lflag & ICANON) == 0) return true;
    usleep(1000);
  }
  return false;
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const Scenario* scenario = nullptr;
  for (const Scenario& candidate : Scenarios()) {
    if (argc == 6 && candidate.name == std::string(argv[5])) scenario = &candidate;
  }
  if (scenario == nullptr) {
    (void)std::fprintf(stderr,
                       "usage: vekhost_pty_session VEKHOST DRAWING GOLDEN WORKDIR SCENARIO\n");
    return 2;
  }
  const std::string vekhost = argv[1];
  const std::string drawing = argv[2];
  const std::string golden = argv[3];
  const std::filesystem::path work = argv[4];
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  // vekhost runs in the work folder and is given bare names, which the
  // transcript then shows the same on every machine.
  const std::string registry = "registry.reg";
  const std::string result = "result.json";
  const std::string record = "session.vks";
  const std::string kept = "kept.log";

  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) {
    std::perror("forkpty");
    return 1;
  }
  if (child == 0) {
    if (chdir(work.c_str()) != 0) _exit(126);
    // The same terminal and editor settings on every machine: no user's
    // ~/.editrc (vi mode, say) takes part.
    setenv("TERM", "xterm", 1);
    setenv("EDITRC", "/dev/null", 1);
    execl(vekhost.c_str(), vekhost.c_str(), drawing.c_str(), "--registry", registry.c_str(),
          "--out", result.c_str(), "--record", record.c_str(), "--log", kept.c_str(),
          static_cast<char*>(nullptr));
    std::perror("execl");
    _exit(127);
  }

  std::string screen;
  bool closed = false;
  size_t from = 0;
  std::string echo;  // what the keys before typed without ending the line
  for (const std::string& keys : scenario->keys) {
    if (!echo.empty()) {
      if (!ReadUntilEcho(master, screen, echo)) {
        kill(child, SIGKILL);
        return Fail("\"" + echo + "\" was not echoed", screen);
      }
    } else if (!ReadUntilPrompt(master, screen, from, closed)) {
      kill(child, SIGKILL);
      return Fail("no prompt came before typing \"" + keys + "\"", screen);
    }
    if (closed) return Fail("vekhost ended before \"" + keys + "\" was typed", screen);
    if (!WaitForRawMode(master)) {
      kill(child, SIGKILL);
      return Fail("the prompt never took the terminal into raw mode", screen);
    }
    from = screen.size();
    echo = HalfTyped(keys) ? keys : "";
    if (SignalOf(keys) != 0) {
      kill(child, SignalOf(keys));
      continue;
    }
    if (write(master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
      kill(child, SIGKILL);
      return Fail("cannot type at the terminal", screen);
    }
  }
  // After the last keys: everything until vekhost closes the terminal.
  if (!ReadUntilPrompt(master, screen, from, closed)) {
    kill(child, SIGKILL);
    return Fail("vekhost did not end after the last keys", screen);
  }
  if (!closed) {
    kill(child, SIGKILL);
    return Fail("vekhost asked for more after the last keys", screen);
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  // The files are looked at from here on from the work folder.
  if (chdir(work.c_str()) != 0) return Fail("cannot enter " + work.string(), screen);

  const std::string transcript = WithoutCarriageReturns(screen);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != scenario->status) {
    return Fail("vekhost did not end with status " + std::to_string(scenario->status), transcript);
  }
  if (std::filesystem::exists(result) != scenario->writesResult) {
    return Fail(result + (scenario->writesResult ? " was not written" : " was written"),
                transcript);
  }
  // The module stores its settings as it goes, as in Windows' registry, so
  // even an interrupted session leaves them (here the defaults of its first
  // start).
  if (!std::filesystem::exists(registry)) return Fail(registry + " was not written", transcript);
  const std::string recorded = ReadFile(record);
  if (!EndsWith(recorded, scenario->recordEnd)) {
    return Fail("the record ends otherwise than with \"" + scenario->recordEnd + "\":\n" + recorded,
                transcript);
  }
  if (ReadFile(kept).empty()) return Fail("the log was not kept", transcript);
  // The record replays the session, in a folder of its own where the
  // registry has the same name and starts the same (from the defaults).
  const std::filesystem::path replay = work / "replay";
  std::filesystem::create_directories(replay);
  std::filesystem::copy_file(record, replay / record);
  const int replayed =
      RunScript(vekhost, {drawing, "--script", record, "--registry", registry, "--out", result},
                replay, replay / "replay.log");
  if (replayed != 0) return Fail("the replay ended with " + std::to_string(replayed), transcript);
  if (scenario->writesResult) {
    // Same log, same result drawing.
    if (ReadFile(replay / "replay.log") != ReadFile(kept)) {
      return Fail("the replay's log differs from the kept log; see diff -u " +
                      (work / kept).string() + " " + (replay / "replay.log").string(),
                  transcript);
    }
    if (ReadFile(replay / result) != ReadFile(result)) {
      return Fail("the replay's result differs from the session's", transcript);
    }
  }

  if (golden == "none") return 0;
  if (std::getenv("VEKHOST_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(golden, std::ios::binary) << transcript;
    return 0;
  }
  if (ReadFile(golden) != transcript) {
    const std::string produced = (work / "transcript.log").string();
    std::ofstream(produced, std::ios::binary) << transcript;
    (void)std::fprintf(stderr, "the transcript differs from %s; see diff -u %s %s\n",
                       golden.c_str(), golden.c_str(), produced.c_str());
    return 1;
  }
  return 0;
}
