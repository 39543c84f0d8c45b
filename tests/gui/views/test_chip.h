#pragma once

#include <memory>

#include "core/views/panel_chip.h"

namespace dmm::test {

// A chip laid out like a small microcontroller: bit registers on pages 1, 2 and 4,
// byte registers, a word register and RAM banks 0 and 1.
inline std::shared_ptr<PanelChip> TestChip() {
    auto chip = std::make_shared<PanelChip>();
    chip->productTitle = QStringLiteral("TEST");
    auto bits = [&](uint16_t address, const char* name, std::array<QString, 8> names) {
        chip->bitRegisters.push_back({address, name, QStringLiteral("%1 register").arg(name), names, {}});
        uint8_t mask = 0xFF;
        for (int slot = 0; slot < 8; ++slot) {
            if (names[static_cast<size_t>(slot)] == QLatin1String("-")) mask &= static_cast<uint8_t>(~(0x80 >> slot));
        }
        chip->mask[address] = mask;
    };
    bits(0x20, "ADCON", {"-", "B6", "B5", "B4", "B3", "B2", "B1", "-"});
    bits(0x21, "PCON", {"P7", "P6", "P5", "P4", "P3", "P2", "P1", "P0"});
    bits(0x22, "INTE", {"E7", "E6", "E5", "E4", "E3", "E2", "E1", "E0"});
    bits(0x23, "INTF", {"F7", "F6", "F5", "F4", "F3", "F2", "F1", "F0"});
    chip->pageCounts = {2, 1, 0, 1};
    for (int n = 0; n < 11; ++n) {
        const auto address = static_cast<uint16_t>(0x30 + n);
        chip->byteRegisters.push_back({address, QStringLiteral("BYTE%1").arg(n), {}});
        chip->mask[address] = 0xFF;
    }
    chip->wordRegisters.push_back({0x40, 0x41, QStringLiteral("CNT"), {}});
    chip->mask[0x40] = chip->mask[0x41] = 0xFF;
    chip->mask[0x29] = chip->mask[0x0F] = chip->mask[0x10] = chip->mask[0x11] = chip->mask[0x12] = 0xFF;
    chip->ramBanks[0] = {0x50, 0x7F};
    chip->ramBanks[1] = {0x100, 0x1FF};
    for (int a = 0x50; a <= 0x7F; ++a) chip->mask[static_cast<size_t>(a)] = 0xFF;
    for (int a = 0x100; a <= 0x1FF; ++a) chip->mask[static_cast<size_t>(a)] = 0xFF;
    return chip;
}

}  // namespace dmm::test
