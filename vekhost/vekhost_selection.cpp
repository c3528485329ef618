#include "vekhost_selection.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "vekhost_words.h"

namespace vekhost {
namespace {

constexpr const char* kSelectForms =
    "ids (ID or ID-ID), all, or filters: layer N, type A or A-B, segment S";

// "A-B" with A at most B; a single id is a range of one.
bool ParseRange(std::string_view word, Selection::Range& range, std::string& problem) {
  const size_t dash = word.find('-');
  if (dash == std::string_view::npos || dash == 0) {
    if (!ParseElementId(word, range.first, problem)) return false;
    range.last = range.first;
    return true;
  }
  std::string ignored;
  if (!ParseElementId(word.substr(0, dash), range.first, ignored) ||
      !ParseElementId(word.substr(dash + 1), range.last, ignored)) {
    problem = Quoted(word) + " is no range of element ids (ID-ID, each 0 to 4294967294)";
    return false;
  }
  if (range.first > range.last) {
    problem = Quoted(word) + " is no range of element ids (the first is larger than the last)";
    return false;
  }
  return true;
}

std::optional<std::pair<int32_t, int32_t>> ParseTypes(std::string_view word, std::string& problem) {
  const size_t dash = word.find('-');
  const std::optional<int64_t> first = ParseDecimal(word.substr(0, dash), false);
  const std::optional<int64_t> last =
      dash == std::string_view::npos ? first : ParseDecimal(word.substr(dash + 1), false);
  if (!first || !last || *last > kLastElementType || *first > *last) {
    problem = Quoted(word) + " is no element type or range of types (A or A-B, 0 to " +
              std::to_string(kLastElementType) + ")";
    return std::nullopt;
  }
  return std::pair{static_cast<int32_t>(*first), static_cast<int32_t>(*last)};
}

// One filter, `name VALUE`, at words[i] and words[i + 1].
bool ParseFilter(const std::vector<std::string_view>& words, size_t i, Selection& selection,
                 std::string& problem) {
  const std::string_view name = words[i];
  if ((name == "layer" && selection.layer) || (name == "type" && selection.types) ||
      (name == "segment" && selection.segment)) {
    problem = "`" + std::string(name) + "` is given twice";
    return false;
  }
  if (i + 1 >= words.size()) {
    problem = "`" + std::string(name) + "` needs a value";
    return false;
  }
  const std::string_view value = words[i + 1];
  if (name == "type") {
    selection.types = ParseTypes(value, problem);
    return selection.types.has_value();
  }
  if (name == "layer") {
    const std::optional<int64_t> layer = ParseDecimal(value, false);
    if (!layer || *layer > 65535) {
      problem = Quoted(value) + " is no layer (0 to 65535)";
      return false;
    }
    selection.layer = static_cast<int32_t>(*layer);
    return true;
  }
  VekId segment = 0;
  if (!ParseElementId(value, segment, problem)) {
    problem = Quoted(value) + " is no segment id (0 to 4294967294)";
    return false;
  }
  selection.segment = segment;
  return true;
}

bool IsFilterName(std::string_view word) {
  return word == "layer" || word == "type" || word == "segment";
}

bool Passes(const Selection& selection, const sim::Element& element, const sim::Drawing& drawing) {
  if (selection.types &&
      (element.type < selection.types->first || element.type > selection.types->second)) {
    return false;
  }
  if (selection.segment && element.segment != *selection.segment) return false;
  if (selection.layer) {
    const sim::Segment* segment = drawing.FindSegment(element.segment);
    if (segment == nullptr || segment->layer != *selection.layer) return false;
  }
  return true;
}

}  // namespace

std::optional<int64_t> ParseDecimal(std::string_view word, bool allowSign) {
  if (word.empty() || (!allowSign && (word[0] == '-' || word[0] == '+'))) return std::nullopt;
  if (word[0] == '+') word.remove_prefix(1);
  int64_t value = 0;
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

bool ParseElementId(std::string_view word, VekId& id, std::string& problem) {
  std::optional<int64_t> value = ParseDecimal(word, false);
  if (!value || *value >= static_cast<int64_t>(kVekNoId)) {
    problem = Quoted(word) + " is no element id (0 to 4294967294)";
    return false;
  }
  id = static_cast<VekId>(*value);
  return true;
}

std::optional<Selection> ParseSelection(const std::vector<std::string_view>& words,
                                        const std::string& verb, std::string& problem) {
  Selection selection;
  if (words.empty()) {
    if (verb == "list") return selection;
    problem = "`" + verb + "` takes " + kSelectForms;
    return std::nullopt;
  }
  if (words[0] == "all") {
    if (words.size() == 1) return selection;
    problem = "`" + verb + " all` takes nothing after it";
    return std::nullopt;
  }
  if (IsFilterName(words[0])) {
    for (size_t i = 0; i < words.size(); i += 2) {
      if (!IsFilterName(words[i])) {
        problem = Quoted(words[i]) +
                  " is no filter (layer N, type A-B, segment S); ids and filters do not mix";
        return std::nullopt;
      }
      if (!ParseFilter(words, i, selection, problem)) return std::nullopt;
    }
    return selection;
  }
  selection.ranges.reserve(words.size());
  for (std::string_view word : words) {
    if (IsFilterName(word) || word == "all") {
      problem = "`" + std::string(word) + "` cannot follow ids; ids and filters do not mix";
      return std::nullopt;
    }
    Selection::Range range;
    if (!ParseRange(word, range, problem)) return std::nullopt;
    selection.ranges.push_back(range);
  }
  return selection;
}

bool SelectionNamesExist(const Selection& selection, const DrawingFile& file,
                         const sim::Drawing& drawing, std::string& problem) {
  auto missing = [&](const char* what, int64_t number) {
    problem = what + (" " + std::to_string(number)) + " is not in the drawing";
    return false;
  };
  for (const Selection::Range& range : selection.ranges) {
    if (range.first == range.last && drawing.FindElement(range.first) == nullptr)
      return missing("element", range.first);
  }
  if (selection.layer && file.FindLayer(*selection.layer) == nullptr)
    return missing("layer", *selection.layer);
  if (selection.segment && drawing.FindSegment(*selection.segment) == nullptr)
    return missing("segment", *selection.segment);
  return true;
}

std::vector<VekId> SelectedElements(const Selection& selection, const DrawingFile& file,
                                    const sim::Drawing& drawing) {
  std::vector<VekId> ids;
  if (selection.ranges.empty()) {
    for (VekId id : file.elements) {
      const sim::Element* element = drawing.FindElement(id);
      if (element != nullptr && Passes(selection, *element, drawing)) ids.push_back(id);
    }
    return ids;
  }
  std::vector<VekId> sorted;  // made only when a range needs it
  std::unordered_set<VekId> taken;
  auto take = [&](VekId id) {
    if (taken.insert(id).second) ids.push_back(id);
  };
  for (const Selection::Range& range : selection.ranges) {
    if (range.first == range.last) {
      if (drawing.FindElement(range.first) != nullptr) take(range.first);
      continue;
    }
    if (sorted.empty()) {
      sorted = file.elements;
      std::sort(sorted.begin(), sorted.end());
    }
    for (auto it = std::lower_bound(sorted.begin(), sorted.end(), range.first);
         it != sorted.end() && *it <= range.last; ++it) {
      take(*it);
    }
  }
  return ids;
}

std::string Describe(const Selection& selection) {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (selection.layer) add("layer " + std::to_string(*selection.layer));
  if (selection.types) {
    add(selection.types->first == selection.types->second
            ? "type " + std::to_string(selection.types->first)
            : "types " + std::to_string(selection.types->first) + " to " +
                  std::to_string(selection.types->second));
  }
  if (selection.segment) add("segment " + std::to_string(*selection.segment));
  if (!selection.ranges.empty()) add("the ids given");
  return text.empty() ? "all" : text;
}

}  // namespace vekhost
