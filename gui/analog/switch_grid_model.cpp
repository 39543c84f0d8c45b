#include "gui/analog/switch_grid_model.h"

#include <algorithm>

namespace dmm::gui {

void SwitchGridModel::Show(int samplesPerStep, int loops,
                           std::shared_ptr<const std::vector<int32_t>> cells) {
    const int columns = std::max(1, samplesPerStep);
    const int rows = std::max(1, loops);
    if (columns == columns_ && rows == rows_) {
        if (cells == cells_) return;
        cells_ = std::move(cells);
        emit dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1));
        return;
    }
    beginResetModel();
    columns_ = columns;
    rows_ = rows;
    cells_ = std::move(cells);
    endResetModel();
}

QString SwitchGridModel::CellText(int row, int column) const {
    if (!cells_ || row < 0 || row >= rows_ || column < 0 || column >= columns_) return {};
    const size_t j =
        static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(column);
    return j < cells_->size() ? QString::number((*cells_)[j]) : QString();
}

int SwitchGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SwitchGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant SwitchGridModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::DisplayRole) return CellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SwitchGridModel::headerData(int section, Qt::Orientation, int role) const {
    if (role == Qt::DisplayRole) return QString::number(section + 1);
    return {};
}

}  // namespace dmm::gui
