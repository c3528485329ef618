// The C runtime names the module calls and Linux lacks, defined for the
// process that loads the module, as msvcrt defines them on Windows.
#include "platform/crt.h"
#include "standin/wtoi_model.h"

extern "C" int _wtoi(const char16_t* text) { return crtstandin::WideToInt(text); }
