#include "core/views/ram_sheet.h"

namespace dmm {

std::vector<RamSheetCell> RamSheetCells(const std::array<uint8_t, kRegisterImageSize>& image,
                                        const std::array<uint8_t, kRegisterImageSize>& mask) {
    std::vector<RamSheetCell> cells;
    cells.reserve(2 * kRamSheetAddresses);
    for (int address = 0; address < kRamSheetAddresses; ++address) {
        const int row = address / 16 + 3;
        const int j = address % 16;
        const auto a = static_cast<size_t>(address);
        if (mask[a] == 0) {
            cells.push_back({row, j + 3, false, 0, QStringLiteral("-")});
            cells.push_back({row, j + 20, false, 0, QStringLiteral("-")});
            continue;
        }
        const int value = image[a];
        cells.push_back({row, j + 3, true, value, {}});
        cells.push_back({row, j + 20, false, 0,
                         QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper() +
                             QLatin1Char('h')});
    }
    return cells;
}

}  // namespace dmm
