#include "sim/sim_chip.h"

namespace dmm::sim {

uint8_t SimChip::Read(uint16_t address) {
    return memory_[address % kChipMemorySize];
}

void SimChip::Write(uint16_t address, uint8_t value) {
    memory_[address % kChipMemorySize] = value;
}

void SimChip::ReadConversion(uint8_t /*function*/, uint16_t address, int32_t& first,
                             int32_t& second) {
    auto value = [&](uint16_t at) {
        const uint32_t raw = Read(at) | (Read(at + 1) << 8) | (Read(at + 2) << 16);
        return (raw & 0x800000) ? static_cast<int32_t>(raw) - 0x1000000 : static_cast<int32_t>(raw);
    };
    first = value(address);
    second = value(static_cast<uint16_t>(address + 3));
}

}  // namespace dmm::sim
