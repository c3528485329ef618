// vekhost's session scripts: any bytes are either a script or one error
// naming the file and the line, and the actions as the log writes them read
// back as the same actions.
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "vekhost_drawing_file.h"
#include "vekhost_script.h"

namespace {

const std::string kName = "fuzz.vks";

std::string Joined(const std::vector<vekhost::Action>& actions) {
  std::string text;
  for (const vekhost::Action& action : actions) text += action.text + "\n";
  return text;
}

bool Same(const vekhost::Action& a, const vekhost::Action& b) {
  return a.kind == b.kind && a.ids == b.ids && a.number == b.number && a.text == b.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<vekhost::Action> actions;
  try {
    actions = vekhost::ParseScript(text, kName);
  } catch (const vekhost::InputError& error) {
    const std::string what = error.what();
    FUZZ_REQUIRE(what.rfind(kName + ": ", 0) == 0, what);
    return 0;
  }
  std::vector<vekhost::Action> again;
  try {
    again = vekhost::ParseScript(Joined(actions), kName);
  } catch (const vekhost::InputError& error) {
    FUZZ_REQUIRE(false, std::string(error.what()) + "\n" + Joined(actions));
  }
  FUZZ_REQUIRE(again.size() == actions.size(), Joined(actions));
  for (size_t i = 0; i < actions.size(); ++i) {
    FUZZ_REQUIRE(Same(actions[i], again[i]), actions[i].text + " / " + again[i].text);
  }
  return 0;
}
