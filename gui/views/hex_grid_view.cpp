#include "gui/views/hex_grid_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

#include "gui/views/panel_style.h"

namespace dmm::gui {

void PanelCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QVariant background = index.data(Qt::BackgroundRole);
    const QVariant foreground = index.data(Qt::ForegroundRole);
    const QVariant font = index.data(Qt::FontRole);
    const QVariant alignment = index.data(Qt::TextAlignmentRole);
    painter->save();
    painter->fillRect(option.rect, background.isValid() ? background.value<QBrush>()
                                                        : QBrush(panel_colour::kWhite));
    painter->setPen(foreground.isValid() ? foreground.value<QBrush>().color()
                                         : panel_colour::kBlack);
    painter->setFont(font.isValid() ? font.value<QFont>() : option.font);
    const Qt::Alignment align =
        alignment.isValid() ? Qt::Alignment(alignment.toInt()) : (Qt::AlignHCenter | Qt::AlignTop);
    painter->drawText(TextRect(option.rect), static_cast<int>(align),
                      index.data(Qt::DisplayRole).toString());
    if (option.state & QStyle::State_HasFocus) {
        QPen pen(panel_colour::kBlack, 1, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

HexGridView::HexGridView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new PanelCellDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setFont(PanelFont());
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setHighlightSections(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void HexGridView::SetCellSize(int columnWidth, int rowHeight) {
    horizontalHeader()->setDefaultSectionSize(columnWidth);
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(rowHeight);
}

int HexGridView::HeightForRows(int rows) const {
    const int header = horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0;
    return rows * verticalHeader()->defaultSectionSize() + header + 2 * frameWidth();
}

void HexGridView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex index = currentIndex();
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit CommitRequested(index);
            return;
        case Qt::Key_Backspace:
            emit BackspaceTyped(index);
            return;
        case Qt::Key_Escape:
            emit CancelRequested();
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            QTableView::keyPressEvent(event);
            return;
        default:
            break;
    }
    const QString text = event->text();
    if (text.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = text[0].toUpper();
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) emit DigitTyped(index, c);
    }
    // Everything else is ignored (no keyboard search, no editing).
}

void HexGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (previous.isValid() && previous != current) emit CurrentCellLeft(previous);
    QTableView::currentChanged(current, previous);
}

void HexGridView::focusOutEvent(QFocusEvent* event) {
    emit FocusLeft();
    QTableView::focusOutEvent(event);
}

bool HexGridView::focusNextPrevChild(bool next) {
    if (hasFocus()) emit CommitRequested(currentIndex());
    return QTableView::focusNextPrevChild(next);
}

}  // namespace dmm::gui
