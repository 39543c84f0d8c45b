#include "gui/views/t_vz_ram.h"

#include "gui/app/remembered_place.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "core/views/ram_sheet.h"
#include "gui/views/panel_writes.h"
#include "gui/views/ram_workbook.h"
#include "gui/views/t_vz_pop_sel_hex.h"

namespace dmm::gui {
namespace {

// The Windows program's 22 x 18 cells and 28-pixel address column, unless the panel font
// (a substitute where Courier New is missing) needs more room to stay legible.
int ColumnWidth() {
    return std::max(22, QFontMetrics(PanelFont()).horizontalAdvance(QStringLiteral("00")) + 6);
}
int RowHeight() {
    return std::max(18, QFontMetrics(PanelFont()).height() + 2);
}
int FirstColumnWidth() {
    return std::max(28, QFontMetrics(PanelFont()).horizontalAdvance(QStringLiteral("000")) + 6);
}

QString Hex(int value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// A colour as .ram files keep it (0x00BBGGRR) and back.
TColor ToTColor(const QColor& c) {
    return static_cast<TColor>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

}  // namespace

TVz_RAM::TVz_RAM(Bench& bench, QWidget* parent)
    : QWidget(parent), bench_(bench), folder_(QDir::currentPath()) {
    setObjectName("TVz_RAM");
    setWindowTitle(QStringLiteral("記憶體"));
    FormCreate();
    connect(&bench_, &Bench::RegisterImageChanged, this, &TVz_RAM::OnRegisterImage);
    connect(&bench_, &Bench::ChipModelChanged, this,
            [this](const std::shared_ptr<const TChipModel>& model) {
                if (model) SetChip(PanelChip::FromModel(*model));
            });
}

void TVz_RAM::FormCreate() {
    setFont(PanelFont());
    model_ = new RamGridModel(state_, edit_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    SGD = new HexGridView(this);
    SGD->setObjectName("SGD");
    SGD->setModel(model_);
    SGD->SetCellSize(ColumnWidth(), RowHeight());
    SGD->horizontalHeader()->setFixedHeight(RowHeight());
    SGD->verticalHeader()->setFixedWidth(FirstColumnWidth());
    SGD->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SGD->setFixedSize(FirstColumnWidth() + 16 * ColumnWidth() + 2 * SGD->frameWidth(),
                      RowHeight() + 16 * RowHeight() + 2 * SGD->frameWidth());
    SGD->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(SGD);

    // The bank tool bar keeps its height when the chip has no banks to show.
    auto* toolBar = new QWidget(this);
    toolBar->setFixedHeight(RowHeight() + 6);
    auto* bar = new QHBoxLayout(toolBar);
    bar->setContentsMargins(0, 1, 0, 1);
    bar->setSpacing(2);
    for (int k = 0; k < RamPanelState::kBanks; ++k) {
        auto* tab = new ClickPanel(QStringLiteral("Bank%1").arg(k), toolBar);
        tab->setObjectName(QStringLiteral("PBank%1").arg(k));
        tab->setFixedSize(64, RowHeight() + 4);
        tab->hide();
        connect(tab, &ClickPanel::Clicked, this, [this, k] { SelectBank(k); });
        bankTabs[static_cast<size_t>(k)] = tab;
        bar->addWidget(tab);
    }
    bar->addStretch(1);
    layout->addWidget(toolBar);

    PMenuRAM = new QMenu(this);
    PMenuRAM->setObjectName("PMenuRAM");
    auto item = [this](const char* name, const QString& caption, void (TVz_RAM::*handler)()) {
        QAction* action = PMenuRAM->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    SetMark = item("SetMark", QStringLiteral("Set Mark"), &TVz_RAM::SetMarkClick);
    SetMarkNewColor = item("SetMarkNewColor", QStringLiteral("Set Mark(new color)"),
                           &TVz_RAM::SetMarkNewColorClick);
    ResetMark = item("ResetMark", QStringLiteral("Reset Mark"), &TVz_RAM::ResetMarkClick);
    ResetAllMark =
        item("ResetAllMark", QStringLiteral("Reset All Mark"), &TVz_RAM::ResetAllMarkClick);
    PMenuRAM->addSeparator();
    SetHint = item("SetHint", QStringLiteral("Set Hint"), &TVz_RAM::SetHintClick);
    ResetHint = item("ResetHint", QStringLiteral("Reset Hint"), &TVz_RAM::ResetHintClick);
    ResetAllHint =
        item("ResetAllHint", QStringLiteral("Reset All Hint"), &TVz_RAM::ResetAllHintClick);
    PMenuRAM->addSeparator();
    LoadRAMData = item("LoadRAMData", QStringLiteral("Load RAM Data"), &TVz_RAM::LoadRAMDataClick);
    SaveRAMData = item("SaveRAMData", QStringLiteral("Save RAM Data"), &TVz_RAM::SaveRAMDataClick);
    SaveToExcelItem =
        item("SaveToExcel", QStringLiteral("Save To excel"), &TVz_RAM::SaveToExcelClick);
    PMenuRAM->addSeparator();
    for (int k = 0; k < RamPanelState::kBanks; ++k) {
        QAction* action = PMenuRAM->addAction(QStringLiteral("RAMBANK%1").arg(k));
        action->setObjectName(QStringLiteral("RAMBANK%1").arg(k));
        action->setVisible(false);
        connect(action, &QAction::triggered, this, [this, k] { SelectBank(k); });
        bankItems[static_cast<size_t>(k)] = action;
    }

    ColorDialog1 = new QColorDialog(QColor(0x80, 0x80, 0x80), this);
    ColorDialog1->setObjectName("ColorDialog1");

    connect(SGD, &QAbstractItemView::doubleClicked, this, &TVz_RAM::SGDDblClick);
    connect(SGD, &QWidget::customContextMenuRequested, this, &TVz_RAM::SGDContextMenu);
    connect(SGD, &HexGridView::DigitTyped, this, &TVz_RAM::DigitTyped);
    connect(SGD, &HexGridView::BackspaceTyped, this,
            [this] { model_->Repaint(edit_.Backspace()); });
    connect(SGD, &HexGridView::CancelRequested, this, [this] {
        if (edit_.Active()) model_->Repaint(edit_.Clear());
    });
    connect(SGD, &HexGridView::CommitRequested, this, &TVz_RAM::CommitTyped);
    connect(SGD, &HexGridView::CurrentCellLeft, this, &TVz_RAM::CommitTyped);
    connect(SGD, &HexGridView::FocusLeft, this, &TVz_RAM::CommitTyped);

    ShowBanks();
    RefreshRam(true);
    adjustSize();
}

void TVz_RAM::SetChip(std::shared_ptr<const PanelChip> chip) {
    edit_.Clear();
    state_.SetChip(std::move(chip));
    // The bank shown must exist on the new chip.
    if (!state_.chip() || !state_.chip()->BankDefined(state_.bank())) state_.SetBank(0);
    ShowBanks();
    RefreshRam(true);
    model_->RepaintAll();
}

void TVz_RAM::ShowBanks() {
    const PanelChip* chip = state_.chip();
    for (int k = 0; k < RamPanelState::kBanks; ++k) {
        const bool defined = chip && chip->BankDefined(k);
        bankTabs[static_cast<size_t>(k)]->setVisible(defined);
        bankItems[static_cast<size_t>(k)]->setVisible(defined);
        if (k == state_.bank())
            bankTabs[static_cast<size_t>(k)]->SetLook(true, panel_colour::kYellow);
        else
            bankTabs[static_cast<size_t>(k)]->SetLook(false, panel_colour::kButtonFace);
    }
}

void TVz_RAM::SelectBank(int bank) {
    CommitTyped();
    edit_.Clear();
    state_.SetBank(bank);
    ShowBanks();
    RefreshRam(true);
    model_->RepaintAll();
}

void TVz_RAM::RefreshRam(bool first) {
    model_->Repaint(state_.Refresh(image_, first));
}

void TVz_RAM::OnRegisterImage(const RegisterImageSnapshot& image) {
    image_ = image.bytes;
    if (!edit_.Active()) model_->Repaint(edit_.Clear());
    const bool first = nextRefreshFirst_;
    nextRefreshFirst_ = false;
    RefreshRam(first);
}

void TVz_RAM::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    RefreshRam(true);
    if (placed_) return;
    placed_ = true;
    if (property(kRememberedPlaceProperty).toBool()) return;
    // Top at 40, right edge 20 pixels from the work area's right edge.
    QWidget* frame = this;
    int areaWidth = 0;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame = sub;
        if (QMdiArea* mdi = sub->mdiArea()) areaWidth = mdi->viewport()->width();
    } else if (QScreen* s = screen()) {
        areaWidth = s->availableGeometry().width();
    }
    if (areaWidth > 0) frame->move(std::max(0, areaWidth - frame->width() - 20), 40);
}

void TVz_RAM::hideEvent(QHideEvent* event) {
    CommitTyped();  // leaving the window writes what was typed
    QWidget::hideEvent(event);
}

void TVz_RAM::RepaintAddress(int address) {
    const int cell = address - state_.bank() * RamPanelState::kCells;
    if (cell >= 0 && cell < RamPanelState::kCells) model_->Repaint(cell);
}

void TVz_RAM::Warn(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TVz_RAM::Ask(const QString& text, std::function<void()> onYes) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text,
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setDefaultButton(QMessageBox::No);
    connect(box, &QMessageBox::finished, this, [box, onYes = std::move(onYes)] {
        if (box->clickedButton() == box->button(QMessageBox::Yes)) onYes();
    });
    box->open();
}

void TVz_RAM::SGDDblClick(const QModelIndex& index) {
    const int cell = RamGridModel::Cell(index);
    const int address = state_.Address(cell);
    if (!state_.Implemented(address)) return;
    const HexAnswer answer =
        AskHex(this, SGD->viewport()->mapToGlobal(SGD->visualRect(index).bottomLeft()),
               QStringLiteral("FF"), QStringLiteral("00~FF"),
               QStringLiteral("Ram") + Hex(address, 4) + QLatin1Char('=') +
                   index.data(Qt::DisplayRole).toString());
    if (answer.accepted) {
        WritePanelRegisters(bench_, this,
                            {{static_cast<uint16_t>(address), static_cast<uint8_t>(answer.value)}});
    }
}

void TVz_RAM::DigitTyped(const QModelIndex& index, QChar digit) {
    const int cell = RamGridModel::Cell(index);
    if (!index.isValid() || !state_.Implemented(state_.Address(cell)))
        return;  // nothing to edit there
    if (edit_.Active() && edit_.cell() != cell) CommitTyped();
    edit_.Type(cell, index.data(Qt::DisplayRole).toString(), digit, 2);
    model_->Repaint(cell);
}

void TVz_RAM::CommitTyped() {
    const std::optional<TypedHexEdit::Commit> commit = edit_.Take();
    if (!commit) return;
    const int cell = commit->cell;
    const int address = state_.Address(cell);
    WritePanelRegisters(bench_, this,
                        {{static_cast<uint16_t>(address), static_cast<uint8_t>(commit->value)}},
                        [this, cell](bool ok) {
                            if (!ok && !edit_.Active() && edit_.cell() == cell)
                                model_->Repaint(edit_.Clear());
                        });
}

void TVz_RAM::SGDContextMenu(const QPoint& position) {
    const QModelIndex index = SGD->indexAt(position);
    menuCell_ = index.isValid() ? RamGridModel::Cell(index) : -1;
    const bool noteable = MenuAddress() >= 0;
    for (QAction* action : {SetMark, SetMarkNewColor, ResetMark, SetHint, ResetHint})
        action->setEnabled(noteable);
    PMenuRAM->popup(SGD->viewport()->mapToGlobal(position));
}

int TVz_RAM::MenuAddress() const {
    if (menuCell_ < 0 || menuCell_ >= RamPanelState::kCells) return -1;
    const int address = state_.Address(menuCell_);
    return state_.Implemented(address) ? address : -1;
}

void TVz_RAM::SetMarkClick() {
    const int address = MenuAddress();
    if (address < 0) return;
    RamCellNote& note = state_.notes()[static_cast<size_t>(address)];
    note.marked = true;
    note.colour = ToTColor(ColorDialog1->currentColor());
    RepaintAddress(address);
}

void TVz_RAM::SetMarkNewColorClick() {
    if (MenuAddress() < 0) return;
    const int cell = menuCell_;
    ColorDialog1->disconnect(this);
    connect(ColorDialog1, &QColorDialog::colorSelected, this, [this, cell] {
        menuCell_ = cell;
        SetMarkClick();
    });
    ColorDialog1->open();
}

void TVz_RAM::ResetMarkClick() {
    const int address = MenuAddress();
    if (address < 0) return;
    state_.notes()[static_cast<size_t>(address)].marked = false;
    RepaintAddress(address);
}

void TVz_RAM::ResetAllMarkClick() {
    Ask(QStringLiteral("Are you sure to reset all mark?"), [this] {
        for (RamCellNote& note : state_.notes()) note.marked = false;
        model_->RepaintAll();
    });
}

// "Set Hint" asks for the text (the current hint to edit); an empty text removes the
// hint. Hints show as the cell's tool tip.
void TVz_RAM::SetHintClick() {
    const int address = MenuAddress();
    if (address < 0) return;
    auto* dialog = new QInputDialog(this);
    dialog->setObjectName("HintDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Set Hint"));
    dialog->setLabelText(
        QStringLiteral("Hint for address %1 (empty: no hint):").arg(Hex(address, 4)));
    dialog->setTextValue(state_.notes()[static_cast<size_t>(address)].hint);
    connect(dialog, &QInputDialog::textValueSelected, this, [this, address](const QString& text) {
        RamCellNote& note = state_.notes()[static_cast<size_t>(address)];
        note.hint = text.simplified();
        note.hinted = !note.hint.isEmpty();
        RepaintAddress(address);
    });
    dialog->open();
}

void TVz_RAM::ResetHintClick() {
    const int address = MenuAddress();
    if (address < 0) return;
    RamCellNote& note = state_.notes()[static_cast<size_t>(address)];
    note.hint.clear();
    note.hinted = false;
    RepaintAddress(address);
}

void TVz_RAM::ResetAllHintClick() {
    Ask(QStringLiteral("Are you sure to reset all Hint?"), [this] {
        for (RamCellNote& note : state_.notes()) {
            note.hint.clear();
            note.hinted = false;
        }
        model_->RepaintAll();
    });
}

RamFileContents TVz_RAM::FileContents() const {
    RamFileContents contents;
    for (int a = 0; a < kRamFileAddresses; ++a) {
        const auto i = static_cast<size_t>(a);
        if (state_.Implemented(a)) contents.values[i] = image_[i];
        contents.notes[i] = state_.notes()[i];
    }
    return contents;
}

bool TVz_RAM::WriteRamFileNow(const QString& path) {
    QString error;
    if (WriteRamFile(path, FileContents(), error)) return true;
    Warn(QStringLiteral("Cannot save RAM data to %1: %2")
             .arg(QDir::toNativeSeparators(path), error));
    return false;
}

void TVz_RAM::SaveRamData(const QString& path) {
    if (!QFileInfo::exists(path)) {
        emit FileOperationDone(WriteRamFileNow(path));
        return;
    }
    auto* box = new QMessageBox(
        QMessageBox::Warning, windowTitle(),
        QStringLiteral("File ") + QFileInfo(path).fileName() + QStringLiteral(" exist! Overwrite?"),
        QMessageBox::Yes | QMessageBox::No, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box, path] {
        const bool yes = box->clickedButton() == box->button(QMessageBox::Yes);
        emit FileOperationDone(yes && WriteRamFileNow(path));
    });
    box->open();
}

bool TVz_RAM::LoadRamData(const QString& path) {
    const RamFileParse parsed = ReadRamFile(path);
    if (!parsed.ok) {
        Warn(QStringLiteral("Cannot load RAM data from %1: %2")
                 .arg(QDir::toNativeSeparators(path), parsed.error));
        return false;
    }
    CommitTyped();
    // Values go into the image only (the chip is not written); addresses the chip lacks
    // become 0.
    std::vector<RegisterWrite> values;
    values.reserve(kRamFileAddresses);
    for (int a = 0; a < kRamFileAddresses; ++a) {
        const std::optional<uint8_t>& v = parsed.contents.values[static_cast<size_t>(a)];
        values.push_back(
            {static_cast<uint16_t>(a), static_cast<uint8_t>(state_.Implemented(a) && v ? *v : 0)});
    }
    bench_.Call(
        [values = std::move(values)](Bench& b) {
            for (const RegisterWrite& w : values) b.chip().SetRegImage(w.address, w.value);
            b.chip().RefreshPanels();
        },
        this, [this] { nextRefreshFirst_ = true; });  // the image that follows is drawn afresh
    for (int a = 0; a < kRamFileAddresses; ++a) {
        state_.notes()[static_cast<size_t>(a)] = parsed.contents.notes[static_cast<size_t>(a)];
    }
    model_->RepaintAll();
    return true;
}

bool TVz_RAM::SaveToExcel(const QString& path) {
    std::array<uint8_t, kRegisterImageSize> mask{};
    if (state_.chip()) mask = state_.chip()->mask;
    QString error;
    if (WriteRamWorkbook(path, RamSheetCells(image_, mask), error)) return true;
    Warn(QStringLiteral("Cannot write the workbook %1: %2")
             .arg(QDir::toNativeSeparators(path), error));
    return false;
}

void TVz_RAM::LoadRAMDataClick() {
    auto* dialog =
        new QFileDialog(this, QStringLiteral("Load RAM Data"), folder_, QStringLiteral("*.ram"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(QStringLiteral("ram"));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        folder_ = QFileInfo(file).absolutePath();
        LoadRamData(file);
    });
    dialog->open();
}

void TVz_RAM::SaveRAMDataClick() {
    auto* dialog =
        new QFileDialog(this, QStringLiteral("Save RAM Data"), folder_, QStringLiteral("*.ram"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("ram"));
    dialog->setOption(QFileDialog::DontConfirmOverwrite);  // the panel asks in its own words
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        folder_ = QFileInfo(file).absolutePath();
        SaveRamData(file);
    });
    dialog->open();
}

void TVz_RAM::SaveToExcelClick() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Save To excel"), folder_,
                                   QStringLiteral("Excel workbook (*.xlsx)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("xlsx"));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        folder_ = QFileInfo(file).absolutePath();
        if (!SaveToExcel(file)) return;
        // The spreadsheet program is the desktop's business: offer to open the file there.
        auto* box = new QMessageBox(
            QMessageBox::Question, windowTitle(),
            QStringLiteral("Saved %1. Open it now?").arg(QFileInfo(file).fileName()),
            QMessageBox::Yes | QMessageBox::No, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [box, file] {
            if (box->clickedButton() == box->button(QMessageBox::Yes)) {
                QDesktopServices::openUrl(QUrl::fromLocalFile(file));
            }
        });
        box->open();
    });
    dialog->open();
}

}  // namespace dmm::gui
