#include "gui/views/ram_grid_model.h"

#include <QBrush>

#include "gui/views/panel_style.h"

namespace dmm::gui {

RamGridModel::RamGridModel(const RamPanelState& state, const TypedHexEdit& edit, QObject* parent)
    : QAbstractTableModel(parent),
      state_(state),
      edit_(edit),
      font_(PanelFont()),
      hintFont_(PanelFont()) {
    hintFont_.setUnderline(true);
}

QColor RamGridModel::MarkColour(TColor colour) {
    const auto c = static_cast<uint32_t>(colour);
    if (c & 0xFF000000u) return QColor(0x80, 0x80, 0x80);
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QVariant RamGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int cell = Cell(index);
    const RamCellNote* note = state_.NoteAt(state_.Address(cell));
    const RamPanelState::Cell& shown = state_.CellAt(cell);
    switch (role) {
        case Qt::DisplayRole:
            if (auto typed = edit_.Shown(cell)) return *typed;
            return shown.text;
        case Qt::BackgroundRole:
            if (shown.changed) return QBrush(panel_colour::kBlue);
            if (note && note->marked) return QBrush(MarkColour(note->colour));
            return QBrush(panel_colour::kWhite);
        case Qt::ForegroundRole:
            if (shown.changed || (note && note->marked)) return QBrush(panel_colour::kWhite);
            return QBrush(panel_colour::kBlack);
        case Qt::FontRole:
            return note && note->hinted ? hintFont_ : font_;
        case Qt::ToolTipRole:
            if (note && note->hinted && !note->hint.isEmpty()) return note->hint;
            return {};
        case Qt::TextAlignmentRole:
            return static_cast<int>(Qt::AlignHCenter | Qt::AlignTop);
        default:
            return {};
    }
}

QVariant RamGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignCenter);
    if (role == Qt::FontRole) return font_;
    if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) return QString::number(section, 16).toUpper();
    // Bank 1, first row: "100".
    return QString::number(state_.bank() * 16 + section, 16)
               .toUpper()
               .rightJustified(2, QLatin1Char('0')) +
           QLatin1Char('0');
}

void RamGridModel::Repaint(const std::vector<int>& cells) {
    // Neighbours in one row go out as one range.
    size_t i = 0;
    while (i < cells.size()) {
        const int first = cells[i];
        int last = first;
        while (i + 1 < cells.size() && cells[i + 1] == last + 1 && (last + 1) % 16 != 0)
            last = cells[++i];
        ++i;
        if (first < 0 || last >= RamPanelState::kCells) continue;
        emit dataChanged(IndexOf(first), IndexOf(last));
    }
}

void RamGridModel::RepaintAll() {
    emit dataChanged(index(0, 0), index(15, 15));
    emit headerDataChanged(Qt::Vertical, 0, 15);
}

}  // namespace dmm::gui
