#include "gui/views/register_grid_models.h"

#include <QBrush>

#include "gui/views/panel_style.h"

namespace dmm::gui {
namespace {

QString Hex(int value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

}  // namespace

BitGridModel::BitGridModel(const RegisterPanelState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state), font_(PanelFont()) {}

void BitGridModel::SetRange(int first, int end) {
    beginResetModel();
    const int count = state_.chip() ? static_cast<int>(state_.chip()->bitRegisters.size()) : 0;
    first_ = std::clamp(first, 0, count);
    end_ = std::clamp(end, first_, count);
    painted_.assign(static_cast<size_t>(end_ - first_), RowLook{});
    for (int row = 0; row < end_ - first_; ++row) painted_[static_cast<size_t>(row)] = LookOf(row);
    endResetModel();
}

const PanelChip::BitRegister* BitGridModel::Entry(int row) const {
    const PanelChip* chip = state_.chip();
    const int i = first_ + row;
    if (!chip || row < 0 || i >= end_ || i >= static_cast<int>(chip->bitRegisters.size()))
        return nullptr;
    return &chip->bitRegisters[static_cast<size_t>(i)];
}

BitGridModel::RowLook BitGridModel::LookOf(int row) const {
    const PanelChip::BitRegister* entry = Entry(row);
    if (!entry) return {};
    return {state_.BitValue(first_ + row), state_.Changed(entry->address)};
}

void BitGridModel::Refresh() {
    for (int row = 0; row < static_cast<int>(painted_.size()); ++row) {
        const RowLook look = LookOf(row);
        RowLook& painted = painted_[static_cast<size_t>(row)];
        if (look == painted) continue;
        const bool nameChanged = look.changed != painted.changed;
        const bool bitsChanged = look.value != painted.value;
        painted = look;
        emit dataChanged(index(row, nameChanged ? 0 : 1), index(row, bitsChanged ? 8 : 0));
    }
}

int BitGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : end_ - first_;
}

QVariant BitGridModel::data(const QModelIndex& index, int role) const {
    const PanelChip::BitRegister* entry = Entry(index.row());
    if (!entry) return {};
    const int column = index.column();
    const bool nameColumn = column == 0;
    const bool bitSet =
        !nameColumn && (state_.BitValue(EntryIndex(index.row())) >> BitOfColumn(column)) & 1;
    switch (role) {
        case Qt::DisplayRole:
            if (nameColumn)
                return entry->name + QStringLiteral("<0x") + Hex(entry->address, 2) +
                       QLatin1Char('>');
            return entry->bitNames[static_cast<size_t>(column - 1)];
        case Qt::BackgroundRole:
            if (nameColumn) {
                return QBrush(state_.Changed(entry->address) ? panel_colour::kBlue
                                                             : panel_colour::kButtonFace);
            }
            return QBrush(bitSet ? panel_colour::kWhite : panel_colour::kSilver);
        case Qt::ForegroundRole:
            if (nameColumn) {
                return QBrush(state_.Changed(entry->address) ? panel_colour::kWhite
                                                             : panel_colour::kBlack);
            }
            return QBrush(bitSet ? panel_colour::kBlue : panel_colour::kBlack);
        case Qt::ToolTipRole: {
            const QString& text = nameColumn
                                      ? entry->description
                                      : entry->bitDescriptions[static_cast<size_t>(column - 1)];
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        case Qt::FontRole:
            return font_;
        case Qt::TextAlignmentRole:
            return static_cast<int>(Qt::AlignHCenter | Qt::AlignTop);
        default:
            return {};
    }
}

RegisterValueGridModel::RegisterValueGridModel(const RegisterPanelState& state,
                                               const TypedHexEdit& edit, Kind kind, QObject* parent)
    : QAbstractTableModel(parent), state_(state), edit_(edit), kind_(kind), font_(PanelFont()) {}

int RegisterValueGridModel::Count() const {
    const PanelChip* chip = state_.chip();
    if (!chip) return 0;
    return static_cast<int>(kind_ == Kind::Byte ? chip->byteRegisters.size()
                                                : chip->wordRegisters.size());
}

int RegisterValueGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return (Count() + PanelChip::kGridColumns - 1) / PanelChip::kGridColumns * 2;
}

int RegisterValueGridModel::EntryAt(const QModelIndex& index) const {
    if (!index.isValid()) return -1;
    const int entry = index.row() / 2 * PanelChip::kGridColumns + index.column();
    return entry < Count() ? entry : -1;
}

QString RegisterValueGridModel::Name(int entry) const {
    const PanelChip* chip = state_.chip();
    if (!chip || entry < 0 || entry >= Count()) return {};
    return kind_ == Kind::Byte ? chip->byteRegisters[static_cast<size_t>(entry)].name
                               : chip->wordRegisters[static_cast<size_t>(entry)].name;
}

QString RegisterValueGridModel::ValueText(int entry) const {
    const int value = kind_ == Kind::Byte ? state_.ByteValue(entry) : state_.WordValue(entry);
    return Hex(value, Digits());
}

bool RegisterValueGridModel::Changed(int entry) const {
    const PanelChip* chip = state_.chip();
    if (!chip || entry < 0 || entry >= Count()) return false;
    if (kind_ == Kind::Byte)
        return state_.Changed(chip->byteRegisters[static_cast<size_t>(entry)].address);
    const PanelChip::WordRegister& word = chip->wordRegisters[static_cast<size_t>(entry)];
    return state_.Changed(word.high) || state_.Changed(word.low);
}

RegisterValueGridModel::Look RegisterValueGridModel::LookOf(int entry) const {
    const uint16_t value = kind_ == Kind::Byte ? state_.ByteValue(entry) : state_.WordValue(entry);
    return {value, Changed(entry)};
}

void RegisterValueGridModel::Rebuild() {
    beginResetModel();
    painted_.assign(static_cast<size_t>(Count()), Look{});
    for (int n = 0; n < Count(); ++n) painted_[static_cast<size_t>(n)] = LookOf(n);
    endResetModel();
}

void RegisterValueGridModel::Refresh() {
    for (int n = 0; n < static_cast<int>(painted_.size()); ++n) {
        const Look look = LookOf(n);
        Look& painted = painted_[static_cast<size_t>(n)];
        if (look == painted) continue;
        if (look.changed != painted.changed) emit dataChanged(NameIndex(n), NameIndex(n));
        if (look.value != painted.value) emit dataChanged(ValueIndex(n), ValueIndex(n));
        painted = look;
    }
}

void RegisterValueGridModel::Repaint(int entry) {
    if (entry < 0 || entry >= Count()) return;
    emit dataChanged(ValueIndex(entry), ValueIndex(entry));
}

QVariant RegisterValueGridModel::data(const QModelIndex& index, int role) const {
    const int entry = EntryAt(index);
    const bool valueRow = IsValueRow(index);
    switch (role) {
        case Qt::DisplayRole:
            if (entry < 0) return {};
            if (!valueRow) return Name(entry);
            if (auto typed = edit_.Shown(entry)) return *typed;
            return ValueText(entry);
        case Qt::BackgroundRole:
            if (entry >= 0 && !valueRow) {
                return QBrush(Changed(entry) ? panel_colour::kBlue : panel_colour::kButtonFace);
            }
            return QBrush(panel_colour::kWhite);
        case Qt::ForegroundRole:
            return QBrush(entry >= 0 && !valueRow && Changed(entry) ? panel_colour::kWhite
                                                                    : panel_colour::kBlack);
        case Qt::ToolTipRole: {
            const PanelChip* chip = state_.chip();
            if (!chip || entry < 0) return {};
            const QString& text = kind_ == Kind::Byte
                                      ? chip->byteRegisters[static_cast<size_t>(entry)].description
                                      : chip->wordRegisters[static_cast<size_t>(entry)].description;
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        case Qt::FontRole:
            return font_;
        case Qt::TextAlignmentRole:
            return static_cast<int>(Qt::AlignHCenter | Qt::AlignTop);
        default:
            return {};
    }
}

}  // namespace dmm::gui
