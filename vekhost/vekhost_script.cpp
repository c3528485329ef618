#include "vekhost_script.h"

#include <algorithm>

#include "settings/settings_flags.h"
#include "support/utf.h"
#include "vekhost_drawing_file.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

// Windows' Notepad starts a UTF-8 file with a byte order mark, as do other
// editors asked to save UTF-8 there. It marks the file, not the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

using Args = std::vector<std::string_view>;

Args Words(std::string_view line) {
  Args words;
  for (size_t start = line.find_first_not_of(" \t"); start != std::string_view::npos;) {
    const size_t end = std::min(line.find_first_of(" \t", start), line.size());
    words.push_back(line.substr(start, end - start));
    start = line.find_first_not_of(" \t", end);
  }
  return words;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

const std::vector<BoxName>& BoxNames() {
  // In the order the dialog lists them, which is its tab order. The ids and
  // names are the module's; the words a script may use instead are vekhost's.
  static const std::vector<BoxName> boxes = [] {
    std::vector<BoxName> named = {
        {IDC_HOLE_LAYER, "", {"hole", "holelayer", "hole-layer"}},
        {IDC_COLOR, "", {"colour", "color"}},
        {IDC_LTYPE, "", {"linetype", "ltype", "line-type"}},
        {IDC_LAYER, "", {"layer"}},
        {IDC_DECIMAL_PLACE, "", {"decimal", "decimals", "decimalplaces", "decimal-places"}},
        {IDC_TOLERANCE, "", {"tolerance"}},
        {IDC_DIM_SIZE, "", {"dimsize", "charsize", "dim-size", "char-size"}},
    };
    for (BoxName& box : named) {
      for (const SettingDef& setting : kSettings) {
        if (setting.boxId == box.id) box.name = utf::ToUtf8(setting.name);
      }
    }
    return named;
  }();
  return boxes;
}

std::optional<int> ResolveBox(std::string_view word) {
  const std::string lower = Lower(word);
  for (const BoxName& box : BoxNames()) {
    if (std::to_string(box.id) == lower || Lower(box.name) == lower) return box.id;
    for (const char* alias : box.aliases) {
      if (lower == alias) return box.id;
    }
  }
  return std::nullopt;
}

// What follows an action's word, already split. Each reader fills in the
// action or says what is wrong.
using ArgumentReader = bool (*)(const Args& args, const std::string& verb, Action& action,
                                std::string& problem);

bool ExpectCount(const Args& args, size_t count, const std::string& verb, const std::string& what,
                 std::string& problem) {
  if (args.size() == count) return true;
  problem = "`" + verb + "` takes " + (count == 0 ? "no argument" : what) + ", found " +
            Count(args.size(), "argument");
  return false;
}

bool NoArgument(const Args& args, const std::string& verb, Action&, std::string& problem) {
  return ExpectCount(args, 0, verb, "", problem);
}

bool ElementId(const Args& args, const std::string& verb, Action& action, std::string& problem) {
  if (!ExpectCount(args, 1, verb, "one element id", problem)) return false;
  VekId id = 0;
  if (!ParseElementId(args[0], id, problem)) return false;
  action.ids.push_back(id);
  return true;
}

bool SelectionArguments(const Args& args, const std::string& verb, Action& action,
                        std::string& problem) {
  std::optional<Selection> selection = ParseSelection(args, verb, problem);
  if (!selection) return false;
  action.selection = std::move(*selection);
  return true;
}

// One number from `low` to `high`, such as an event kind or a frame.
bool NumberIn(const Args& args, const std::string& verb, const std::string& what, int32_t low,
              int32_t high, Action& action, std::string& problem) {
  if (!ExpectCount(args, 1, verb, "one " + what, problem)) return false;
  const std::optional<int64_t> number = ParseDecimal(args[0], low < 0);
  if (!number || *number < low || *number > high) {
    problem = Quoted(args[0]) + " is no " + what + " (" + std::to_string(low) + " to " +
              std::to_string(high) + ")";
    return false;
  }
  action.number = static_cast<int32_t>(*number);
  return true;
}

bool EventKind(const Args& args, const std::string& verb, Action& action, std::string& problem) {
  return NumberIn(args, verb, "event kind", 0, 65535, action, problem);
}

bool FrameNumber(const Args& args, const std::string& verb, Action& action, std::string& problem) {
  return NumberIn(args, verb, "frame number", -1000000, 1000000, action, problem);
}

bool BoxArgument(const Args& args, const std::string& verb, Action& action, std::string& problem) {
  if (!ExpectCount(args, 1, verb, "one box id or name", problem)) return false;
  std::optional<int> box = ResolveBox(args[0]);
  if (!box) {
    problem = Quoted(args[0]) +
              " is no box of the settings dialog (12000 to 12005, 12007, or a name such as "
              "mIsColor or colour)";
    return false;
  }
  action.number = *box;
  return true;
}

struct ActionWord {
  std::string_view word;
  ActionKind kind;
  ArgumentReader read;
  bool typedOnly;  // only at the interactive prompt
};

// Every action, in the order an unknown word's message lists them.
constexpr ActionWord kActionWords[] = {
    {"run", ActionKind::kRun, NoArgument, false},
    {"pick", ActionKind::kPick, ElementId, false},
    {"select", ActionKind::kSelect, SelectionArguments, false},
    {"list", ActionKind::kList, SelectionArguments, false},
    {"exit", ActionKind::kExit, NoArgument, false},
    {"event", ActionKind::kEvent, EventKind, false},
    {"frame", ActionKind::kFrame, FrameNumber, false},
    {"click", ActionKind::kClick, BoxArgument, false},
    {"ok", ActionKind::kOk, NoArgument, false},
    {"cancel", ActionKind::kCancel, NoArgument, false},
    {"quit", ActionKind::kQuit, NoArgument, false},
    {"help", ActionKind::kHelp, NoArgument, true},
};

std::string UnknownAction(std::string_view word, const std::string& verb, bool interactive) {
  std::vector<std::string_view> actions;
  for (const ActionWord& action : kActionWords) {
    if (interactive || !action.typedOnly) actions.push_back(action.word);
  }
  const std::string near = NearestWord(verb, actions);
  std::string list;
  for (std::string_view action : actions) list.append(list.empty() ? "" : ", ").append(action);
  return "unknown action " + Quoted(word) + (near.empty() ? "" : ", did you mean " + near + "?") +
         " (" + list + ")";
}

}  // namespace

bool IsDialogAction(ActionKind kind) {
  return kind == ActionKind::kClick || kind == ActionKind::kOk || kind == ActionKind::kCancel;
}

const BoxName* FindBox(int id) {
  const auto found = std::ranges::find(BoxNames(), id, &BoxName::id);
  return found == BoxNames().end() ? nullptr : &*found;
}

std::optional<Action> ParseAction(std::string_view line, bool interactive, std::string& problem) {
  problem.clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (std::any_of(line.begin(), line.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; })) {
    problem = "the line holds a control character";
    return std::nullopt;
  }
  if (const size_t hash = line.find('#'); hash != std::string_view::npos)
    line = line.substr(0, hash);
  const Args words = Words(line);
  if (words.empty()) return std::nullopt;

  const std::string verb = Lower(words[0]);
  const auto known = std::ranges::find_if(kActionWords, [&](const ActionWord& entry) {
    return entry.word == verb && (interactive || !entry.typedOnly);
  });
  if (known == std::end(kActionWords)) {
    problem = UnknownAction(words[0], verb, interactive);
    return std::nullopt;
  }
  Action action;
  action.kind = known->kind;
  if (!known->read({words.begin() + 1, words.end()}, verb, action, problem)) return std::nullopt;

  action.text = verb;
  for (size_t i = 1; i < words.size(); ++i) action.text.append(" ").append(words[i]);
  return action;
}

std::vector<Action> ParseScript(const std::string& text, const std::string& fileName) {
  std::vector<Action> actions;
  int lineNumber = 0;
  size_t start = text.rfind(kByteOrderMark, 0) == 0 ? kByteOrderMark.size() : 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++lineNumber;
    std::string problem;
    std::optional<Action> action =
        ParseAction(std::string_view(text).substr(start, end - start), false, problem);
    if (!problem.empty()) throw InputError(AtLine(fileName, lineNumber, problem));
    if (action) {
      action->line = lineNumber;
      actions.push_back(std::move(*action));
    }
    start = end + 1;
  }
  return actions;
}

std::string HelpText() {
  return "actions:\n"
         "  run                 start the command\n"
         "  pick ID             pick one element\n"
         "  select ID ID ...    select a range of elements; ID-ID takes every id\n"
         "                      from the one to the other\n"
         "  select all          select every element\n"
         "  select layer N type A-B segment S\n"
         "                      select the elements passing the filters given\n"
         "                      (any of the three; type A alone is one type)\n"
         "  list [...]          list elements: all, or those that select would take\n"
         "  exit                press the exit button (opens the settings dialog\n"
         "                      while the command waits for a source, a figure range\n"
         "                      or annotations)\n"
         "  event KIND          send another event kind (0 to 65535)\n"
         "  frame N             make N the host's current frame\n"
         "  help                this text\n"
         "  quit                end the session and write the files (also Ctrl-D;\n"
         "                      in the dialog it cancels the dialog first)\n"
         "  Ctrl-C              drop the line typed; again on the empty line, end as quit\n"
         "in the settings dialog:\n"
         "  click BOX           click a box by id or name: 12001 colour, 12002 linetype,\n"
         "                      12003 layer, 12004 decimal, 12005 tolerance,\n"
         "                      12007 dimsize, 12000 hole (or mIsColor, ...)\n"
         "  ok, cancel          close the dialog\n";
}

}  // namespace vekhost
