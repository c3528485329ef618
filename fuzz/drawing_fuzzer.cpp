// vekhost's drawing files: any bytes are either a drawing or one error
// naming the file and the place, and a drawing written out reads back as
// the same drawing, written out the same.
#include <string>

#include "fuzz_input.h"
#include "sim_drawing.h"
#include "vekhost_drawing_file.h"

namespace {

const std::string kName = "fuzz.json";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::Drawing drawing;
  vekhost::DrawingFile file;
  try {
    file = vekhost::ParseDrawing(text, kName, drawing);
  } catch (const vekhost::InputError& error) {
    const std::string what = error.what();
    FUZZ_REQUIRE(what.rfind(kName + ": ", 0) == 0, what);
    return 0;
  }
  const std::string written = vekhost::DrawingToJson(file, drawing);
  sim::Drawing again;
  vekhost::DrawingFile reread;
  try {
    reread = vekhost::ParseDrawing(written, kName, again);
  } catch (const vekhost::InputError& error) {
    FUZZ_REQUIRE(false, std::string(error.what()) + "\n" + written);
  }
  FUZZ_REQUIRE(vekhost::DrawingToJson(reread, again) == written, written);
  return 0;
}
