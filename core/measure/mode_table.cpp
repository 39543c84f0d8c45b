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

std::string ModeCellRefusal(int row, int column, const std::string& text) {
    // A register cell is read back by its hexadecimal digits, a delay as a decimal whole
    // number, an ACM value as a decimal fraction; wider text would be saved cut.
    static constexpr WholeRule kRegisterCell{"a register cell", 0,     0xFFFF, "V", "",
                                             WholeForm::Any,    false, 4};
    static constexpr WholeRule kDelayCell{"a delay",          0,     999999, "t", "s",
                                          WholeForm::Decimal, false, 6};
    static constexpr RealRule kAcmCell{
        "a reference voltage", 0, 10, true, false, "V", "V", false, 6};
    if (text.empty() || row < 0 || column < 1 || column >= ModeTable::kColumns) return {};
    std::string why;
    if (column == ModeTable::kDelayColumn) {
        if (row > 0 && !ReadWhole(text, kDelayCell, &why)) return "Delay: " + why;
    } else if (column == ModeTable::kAcmColumn) {
        if (row > 0 && !ReadReal(text, kAcmCell, &why)) return "ACM: " + why;
    } else if (text.size() > 4 || !HasHexDigit(text)) {
        // The cell holds register digits as typed ("3C", "0x3C"); only its width is the
        // file's.
        return "column " + std::to_string(column) + ": " +
               Refusal(text, kRegisterCell.what, "hexadecimal, at most 4 characters");
    }
    return {};
}

std::string ModeTableRefusal(const ModeTable& table) {
    const int columns = table.UsedColumns();
    for (int row = 0; row <= table.UsedSteps(); ++row) {
        for (int c = 1; c < ModeTable::kColumns; ++c) {
            if (c > columns && c <= ModeTable::kRegisterColumns) continue;
            const std::string why = ModeCellRefusal(row, c, table.Cell(row, c));
            if (!why.empty())
                return (row == 0 ? std::string("address row") : "step " + std::to_string(row)) +
                       ", " + why;
        }
    }
    return {};
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
