#include "core/measure/mode_table.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "core/link/number_text.h"

namespace dmm {

void ModeTable::Resize(int modes) {
    rows_.resize(static_cast<size_t>(std::clamp(modes, 0, kMaxModes)) + 1);
}

const std::string& ModeTable::Cell(int row, int column) const {
    static const std::string empty;
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= kColumns)
        return empty;
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void ModeTable::SetCell(int row, int column, std::string text) {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= kColumns)
        return;
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = std::move(text);
}

void ModeTable::ClearSteps() {
    for (size_t r = 1; r < rows_.size(); ++r) {
        for (size_t c = 1; c < kColumns; ++c) rows_[r][c].clear();
    }
}

int ModeTable::UsedColumns() const {
    int used = 0;
    while (used < kRegisterColumns && HexText(Cell(0, used + 1)) != 0) ++used;
    return used;
}

int ModeTable::UsedSteps() const {
    int used = 0;
    while (used < modeCount() && HasHexDigit(Cell(used + 1, 1))) ++used;
    return used;
}

int ModeTable::AddressColumns() const {
    int used = 0;
    while (used < kRegisterColumns && !Cell(0, used + 1).empty()) ++used;
    return used;
}

int ParseModeCount(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1 || value > ModeTable::kMaxModes)
        return ModeTable::kDefaultModes;
    return value;
}

bool HasHexDigit(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string HexDigitsOf(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    return digits;
}

}  // namespace dmm
