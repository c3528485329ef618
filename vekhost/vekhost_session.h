// One session of the module in front of the simulated host: the actions of
// a script or of a user at the prompt played at the host, and a log of what
// the module shows, the settings dialog included, ending with a summary of
// what changed in the drawing and in the stored settings.
//
// The log is plain UTF-8 text, one event a line, with nothing in it that
// differs between runs or platforms (no addresses, no times, numbers through
// FormatNumber), so that it can be kept as a golden file and compared with
// the log of a Windows build line for line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim_drawing.h"
#include "sim_host.h"
#include "vekhost_drawing_file.h"
#include "vekhost_script.h"

namespace vekhost {

// The settings dialog while the module has it open, as the platform's
// dialog manager gives it to the process that plays the user.
class DialogPort {
 public:
  struct Box {
    int id = 0;
    std::u16string text;
    bool checked = false;
  };

  virtual ~DialogPort() = default;
  virtual int TemplateId() const = 0;
  virtual std::u16string Caption() const = 0;
  // The check boxes, in tab order.
  virtual std::vector<Box> Boxes() const = 0;
  // Each gives false when the dialog has already ended or has no such box.
  virtual bool Click(int boxId) = 0;
  virtual bool PressOk() = 0;
  virtual bool PressCancel() = 0;
  virtual bool IsOpen() const = 0;
};

// Where the actions come from: a script, or a user at a terminal.
class ActionSource {
 public:
  virtual ~ActionSource() = default;
  // The next action, or nothing when the input has ended. `inDialog` tells
  // an interactive source which prompt to show.
  virtual std::optional<Action> Next(bool inDialog) = 0;
  // An action that cannot be done now. Gives true when the session must stop
  // (a script: `error` is then its complete message), false to go on (a user
  // at the prompt, who has been told).
  virtual bool Reject(const Action& action, const std::string& problem, std::string& error) = 0;
  // The input ended with the settings dialog still open; same answer.
  virtual bool EndedInDialog(std::string& error) = 0;
  virtual bool Interactive() const = 0;
};

// The stored text of a setting, by value name; nothing when it is missing.
using SettingsReader = std::function<std::optional<std::u16string>(const std::u16string& name)>;

// Whom a line of the session is for. The log proper goes to the screen and
// to the kept log (--log); what only helps the person at the prompt (help,
// the boxes shown again) goes to the screen alone; an action typed at the
// prompt goes to the kept log alone, since the terminal already shows it.
// The kept log of a typed session thus reads as the log of its replay.
enum class LineFor { kLog, kScreen, kKeptLog };
using Printer = std::function<void(const std::string& line, LineFor to)>;

class Session {
 public:
  // Notes the settings now, and has the drawing keep from now on what the
  // module replaces, for the summary.
  Session(sim::Host& host, const DrawingFile& file, ActionSource& source, Printer print,
          SettingsReader settings);

  // Plays every action until the input ends, a `quit` or an interrupt.
  // False when the source asked to stop at an action that could not be done;
  // error() then tells which.
  bool Run();
  const std::string& error() const { return error_; }
  // Whether the person at the prompt interrupted the session (Ctrl-C).
  bool interrupted() const { return interrupted_; }
  // The actions taken, as written in a script: a script of them replays the
  // session (a typed session ended by Ctrl-D ends with `quit`).
  const std::vector<std::string>& taken() const { return taken_; }
  // From now on `record` gets each action as it is taken, as written in a
  // script, so that the record of a session grows with it.
  void RecordTo(std::function<void(const std::string& action)> record) {
    record_ = std::move(record);
  }

  // The platform's dialog driver hands every dialog the module opens here; it
  // returns once the dialog is closed.
  void OnDialog(DialogPort& dialog);

  // What changed since the session began: elements and segments, then the
  // stored settings.
  void PrintSummary();

  // Whether what a script's picks, selects and lists name by number is in
  // the drawing; throws InputError "FILE: at line N: ..." for the first
  // that is not.
  static void CheckElementIds(const std::vector<Action>& actions, const DrawingFile& file,
                              const sim::Drawing& drawing, const std::string& fileName);

 private:
  void Do(const Action& action);
  void DoSelect(const Action& action, const std::vector<VekId>& ids, uint32_t mask);
  void List(const Action& action, const std::vector<VekId>& ids);
  void Flush();
  void Print(const std::string& line, LineFor to = LineFor::kLog) { print_(line, to); }
  void Take(const Action& action);
  void Record(const std::string& text);
  void Note(const std::string& text) { Print("  (" + text + ")"); }
  bool Stop(const Action& action, const std::string& problem);
  void PrintBoxes(const DialogPort& dialog, LineFor to = LineFor::kLog);
  // Gives each line of what changed in the drawing, in file order.
  void ForEachChange(const std::function<void(const std::string&)>& take) const;

  sim::Host& host_;
  const DrawingFile& file_;
  ActionSource& source_;
  Printer print_;
  SettingsReader settings_;
  std::vector<std::optional<std::u16string>> settingsBefore_;
  size_t shown_ = 0;  // messages already printed
  bool stopped_ = false;
  bool quit_ = false;
  bool interrupted_ = false;
  std::string error_;
  std::vector<std::string> taken_;
  std::function<void(const std::string& action)> record_;
};

// The registry values the summary compares, in the order the module keeps them.
const std::vector<std::u16string>& SettingNames();

}  // namespace vekhost
