#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/measure/sample_decoding.h"

namespace dmm::gui {

// The sample grid MemoryF as a virtual table: 16 samples per row, the row number in the
// vertical header ("0000", "0001", ...) and "00".."0F" across the top. It draws from a
// shared array of cell values; no item exists per sample.
class SampleGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using Cells = std::shared_ptr<const std::vector<double>>;

    explicit SampleGridModel(QObject* parent = nullptr);

    // Rebuilds the layout for a capture length (rows = length / 16).
    void SetCaptureLength(int length);
    // Shows the first count cells; cells beyond count are blank.
    void SetCells(Cells cells, int count, CellFormat format);
    // Shows the samples of a running capture: stored values, turned into what the grid
    // shows (integer results divided by the scale divisor; RMS roots as they are).
    void SetLiveSamples(Cells samples, int count, int32_t divisor, CellFormat format);
    // Shows count cells of the same array; cheap when nothing changed.
    void SetShownCount(int count);
    int shownCount() const { return count_; }
    QString CellText(int index) const;
    // The widest text a cell of the shown format can hold (a 24-bit result, or the root
    // of the 40-bit RMS accumulator): columns at least this wide never cut a number.
    QString WidestCellText() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    int length_ = 256;
    int count_ = 0;
    CellFormat format_ = CellFormat::Integer;
    int32_t divisor_ = 0;  // 0: the cells are final grid values
    Cells cells_;
};

}  // namespace dmm::gui
