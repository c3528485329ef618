#include "vekhost_number.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vekhost {
namespace {

constexpr int kMaxDecimals = 9;
// Beyond this the scaled value no longer fits the 64-bit integer the digits
// are taken from; drawings are validated far below it.
constexpr double kLargest = 9.0e9;

// The digits come from integer arithmetic on the value rounded at the wanted
// place (halves away from zero), never from printf, whose rounding and
// decimal point vary with the C library and the locale.
std::string Format(double value, int decimals, bool trim) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  decimals = std::clamp(decimals, 0, kMaxDecimals);
  value = std::clamp(value, -kLargest, kLargest);

  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const int64_t scaled = std::llround(std::fabs(value) * static_cast<double>(scale));

  std::string fraction = decimals > 0 ? std::to_string(scaled % scale) : "";
  fraction.insert(0, static_cast<size_t>(decimals) - fraction.size(), '0');
  if (trim) fraction.erase(fraction.find_last_not_of('0') + 1);  // npos + 1: all of it
  const std::string text = (value < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / scale);
  return fraction.empty() ? text : text + "." + fraction;
}

}  // namespace

std::string FormatNumber(double value, int maxDecimals) { return Format(value, maxDecimals, true); }

std::string FormatFixed(double value, int decimals) { return Format(value, decimals, false); }

}  // namespace vekhost
