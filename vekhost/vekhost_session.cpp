#include "vekhost_session.h"

#include <algorithm>
#include <utility>

#include "settings/settings_flags.h"
#include "support/utf.h"
#include "vekhost_element_text.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

// In the order of sim::MessageKind.
constexpr const char* kKindNames[] = {"prompt", "error", "cursor"};

std::string SettingText(const std::optional<std::u16string>& value) {
  return value ? "\"" + utf::ToUtf8(*value) + "\"" : "(missing)";
}

// At most the first 20, then how many there are in all: a selection of a
// whole drawing keeps its note to one readable line.
std::string IdList(const std::vector<VekId>& ids) {
  constexpr size_t kShown = 20;
  std::string text;
  for (size_t i = 0; i < ids.size() && i < kShown; ++i)
    text.append(text.empty() ? "" : " ") += std::to_string(ids[i]);
  if (ids.size() > kShown) text += " ... (" + std::to_string(ids.size()) + " in all)";
  return text.empty() ? "none" : text;
}

// The first element, layer or segment the action names by number that the
// drawing lacks, as a problem; empty when it has them all.
std::string Missing(const Action& action, const DrawingFile& file, const sim::Drawing& drawing) {
  for (VekId id : action.ids) {
    if (drawing.FindElement(id) == nullptr) {
      return "element " + std::to_string(id) + " is not in the drawing";
    }
  }
  std::string problem;
  SelectionNamesExist(action.selection, file, drawing, problem);
  return problem;
}

// "WAS -> IS", as the summary words a change.
std::string Change(const std::string& was, const std::string& is) { return was + " -> " + is; }

}  // namespace

const std::vector<std::u16string>& SettingNames() {
  static const std::vector<std::u16string> names = [] {
    std::vector<std::u16string> all;
    all.reserve(kSettings.size() + 1);
    for (const SettingDef& setting : kSettings) all.emplace_back(setting.name);
    all.emplace_back(u"Type");  // the legacy value the module converts
    return all;
  }();
  return names;
}

Session::Session(sim::Host& host, const DrawingFile& file, ActionSource& source, Printer print,
                 SettingsReader settings)
    : host_(host),
      file_(file),
      source_(source),
      print_(std::move(print)),
      settings_(std::move(settings)),
      shown_(host.Messages().size()) {
  host.drawing().KeepOriginals();
  for (const std::u16string& name : SettingNames()) settingsBefore_.push_back(settings_(name));
}

void Session::CheckElementIds(const std::vector<Action>& actions, const DrawingFile& file,
                              const sim::Drawing& drawing, const std::string& fileName) {
  for (const Action& action : actions) {
    const std::string problem = Missing(action, file, drawing);
    if (!problem.empty()) throw InputError(AtLine(fileName, action.line, problem));
  }
}

bool Session::Run() {
  while (!stopped_ && !quit_ && !interrupted_) {
    std::optional<Action> action = source_.Next(false);
    if (!action) break;
    Do(*action);
  }
  Flush();
  return !stopped_;
}

bool Session::Stop(const Action& action, const std::string& problem) {
  if (source_.Reject(action, problem, error_)) stopped_ = true;
  return stopped_;
}

void Session::Take(const Action& action) {
  Record(action.text);
  // A script's actions go into the log; at the prompt the terminal has
  // already shown what was typed, so only the kept log gets it.
  Print("> " + action.text, source_.Interactive() ? LineFor::kKeptLog : LineFor::kLog);
}

void Session::Record(const std::string& text) {
  taken_.push_back(text);
  if (record_) record_(text);
}

void Session::Flush() {
  const std::vector<sim::Message>& messages = host_.Messages();
  for (; shown_ < messages.size(); ++shown_) {
    Print(std::string("  ") + kKindNames[static_cast<size_t>(messages[shown_].kind)] + ": " +
          utf::ToUtf8(messages[shown_].text));
  }
}

void Session::Do(const Action& action) {
  if (action.kind == ActionKind::kHelp) {
    Print(HelpText(), LineFor::kScreen);
    return;
  }
  if (action.kind == ActionKind::kInterrupt) {
    interrupted_ = true;
    return;
  }
  if (action.kind == ActionKind::kQuit) {
    Take(action);
    quit_ = true;
    return;
  }
  if (IsDialogAction(action.kind)) {
    Stop(action, "`" + action.text + "` needs the settings dialog, and it is not open");
    return;
  }
  if (const std::string missing = Missing(action, file_, host_.drawing()); !missing.empty()) {
    Stop(action, missing);
    return;
  }
  std::vector<VekId> selected;
  if (action.kind == ActionKind::kSelect || action.kind == ActionKind::kList)
    selected = SelectedElements(action.selection, file_, host_.drawing());

  Take(action);
  const bool wasActive = host_.CommandActive();
  const uint32_t mask = host_.EventMask();
  const bool stepWaits = wasActive && host_.ExecuteFunction() != nullptr;
  const bool needsStep = action.kind == ActionKind::kPick || action.kind == ActionKind::kSelect ||
                         action.kind == ActionKind::kExit || action.kind == ActionKind::kEvent;
  if (needsStep && !stepWaits) {
    Note("not taken: no command is running");
  } else {
    switch (action.kind) {
      case ActionKind::kRun:
        if (!host_.RunCommand()) Note("no command is registered");
        break;
      case ActionKind::kPick:
        if ((mask & kMaskPickOne) == 0) {
          Note("not taken: the step asks for a range, not a pick");
        } else if (!host_.Pick(action.ids[0])) {
          Note("not taken: the step refuses element " + std::to_string(action.ids[0]) + " (type " +
               std::to_string(host_.drawing().element(action.ids[0]).type) + ")");
        }
        break;
      case ActionKind::kSelect:
        DoSelect(action, selected, mask);
        break;
      case ActionKind::kList:
        List(action, selected);
        break;
      case ActionKind::kExit:
        host_.PressExit();
        break;
      case ActionKind::kEvent:
        host_.SendEvent(action.number);
        break;
      case ActionKind::kFrame:
        host_.SetCurrentFrame(action.number);
        break;
      default:
        break;
    }
  }
  if (stopped_) return;
  Flush();
  if (wasActive && !host_.CommandActive()) Print("  command ends");
}

void Session::DoSelect(const Action& action, const std::vector<VekId>& ids, uint32_t mask) {
  if ((mask & kMaskSelectRange) == 0) {
    Note("not taken: the step asks for a pick, not a range");
    return;
  }
  if (ids.empty()) {
    Note("not taken: `" + action.text + "` names no element of the drawing now");
    return;
  }
  // The host offers the step only the elements its filter accepts; the
  // log says which, so a range that changes nothing is explained.
  std::vector<VekId> refused;
  if (VekCompareFunc compare = host_.CompareFunction()) {
    for (VekId id : ids) {
      if (compare(id) == 0) refused.push_back(id);
    }
  }
  if (!refused.empty()) Note(std::string("the step refuses ").append(IdList(refused)));
  host_.SelectRange(ids);
}

void Session::List(const Action& action, const std::vector<VekId>& ids) {
  Print("  list (" + Describe(action.selection) + "): " + std::to_string(ids.size()) + " of " +
        std::to_string(file_.elements.size()) + " elements");
  for (VekId id : ids) {
    Print("    " + std::to_string(id) + " " + ElementText(id, file_, host_.drawing()));
  }
}

void Session::PrintBoxes(const DialogPort& dialog, LineFor to) {
  for (const DialogPort::Box& box : dialog.Boxes()) {
    const BoxName* name = FindBox(box.id);
    std::string label = name != nullptr ? name->name : "?";
    label.resize(std::max<size_t>(label.size(), 18), ' ');
    Print(std::string("    [") + (box.checked ? "x" : " ") + "] " + std::to_string(box.id) + " " +
              label + " " + utf::ToUtf8(box.text),
          to);
  }
}

void Session::OnDialog(DialogPort& dialog) {
  Flush();
  Print("  dialog " + std::to_string(dialog.TemplateId()) + " \"" + utf::ToUtf8(dialog.Caption()) +
        "\" opens");
  PrintBoxes(dialog);
  auto cancel = [&](const std::string& why) {
    dialog.PressCancel();
    Print("  dialog closes: Cancel" + why);
    // Each click is stored by the dialog as it is made, and the running
    // command read its settings when it started: Cancel takes neither back.
    Note(
        "the boxes clicked are already stored; the command keeps its settings until its next "
        "start");
  };
  while (dialog.IsOpen()) {
    std::optional<Action> action = source_.Next(true);
    if (!action) {
      if (source_.EndedInDialog(error_)) stopped_ = true;
      cancel(" (end of input)");
      break;
    }
    if (action->kind == ActionKind::kHelp) {
      Print(HelpText(), LineFor::kScreen);
      continue;
    }
    if (action->kind == ActionKind::kInterrupt) {
      interrupted_ = true;
      dialog.PressCancel();
      Print("  dialog closes: Cancel (interrupted)");
      // A script cannot end in the open dialog: the record ends the way the
      // session did, so that it replays up to here.
      Record("cancel");
      Record("quit");
      break;
    }
    if (action->kind == ActionKind::kQuit) {
      Take(*action);
      quit_ = true;
      cancel(" (quit)");
      break;
    }
    if (!IsDialogAction(action->kind)) {
      if (Stop(*action, "`" + action->text +
                            "` cannot be done while the settings dialog is open (click, ok, "
                            "cancel or quit)")) {
        // Nothing of this session is kept; the dialog only needs to go.
        dialog.PressCancel();
        break;
      }
      continue;
    }
    Take(*action);
    if (action->kind == ActionKind::kClick) {
      const BoxName* name = FindBox(action->number);
      auto state = [&] {
        const std::vector<DialogPort::Box> boxes = dialog.Boxes();
        const auto box = std::ranges::find(boxes, action->number, &DialogPort::Box::id);
        return box != boxes.end() && box->checked;
      };
      const bool was = state();
      if (!dialog.Click(action->number)) {
        Note("the dialog has no box " + std::to_string(action->number));
        continue;
      }
      Print("    " + std::to_string(action->number) + " " + (name ? name->name : "?") + ": " +
            (was ? "[x]" : "[ ]") + " -> " + (state() ? "[x]" : "[ ]"));
      if (source_.Interactive()) PrintBoxes(dialog, LineFor::kScreen);
    } else if (action->kind == ActionKind::kOk) {
      dialog.PressOk();
      Print("  dialog closes: OK");
    } else {
      cancel("");
    }
  }
}

void Session::ForEachChange(const std::function<void(const std::string&)>& take) const {
  const sim::Drawing& now = host_.drawing();
  for (VekId id : file_.segments) {
    const sim::Segment* segment = now.FindSegment(id);
    if (segment == nullptr) continue;
    const std::string head = "  segment " + std::to_string(id) + ": ";
    const int32_t layerWas = now.LayerAsItWas(*segment);
    if (layerWas != segment->layer) {
      take(head + "layer " + Change(std::to_string(layerWas), std::to_string(segment->layer)));
    }
    const sim::Hole* hole = now.HoleOfSegment(id);
    if (hole == nullptr) continue;
    const auto& ea = now.EntriesAsTheyWere(*hole);
    const auto& eb = hole->entries;
    for (size_t i = 0; i < std::max(ea.size(), eb.size()); ++i) {
      const std::string was = i < ea.size() ? std::to_string(ea[i].layer) : "none";
      const std::string is = i < eb.size() ? std::to_string(eb[i].layer) : "none";
      if (was != is) take(head + "hole entry " + std::to_string(i) + " layer " + Change(was, is));
    }
  }

  for (VekId id : file_.elements) {
    const sim::Element* element = now.FindElement(id);
    if (element == nullptr) continue;
    for (const std::string& change : ElementChanges(now.ElementAsItWas(*element), *element, "->")) {
      take("  element " + std::to_string(id) + ": " + change);
    }
  }
}

void Session::PrintSummary() {
  Flush();
  // A session over a large drawing changes a line of it per element: they
  // are printed as they are found rather than gathered first.
  bool any = false;
  ForEachChange([&](const std::string& line) {
    if (!std::exchange(any, true)) Print("changes:");
    Print(line);
  });
  if (!any) Print("changes: none");

  std::vector<std::string> settings;
  for (size_t i = 0; i < SettingNames().size(); ++i) {
    const std::optional<std::u16string> now = settings_(SettingNames()[i]);
    if (now != settingsBefore_[i]) {
      settings.push_back("  " + utf::ToUtf8(SettingNames()[i]) + ": " +
                         SettingText(settingsBefore_[i]) + " -> " + SettingText(now));
    }
  }
  Print(settings.empty() ? "settings: unchanged" : "settings:");
  for (const std::string& line : settings) Print(line);
}

}  // namespace vekhost
