#include "gui/measure/sample_grid_model.h"

#include "core/link/number_text.h"
#include "core/measure/adc_chart.h"

namespace dmm::gui {

namespace {
constexpr int kColumns = 16;
}

SampleGridModel::SampleGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void SampleGridModel::SetCaptureLength(int length) {
    beginResetModel();
    length_ = std::max(length, kColumns);
    count_ = std::min(count_, length_);
    endResetModel();
}

void SampleGridModel::SetCells(Cells cells, int count, CellFormat format) {
    beginResetModel();
    cells_ = std::move(cells);
    format_ = format;
    divisor_ = 0;
    count_ = cells_ ? std::min<int>(count, static_cast<int>(cells_->size())) : 0;
    endResetModel();
}

void SampleGridModel::SetLiveSamples(Cells samples, int count, int32_t divisor, CellFormat format) {
    if (samples != cells_ || divisor != divisor_ || format != format_) {
        SetCells(std::move(samples), 0, format);
        divisor_ = divisor;
    }
    SetShownCount(count);
}

void SampleGridModel::SetShownCount(int count) {
    if (!cells_) return;
    count = std::min<int>(count, static_cast<int>(cells_->size()));
    if (count == count_) return;
    const int first = std::min(count, count_), last = std::max(count, count_) - 1;
    count_ = count;
    emit dataChanged(index(first / kColumns, 0), index(last / kColumns, kColumns - 1),
                     {Qt::DisplayRole});
}

QString SampleGridModel::CellText(int i) const {
    if (!cells_ || i < 0 || i >= count_) return {};
    const double value = (*cells_)[static_cast<size_t>(i)];
    if (divisor_ > 0 && format_ == CellFormat::Integer)
        return FormatCell(TimeDomainValue(value, divisor_), format_);
    return FormatCell(value, format_);
}

QString SampleGridModel::WidestCellText() const {
    return FormatCell(format_ == CellFormat::TwoDecimals ? 1048576.0 : -8388608.0, format_);
}

int SampleGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : length_ / kColumns;
}

int SampleGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant SampleGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return CellText(index.row() * kColumns + index.column());
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant SampleGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    const int width = orientation == Qt::Horizontal ? 2 : 4;
    return QString::fromStdString(HexStr(static_cast<uint16_t>(section), width));
}

}  // namespace dmm::gui
