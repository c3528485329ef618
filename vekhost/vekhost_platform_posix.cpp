// vekhost's platform layer on Linux: the module is a shared object, the
// registry and the dialog manager are the stand-ins linked into vekhost.
#include <dlfcn.h>
#include <editline/readline.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "standin/registry_standin.h"
#include "standin/user32_standin.h"
#include "vekhost_platform.h"
#include "vekhost_registry_file.h"
#include "vekhost_words.h"

namespace vekhost::platform {
namespace {

// The signal that ends the session, once one came.
volatile std::sig_atomic_t g_ending = 0;
// Whether a line is being read at the prompt, where Ctrl-C only drops the
// line, and whether it did.
volatile std::sig_atomic_t g_atPrompt = 0;
volatile std::sig_atomic_t g_lineDropped = 0;

void OnSignal(int number) {
  if (number == SIGINT && g_atPrompt != 0) {
    g_lineDropped = 1;
  } else if (g_ending == 0) {
    g_ending = number;
  }
}

// Marks the time a line is read at the prompt.
class AtPrompt {
 public:
  AtPrompt() {
    g_lineDropped = 0;
    g_atPrompt = 1;
  }
  ~AtPrompt() { g_atPrompt = 0; }
  AtPrompt(const AtPrompt&) = delete;
  AtPrompt& operator=(const AtPrompt&) = delete;
};

// Every key typed comes through here, so that a signal ends the line at once:
// the interrupted read gives up instead of waiting for the next key. Ctrl-C
// at the prompt ends the line as Enter does, and the caller drops it; errno
// tells a failed read from the end of input.
int ReadKey(std::FILE*) {
  for (;;) {
    if (g_ending != 0) return EOF;
    if (g_lineDropped != 0) return '\n';
    unsigned char key = 0;
    errno = 0;
    const ssize_t got = read(STDIN_FILENO, &key, 1);
    if (got == 1) return key;
    if (got == 0 || errno != EINTR) return EOF;
  }
}

// A line as the terminal's own cooked mode edits it, for when the screen
// is not the terminal.
LineRead ReadPlainLine(const char* prompt, std::FILE* screen, std::string& line) {
  // The prompt is a courtesy; what the person types is read either way.
  (void)std::fputs(prompt, screen);
  (void)std::fflush(screen);
  const AtPrompt reading;
  for (;;) {
    const int key = ReadKey(nullptr);
    if (g_ending != 0) return LineRead::kInterrupted;
    // The terminal itself drops what was typed after the last line end.
    if (g_lineDropped != 0) return LineRead::kCleared;
    if (key == '\n') return LineRead::kLine;
    // Ctrl-D after some text hands that text over as a line.
    if (key == EOF) return line.empty() || errno != 0 ? LineRead::kEnd : LineRead::kLine;
    line += static_cast<char>(key);
  }
}

// A line edited with libedit (arrows, Ctrl-A/E/K/W, ...), with the lines
// typed before a key away (up and down arrows) for the rest of the session.
LineRead ReadEditedLine(const char* prompt, std::FILE* screen, std::string& line) {
  static const bool ready = [screen] {
    rl_catch_signals = 0;  // Ctrl-C is vekhost's own, above
    rl_getc_function = ReadKey;
    rl_instream = stdin;
    rl_outstream = screen;
    stifle_history(1000);
    return true;
  }();
  (void)ready;
  const AtPrompt reading;
  char* typed = readline(prompt);
  const bool ended = typed == nullptr;
  if (!ended) line = typed;
  std::free(typed);
  if (g_ending != 0) return LineRead::kInterrupted;
  if (g_lineDropped != 0) return LineRead::kCleared;
  if (ended) return LineRead::kEnd;
  if (!line.empty()) add_history(line.c_str());
  return LineRead::kLine;
}

// The stand-in's open dialog as vekhost's session sees it.
class StandinDialog final : public DialogPort {
 public:
  explicit StandinDialog(dlgstandin::OpenDialog& dialog) : dialog_(dialog) {}

  int TemplateId() const override { return dialog_.TemplateId(); }
  std::u16string Caption() const override { return dialog_.Caption(); }

  std::vector<Box> Boxes() const override {
    std::vector<Box> boxes;
    for (const dlgstandin::ControlTemplate& control : dialog_.Template().controls) {
      // Automatic check boxes only: the OK and Cancel buttons are no setting.
      if (control.id == -1 || (control.style & 0xF) != 0x3) continue;
      boxes.push_back({control.id, control.text, dialog_.IsChecked(control.id)});
    }
    return boxes;
  }

  bool Click(int boxId) override { return dialog_.Click(boxId); }
  bool PressOk() override { return dialog_.Click(IDOK); }
  bool PressCancel() override { return dialog_.Click(IDCANCEL); }
  bool IsOpen() const override { return dialog_.IsOpen(); }

 private:
  dlgstandin::OpenDialog& dialog_;
};

}  // namespace

sim::StartupFn LoadModule(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = path + ": cannot be loaded: " + (reason != nullptr ? reason : "unknown reason");
    return nullptr;
  }
  // The module stays loaded until the process ends: its callbacks stay
  // registered with the host.
  auto startup = reinterpret_cast<sim::StartupFn>(dlsym(library, "Startup"));
  if (startup == nullptr) error = path + ": exports no Startup";
  // cppcheck-suppress resourceLeak
  return startup;
}

bool LoadDialogResources(sim::StartupFn startup, const std::string& resources, std::string& error) {
  const std::string file = resources.empty() ? VEKHOST_DEFAULT_RESOURCES : resources;
  // On Windows the templates are linked into the module; here they are read
  // from the compiled resources it is linked with and filed under the module.
  const HINSTANCE module = dlgstandin::ModuleHandleOf(reinterpret_cast<const void*>(startup));
  if (module == nullptr) {
    error = "cannot tell which module Startup belongs to";
    return false;
  }
  return dlgstandin::LoadResources(module, file, error);
}

void SetDialogDriver(std::function<void(DialogPort& dialog)> driver) {
  dlgstandin::SetDriver([driver = std::move(driver)](dlgstandin::OpenDialog& open) {
    StandinDialog dialog(open);
    driver(dialog);
  });
}

std::string DefaultRegistryFile() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/sorvane/registry.reg";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.local/share/sorvane/registry.reg";
}

void LoadRegistry(const std::string& path) {
  regstandin::Reset();
  if (path.empty()) return;
  std::string error;
  if (registryfile::Attach(path, error)) return;
  throw InputError(AtLine(path, error));
}

// Every change reached the file as the module made it; what is left is to
// create a file nothing wrote, and to report what went wrong on the way.
bool SaveRegistry(const std::string& /*path*/, std::string& error) {
  return registryfile::Finish(error);
}

bool IsTerminal() { return isatty(STDIN_FILENO) == 1; }

void CatchSignals() {
  // No SA_RESTART: a read waiting at the prompt must return with EINTR.
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGHUP, SIGTERM}) sigaction(number, &action, nullptr);
}

int EndingSignal() { return g_ending; }

LineRead ReadLine(const char* prompt, std::FILE* screen, std::string& line) {
  line.clear();
  // A signal that came while the module worked ends the session before the
  // person is asked for more.
  if (g_ending != 0) return LineRead::kInterrupted;
  // Editing needs the screen to be the terminal typed at; with the log going
  // into a pipe the terminal's cooked mode still echoes and edits.
  if (isatty(STDIN_FILENO) == 1 && isatty(fileno(screen)) == 1) {
    return ReadEditedLine(prompt, screen, line);
  }
  return ReadPlainLine(prompt, screen, line);
}

}  // namespace vekhost::platform
