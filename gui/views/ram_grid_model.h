#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include <vector>

#include "core/views/ram_panel_state.h"
#include "core/views/typed_hex_edit.h"

namespace dmm::gui {

// The RAM panel's 16 x 16 cells of the current bank, with "0".."F" across and the row
// addresses down the side. It paints what the panel state holds; Repaint tells the view
// which cells to redraw, so a refresh touches only the cells that changed.
class RamGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    RamGridModel(const RamPanelState& state, const TypedHexEdit& edit, QObject* parent = nullptr);

    static int Cell(const QModelIndex& index) { return index.row() * 16 + index.column(); }
    QModelIndex IndexOf(int cell) const { return index(cell / 16, cell % 16); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 16;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 16;
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Repaint(const std::vector<int>& cells);
    void Repaint(int cell) { Repaint(std::vector<int>{cell}); }
    void RepaintAll();

    // The colour a .ram mark colour (0x00BBGGRR) paints in; Windows system colours, which
    // have no fixed value, paint in the default gray.
    static QColor MarkColour(TColor colour);

  private:
    const RamPanelState& state_;
    const TypedHexEdit& edit_;
    QFont font_;
    QFont hintFont_;
};

}  // namespace dmm::gui
