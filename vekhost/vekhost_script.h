// Session scripts: what a user does in front of the host, one action a line
// (run, pick, select, list, exit, event, frame, and in the settings dialog
// click, ok and cancel; quit ends the session), as HelpText tells them. `#`
// starts a comment; blank lines are skipped. Typed at the interactive prompt,
// `help` is an action too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/VekLib.h"
#include "vekhost_selection.h"

namespace vekhost {

enum class ActionKind {
  kRun,
  kPick,
  kSelect,
  kList,
  kExit,
  kEvent,
  kFrame,
  kClick,
  kOk,
  kCancel,
  kHelp,
  kQuit,
  // Never written: the person at the prompt pressed Ctrl-C.
  kInterrupt
};

struct Action {
  ActionKind kind = ActionKind::kRun;
  std::vector<VekId> ids;  // pick: one
  Selection selection;     // select and list
  int32_t number = 0;      // event kind, frame, or box id
  int line = 0;            // 1-based line in its script; 0 when typed
  std::string text;        // the action as written, for the log
};

// Whether the action is one of those the settings dialog takes.
bool IsDialogAction(ActionKind kind);

// One check box of the settings dialog, as vekhost knows it by name.
struct BoxName {
  int id;
  std::string name;  // the registry value it mirrors
  std::vector<const char*> aliases;
};
const BoxName* FindBox(int id);

// Parses one line. Nothing for a blank line or a comment. On a problem gives
// nothing and sets `problem` (without file or line).
std::optional<Action> ParseAction(std::string_view line, bool interactive, std::string& problem);

// Parses a whole script; the first bad line throws InputError
// "FILE: at line N: problem".
std::vector<Action> ParseScript(const std::string& text, const std::string& fileName);

// The text shown for `help`.
std::string HelpText();

}  // namespace vekhost
