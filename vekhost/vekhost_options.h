// vekhost's command line. A small fixed grammar: one drawing, options with a
// value each (`--opt VALUE` or `--opt=VALUE`), and --help and --version.
#pragma once

#include <string>
#include <vector>

namespace vekhost {

// "-" as a file name: standard input for the script, standard output for
// the result drawing.
inline constexpr const char* kStandardStream = "-";

// The --registry that names no file: the module's defaults, nothing kept.
inline constexpr const char* kFreshRegistry = "fresh";

struct Options {
  std::string drawing;
  std::string script;
  std::string out;
  std::string svg;
  std::string svgBefore;
  std::string registry;
  std::string module;
  std::string resources;
  std::string record;   // the actions taken, written as a script
  std::string log;      // a copy of the log
  bool labels = false;  // the pictures show each element's id
  bool help = false;
  bool version = false;
};

// The files vekhost takes when their option is not given, as they are on the
// machine at hand: they depend on the platform, the build and the
// environment. An empty one is left out of the help.
struct Defaults {
  std::string registry;
  std::string module;
  std::string resources;
};

// The usage text --help prints.
std::string Usage(const Defaults& defaults);

// Throws InputError, worded for standard error, for a command line it cannot
// follow. `module` is the module loaded when none is named.
Options ParseOptions(const std::vector<std::string>& args, const std::string& module);

// The known option nearest to a mistyped one, or "" when none is near.
std::string NearestOption(const std::string& typed);

}  // namespace vekhost
