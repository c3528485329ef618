// Numbers as vekhost prints them: the same digits on every platform and in
// every locale, since its output is compared line for line between builds.
#pragma once

#include <string>

namespace vekhost {

// Rounded to at most `maxDecimals` places (0 to 9), trailing zeros and a
// trailing point dropped, "-0" printed as "0": 3.5, 40, -0.05.
std::string FormatNumber(double value, int maxDecimals = 6);

// Exactly `decimals` places (0 to 9), as a dimension shows its value: 40.00.
std::string FormatFixed(double value, int decimals);

}  // namespace vekhost
