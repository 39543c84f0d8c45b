#include "core/chip/chip_model.h"

namespace dmm {

uint8_t TBitRegEntry::ImplementedMask() const {
    uint8_t mask = 0xFF;
    for (int bit = 0; bit < 8; ++bit) {
        if (Bit(bit).name == "-") mask = static_cast<uint8_t>(mask & ~(1u << bit));
    }
    return mask;
}

void RegisterGrid::SetRowCount(int rows) {
    if (rows < 0) rows = 0;
    cells_.resize(static_cast<size_t>(rows) * kColumns);
    for (int r = rows_; r < rows; ++r) {
        for (int c = 0; c < kColumns; ++c) cells_[static_cast<size_t>(r * kColumns + c)].clear();
    }
    rows_ = rows;
}

const std::string& RegisterGrid::Cell(int column, int row) const {
    static const std::string kEmpty;
    if (column < 0 || column >= kColumns || row < 0 || row >= rows_) return kEmpty;
    return cells_[static_cast<size_t>(row * kColumns + column)];
}

void RegisterGrid::SetCell(int column, int row, std::string text) {
    if (column < 0 || column >= kColumns || row < 0 || row >= rows_) return;
    cells_[static_cast<size_t>(row * kColumns + column)] = std::move(text);
}

TChipModel::TChipModel() = default;

std::pair<int, int> TChipModel::PageRange(int page) const {
    if (page < 0 || page > 3) return {0, 0};
    int first = 0;
    for (int p = 0; p < page; ++p) first += pageCounts[static_cast<size_t>(p)];
    return {first, first + pageCounts[static_cast<size_t>(page)]};
}

const TRegField* TChipModel::Field(std::string_view name) const {
    const auto index = FieldIndex(name);
    return index ? &fields_[*index] : nullptr;
}

TRegField* TChipModel::Field(std::string_view name) {
    const auto index = FieldIndex(name);
    return index ? &fields_[*index] : nullptr;
}

const FieldPanelData* TChipModel::PanelData(std::string_view name) const {
    const auto index = FieldIndex(name);
    return index ? &panelData_[*index] : nullptr;
}

}  // namespace dmm
