#pragma once

#include <optional>
#include <string>

#include "headless/headless_bench.h"

namespace dmm::headless {

// The settings a bench uses: where they came from, then each as it is in use.
struct BenchConfiguration {
    // "settings: <path>", "settings: <path> missing; defaults in use", ...
    std::string source;
    std::string settingsPath;  // empty without a bench directory
    bool settingsUsed = false;
    int chipIndex = 0;
    std::string chipName;  // the chip list's text for it; empty without a chip list
    std::string kind;      // "dmm", "rs232", ...
    std::string com;       // the chip link's serial port, "COM1"
    int baud = 0;
    std::string parity;  // "none", "even", "odd"
    uint16_t lptBase = 0;
    bool photo = false;
    std::optional<std::string> variant;  // the product variant of the settings file
};

BenchConfiguration ReadConfiguration(HeadlessBench& bench);

}  // namespace dmm::headless
