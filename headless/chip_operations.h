#pragma once

#include <QByteArray>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// The chip selector: the chips of INCLUDE/VzSel.INC by index (a missing list is said, and
// its fallback entries cannot be loaded).
std::vector<std::string> ListChips(HeadlessBench& bench);

// What a loaded chip description defines.
struct ChipSummary {
    std::string productTitle;
    int bitRegisters = 0;
    std::array<int, 4> pages{};
    int byteRegisters = 0;
    int wordRegisters = 0;
    int fields = 0;  // bound named fields
};
// "VZ6401: 24 bit registers (pages 9/10/4/1), 35 byte registers, 4 word registers, 132 fields"
std::string ChipSummaryText(const ChipSummary& summary);

// Loads a chip of the chip list (0..65535) and says what it defines.
Result<ChipSummary> LoadChipDescription(HeadlessBench& bench, int64_t index);
// The loaded register map and named fields as JSON (the selected chip is loaded first
// when none is).
Result<QByteArray> RegisterMapJson(HeadlessBench& bench);
// The names of the fields the loaded chip binds, in the field directory's order.
Result<std::vector<std::string>> BoundFieldNames(HeadlessBench& bench);
// Reads a named field from the chip, or writes it (read-modify-write of its register,
// starting from the chip's present byte) and reads it back. The value the chip holds
// afterwards; a read-back that differs from the value written is said.
Result<int> AccessField(HeadlessBench& bench, const std::string& name,
                        std::optional<int64_t> value);

}  // namespace dmm::headless
