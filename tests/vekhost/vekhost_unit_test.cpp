// vekhost's parts on their own: number formatting, session script lines,
// drawing files, the session's handling of the settings dialog, pictures.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "sim_host.h"
#include "sim_records.h"
#include "vekhost_drawing_file.h"
#include "vekhost_number.h"
#include "vekhost_options.h"
#include "vekhost_script.h"
#include "vekhost_session.h"
#include "vekhost_svg.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

// --- Numbers -------------------------------------------------------------

TEST(FormatNumber, DropsTrailingZerosAndRoundsHalvesAwayFromZero) {
  EXPECT_EQ(FormatNumber(3.5), "3.5");
  EXPECT_EQ(FormatNumber(40), "40");
  EXPECT_EQ(FormatNumber(-0.05), "-0.05");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatNumber(-0.0000001), "0");  // no "-0"
  EXPECT_EQ(FormatNumber(-0.0), "0");
  EXPECT_EQ(FormatNumber(1.25, 1), "1.3");
  EXPECT_EQ(FormatNumber(-1.25, 1), "-1.3");
  EXPECT_EQ(FormatNumber(123456.789, 0), "123457");
  EXPECT_EQ(FormatNumber(0.000123, 3), "0");
}

TEST(FormatFixed, KeepsExactlyTheGivenPlaces) {
  EXPECT_EQ(FormatFixed(30, 1), "30.0");
  EXPECT_EQ(FormatFixed(80, 2), "80.00");
  EXPECT_EQ(FormatFixed(0.021, 2), "0.02");
  EXPECT_EQ(FormatFixed(0.05, 3), "0.050");
  EXPECT_EQ(FormatFixed(-1.5, 0), "-2");
  EXPECT_EQ(FormatFixed(7, 0), "7");
}

TEST(FormatNumber, NeverPrintsAnythingButDigitsSignAndPoint) {
  EXPECT_EQ(FormatNumber(1.0e300), "9000000000");  // clamped, never scientific
  EXPECT_EQ(FormatNumber(0.0 / 1.0 * -1.0), "0");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN()), "nan");
}

// --- Script lines --------------------------------------------------------

Action Parsed(const std::string& line, bool interactive = false) {
  std::string problem;
  std::optional<Action> action = ParseAction(line, interactive, problem);
  EXPECT_EQ(problem, "") << line;
  EXPECT_TRUE(action.has_value()) << line;
  return action.value_or(Action{});
}

std::string Problem(const std::string& line, bool interactive = false) {
  std::string problem;
  std::optional<Action> action = ParseAction(line, interactive, problem);
  EXPECT_FALSE(action.has_value()) << line;
  return problem;
}

TEST(ScriptLine, ReadsEachAction) {
  EXPECT_EQ(Parsed("run").kind, ActionKind::kRun);
  const Action pick = Parsed("  pick\t101   # the outline");
  EXPECT_EQ(pick.kind, ActionKind::kPick);
  EXPECT_EQ(pick.ids, std::vector<VekId>{101});
  EXPECT_EQ(pick.text, "pick 101");
  const Action select = Parsed("SELECT 1 2-5 4294967294");
  EXPECT_EQ(select.kind, ActionKind::kSelect);
  ASSERT_EQ(select.selection.ranges.size(), 3u);
  EXPECT_EQ(select.selection.ranges[0].first, 1u);
  EXPECT_EQ(select.selection.ranges[0].last, 1u);
  EXPECT_EQ(select.selection.ranges[1].first, 2u);
  EXPECT_EQ(select.selection.ranges[1].last, 5u);
  EXPECT_EQ(select.selection.ranges[2].last, 4294967294u);
  EXPECT_EQ(select.text, "select 1 2-5 4294967294");
  EXPECT_EQ(Parsed("list").kind, ActionKind::kList);
  EXPECT_EQ(Parsed("event 7").number, 7);
  EXPECT_EQ(Parsed("frame -2").number, -2);
  EXPECT_EQ(Parsed("exit").kind, ActionKind::kExit);
  EXPECT_EQ(Parsed("ok").kind, ActionKind::kOk);
  EXPECT_EQ(Parsed("cancel\r").kind, ActionKind::kCancel);
}

TEST(ScriptLine, NamesEveryBoxByIdRegistryNameAndWord) {
  const std::vector<std::pair<std::string, int>> names{
      {"12000", 12000},     {"hole", 12000},         {"IsHoleLayerChanged", 12000},
      {"12001", 12001},     {"Colour", 12001},       {"color", 12001},
      {"mIsColor", 12001},  {"linetype", 12002},     {"mIsLType", 12002},
      {"layer", 12003},     {"decimal", 12004},      {"mIsDecimalPlace", 12004},
      {"tolerance", 12005}, {"MISTOLERANCE", 12005}, {"dimsize", 12007},
      {"12007", 12007},     {"mIsDimSize", 12007}};
  for (const auto& [name, id] : names) {
    const Action click = Parsed("click " + name);
    EXPECT_EQ(click.kind, ActionKind::kClick) << name;
    EXPECT_EQ(click.number, id) << name;
  }
}

TEST(ScriptLine, SkipsBlankLinesAndComments) {
  for (const char* line : {"", "   ", "\t", "# pick 101", "   # run", "\r"}) {
    std::string problem = "unset";
    EXPECT_FALSE(ParseAction(line, false, problem).has_value()) << line;
    EXPECT_EQ(problem, "") << line;
  }
}

TEST(ScriptLine, RejectsWhatItCannotFollow) {
  EXPECT_EQ(Problem("zoom 2"),
            "unknown action \"zoom\" (run, pick, select, list, exit, event, frame, click, ok, "
            "cancel, quit)");
  EXPECT_EQ(Problem("pick"), "`pick` takes one element id, found 0 arguments");
  EXPECT_EQ(Problem("pick 1 2"), "`pick` takes one element id, found 2 arguments");
  EXPECT_EQ(Problem("run now"), "`run` takes no argument, found 1 argument");
  EXPECT_EQ(Problem("pick -1"), "\"-1\" is no element id (0 to 4294967294)");
  EXPECT_EQ(Problem("pick 4294967295"), "\"4294967295\" is no element id (0 to 4294967294)");
  EXPECT_EQ(Problem("pick 0x10"), "\"0x10\" is no element id (0 to 4294967294)");
  EXPECT_EQ(Problem("pick 12a"), "\"12a\" is no element id (0 to 4294967294)");
  EXPECT_EQ(Problem("select"),
            "`select` takes ids (ID or ID-ID), all, or filters: layer N, type A or A-B, segment S");
  EXPECT_EQ(Problem("event 65536"), "\"65536\" is no event kind (0 to 65535)");
  EXPECT_EQ(Problem("frame 1.5"), "\"1.5\" is no frame number (-1000000 to 1000000)");
  EXPECT_EQ(Problem("click 12006"),
            "\"12006\" is no box of the settings dialog (12000 to 12005, 12007, or a name such as "
            "mIsColor or colour)");
  EXPECT_EQ(Problem("run\x01"), "the line holds a control character");
}

TEST(NearestWord, TakesAFewSlipsAndNoMore) {
  const std::vector<std::string_view> known{"list", "quit", "ok", "선색"};
  const std::vector<std::pair<std::string, std::string>> cases{
      {"qiut", "quit"},  // two neighbours swapped are one slip
      {"lst", "list"},   {"liist", "list"},
      {"lizt", "list"},  {"LIST", ""},
      {"o", "ok"},       {"go", ""},
      {"x", ""},         {"", ""},
      {"선섹", "선색"},  {"선", "선색"},
      {"quiet", "quit"}, {"lisst1", "list"},
      {"lisst12", ""},   {std::string(10000, 'l'), ""},
  };
  for (const auto& [typed, nearest] : cases) EXPECT_EQ(NearestWord(typed, known), nearest) << typed;
}

TEST(ScriptLine, ProposesTheNearestActionForAnUnknownOne) {
  const std::string actions =
      " (run, pick, select, list, exit, event, frame, click, ok, cancel, quit";
  const std::vector<std::tuple<std::string, bool, std::string>> cases{
      {"pcik 101", false, "unknown action \"pcik\", did you mean pick?" + actions + ")"},
      {"SELCT all", false, "unknown action \"SELCT\", did you mean select?" + actions + ")"},
      {"qiut", true, "unknown action \"qiut\", did you mean quit?" + actions + ", help)"},
      {"hlp", true, "unknown action \"hlp\", did you mean help?" + actions + ", help)"},
      {"o", false, "unknown action \"o\", did you mean ok?" + actions + ")"},
      {"\xEF\xBB\xBFrun", false,
       "unknown action \"<U+FEFF>run\", did you mean run?" + actions + ")"},
      // Nothing near: no guess. Nor is help, which a script cannot take.
      {"zoom 2", false, "unknown action \"zoom\"" + actions + ")"},
      {"hlp", false, "unknown action \"hlp\"" + actions + ")"},
      {"go", false, "unknown action \"go\"" + actions + ")"},
  };
  for (const auto& [line, interactive, problem] : cases) {
    EXPECT_EQ(Problem(line, interactive), problem) << line;
  }
}

TEST(ScriptLine, ReadsEveryFormOfSelection) {
  const std::vector<std::pair<std::string, std::string>> problems{
      {"select all 5", "`select all` takes nothing after it"},
      {"list all layer 1", "`list all` takes nothing after it"},
      {"select 5-2", "\"5-2\" is no range of element ids (the first is larger than the last)"},
      {"select 5-x", "\"5-x\" is no range of element ids (ID-ID, each 0 to 4294967294)"},
      {"select 5--6", "\"5--6\" is no range of element ids (ID-ID, each 0 to 4294967294)"},
      {"select -5", "\"-5\" is no element id (0 to 4294967294)"},
      {"select layer", "`layer` needs a value"},
      {"select layer 2 layer 3", "`layer` is given twice"},
      {"select layer 65536", "\"65536\" is no layer (0 to 65535)"},
      {"select type 36", "\"36\" is no element type or range of types (A or A-B, 0 to 35)"},
      {"select type 8-2", "\"8-2\" is no element type or range of types (A or A-B, 0 to 35)"},
      {"select segment x", "\"x\" is no segment id (0 to 4294967294)"},
      {"select 301 layer 2", "`layer` cannot follow ids; ids and filters do not mix"},
      {"select layer 2 301",
       "\"301\" is no filter (layer N, type A-B, segment S); ids and filters do not mix"},
  };
  for (const auto& [line, problem] : problems) EXPECT_EQ(Problem(line), problem) << line;

  const Action filters = Parsed("select layer 2 type 0-8 segment 30");
  EXPECT_TRUE(filters.selection.ranges.empty());
  EXPECT_EQ(filters.selection.layer, 2);
  EXPECT_EQ(filters.selection.types, (std::pair<int32_t, int32_t>{0, 8}));
  EXPECT_EQ(filters.selection.segment, 30u);
  EXPECT_EQ(Parsed("list type 14").selection.types, (std::pair<int32_t, int32_t>{14, 14}));
}

TEST(ScriptLine, TakesAnySelectionALineCanHold) {
  // Far beyond the 4096 bytes and the ten thousand ids a line once held.
  std::string line = "select";
  for (int id = 0; id < 50000; ++id) line += " " + std::to_string(id);
  const Action select = Parsed(line);
  ASSERT_EQ(select.selection.ranges.size(), 50000u);
  EXPECT_EQ(select.selection.ranges.back().first, 49999u);
}

TEST(ScriptLine, HelpIsForThePromptOnlyAndQuitForBoth) {
  EXPECT_EQ(Parsed("help", true).kind, ActionKind::kHelp);
  EXPECT_EQ(Parsed("quit", true).kind, ActionKind::kQuit);
  EXPECT_EQ(Parsed("QUIT").kind, ActionKind::kQuit);
  EXPECT_EQ(Problem("quit now"), "`quit` takes no argument, found 1 argument");
  EXPECT_EQ(Problem("help"),
            "unknown action \"help\" (run, pick, select, list, exit, event, frame, click, ok, "
            "cancel, quit)");
}

TEST(Script, CountsEveryLineAndNamesTheBadOne) {
  const std::vector<Action> actions = ParseScript("# start\n\nrun\r\npick 7\n", "a.vks");
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].line, 3);
  EXPECT_EQ(actions[1].line, 4);
  try {
    ParseScript("run\n\n# fine so far\nselect 1 x\n", "b.vks");
    FAIL() << "a bad line was taken";
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(), "b.vks: at line 4: \"x\" is no element id (0 to 4294967294)");
  }
}

// Windows' Notepad starts a UTF-8 file with a byte order mark.
TEST(Script, SkipsTheByteOrderMarkItStartsWith) {
  const std::vector<Action> actions = ParseScript("\xEF\xBB\xBFrun\r\npick 7\r\n", "a.vks");
  ASSERT_EQ(actions.size(), 2u);
  EXPECT_EQ(actions[0].kind, ActionKind::kRun);
  EXPECT_EQ(actions[0].line, 1);
  EXPECT_EQ(actions[0].text, "run");
  EXPECT_EQ(ParseScript("\xEF\xBB\xBF", "a.vks").size(), 0u);
  EXPECT_EQ(ParseScript("\xEF\xBB\xBF# only a comment\n", "a.vks").size(), 0u);
}

// A character that shows as nothing is spelt out where a message quotes it,
// or the message would name a word that looks right.
TEST(ScriptLine, SpellsOutWhatWouldNotShow) {
  const std::vector<std::pair<std::string, std::string>> problems{
      {"\xEF\xBB\xBFrun", "unknown action \"<U+FEFF>run\""},
      {"pick 1\xE2\x80\x8B", "\"1<U+200B>\" is no element id (0 to 4294967294)"},
      {"click colo\xC2\xADur", "\"colo<U+00AD>ur\" is no box of the settings dialog"},
      {"frame \xE2\x80\x8F"
       "1",
       "\"<U+200F>1\" is no frame number (-1000000 to 1000000)"},
      {"event 7\xE2\x81\xA0", "\"7<U+2060>\" is no event kind (0 to 65535)"},
      {"pick \xEC\x84\xA0", "\"\xEC\x84\xA0\" is no element id (0 to 4294967294)"},  // shows
  };
  for (const auto& [line, problem] : problems) {
    EXPECT_EQ(Problem(line).substr(0, problem.size()), problem) << line;
  }
  // A mark after the first line's start is no byte order mark: it is named.
  try {
    ParseScript("run\n\xEF\xBB\xBFpick 7\n", "b.vks");
    FAIL() << "a marked line was taken";
  } catch (const InputError& error) {
    EXPECT_EQ(
        std::string(error.what()).rfind("b.vks: at line 2: unknown action \"<U+FEFF>pick\"", 0), 0u)
        << error.what();
  }
}

// --- The command line ----------------------------------------------------

std::string RefusalOf(const std::vector<std::string>& args) {
  try {
    ParseOptions(args, "Sorvane.so");
  } catch (const InputError& error) {
    return error.what();
  }
  ADD_FAILURE() << "accepted";
  return {};
}

TEST(CommandLine, AFlagTakesNoValue) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"d.json", "--labels=yes"}, "vekhost: --labels takes no value (see vekhost --help)"},
      {{"d.json", "--labels="}, "vekhost: --labels takes no value (see vekhost --help)"},
      {{"--help=all"}, "vekhost: --help takes no value (see vekhost --help)"},
      {{"-h=1"}, "vekhost: -h takes no value (see vekhost --help)"},
      {{"--version=2"}, "vekhost: --version takes no value (see vekhost --help)"},
      {{"-V=2"}, "vekhost: -V takes no value (see vekhost --help)"},
  };
  for (const auto& [args, refusal] : cases) EXPECT_EQ(RefusalOf(args), refusal) << args.back();
  EXPECT_TRUE(ParseOptions({"d.json", "--labels"}, "Sorvane.so").labels);
}

TEST(CommandLine, ProposesTheNearestOptionButNeverTheOneTyped) {
  const std::vector<std::pair<std::string, std::string>> cases{{"--scirpt", "--script"},
                                                               {"--label", "--labels"},
                                                               {"--verison", "--version"},
                                                               {"--regsitry", "--registry"},
                                                               {"--colour", ""}};
  for (const auto& [typed, nearest] : cases) EXPECT_EQ(NearestOption(typed), nearest) << typed;
  EXPECT_EQ(RefusalOf({"d.json", "--lables"}),
            "vekhost: unknown option --lables, did you mean --labels? (see vekhost --help)");
  EXPECT_EQ(RefusalOf({"d.json", "--colour=7"}),
            "vekhost: unknown option --colour (see vekhost --help)");
}

// The Windows build has no default resources: the module holds its dialog.
TEST(CommandLine, HelpGivesTheDefaultsThereAre) {
  const std::string help =
      Usage({"C:\\Users\\u\\AppData\\Local\\sorvane\\registry.reg", "Sorvane.dll", ""});
  EXPECT_NE(help.find("\nDefaults, as they are here:\n"
                      "  --registry   C:\\Users\\u\\AppData\\Local\\sorvane\\registry.reg\n"
                      "  --module     Sorvane.dll\n"
                      "Exit status:\n"),
            std::string::npos)
      << help;
}

TEST(CommandLine, SpellsOutWhatWouldNotShow) {
  EXPECT_EQ(RefusalOf({"d.json", "--out\xEF\xBB\xBF=x.json"}),
            "vekhost: unknown option --out<U+FEFF>, did you mean --out? (see vekhost --help)");
  EXPECT_EQ(RefusalOf({"d.json", "\xE2\x80\x8B"}),
            "vekhost: one drawing only, and <U+200B> is a second (see vekhost --help)");
}

// --- Drawing files -------------------------------------------------------

const char* const kDrawing = R"({
  "format": "vekhost-drawing", "version": 1, "title": "T",
  "layers": [{"id": 1, "name": "A", "colour": "#000000"}, {"id": 4, "name": "B", "colour": "#ff0000"}],
  "segments": [
    {"id": 10, "layer": 1},
    {"id": 20, "layer": 4, "companion": 77, "hole": [{"layer": 4}, {"layer": 1}]},
    {"id": 30, "layer": 4, "hole": []}
  ],
  "elements": [
    {"id": 201, "type": 0, "segment": 20, "line": {"colour": 3, "type": 2},
     "shape": {"kind": "line", "points": [[0, 0], [10, 0]]}},
    {"id": 101, "type": 1, "segment": 10, "line": {"colour": 0, "type": 1},
     "shape": {"kind": "arc", "centre": [0, 0], "radius": 5, "start": 0, "end": 90}},
    {"id": 202, "type": 8, "segment": 20, "line": {"colour": 5, "type": 4}},
    {"id": 301, "type": 14, "segment": 30,
     "dimension": {"value": 12.5, "decimalPlaces": 2,
                   "tolerance": {"status": 1, "upper": 0.1, "lower": -0.2, "kind": 3},
                   "charSize": {"height": 3.5, "width": 3, "spacing": 0.5},
                   "arrows": [{"start": 1, "end": 2, "size": 3}, {"start": 4, "end": 5, "size": 6}]},
     "at": [1, 2]},
    {"id": 302, "type": 35, "segment": 30,
     "annotation": {"text": "Ø8 <THRU> & more", "charSize": {"height": 2.5, "width": 2, "spacing": 0}},
     "at": [3, 4]},
    {"id": 303, "type": 9, "segment": 30}
  ]
})";

TEST(DrawingFile, FillsTheHostsDrawing) {
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", drawing);
  EXPECT_EQ(file.title, "T");
  EXPECT_EQ(file.elements, (std::vector<VekId>{201, 101, 202, 301, 302, 303}));
  EXPECT_EQ(drawing.segment(20).layer, 4);
  EXPECT_EQ(drawing.segment(20).companion, 77u);
  EXPECT_EQ(drawing.segment(20).elements, (std::vector<VekId>{201, 202}));  // file order
  EXPECT_TRUE(drawing.segment(20).hasHoleData);
  EXPECT_TRUE(drawing.segment(30).hasHoleData);  // an empty hole list is still hole data
  EXPECT_FALSE(drawing.segment(10).hasHoleData);

  // The module looks a hole up by {companion, segment}.
  const std::optional<VekHoleId> hole = drawing.HoleIdFor(VekHoleKey{77, 20});
  ASSERT_TRUE(hole.has_value());
  ASSERT_EQ(drawing.hole(*hole).entries.size(), 2u);
  EXPECT_EQ(drawing.hole(*hole).entries[0].layer, 4);
  EXPECT_EQ(drawing.hole(*hole).entries[1].layer, 1);

  EXPECT_EQ(drawing.element(202).line.colour, 5);
  EXPECT_EQ(drawing.element(202).line.lineType, 4);
  const sim::Element& dimension = drawing.element(301);
  EXPECT_EQ(dimension.decimalPlaces, 2);
  EXPECT_EQ(dimension.toleranceStatus, 1);
  EXPECT_EQ(sim::ReadTolerance(dimension.tolerance), (sim::ToleranceValue{0.1, -0.2, 3}));
  EXPECT_EQ(sim::ReadCharSize(dimension.dimCharSize), (sim::CharSizeValue{3.5, 3, 0.5}));
  EXPECT_EQ(sim::ReadArrows(dimension.arrows[0]), (sim::ArrowsValue{1, 2, 3}));
  EXPECT_EQ(sim::ReadArrows(dimension.arrows[1]), (sim::ArrowsValue{4, 5, 6}));
  EXPECT_EQ(sim::ReadCharSize(drawing.element(302).comment.charSize),
            (sim::CharSizeValue{2.5, 2, 0}));
  EXPECT_EQ(file.views.at(302).text, "Ø8 <THRU> & more");
}

TEST(DrawingFile, WritesWhatItReadsAndReadsWhatItWrites) {
  sim::Drawing first;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", first);
  const std::string written = DrawingToJson(file, first);
  sim::Drawing second;
  const DrawingFile again = ParseDrawing(written, "again.json", second);
  EXPECT_EQ(DrawingToJson(again, second), written);
  EXPECT_EQ(written.find("80.0"), std::string::npos);  // whole numbers stay whole
}

TEST(DrawingFile, WritesPropertiesAsTheHostHoldsThemNow) {
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", drawing);
  drawing.segment(20).layer = 1;
  drawing.element(201).line = sim::MakeLineAttr(9, 6);
  // A figure given a character size by the annotation step keeps it.
  drawing.element(303).comment.charSize = sim::MakeCharSize({4, 4, 1});
  const std::string written = DrawingToJson(file, drawing);
  EXPECT_NE(written.find(R"("colour": 9,)"), std::string::npos);
  sim::Drawing reread;
  ParseDrawing(written, "r.json", reread);
  EXPECT_EQ(reread.segment(20).layer, 1);
  EXPECT_EQ(reread.element(201).line.lineType, 6);
  EXPECT_EQ(sim::ReadCharSize(reread.element(303).comment.charSize), (sim::CharSizeValue{4, 4, 1}));
}

std::string RejectionOf(const std::string& text) {
  sim::Drawing drawing;
  try {
    ParseDrawing(text, "bad.json", drawing);
  } catch (const InputError& error) {
    // Nothing of a rejected drawing reaches the host.
    EXPECT_EQ(drawing.ElementCount(), 0U);
    EXPECT_EQ(drawing.SegmentCount(), 0U);
    EXPECT_TRUE(drawing.Holes().empty());
    return error.what();
  }
  ADD_FAILURE() << "accepted";
  return {};
}

std::string Replaced(const std::string& from, const std::string& to) {
  std::string text = kDrawing;
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(DrawingFile, NamesThePlaceOfTheFirstProblem) {
  EXPECT_EQ(RejectionOf(Replaced(R"("start": 4, "end": 5, "size": 6)",
                                 R"("start": 4, "end": 5, "size": -6)")),
            "bad.json: at $.elements[3].dimension.arrows[1].size: -6 is out of range (0 to 1000)");
  EXPECT_EQ(RejectionOf(Replaced(R"({"id": 303, "type": 9, "segment": 30})",
                                 R"({"id": 303, "type": 9, "segment": 31})")),
            "bad.json: at $.elements[5].segment: segment 31 is not declared");
  EXPECT_EQ(RejectionOf(Replaced(R"("type": 9)", R"("type": -1)")),
            "bad.json: at $.elements[5].type: unknown element type -1 (the host's types are 0 "
            "to 35)");
  EXPECT_EQ(RejectionOf(Replaced(R"("text": "Ø8 <THRU> & more", )", "")),
            "bad.json: at $.elements[4].annotation: missing key \"text\"");
  EXPECT_EQ(RejectionOf(Replaced(R"("id": 302)", R"("id": 101)")),
            "bad.json: at $.elements[4].id: element 101 is declared twice");
  EXPECT_EQ(RejectionOf(Replaced(R"("colour": "#ff0000")", R"("colour": "red")")),
            "bad.json: at $.layers[1].colour: \"red\" is no colour of the form #rrggbb");
  EXPECT_EQ(RejectionOf(Replaced(R"("version": 1)", R"("version": 2)")),
            "bad.json: at $.version: 2 is out of range (1 to 1)");
  EXPECT_EQ(RejectionOf(Replaced(R"("hole": [])", R"("hole": {})")),
            "bad.json: at $.segments[2].hole: expected an array, found an object");
  EXPECT_EQ(RejectionOf(Replaced(R"("radius": 5,)", R"("radius": 5, "radius": 6,)")),
            "bad.json: at $.elements[1].shape: the key \"radius\" appears twice");
  EXPECT_EQ(RejectionOf("[]"), "bad.json: at $: expected an object, found an array");
}

// A number is named as the file spells it, not as a double would print it:
// an integer too long for 64 bits is read as a double, 1e+30.
TEST(DrawingFile, NamesANumberAsTheFileWritesIt) {
  const std::string digits200(200, '7');
  const std::vector<std::pair<std::pair<std::string, std::string>, std::string>> cases{
      {{R"("id": 303)", R"("id": 1000000000000000000000000000000)"},
       "at $.elements[5].id: 1000000000000000000000000000000 is out of range (0 to 4294967294)"},
      {{R"("id": 303)", R"("id": -1000000000000000000000000000000)"},
       "at $.elements[5].id: -1000000000000000000000000000000 is out of range (0 to 4294967294)"},
      {{R"("id": 303)", R"("id": 18446744073709551615)"},
       "at $.elements[5].id: 18446744073709551615 is out of range (0 to 4294967294)"},
      {{R"("id": 303)", R"("id": )" + digits200},
       "at $.elements[5].id: " + digits200.substr(0, 40) + "... is out of range (0 to 4294967294)"},
      {{R"("type": 9)", R"("type": 1e30)"},
       "at $.elements[5].type: expected an integer, found the number 1e30"},
      {{R"("type": 9)", R"("type": 9.0)"},
       "at $.elements[5].type: expected an integer, found the number 9.0"},
      {{R"("size": 6)", R"("size": 1.50E4)"},
       "at $.elements[3].dimension.arrows[1].size: 1.50E4 is out of range (0 to 1000)"},
      {{R"("radius": 5,)", R"("radius": 0.00010,)"},
       "at $.elements[1].shape.radius: 0.00010 is out of range (0.001 to 1000000)"},
      {{R"("version": 1)", R"("version": 1.0e0)"},
       "at $.version: expected an integer, found the number 1.0e0"},
      {{R"("title": "T")", R"("title": 2.50)"},
       "at $.title: expected a string, found the number 2.50"},
  };
  for (const auto& [edit, problem] : cases) {
    EXPECT_EQ(RejectionOf(Replaced(edit.first, edit.second)), "bad.json: " + problem)
        << edit.second;
  }
  // Read as numbers still: a fraction where one belongs reads as before.
  sim::Drawing drawing;
  const DrawingFile file =
      ParseDrawing(Replaced(R"("radius": 5,)", R"("radius": 2.50e0,)"), "d.json", drawing);
  EXPECT_EQ(file.views.at(101).shape.radius, 2.5);
}

// A drawing may start with a byte order mark; anywhere else one is spelt out
// where a message quotes it.
TEST(DrawingFile, SpellsOutWhatWouldNotShow) {
  sim::Drawing drawing;
  EXPECT_EQ(ParseDrawing("\xEF\xBB\xBF" + std::string(kDrawing), "d.json", drawing).title, "T");
  EXPECT_EQ(RejectionOf(Replaced(R"("title")", "\"\xEF\xBB\xBFtitle\"")),
            "bad.json: at $: unknown key \"<U+FEFF>title\" (allowed here: format, version, title, "
            "layers, segments, elements)");
  EXPECT_EQ(
      RejectionOf(Replaced(R"("#ff0000")", "\"#ff0000\xE2\x80\x8B\"")),
      "bad.json: at $.layers[1].colour: \"#ff0000<U+200B>\" is no colour of the form #rrggbb");
  EXPECT_EQ(
      RejectionOf(Replaced(R"("radius": 5,)", "\"radius\xC2\xAD\": 5, \"radius\xC2\xAD\": 6,")),
      "bad.json: at $.elements[1].shape: the key \"radius<U+00AD>\" appears twice");
  const std::string twice = RejectionOf("\xEF\xBB\xBF\xEF\xBB\xBF" + std::string(kDrawing));
  EXPECT_NE(twice.find("last read: '<U+FEFF>"), std::string::npos) << twice;
}

TEST(DrawingFile, GivesLineAndColumnForTextThatIsNoJson) {
  const std::string error =
      RejectionOf("{\n  \"format\": \"vekhost-drawing\",\n  \"version\": 1 2\n}");
  EXPECT_EQ(error.rfind("bad.json: at line 3, column 16: not valid JSON: ", 0), 0u) << error;
  const std::string cut = RejectionOf("{\"layers\": [");
  EXPECT_EQ(cut.rfind("bad.json: at line 1, column 13: not valid JSON: ", 0), 0u) << cut;
}

TEST(DrawingFile, RefusesNumbersNoDoubleHoldsAndDeepNesting) {
  EXPECT_EQ(RejectionOf("{\"format\":\n  1e400}"),
            "bad.json: at line 2, column 3: not valid JSON: number overflow parsing '1e400'");
  EXPECT_EQ(
      RejectionOf("{\"layers\": " + std::string(100000, '[')), "bad.json: at $.layers" + [] {
        std::string path;
        for (int i = 0; i < 30; ++i) path += "[0]";
        return path;
      }() + ": nested deeper than 32 levels");
}

// --- Selections -------------------------------------------------------

class SelectionTest : public ::testing::Test {
 protected:
  void SetUp() override { file_ = ParseDrawing(kDrawing, "d.json", drawing_); }

  std::vector<VekId> Selected(const std::string& line) {
    std::string problem;
    const Action action = Parsed(line);
    EXPECT_TRUE(SelectionNamesExist(action.selection, file_, drawing_, problem)) << problem;
    return SelectedElements(action.selection, file_, drawing_);
  }
  std::string Missing(const std::string& line) {
    std::string problem;
    EXPECT_FALSE(SelectionNamesExist(Parsed(line).selection, file_, drawing_, problem)) << line;
    return problem;
  }

  sim::Drawing drawing_;
  DrawingFile file_;
};

TEST_F(SelectionTest, NamesTheElementsAsTheDrawingHoldsThem) {
  using Ids = std::vector<VekId>;
  const std::vector<std::pair<std::string, Ids>> cases{
      {"select all", {201, 101, 202, 301, 302, 303}},  // file order
      {"list", {201, 101, 202, 301, 302, 303}},
      {"select layer 4", {201, 202, 301, 302, 303}},
      {"select layer 1", {101}},
      {"select type 0-8", {201, 101, 202}},
      {"select type 14", {301}},
      {"select segment 30 type 30-35", {302}},
      {"select layer 4 type 9", {303}},
      {"select layer 1 type 9", {}},
      {"select 101-202", {101, 201, 202}},          // a range in ascending ids
      {"select 302 100-201 101", {302, 101, 201}},  // each once, as written
      {"select 500-600", {}},
  };
  for (const auto& [line, ids] : cases) EXPECT_EQ(Selected(line), ids) << line;
}

TEST_F(SelectionTest, FollowsTheLayersAsTheyChange) {
  drawing_.segment(10).layer = 4;
  EXPECT_EQ(Selected("select layer 1"), std::vector<VekId>{});
  EXPECT_EQ(Selected("select layer 4 type 1"), std::vector<VekId>{101});
}

TEST_F(SelectionTest, RefusesNamesThatAreNotInTheDrawing) {
  EXPECT_EQ(Missing("select 101 999"), "element 999 is not in the drawing");
  EXPECT_EQ(Missing("select layer 2"), "layer 2 is not in the drawing");
  EXPECT_EQ(Missing("list segment 11"), "segment 11 is not in the drawing");
}

// The lists may come in any order; the checks still run top level, layers,
// segments, elements, so the problem reported does not depend on it.
TEST(DrawingFile, ReadsTheListsInAnyOrderAndChecksThemInOne) {
  const std::string reordered = R"({"elements": [{"id": 5, "type": 9, "segment": 2}],
    "segments": [{"id": 2, "layer": 1}], "version": 1,
    "layers": [{"id": 1, "name": "A", "colour": "#000000"}], "format": "vekhost-drawing"})";
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(reordered, "d.json", drawing);
  EXPECT_EQ(file.elements, std::vector<VekId>{5});
  EXPECT_EQ(drawing.element(5).segment, 2u);

  // An element's problem comes after a segment's, though the file has it first.
  const std::string twoProblems = R"({"elements": [{"id": 5, "type": 99, "segment": 2}],
    "segments": [{"id": 2, "layer": 7}], "version": 1,
    "layers": [{"id": 1, "name": "A", "colour": "#000000"}], "format": "vekhost-drawing"})";
  EXPECT_EQ(RejectionOf(twoProblems),
            "bad.json: at $.segments[0].layer: layer 7 is not among the declared layers");
}

TEST(DrawingFile, TextThatIsNoJsonOutranksAnEarlierProblemOfContent) {
  const std::string text = Replaced(R"("version": 1)", R"("version": 2)");
  const std::string error = RejectionOf(text.substr(0, text.size() - 3));
  EXPECT_EQ(error.rfind("bad.json: at line ", 0), 0u) << error;
  EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
}

TEST(DrawingFile, FindsARepeatedKeyAmongManyAndInLongLists) {
  std::string keys;
  for (int i = 0; i < 40; ++i) keys += "\"k" + std::to_string(i) + "\": 0, ";
  EXPECT_EQ(RejectionOf("{" + keys + "\"k17\": 1}"),
            "bad.json: at $: the key \"k17\" appears twice");
  std::string many = "[";
  for (int i = 0; i < 400000; ++i) many += "{},";
  many += "{\"a\": 1, \"a\": 2}]";
  EXPECT_EQ(RejectionOf("{\"elements\": " + many + "}"),
            "bad.json: at $.elements[400000]: the key \"a\" appears twice");
}

TEST(DrawingFile, CountsTheEntriesOfAListItReadsOneByOne) {
  const std::string none = Replaced(
      R"([{"id": 1, "name": "A", "colour": "#000000"}, {"id": 4, "name": "B", "colour": "#ff0000"}])",
      "[]");
  EXPECT_EQ(RejectionOf(none), "bad.json: at $.layers: expected 1 to 1000 entries, found 0");
  EXPECT_EQ(RejectionOf(R"({"format": "vekhost-drawing", "version": 1,
    "layers": [{"id": 1, "name": "A", "colour": "#000000"}], "segments": 5, "elements": []})"),
            "bad.json: at $.segments: expected an array, found the integer 5");
}

// The writer spells everything as nlohmann's dump with an indent of two, so
// written drawings keep the form they always had: its output read back and
// dumped by nlohmann is the same text.
TEST(DrawingFile, WritesAsNlohmannDumpsWithAnIndentOfTwo) {
  std::string text = Replaced(R"("value": 12.5)", R"("value": 123456.78901234567)");
  text.replace(text.find(R"("title": "T")"), 12, R"("title": "Quote \" back\\ Ø \u007f")");
  text.replace(text.find(R"("radius": 5,)"), 12, R"("radius": 0.1,)");
  text.replace(text.find(R"("lower": -0.2)"), 13, R"("lower": -1e-7)");
  text.replace(text.find(R"("segments": [)"), 13,
               R"("segments": [{"id": 40, "layer": 1, "hole": []},)");
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(text, "d.json", drawing);
  const std::string written = DrawingToJson(file, drawing);
  EXPECT_EQ(written, nlohmann::ordered_json::parse(written).dump(2) + "\n");
  EXPECT_NE(written.find("\"hole\": []"), std::string::npos);
  EXPECT_NE(written.find("\"radius\": 0.1,"), std::string::npos);
  EXPECT_NE(written.find("Quote \\\" back\\\\ Ø \x7f"), std::string::npos);
}

// --- The session and the settings dialog --------------------------------

class ListSource final : public ActionSource {
 public:
  explicit ListSource(std::vector<std::string> lines) {
    int number = 0;
    for (const std::string& line : lines) {
      ++number;
      std::string problem;
      std::optional<Action> action = ParseAction(line, false, problem);
      EXPECT_EQ(problem, "");
      if (!action) continue;
      action->line = number;
      actions_.push_back(*action);
    }
  }
  std::optional<Action> Next(bool) override {
    if (next_ >= actions_.size()) return std::nullopt;
    return actions_[next_++];
  }
  bool Reject(const Action& action, const std::string& problem, std::string& error) override {
    error = "s.vks: at line " + std::to_string(action.line) + ": " + problem;
    return true;
  }
  bool EndedInDialog(std::string& error) override {
    error = "s.vks: ends in the dialog";
    return true;
  }
  bool Interactive() const override { return false; }

 private:
  std::vector<Action> actions_;
  size_t next_ = 0;
};

// A dialog with three boxes that records what was done to it.
class FakeDialog final : public DialogPort {
 public:
  int TemplateId() const override { return 23000; }
  std::u16string Caption() const override { return u"속성참조"; }
  std::vector<Box> Boxes() const override { return boxes; }
  bool Click(int id) override {
    done.push_back("click " + std::to_string(id));
    for (Box& box : boxes) {
      if (box.id == id) {
        box.checked = !box.checked;
        return true;
      }
    }
    return false;
  }
  bool PressOk() override {
    done.push_back("ok");
    open = false;
    return true;
  }
  bool PressCancel() override {
    done.push_back("cancel");
    open = false;
    return true;
  }
  bool IsOpen() const override { return open; }

  std::vector<Box> boxes{{12000, u"구멍", false}, {12001, u"선색", true}, {12005, u"공차", false}};
  std::vector<std::string> done;
  bool open = true;
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host().Reset();
    file_ = ParseDrawing(kDrawing, "d.json", host().drawing());
  }
  static sim::Host& host() { return sim::Host::Instance(); }

  Session Make(ListSource& source) {
    return Session(
        host(), file_, source,
        [this](const std::string& line, LineFor to) {
          if (to != LineFor::kScreen) log_.push_back(line);
        },
        [](const std::u16string&) { return std::optional<std::u16string>(); });
  }

  DrawingFile file_;
  std::vector<std::string> log_;
};

TEST_F(SessionTest, ADialogActionWithNoDialogOpenStopsTheScriptAtItsLine) {
  ListSource source({"frame 2", "", "click colour", "run"});
  Session session = Make(source);
  EXPECT_FALSE(session.Run());
  EXPECT_EQ(session.error(),
            "s.vks: at line 3: `click colour` needs the settings dialog, and it is not open");
  EXPECT_EQ(log_, (std::vector<std::string>{"> frame 2"}));  // `run` never came
}

TEST_F(SessionTest, TheDialogTakesClicksUntilOkAndShowsEachChange) {
  ListSource source({"click hole", "click 12001", "ok", "frame 3"});
  Session session = Make(source);
  FakeDialog dialog;
  session.OnDialog(dialog);
  EXPECT_EQ(dialog.done, (std::vector<std::string>{"click 12000", "click 12001", "ok"}));
  EXPECT_EQ(log_, (std::vector<std::string>{
                      "  dialog 23000 \"속성참조\" opens",
                      "    [ ] 12000 IsHoleLayerChanged 구멍",
                      "    [x] 12001 mIsColor           선색",
                      "    [ ] 12005 mIsTolerance       공차",
                      "> click hole",
                      "    12000 IsHoleLayerChanged: [ ] -> [x]",
                      "> click 12001",
                      "    12001 mIsColor: [x] -> [ ]",
                      "> ok",
                      "  dialog closes: OK",
                  }));
  // What follows the dialog is left for the session.
  EXPECT_TRUE(session.Run());
  EXPECT_EQ(log_.back(), "> frame 3");
}

TEST_F(SessionTest, AnActionTheDialogCannotTakeCancelsItAndStops) {
  ListSource source({"click hole", "pick 101", "ok"});
  Session session = Make(source);
  FakeDialog dialog;
  session.OnDialog(dialog);
  EXPECT_EQ(dialog.done, (std::vector<std::string>{"click 12000", "cancel"}));
  EXPECT_FALSE(session.Run());
  EXPECT_EQ(session.error(),
            "s.vks: at line 2: `pick 101` cannot be done while the settings dialog is open "
            "(click, ok, cancel or quit)");
}

TEST_F(SessionTest, QuitInTheDialogCancelsItAndEndsTheSession) {
  ListSource source({"click tolerance", "quit", "frame 2"});
  Session session = Make(source);
  FakeDialog dialog;
  session.OnDialog(dialog);
  EXPECT_EQ(dialog.done, (std::vector<std::string>{"click 12005", "cancel"}));
  EXPECT_TRUE(session.Run());
  EXPECT_EQ(session.taken(), (std::vector<std::string>{"click tolerance", "quit"}));
  // The last lines: nothing after quit is played.
  ASSERT_GE(log_.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log_.end() - 3, log_.end()),
            (std::vector<std::string>{"> quit", "  dialog closes: Cancel (quit)",
                                      "  (the boxes clicked are already stored; the command keeps "
                                      "its settings until its next start)"}));
}

TEST_F(SessionTest, QuitEndsTheScriptWhereItStands) {
  ListSource source({"frame 2", "quit", "frame 3"});
  Session session = Make(source);
  EXPECT_TRUE(session.Run());
  EXPECT_EQ(log_, (std::vector<std::string>{"> frame 2", "> quit"}));
  EXPECT_EQ(session.taken(), (std::vector<std::string>{"frame 2", "quit"}));
  EXPECT_FALSE(session.interrupted());
}

TEST_F(SessionTest, InputEndingInTheDialogCancelsIt) {
  ListSource source({"click tolerance"});
  Session session = Make(source);
  FakeDialog dialog;
  session.OnDialog(dialog);
  EXPECT_EQ(dialog.done, (std::vector<std::string>{"click 12005", "cancel"}));
  EXPECT_FALSE(session.Run());
  EXPECT_EQ(session.error(), "s.vks: ends in the dialog");
}

TEST_F(SessionTest, TheSummaryListsEachChangedPropertyOldToNew) {
  ListSource source({});
  Session session = Make(source);
  // Changed through the library, as the module changes them: the drawing
  // keeps the first value each property had.
  ASSERT_EQ(VekSgmChangeLayer(20, 1), 0);
  VekLineAttr line = host().drawing().element(201).line;
  const int32_t lineType = line.lineType;
  line.colour = 5;
  line.lineType = lineType + 1;
  ASSERT_EQ(VekFigSetLineType(201, &line), 0);
  line.colour = 7;
  line.lineType = lineType;  // back as it was: nothing to show
  ASSERT_EQ(VekFigSetLineType(201, &line), 0);
  ASSERT_EQ(VekDimSetDecimalPlace(301, 0), 0);
  const VekHoleKey key{77, 20};
  const VekHoleId hole = VekHolGetHoleId(&key);
  VekHoleData data{};
  ASSERT_EQ(VekHolGetHoleData(hole, &data), 0);
  data.entries[0].layer = 1;
  ASSERT_EQ(VekHolAmendHoleData(hole, &data), 0);
  const VekCharSize size = sim::MakeCharSize({5, 4, 0.25});
  ASSERT_EQ(VekCmtSetCharSize(302, &size), 0);
  session.PrintSummary();
  EXPECT_EQ(log_, (std::vector<std::string>{
                      "changes:",
                      "  segment 20: layer 4 -> 1",
                      "  segment 20: hole entry 0 layer 4 -> 1",
                      "  element 201: line colour 3 -> 7",
                      "  element 301: decimal places 2 -> 0",
                      // One line, split in two here.
                      // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
                      "  element 302: annotation char size height 2.5 width 2 spacing 0 -> "
                      "height 5 width 4 spacing 0.25",
                      "settings: unchanged",
                  }));
}

// --- Pictures ------------------------------------------------------------

TEST(Svg, GroupsByLayerAndDrawsColoursDashesAndTexts) {
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", drawing);
  const std::string svg = RenderSvg(file, drawing);
  const size_t layer1 = svg.find("<g id=\"layer-1\" data-name=\"A\"");
  const size_t layer4 = svg.find("<g id=\"layer-4\" data-name=\"B\"");
  ASSERT_NE(layer1, std::string::npos);
  ASSERT_NE(layer4, std::string::npos);
  EXPECT_LT(layer1, layer4);
  // Colour 0 is the layer's colour; the quarter arc ends exactly on the axes.
  const size_t arc = svg.find("<g id=\"element-101\">");
  EXPECT_GT(arc, layer1);
  EXPECT_LT(arc, layer4);
  EXPECT_NE(svg.find("stroke=\"#000000\"", arc), std::string::npos);
  EXPECT_NE(svg.find("<path d=\"M 20,16.5 A 5 5 0 0 0 15,11.5\""), std::string::npos);
  // Line type 2 is dashed, 4 dotted; the text is escaped and at its size.
  EXPECT_NE(svg.find("stroke-dasharray=\"3 1.5\""), std::string::npos);
  EXPECT_NE(svg.find("Ø8 &lt;THRU&gt; &amp; more</text>"), std::string::npos);
  EXPECT_NE(svg.find("font-size=\"2.5\""), std::string::npos);
  // The dimension shows its value at its places, with its tolerance.
  EXPECT_NE(svg.find(">12.50 +0.1/-0.2</text>"), std::string::npos);
  EXPECT_EQ(RenderSvg(file, drawing), svg);
}

TEST(Svg, MarksWhatTheSessionChangedAndCountsTheLayers) {
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", drawing);
  // The picture before a session marks nothing and writes no ids unasked.
  const std::string plain = RenderSvg(file, drawing);
  EXPECT_EQ(plain.find("class=\"changed\""), std::string::npos);
  EXPECT_EQ(plain.find("outlined:"), std::string::npos);

  // Changed as the library changes them, which keeps what it replaces.
  drawing.KeepOriginals();
  drawing.KeepOriginal(drawing.segment(20));
  drawing.segment(20).layer = 1;
  drawing.KeepOriginal(drawing.element(201), sim::Property::kLine);
  drawing.element(201).line.lineType = 1;
  SvgOptions options;
  options.markChanges = true;
  options.labels = true;
  const std::string svg = RenderSvg(file, drawing, options);

  // Each element's tooltip: its id and properties, and for a changed one
  // what changed, its segment's layer first.
  EXPECT_NE(svg.find("<g id=\"element-201\" class=\"changed\"><title>element 201: figure (type "
                     "0, line)  segment 20  layer 1 &quot;A&quot;  line colour 3, line type 1\n"
                     "changed: layer 4 \xE2\x86\x92 1, line type 2 \xE2\x86\x92 1</title>"),
            std::string::npos);
  EXPECT_NE(svg.find("<g id=\"element-101\"><title>element 101: figure (type 1, arc)"),
            std::string::npos);
  // The outline is drawn under the figure, in the highlight colour.
  const size_t changed = svg.find("<g id=\"element-201\" class=\"changed\">");
  ASSERT_NE(changed, std::string::npos);
  const size_t outline = svg.find(std::string("stroke=\"") + kHighlightColour, changed);
  EXPECT_LT(outline, svg.find("stroke=\"#2ca02c\"", changed));
  // Legend: the counts per layer before and after, and the highlight (202
  // has nothing to draw, but is counted).
  EXPECT_NE(svg.find(">1 A: 1 element before, 3 after</text>"), std::string::npos);
  EXPECT_NE(svg.find(">4 B: 5 elements before, 3 after</text>"), std::string::npos);
  EXPECT_NE(svg.find(">outlined: changed by the session (2 elements)</text>"), std::string::npos);
  // --labels: the ids in the picture.
  EXPECT_NE(svg.find(">101</text>"), std::string::npos);
  EXPECT_EQ(plain.find("class=\"label\""), std::string::npos);
  EXPECT_NE(plain.find(">4 B: 5 elements</text>"), std::string::npos);
}

// Every text is filled, never stroked: a renderer that lets a stroke reach
// a text (ImageMagick's convert does) draws it as a bold blob.
TEST(Svg, StrokesNoText) {
  sim::Drawing drawing;
  const DrawingFile file = ParseDrawing(kDrawing, "d.json", drawing);
  for (const bool after : {false, true}) {
    SvgOptions options;
    options.markChanges = after;
    options.labels = true;
    const std::string svg = RenderSvg(file, drawing, options);
    size_t texts = 0;
    for (size_t at = svg.find("<text"); at != std::string::npos; at = svg.find("<text", at + 1)) {
      const std::string tag = svg.substr(at, svg.find('>', at) - at);
      EXPECT_NE(tag.find(" stroke=\"none\""), std::string::npos) << tag;
      ++texts;
    }
    EXPECT_GE(texts, 4u);  // the drawing's, the labels and the legend's
  }
}

TEST(Svg, PaletteAndDashes) {
  EXPECT_EQ(ColourFor(0, "#123456"), "#123456");
  EXPECT_EQ(ColourFor(1, "#123456"), "#d62728");
  EXPECT_EQ(ColourFor(16, "#123456"), "#999999");
  EXPECT_EQ(ColourFor(-3, "#123456"), "#999999");
  EXPECT_EQ(DashesFor(0), "");
  EXPECT_EQ(DashesFor(1), "");
  EXPECT_EQ(DashesFor(3), "8 1.5 1.5 1.5");
  EXPECT_EQ(DashesFor(99), "");
}

}  // namespace
}  // namespace vekhost
