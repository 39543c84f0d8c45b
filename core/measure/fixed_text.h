#pragma once

#include <string>

namespace dmm {

// "%.<decimals>f" as the C locale writes it, whatever the process locale is: result
// files and grid texts must read the same on every machine.
std::string FixedText(double value, int decimals);

// The number that FixedText(value, decimals) reads back as: what a grid cell holds.
double FixedValue(double value, int decimals);

}  // namespace dmm
