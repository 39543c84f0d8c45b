#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "core/link/stnd.h"

namespace dmm {

// The cells of the RAM worksheet ("USER Data"): for addresses 0..511, row address/16 + 3
// and j = address % 16, the value as a number in column j + 3 and as text ("3Fh") in
// column j + 20; an address the chip does not implement gets "-" in both. Rows and
// columns count from 1, as a spreadsheet names them (row 3, column 3 is C3).
inline constexpr char kRamSheetName[] = "USER Data";
inline constexpr int kRamSheetAddresses = 512;

struct RamSheetCell {
    int row = 0;
    int column = 0;
    bool isNumber = false;
    int number = 0;
    QString text;
};

std::vector<RamSheetCell> RamSheetCells(const std::array<uint8_t, kRegisterImageSize>& image,
                                        const std::array<uint8_t, kRegisterImageSize>& mask);

}  // namespace dmm
