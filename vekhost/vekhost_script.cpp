#include "vekhost_script.h"

#include "vekhost_drawing_file.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

// Windows' Notepad starts a UTF-8 file with a byte order mark, as do other
// editors asked to save UTF-8 there. It marks the file, not the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
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

std::string UnknownAction(std::string_view word, const std::string& verb, bool interactive) {
  std::vector<std::string_view> actions{"run",   "pick",  "select", "list",   "exit", "event",
                                        "frame", "click", "ok",     "cancel", "quit"};
  if (interactive) actions.emplace_back("help");
  const std::string near = NearestWord(verb, actions);
  std::string list;
  for (std::string_view action : actions) list.append(list.empty() ? "" : ", ").append(action);
  return "unknown action " + Quoted(word) + (near.empty() ? "" : ", did you mean " + near + "?") +
         " (" + list + ")";
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

}  // namespace

bool IsDialogAction(ActionKind kind) {
  return kind == ActionKind::kClick || kind == ActionKind::kOk || kind == ActionKind::kCancel;
}

const std::vector<BoxName>& BoxNames() {
  // In the order the dialog lists them, which is its tab order.
  static const std::vector<BoxName> boxes{
      {12000, "IsHoleLayerChanged", {"hole", "holelayer", "hole-layer"}},
      {12001, "mIsColor", {"colour", "color"}},
      {12002, "mIsLType", {"linetype", "ltype", "line-type"}},
      {12003, "mIsLayer", {"layer"}},
      {12004, "mIsDecimalPlace", {"decimal", "decimals", "decimalplaces", "decimal-places"}},
      {12005, "mIsTolerance", {"tolerance"}},
      {12007, "mIsDimSize", {"dimsize", "charsize", "dim-size", "char-size"}},
  };
  return boxes;
}

const BoxName* FindBox(int id) {
  for (const BoxName& box : BoxNames()) {
    if (box.id == id) return &box;
  }
  return nullptr;
}

std::optional<Action> ParseAction(std::string_view line, bool interactive, std::string& problem) {
  problem.clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
      problem = "the line holds a control character";
      return std::nullopt;
    }
  }
  if (const size_t hash = line.find('#'); hash != std::string_view::npos)
    line = line.substr(0, hash);
  const std::vector<std::string_view> words = Words(line);
  if (words.empty()) return std::nullopt;

  Action action;
  const std::string verb = Lower(words[0]);
  const size_t args = words.size() - 1;
  auto expect = [&](size_t count, const std::string& what) {
    if (args == count) return true;
    problem = "`" + verb + "` takes " + (count == 0 ? "no argument" : what) + ", found " +
              std::to_string(args) + (args == 1 ? " argument" : " arguments");
    return false;
  };

  if (verb == "run" || verb == "exit" || verb == "ok" || verb == "cancel" || verb == "quit" ||
      (interactive && verb == "help")) {
    if (!expect(0, "")) return std::nullopt;
    action.kind = verb == "run"      ? ActionKind::kRun
                  : verb == "exit"   ? ActionKind::kExit
                  : verb == "ok"     ? ActionKind::kOk
                  : verb == "cancel" ? ActionKind::kCancel
                  : verb == "help"   ? ActionKind::kHelp
                                     : ActionKind::kQuit;
  } else if (verb == "pick") {
    if (!expect(1, "one element id")) return std::nullopt;
    action.kind = ActionKind::kPick;
    VekId id = 0;
    if (!ParseElementId(words[1], id, problem)) return std::nullopt;
    action.ids.push_back(id);
  } else if (verb == "select" || verb == "list") {
    std::optional<Selection> selection = ParseSelection(
        std::vector<std::string_view>(words.begin() + 1, words.end()), verb, problem);
    if (!selection) return std::nullopt;
    action.kind = verb == "select" ? ActionKind::kSelect : ActionKind::kList;
    action.selection = std::move(*selection);
  } else if (verb == "event") {
    if (!expect(1, "one event kind")) return std::nullopt;
    std::optional<int64_t> kind = ParseDecimal(words[1], false);
    if (!kind || *kind > 65535) {
      problem = Quoted(words[1]) + " is no event kind (0 to 65535)";
      return std::nullopt;
    }
    action.kind = ActionKind::kEvent;
    action.number = static_cast<int32_t>(*kind);
  } else if (verb == "frame") {
    if (!expect(1, "one frame number")) return std::nullopt;
    std::optional<int64_t> frame = ParseDecimal(words[1], true);
    if (!frame || *frame < -1000000 || *frame > 1000000) {
      problem = Quoted(words[1]) + " is no frame number (-1000000 to 1000000)";
      return std::nullopt;
    }
    action.kind = ActionKind::kFrame;
    action.number = static_cast<int32_t>(*frame);
  } else if (verb == "click") {
    if (!expect(1, "one box id or name")) return std::nullopt;
    std::optional<int> box = ResolveBox(words[1]);
    if (!box) {
      problem = Quoted(words[1]) +
                " is no box of the settings dialog (12000 to 12005, 12007, or a name such as "
                "mIsColor or colour)";
      return std::nullopt;
    }
    action.kind = ActionKind::kClick;
    action.number = *box;
  } else {
    problem = UnknownAction(words[0], verb, interactive);
    return std::nullopt;
  }

  for (size_t i = 0; i < words.size(); ++i) {
    if (i == 0) {
      action.text += verb;
    } else {
      action.text += ' ';
      action.text += words[i];
    }
  }
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
    if (!problem.empty()) {
      throw InputError(std::string(fileName)
                           .append(": at line ")
                           .append(std::to_string(lineNumber))
                           .append(": ")
                           .append(problem));
    }
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
