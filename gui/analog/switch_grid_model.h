#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <vector>

namespace dmm::gui {

// The switch test's sample grid: G columns and L rows (headers "1", "2", ...), value j of
// the shown table at column j mod G, row j div G, in decimal; empty cells when cleared.
class SwitchGridModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // ReRowColSGD with the cells to show (nullptr: none).
    void Show(int samplesPerStep, int loops, std::shared_ptr<const std::vector<int32_t>> cells);
    QString CellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    int columns_ = 1;
    int rows_ = 1;
    std::shared_ptr<const std::vector<int32_t>> cells_;
};

}  // namespace dmm::gui
