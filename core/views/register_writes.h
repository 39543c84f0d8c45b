#pragma once

#include <cstdint>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/link/chip_access.h"

namespace dmm {

struct RegisterWrite {
    uint16_t address = 0;
    uint8_t value = 0;
};

// Whether a chip address can travel in the frames of an interface kind. The DMM kind
// sends the address doubled in one byte, so only 0x00..0x7F arrive as themselves; a
// higher address would land on another register.
bool AddressReachable(InterfaceKind kind, int address);

// The panels' writes, in order, each with read-back (WriteRegister); stops at the first
// failure. An address beyond the chip's space or the interface's reach is not sent: the
// status bar says why. Thread: the bench thread.
bool WriteRegisters(ChipAccess& chip, UiHooks& hooks, const std::vector<RegisterWrite>& writes);

}  // namespace dmm
