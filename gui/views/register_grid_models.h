#pragma once

#include <QAbstractTableModel>
#include <QFont>

#include <vector>

#include "core/views/register_panel_state.h"
#include "core/views/typed_hex_edit.h"

namespace dmm::gui {

// The bit grid of the register panel: one row per bit register of the current page, its
// name and address in column 0 and its eight bit names (bit 7 first) in columns 1..8.
class BitGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit BitGridModel(const RegisterPanelState& state, QObject* parent = nullptr);

    // Shows list entries [first, end) (a page); the view is rebuilt.
    void SetRange(int first, int end);
    // After a refresh of the state: redraws the rows whose value or highlight changed.
    void Refresh();

    const PanelChip::BitRegister* Entry(int row) const;
    int EntryIndex(int row) const { return first_ + row; }
    // Bit number of a column 1..8 (column 1 is bit 7).
    static int BitOfColumn(int column) { return 8 - column; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 9;
    }
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct RowLook {
        uint8_t value = 0;
        bool changed = false;
        bool operator==(const RowLook&) const = default;
    };
    RowLook LookOf(int row) const;

    const RegisterPanelState& state_;
    QFont font_;
    int first_ = 0;
    int end_ = 0;
    std::vector<RowLook> painted_;
};

// The byte or the word grid: register names on even rows, values (2 or 4 hexadecimal
// digits) on the odd row below each name, nine registers per row pair.
class RegisterValueGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum class Kind { Byte, Word };
    RegisterValueGridModel(const RegisterPanelState& state, const TypedHexEdit& edit, Kind kind,
                           QObject* parent = nullptr);

    Kind kind() const { return kind_; }
    int Digits() const { return kind_ == Kind::Byte ? 2 : 4; }
    // The chip changed: the grid is rebuilt.
    void Rebuild();
    void Refresh();
    void Repaint(int entry);

    int Count() const;
    // The register of a cell (name or value row), or -1 where there is none.
    int EntryAt(const QModelIndex& index) const;
    static bool IsValueRow(const QModelIndex& index) { return index.row() % 2 == 1; }
    QModelIndex ValueIndex(int entry) const {
        return index(entry / PanelChip::kGridColumns * 2 + 1, entry % PanelChip::kGridColumns);
    }
    QModelIndex NameIndex(int entry) const {
        return index(entry / PanelChip::kGridColumns * 2, entry % PanelChip::kGridColumns);
    }
    QString Name(int entry) const;
    QString ValueText(int entry) const;  // the value as the grid shows it, without a typed edit

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : PanelChip::kGridColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Look {
        uint16_t value = 0;
        bool changed = false;
        bool operator==(const Look&) const = default;
    };
    Look LookOf(int entry) const;
    bool Changed(int entry) const;

    const RegisterPanelState& state_;
    const TypedHexEdit& edit_;
    Kind kind_;
    QFont font_;
    std::vector<Look> painted_;
};

}  // namespace dmm::gui
