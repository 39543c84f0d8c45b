#include "gui/views/t_vz_reg2.h"

#include "gui/app/remembered_place.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/views/panel_writes.h"
#include "gui/views/t_vz_pop_sel_hex.h"

namespace dmm::gui {
namespace {

constexpr int kColumnWidth = 80;
// The grids keep the Windows program's 14-pixel rows unless the panel font needs more:
// a clipped register name helps nobody.
int RowHeight() {
    return std::max(14, QFontMetrics(PanelFont()).height() + 1);
}

QString Hex(int value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

uint8_t ImageByte(const RegisterImageBytes& image, int address) {
    return address >= 0 && address < kRegisterImageSize ? image[static_cast<size_t>(address)] : 0;
}

const std::array<QColor, 4> kPageColours = {panel_colour::kYellow, panel_colour::kGreen,
                                            panel_colour::kRed, panel_colour::kWhite};
const std::array<const char*, 4> kPageTabNames = {"PPage1", "PPAGE2", "PPAGE3", "PPAGE4"};

HexGridView* MakeGrid(const char* name, QAbstractItemModel* model, QWidget* parent) {
    auto* grid = new HexGridView(parent);
    grid->setObjectName(name);
    grid->setModel(model);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->SetCellSize(kColumnWidth, RowHeight());
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // every grid is as tall as its rows
    grid->setFixedWidth(PanelChip::kGridColumns * kColumnWidth + 2 * grid->frameWidth());
    return grid;
}

}  // namespace

TVz_Reg2::TVz_Reg2(Bench& bench, QWidget* parent) : QWidget(parent), bench_(bench) {
    setObjectName("TVz_Reg2");
    setWindowTitle(QStringLiteral("暫存器"));
    FormCreate();
    connect(&bench_, &Bench::RegisterImageChanged, this, &TVz_Reg2::OnRegisterImage);
    connect(&bench_, &Bench::ChipModelChanged, this,
            [this](const std::shared_ptr<const TChipModel>& model) {
                if (!model) return;
                SetChip(PanelChip::FromModel(*model));
                loadImagePending_ = true;
            });
}

void TVz_Reg2::FormCreate() {
    setFont(PanelFont());
    bitModel_ = new BitGridModel(state_, this);
    byteModel_ =
        new RegisterValueGridModel(state_, byteEdit_, RegisterValueGridModel::Kind::Byte, this);
    wordModel_ =
        new RegisterValueGridModel(state_, wordEdit_, RegisterValueGridModel::Kind::Word, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(BuildStrip());

    auto* tabs = new QHBoxLayout();
    tabs->setSpacing(2);
    for (int p = 0; p < 4; ++p) {
        auto* tab = new ClickPanel(QStringLiteral("PAGE%1").arg(p + 1), this);
        tab->setObjectName(kPageTabNames[static_cast<size_t>(p)]);
        tab->setFixedSize(72, RowHeight() + 6);
        tab->hide();
        connect(tab, &ClickPanel::Clicked, this, [this, p] { PageClick(p); });
        pageTabs[static_cast<size_t>(p)] = tab;
        tabs->addWidget(tab);
    }
    tabs->addStretch(1);
    layout->addLayout(tabs);

    SREG = MakeGrid("SREG", bitModel_, this);
    SREG->setFixedHeight(3 * RowHeight());
    layout->addWidget(SREG);
    LByte = new QLabel(QStringLiteral("Byte "), this);
    LByte->setObjectName("LByte");
    layout->addWidget(LByte);
    SByteReg = MakeGrid("SByteReg", byteModel_, this);
    layout->addWidget(SByteReg);
    LWord = new QLabel(QStringLiteral("Word"), this);
    LWord->setObjectName("LWord");
    layout->addWidget(LWord);
    SWordReg = MakeGrid("SWordReg", wordModel_, this);
    layout->addWidget(SWordReg);
    for (QWidget* w : {static_cast<QWidget*>(LByte), static_cast<QWidget*>(SByteReg),
                       static_cast<QWidget*>(LWord), static_cast<QWidget*>(SWordReg)}) {
        w->hide();
    }

    connect(SREG, &QAbstractItemView::doubleClicked, this, &TVz_Reg2::SREGDblClick);
    connect(SByteReg, &QAbstractItemView::doubleClicked, this, &TVz_Reg2::SByteRegDblClick);
    connect(SWordReg, &QAbstractItemView::doubleClicked, this, &TVz_Reg2::SWordRegDblClick);
    ConnectTyping(SByteReg, byteModel_, byteEdit_);
    ConnectTyping(SWordReg, wordModel_, wordEdit_);

    PMenuIND = new QMenu(this);
    PMenuIND->setObjectName("PMenuIND");
    PMenuINDValue = PMenuIND->addAction(QStringLiteral("更改儲存值"));
    PMenuINDValue->setObjectName("PMenuINDValue");
    PMenuINDAddress = PMenuIND->addAction(QStringLiteral("更改位址"));
    PMenuINDAddress->setObjectName("PMenuINDAddress");
    connect(PMenuINDValue, &QAction::triggered, this, &TVz_Reg2::PMenuINDValueClick);
    connect(PMenuINDAddress, &QAction::triggered, this, &TVz_Reg2::PMenuINDAddressClick);

    PMenuBit = new QMenu(this);
    PMenuBit->setObjectName("PMenuBit");
    PMenuBitSet = PMenuBit->addAction(QStringLiteral("=1"));
    PMenuBitSet->setObjectName("PMenuBitSet");
    PMenuBitClear = PMenuBit->addAction(QStringLiteral("=0"));
    PMenuBitClear->setObjectName("PMenuBitClear");
    connect(PMenuBitSet, &QAction::triggered, this, [this] { PMenuBitClick(true); });
    connect(PMenuBitClear, &QAction::triggered, this, [this] { PMenuBitClick(false); });

    PMenuReg = new QMenu(this);
    PMenuReg->setObjectName("PMenuReg");
    PMenuRegValue = PMenuReg->addAction(QStringLiteral("更改儲存值"));
    PMenuRegValue->setObjectName("PMenuRegValue");
    connect(PMenuRegValue, &QAction::triggered, this, &TVz_Reg2::PMenuRegValueClick);

    PaintStrip();
}

QWidget* TVz_Reg2::BuildStrip() {
    PBase = new QFrame(this);
    PBase->setObjectName("PBase");
    PBase->setFrameShape(QFrame::Panel);
    PBase->setFrameShadow(QFrame::Raised);
    auto* row = new QHBoxLayout(PBase);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(4);

    auto text = [](const QString& caption) { return new QLabel(caption); };
    auto value = [](const char* name, int digits) {
        auto* label = new QLabel;
        label->setObjectName(name);
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(
            QFontMetrics(PanelFont()).horizontalAdvance(QString(digits, QLatin1Char('0'))) + 6);
        return label;
    };
    auto group = [this, row](const char* name) {
        auto* frame = new ClickFrame(PBase);
        frame->setObjectName(name);
        row->addWidget(frame);
        return frame;
    };

    PnlWork_B = group("PnlWork_B");
    PnlWork_B->Add(text(QStringLiteral(" Work:")));
    PnlWork = PnlWork_B->Add(value("PnlWork", 2));
    connect(PnlWork_B, &ClickFrame::Clicked, this, &TVz_Reg2::PnlWorkClick);

    const std::array<ClickFrame**, 2> frames = {&PnlIND0_B, &PnlIND1_B};
    const std::array<QLabel**, 2> pointers = {&PnlIND0_1, &PnlIND1_1};
    const std::array<QLabel**, 2> targets = {&PnlIND0_2, &PnlIND1_2};
    for (int pair = 0; pair < 2; ++pair) {
        const auto p = static_cast<size_t>(pair);
        *frames[p] = group(pair == 0 ? "PnlIND0_B" : "PnlIND1_B");
        (*frames[p])->Add(text(QStringLiteral(" IND%1: M[").arg(pair)));
        *pointers[p] = (*frames[p])->Add(value(pair == 0 ? "PnlIND0_1" : "PnlIND1_1", 3));
        (*frames[p])->Add(text(QStringLiteral("]=")));
        *targets[p] = (*frames[p])->Add(value(pair == 0 ? "PnlIND0_2" : "PnlIND1_2", 2));
        connect(*frames[p], &ClickFrame::Clicked, this, [this, pair] { PnlINDClick(pair); });
    }

    PnlPC = new ClickPanel(QString(), PBase);
    PnlPC->setObjectName("PnlPC");
    row->addWidget(PnlPC);
    connect(PnlPC, &ClickPanel::Clicked, this, &TVz_Reg2::PnlPCClick);
    PnlCycle = new ClickPanel(QString(), PBase);
    PnlCycle->setObjectName("PnlCycle");
    row->addWidget(PnlCycle);
    row->addStretch(1);
    return PBase;
}

std::pair<int, int> TVz_Reg2::rkrr() const {
    const PanelChip* chip = state_.chip();
    if (!chip) return {0, 0};
    return chip->PageRange(page_);
}

void TVz_Reg2::SetChip(std::shared_ptr<const PanelChip> chip) {
    byteEdit_.Clear();
    wordEdit_.Clear();
    state_.SetChip(chip);
    if (chip && !chip->productTitle.isEmpty())
        setWindowTitle(chip->productTitle + QStringLiteral(" Register"));
    // A page without registers is no place to stay after a load.
    if (!chip || chip->pageCounts[static_cast<size_t>(page_)] == 0) page_ = 0;

    byteModel_->Rebuild();
    wordModel_->Rebuild();
    const bool bytes = byteModel_->Count() > 0;
    SByteReg->setFixedHeight(SByteReg->HeightForRows(byteModel_->rowCount()));
    LByte->setVisible(bytes);
    SByteReg->setVisible(bytes);
    // The word grid is shown whenever the chip has word registers: they are as much a
    // part of the chip as its byte registers.
    const bool words = wordModel_->Count() > 0;
    SWordReg->setFixedHeight(SWordReg->HeightForRows(wordModel_->rowCount()));
    LWord->setVisible(words);
    SWordReg->setVisible(words);
    SWSREG();
}

void TVz_Reg2::SWSREG() {
    const auto [first, end] = rkrr();
    bitModel_->SetRange(first, end);
    // The name column is as wide as the longest "NAME<0xAA>" of the chip (on every page,
    // so that it does not jump), never narrower than the bit columns.
    int nameWidth = kColumnWidth;
    if (const PanelChip* chip = state_.chip()) {
        const QFontMetrics metrics(PanelFont());
        for (const PanelChip::BitRegister& entry : chip->bitRegisters) {
            nameWidth = std::max(
                nameWidth, metrics.horizontalAdvance(entry.name + QStringLiteral("<0x00>")) + 8);
        }
    }
    SREG->setColumnWidth(0, nameWidth);
    SREG->setFixedWidth(nameWidth + (PanelChip::kGridColumns - 1) * kColumnWidth +
                        2 * SREG->frameWidth());
    SREG->setFixedHeight(RowHeight() * (bitModel_->rowCount() + 3));
    ShowPageTabs();
    RefreshRegisters(true);
    FitToContents();
}

void TVz_Reg2::ShowPageTabs() {
    const PanelChip* chip = state_.chip();
    for (int p = 0; p < 4; ++p) {
        ClickPanel* tab = pageTabs[static_cast<size_t>(p)];
        tab->setVisible(chip && chip->pageCounts[static_cast<size_t>(p)] > 0);
        if (p == page_)
            tab->SetLook(true, kPageColours[static_cast<size_t>(p)]);
        else
            tab->SetLook(false, panel_colour::kButtonFace);
    }
}

void TVz_Reg2::RefreshRegisters(bool first) {
    state_.Refresh(image_, first);
    bitModel_->Refresh();
    byteModel_->Refresh();
    wordModel_->Refresh();
    PaintStrip();
}

void TVz_Reg2::OnRegisterImage(const RegisterImageSnapshot& image) {
    // A load sends the image after the model. When it is the image the load's redraw
    // already used, it is no new reading: refreshing again would take away the highlights
    // that show which registers are not 0 on the newly loaded chip.
    if (std::exchange(loadImagePending_, false) && image.bytes == image_) return;
    image_ = image.bytes;
    // A committed typed value gives way to what the chip now holds.
    if (!byteEdit_.Active()) byteModel_->Repaint(byteEdit_.Clear());
    if (!wordEdit_.Active()) wordModel_->Repaint(wordEdit_.Clear());
    RefreshRegisters(false);
}

void TVz_Reg2::PaintStrip() {
    const RegisterStrip& s = state_.strip();
    ShowStripValue(PnlWork, Hex(s.work.value, 2), s.work.highlighted);
    ShowStripValue(PnlIND0_1, Hex(s.pointer[0].value, 3), s.pointer[0].highlighted);
    ShowStripValue(PnlIND0_2, Hex(s.target[0].value, 2), s.target[0].highlighted);
    ShowStripValue(PnlIND1_1, Hex(s.pointer[1].value, 3), s.pointer[1].highlighted);
    ShowStripValue(PnlIND1_2, Hex(s.target[1].value, 2), s.target[1].highlighted);
    // No link reports a program counter or a cycle count: the counter reads 0 and the
    // cycle panel says plainly that there is no count rather than show a made-up one.
    static const QString kCounter = QStringLiteral(" Program Counter: 0");
    static const QString kCycle = QStringLiteral(" Cycle: ----:----");
    if (PnlPC->text() != kCounter) PnlPC->setText(kCounter);
    if (PnlCycle->text() != kCycle) PnlCycle->setText(kCycle);
}

void TVz_Reg2::FitToContents() {
    adjustSize();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->adjustSize();
}

void TVz_Reg2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_) return;
    placed_ = true;
    if (property(kRememberedPlaceProperty).toBool()) return;
    // Bottom right of the work area: 20 pixels from the right edge, 40 from the bottom.
    QWidget* frame = this;
    QSize area;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame = sub;
        if (QMdiArea* mdi = sub->mdiArea()) area = mdi->viewport()->size();
    } else if (QScreen* s = screen()) {
        area = s->availableGeometry().size();
    }
    if (area.isEmpty()) return;
    frame->move(std::max(0, area.width() - frame->width() - 20),
                std::max(0, area.height() - frame->height() - 40));
}

void TVz_Reg2::Write(std::vector<RegisterWrite> writes) {
    WritePanelRegisters(bench_, this, std::move(writes));
}

QPoint TVz_Reg2::BelowCell(const HexGridView* grid, const QModelIndex& index) const {
    return grid->viewport()->mapToGlobal(grid->visualRect(index).bottomLeft());
}

QPoint TVz_Reg2::Below(const QWidget* widget) {
    return widget->mapToGlobal(QPoint(0, widget->height()));
}

void TVz_Reg2::PageClick(int page) {
    page_ = page;
    SWSREG();
}

void TVz_Reg2::SREGDblClick(const QModelIndex& index) {
    const PanelChip::BitRegister* entry = bitModel_->Entry(index.row());
    if (!entry) return;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.column() == 0) {
        const HexAnswer answer =
            AskHex(this, BelowCell(SREG, index), QStringLiteral("FF"), QStringLiteral("00~FF"),
                   QStringLiteral("Ram") + Hex(entry->address, 3) + QLatin1Char('=') + text);
        if (answer.accepted) Write({{entry->address, static_cast<uint8_t>(answer.value)}});
        return;
    }
    if (text == QLatin1String("-")) return;  // not implemented on the chip
    pendingBitAddress_ = entry->address;
    pendingBit_ = BitGridModel::BitOfColumn(index.column());
    PMenuBitSet->setText(text + QStringLiteral("=1"));
    PMenuBitClear->setText(text + QStringLiteral("=0"));
    PMenuBit->popup(BelowCell(SREG, index));
}

void TVz_Reg2::PMenuBitClick(bool set) {
    if (pendingBitAddress_ < 0) return;
    const uint8_t bit = static_cast<uint8_t>(1u << pendingBit_);
    const uint8_t now = ImageByte(image_, pendingBitAddress_);
    const uint8_t value = set ? static_cast<uint8_t>(now | bit) : static_cast<uint8_t>(now & ~bit);
    Write({{static_cast<uint16_t>(pendingBitAddress_), value}});
}

void TVz_Reg2::SByteRegDblClick(const QModelIndex& index) {
    const int entry = byteModel_->EntryAt(index);
    if (entry < 0 || RegisterValueGridModel::IsValueRow(index)) return;
    const uint16_t address = state_.chip()->byteRegisters[static_cast<size_t>(entry)].address;
    const HexAnswer answer = AskHex(
        this, BelowCell(SByteReg, index), QStringLiteral("FF"), QStringLiteral("00~FF"),
        QStringLiteral("Ram") + Hex(address, 3) + QLatin1Char('=') + byteModel_->Name(entry));
    if (answer.accepted) Write({{address, static_cast<uint8_t>(answer.value)}});
}

void TVz_Reg2::SWordRegDblClick(const QModelIndex& index) {
    const int entry = wordModel_->EntryAt(index);
    if (entry < 0 || RegisterValueGridModel::IsValueRow(index)) return;
    const PanelChip::WordRegister& word = state_.chip()->wordRegisters[static_cast<size_t>(entry)];
    const HexAnswer answer = AskHex(this, BelowCell(SWordReg, index), QStringLiteral("FFFF"),
                                    QStringLiteral("0000~FFFF"), QStringLiteral("Ram") + word.name);
    if (!answer.accepted) return;
    Write({{word.high, static_cast<uint8_t>(answer.value >> 8)},
           {word.low, static_cast<uint8_t>(answer.value & 0xFF)}});
}

void TVz_Reg2::PnlWorkClick() {
    regMenuFromWork_ = true;
    PMenuReg->popup(QCursor::pos());
}

void TVz_Reg2::PnlPCClick() {
    regMenuFromWork_ = false;
    PMenuReg->popup(QCursor::pos());
}

void TVz_Reg2::PMenuRegValueClick() {
    if (!regMenuFromWork_) return;  // the program counter cannot be set
    const HexAnswer answer =
        AskHex(this, Below(PnlWork), QStringLiteral("FF"), QStringLiteral("00~FF"),
               QStringLiteral("Work=") + Hex(ImageByte(image_, kWorkingRegister), 2));
    if (answer.accepted) Write({{kWorkingRegister, static_cast<uint8_t>(answer.value)}});
}

void TVz_Reg2::PnlINDClick(int pair) {
    indPair_ = pair;
    PMenuINDAddress->setText(pair == 0 ? QStringLiteral("Modify FSR0")
                                       : QStringLiteral("Modify FSR1"));
    PMenuIND->popup(QCursor::pos());
}

void TVz_Reg2::PMenuINDValueClick() {
    const int pointer = state_.strip().pointer[static_cast<size_t>(indPair_)].value;
    QLabel* target = indPair_ == 0 ? PnlIND0_2 : PnlIND1_2;
    const HexAnswer answer =
        AskHex(this, Below(target), QStringLiteral("FF"), QStringLiteral("00~FF"),
               QStringLiteral("IND%1=").arg(indPair_) + Hex(ImageByte(image_, pointer), 2));
    // A pointer beyond the chip's address space is refused by the write itself.
    if (answer.accepted)
        Write({{static_cast<uint16_t>(pointer), static_cast<uint8_t>(answer.value)}});
}

void TVz_Reg2::PMenuINDAddressClick() {
    const int pointer = state_.strip().pointer[static_cast<size_t>(indPair_)].value;
    QLabel* shown = indPair_ == 0 ? PnlIND0_1 : PnlIND1_1;
    const HexAnswer answer =
        AskHex(this, Below(shown), QStringLiteral("FFF"), QStringLiteral("000~FFF"),
               QStringLiteral("FSR%1=").arg(indPair_) + Hex(pointer, 3));
    if (!answer.accepted) return;
    const uint16_t high = indPair_ == 0 ? kFsr0High : kFsr1High;
    const uint16_t low = indPair_ == 0 ? kFsr0Low : kFsr1Low;
    Write({{high, static_cast<uint8_t>(answer.value >> 8)},
           {low, static_cast<uint8_t>(answer.value & 0xFF)}});
}

void TVz_Reg2::ConnectTyping(HexGridView* grid, RegisterValueGridModel* model, TypedHexEdit& edit) {
    connect(grid, &HexGridView::DigitTyped, this,
            [this, model, &edit](const QModelIndex& index, QChar digit) {
                const int entry = model->EntryAt(index);
                if (entry < 0 || !RegisterValueGridModel::IsValueRow(index))
                    return;  // names and empty cells
                if (edit.Active() && edit.cell() != entry) CommitTyped(model, edit);
                const QString shown =
                    model->data(model->ValueIndex(entry), Qt::DisplayRole).toString();
                edit.Type(entry, shown, digit, model->Digits());
                model->Repaint(entry);
            });
    // Backspace takes back the last typed digit; Escape drops the edit.
    connect(grid, &HexGridView::BackspaceTyped, this,
            [model, &edit] { model->Repaint(edit.Backspace()); });
    connect(grid, &HexGridView::CancelRequested, this, [model, &edit] {
        if (edit.Active()) model->Repaint(edit.Clear());
    });
    auto commit = [this, model, &edit] { CommitTyped(model, edit); };
    connect(grid, &HexGridView::CommitRequested, this, commit);
    connect(grid, &HexGridView::CurrentCellLeft, this, commit);
    connect(grid, &HexGridView::FocusLeft, this, commit);
}

void TVz_Reg2::CommitTyped(RegisterValueGridModel* model, TypedHexEdit& edit) {
    const std::optional<TypedHexEdit::Commit> commit = edit.Take();
    if (!commit || !state_.chip()) return;
    const PanelChip& chip = *state_.chip();
    std::vector<RegisterWrite> writes;
    if (model->kind() == RegisterValueGridModel::Kind::Byte) {
        writes.push_back({chip.byteRegisters[static_cast<size_t>(commit->cell)].address,
                          static_cast<uint8_t>(commit->value & 0xFF)});
    } else {
        // High byte first, then the low byte.
        const PanelChip::WordRegister& word = chip.wordRegisters[static_cast<size_t>(commit->cell)];
        writes.push_back({word.high, static_cast<uint8_t>((commit->value >> 8) & 0xFF)});
        writes.push_back({word.low, static_cast<uint8_t>(commit->value & 0xFF)});
    }
    const int cell = commit->cell;
    WritePanelRegisters(bench_, this, std::move(writes), [model, &edit, cell](bool ok) {
        // A failed write brings nothing back: show the value the panel had.
        if (!ok && !edit.Active() && edit.cell() == cell) model->Repaint(edit.Clear());
    });
}

}  // namespace dmm::gui
