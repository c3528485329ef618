// vekhost's registry files: any bytes are either a registry text or one
// error with its line, and a text read and written again is written the same.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "support/reg_text.h"

namespace {

std::string ExportOf(const std::string& text, regtext::ParseError& error, bool& parsed) {
  std::vector<regtext::Change> changes;
  parsed = regtext::Parse(text, changes, error);
  regtext::Tree tree;
  if (parsed) tree.Apply(changes);
  return tree.Export();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  regtext::ParseError error;
  bool parsed = false;
  const std::string exported = ExportOf(text, error, parsed);
  if (!parsed) {
    FUZZ_REQUIRE(error.line >= 1 && !error.problem.empty(), error.problem);
    return 0;
  }
  bool again = false;
  const std::string reexported = ExportOf(exported, error, again);
  FUZZ_REQUIRE(again, "line " + std::to_string(error.line) + ": " + error.problem);
  FUZZ_REQUIRE(reexported == exported, exported + "\n---\n" + reexported);
  return 0;
}
