#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

namespace dmm::gui {

// Paints a panel cell exactly in the colours its model gives (the current cell gets a
// dotted frame instead of the selection colour, which would hide the highlights); text
// is centred at the top of the cell.
class PanelCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // Where a cell's text is drawn: 1 pixel inside it at both sides.
    static QRect TextRect(const QRect& cell) { return cell.adjusted(1, 0, -1, 0); }
};

// A grid of the register and RAM panels. It has no in-place editor: typed hexadecimal
// digits, Enter, Tab, Backspace and Escape are reported to the window, which keeps the
// edit. Other printable keys are ignored; arrow keys move as usual.
class HexGridView : public QTableView {
    Q_OBJECT
  public:
    explicit HexGridView(QWidget* parent = nullptr);
    void SetCellSize(int columnWidth, int rowHeight);
    // Height of rows rows (and the horizontal header when shown), frame included.
    int HeightForRows(int rows) const;

  signals:
    void DigitTyped(const QModelIndex& index, QChar digit);
    void BackspaceTyped(const QModelIndex& index);
    void CommitRequested(const QModelIndex& index);  // Enter, or Tab before it moves on
    void CancelRequested();                          // Escape
    void CurrentCellLeft(const QModelIndex& previous);
    void FocusLeft();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
};

}  // namespace dmm::gui
