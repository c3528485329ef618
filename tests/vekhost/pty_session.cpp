// Types a short session at vekhost's interactive prompt through a
// pseudo-terminal, as a person would, and compares the whole screen
// transcript with a golden file.
//
//   vekhost_pty_session VEKHOST DRAWING GOLDEN WORKDIR
//
// Each line is typed only once the prompt for it is on the screen, so the
// terminal's echo and vekhost's output interleave the same way every time.
// With VEKHOST_UPDATE_GOLDEN set, the golden file is rewritten instead.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
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
  std::fprintf(stderr, "%s\n--- transcript so far ---\n%s\n", why.c_str(), transcript.c_str());
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

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: vekhost_pty_session VEKHOST DRAWING GOLDEN WORKDIR\n");
    return 2;
  }
  const std::string vekhost = argv[1];
  const std::string drawing = argv[2];
  const std::string golden = argv[3];
  const std::filesystem::path work = argv[4];
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  const std::string registry = (work / "registry.reg").string();
  const std::string result = (work / "result.json").string();

  // A typing mistake, the dialog opened from the source step, an action it
  // refuses while open, then a figure copied, and quit.
  const std::vector<std::string> typed{"help",       "run",      "zoom 2", "pick 101",   "exit",
                                       "click hole", "pick 102", "ok",     "select 301", "quit"};

  int master = -1;
  const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) {
    std::perror("forkpty");
    return 1;
  }
  if (child == 0) {
    execl(vekhost.c_str(), vekhost.c_str(), drawing.c_str(), "--registry", registry.c_str(),
          "--out", result.c_str(), static_cast<char*>(nullptr));
    std::perror("execl");
    _exit(127);
  }

  std::string screen;
  bool closed = false;
  size_t from = 0;
  for (const std::string& line : typed) {
    if (!ReadUntilPrompt(master, screen, from, closed)) {
      kill(child, SIGKILL);
      return Fail("no prompt came before typing \"" + line + "\"", screen);
    }
    if (closed) return Fail("vekhost ended before \"" + line + "\" was typed", screen);
    from = screen.size();
    const std::string keys = line + "\n";
    if (write(master, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
      kill(child, SIGKILL);
      return Fail("cannot type at the terminal", screen);
    }
  }
  // After quit: everything until vekhost closes the terminal.
  if (!ReadUntilPrompt(master, screen, from, closed)) {
    kill(child, SIGKILL);
    return Fail("vekhost did not end after quit", screen);
  }
  if (!closed) {
    kill(child, SIGKILL);
    return Fail("vekhost asked for more after quit", screen);
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(master);

  const std::string transcript = WithoutCarriageReturns(screen);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return Fail("vekhost did not end with status 0", transcript);
  }
  if (!std::filesystem::exists(result)) return Fail("quit did not write the result", transcript);
  if (!std::filesystem::exists(registry)) return Fail("quit did not save the registry", transcript);

  if (std::getenv("VEKHOST_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(golden, std::ios::binary) << transcript;
    return 0;
  }
  std::ifstream in(golden, std::ios::binary);
  std::stringstream expected;
  expected << in.rdbuf();
  if (expected.str() != transcript) {
    const std::string produced = (work / "transcript.log").string();
    std::ofstream(produced, std::ios::binary) << transcript;
    std::fprintf(stderr, "the transcript differs from %s; see diff -u %s %s\n", golden.c_str(),
                 golden.c_str(), produced.c_str());
    return 1;
  }
  return 0;
}
