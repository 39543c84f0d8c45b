#pragma once

#include <cstdint>
#include <vector>

#include "core/link/chip_access.h"

namespace dmm {

struct RegisterWrite {
    uint16_t address = 0;
    uint8_t value = 0;
};

// The panels' writes, in order, each with read-back (WriteRegister); stops at the first
// failure. A request the interface cannot carry is not sent, and ChipAccess reports why
// (the bench shows it in the status bar). Thread: the bench thread.
bool WriteRegisters(ChipAccess& chip, const std::vector<RegisterWrite>& writes);

}  // namespace dmm
