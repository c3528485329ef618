#include "vekhost_options.h"

#include <algorithm>
#include <array>
#include <utility>

#include "vekhost_drawing_file.h"
#include "vekhost_words.h"

namespace vekhost {
namespace {

struct ValueOption {
  const char* name;
  std::string Options::*field;
};

const std::array<ValueOption, 9> kValueOptions = {{
    {"--script", &Options::script},
    {"--out", &Options::out},
    {"--svg", &Options::svg},
    {"--svg-before", &Options::svgBefore},
    {"--registry", &Options::registry},
    {"--module", &Options::module},
    {"--resources", &Options::resources},
    {"--record", &Options::record},
    {"--log", &Options::log},
}};

struct Flag {
  const char* name;
  bool Options::*field;
};

const std::array<Flag, 5> kFlags = {{
    {"--help", &Options::help},
    {"-h", &Options::help},
    {"--version", &Options::version},
    {"-V", &Options::version},
    {"--labels", &Options::labels},
}};

template <class Table>
const typename Table::value_type* Find(const Table& table, const std::string& name) {
  const auto found = std::ranges::find(table, name, &Table::value_type::name);
  return found == table.end() ? nullptr : &*found;
}

// What was typed is made visible: a mark pasted along with a word would
// otherwise make the message name what looks like a sound one.
[[noreturn]] void Refuse(const std::string& problem) {
  throw InputError("vekhost: " + Visible(problem) + " (see vekhost --help)");
}

void RefuseUnknown(const std::string& name) {
  const std::string near = NearestOption(name);
  Refuse("unknown option " + name + (near.empty() ? "" : ", did you mean " + near + "?"));
}

constexpr const char* kSynopsis =
    "usage: vekhost DRAWING.json [--script SESSION.vks] [--out RESULT.json]\n"
    "               [--svg PICTURE.svg] [--svg-before PICTURE.svg] [--registry FILE.reg]\n"
    "               [--module PATH] [--resources FILE.res]\n"
    "               [--record SESSION.vks] [--log FILE.log] [--labels]\n"
    "       vekhost --help | --version\n"
    "Options take their value as the next word or after '=' (--out=result.json);\n"
    "--labels, --help and --version take none.\n"
    "--script - reads the actions from standard input, --out - writes the result\n"
    "drawing to standard output (the log then goes to standard error).\n"
    "Without --script the actions are typed at a prompt when standard input is a\n"
    "terminal, and read from standard input otherwise.\n"
    "--record writes the actions taken as a script that replays the session;\n"
    "--log keeps a copy of the log, with the typed actions in it.\n"
    "--labels writes each element's id into the pictures.\n"
    "--registry fresh starts from the module's defaults and keeps nothing\n"
    "(./fresh names a file of that name).\n"
    "At the prompt, Ctrl-C drops the line typed; quit, Ctrl-D or Ctrl-C on the\n"
    "empty line right after ends the session and writes the files. Ctrl-C while\n"
    "a script runs, a hang-up (the terminal closed) or SIGTERM ends it at once\n"
    "and writes only the --record and --log files and the settings.\n";

// Worded as the table of docs/vekhost.md words them, which a test checks.
constexpr const char* kExitStatuses =
    "Exit status:\n"
    "  0    done\n"
    "  1    the module or a file could not be loaded or written\n"
    "  2    a bad drawing, script, registry file or command line\n"
    "  129  hung up (SIGHUP): only --record, --log and the settings written\n"
    "  130  interrupted (Ctrl-C while a script runs): the same\n"
    "  143  terminated (SIGTERM): the same\n";

}  // namespace

std::string Usage(const Defaults& defaults) {
  std::string text = std::string(kSynopsis) + "Defaults, as they are here:\n";
  auto row = [&text](const std::string& option, const std::string& value) {
    if (!value.empty()) text += "  " + option + std::string(13 - option.size(), ' ') + value + "\n";
  };
  row("--registry", defaults.registry);
  row("--module", defaults.module);
  row("--resources", defaults.resources);
  return text + kExitStatuses;
}

std::string NearestOption(const std::string& typed) {
  // The long names only: -h and -V are no word a slip would aim at.
  std::vector<std::string_view> names;
  names.reserve(std::size(kValueOptions) + std::size(kFlags));
  for (const ValueOption& option : kValueOptions) names.emplace_back(option.name);
  for (const Flag& flag : kFlags) {
    if (flag.name[1] == '-') names.emplace_back(flag.name);
  }
  return NearestWord(typed, names);
}

Options ParseOptions(const std::vector<std::string>& args, const std::string& module) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (const Flag* flag = Find(kFlags, arg)) {
      options.*(flag->field) = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      const size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      // --labels=yes names a flag, not an unknown option: saying so beats
      // proposing the very option typed.
      if (Find(kFlags, name) != nullptr) Refuse(name + " takes no value");
      const ValueOption* option = Find(kValueOptions, name);
      if (option == nullptr) RefuseUnknown(name);
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      }
      if (value.empty()) Refuse(name + " needs a value");
      std::string& into = options.*(option->field);
      if (!into.empty()) throw InputError("vekhost: " + name + " is given twice");
      into = std::move(value);
    } else if (arg == kStandardStream) {
      Refuse("the drawing is read from a file, not from standard input");
    } else if (options.drawing.empty()) {
      options.drawing = arg;
    } else {
      Refuse("one drawing only, and " + arg + " is a second");
    }
  }
  if (options.help || options.version) return options;
  if (options.drawing.empty()) Refuse("no drawing named");
  if (options.module.empty()) options.module = module;
  for (const std::string* path :
       {&options.svg, &options.svgBefore, &options.registry, &options.record, &options.log}) {
    if (*path == kStandardStream) Refuse("only --script and --out take - for a standard stream");
  }
  return options;
}

}  // namespace vekhost
