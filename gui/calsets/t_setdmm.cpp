#include "gui/calsets/t_setdmm.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QHideEvent>

#include "gui/analog/diagram_controls.h"
#include "gui/analog/diagram_painter.h"
#include "gui/measure/calibration_controls.h"

namespace dmm::gui {
namespace {

constexpr int kSlotsX = 210;
constexpr int kEntriesX = 440;

QLabel* Caption(QWidget* parent, const QString& text, const QRect& r) {
    auto* label = new QLabel(text, parent);
    label->setFont(DiagramFont(TextRole::Signal));
    label->setGeometry(r);
    return label;
}

}  // namespace

TSETDMM::TSETDMM(Bench& bench, QWidget* parent) : QWidget(parent), bench_(bench) {
    setObjectName("TSETDMM");
    setWindowTitle("SETDMM");
    setFixedSize(640, 400);
    BuildFolders();
    BuildSlots();
    BuildEntries();
    BuildButtons();
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 376, 640, 24);
    // The segment choice only names the window.
    TXSEG = new QComboBox(this);
    TXSEG->setObjectName("TXSEG");
    for (int i = 0; i <= 10; ++i) TXSEG->addItem(QString::number(i));
    TXSEG->setMaxVisibleItems(TXSEG->count());
    TXSEG->hide();
    connect(TXSEG, &QComboBox::currentIndexChanged, this, &TSETDMM::TXSEGChange);

    CalSetManager& sets = bench_.calSets();
    connect(&sets, &CalSetManager::StatusShown, StatusBar1,
            [this](const QString& text) { StatusBar1->showMessage(text); });
    connect(&sets, &CalSetManager::SlotsShown, this, &TSETDMM::ShowSlots);
    connect(&sets, &CalSetManager::ControlsLoaded, this, &TSETDMM::ShowControls);
    connect(&sets, &CalSetManager::AverageTimesShown, EAVT, &QLineEdit::setText);
    connect(&sets, &CalSetManager::DisplayShown, this, [this](const QString& text, int decimals) {
        SADCLCD->SetDotCount(text == QLatin1String("OL") ? 0 : decimals);
        SADCLCD->SetCaption(text);
    });
    TXFORADCChange();
}

void TSETDMM::BuildFolders() {
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName("DriveComboBox1");
    DriveComboBox1->setGeometry(8, 8, 192, 22);
    for (const QFileInfo& drive : QDir::drives()) DriveComboBox1->addItem(drive.absolutePath());
    DriveComboBox1->addItem(QDir::homePath());
    folderModel_ = new QFileSystemModel(this);
    folderModel_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folderModel_->setRootPath(QDir::rootPath());
    DFolders = new QTreeView(this);
    DFolders->setObjectName("DFolders");
    DFolders->setModel(folderModel_);
    for (int column = 1; column < folderModel_->columnCount(); ++column)
        DFolders->hideColumn(column);
    DFolders->header()->hide();
    DFolders->setGeometry(8, 34, 192, 334);
    connect(DriveComboBox1, &QComboBox::currentTextChanged, this,
            [this](const QString& root) { DFolders->setRootIndex(folderModel_->index(root)); });
    connect(DFolders->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { DFoldersChange(folderModel_->filePath(index)); });
}

void TSETDMM::BuildSlots() {
    for (int n = 0; n < kConfigSetSlots; ++n) {
        QPushButton* slot =
            AddKey(this, QStringLiteral("Panel%1").arg(n + 1), QString::fromLatin1(kNoFile),
                   QRect(kSlotsX + (n / 5) * 110, 8 + (n % 5) * 34, 104, 28));
        slot->setToolTip(QStringLiteral("Config %1").arg(n));
        slots_[static_cast<size_t>(n)] = slot;
        connect(slot, &QPushButton::clicked, this,
                [this, n] { bench_.Post([n](Bench& b) { b.calSets().Panel1Click(n); }); });
    }
}

void TSETDMM::BuildEntries() {
    int y = 8;
    auto row = [this, &y](const QString& caption, QWidget* control) {
        Caption(this, caption, QRect(kEntriesX, y, 90, 20));
        control->setGeometry(kEntriesX + 92, y, 100, 20);
        y += 24;
    };
    ECALI = AddEntry(this, "ECALI", "40000", {});
    row("Reference", ECALI);
    ECALUNIT = AddEntry(this, "ECALUNIT", "mV", {});
    row("Unit", ECALUNIT);
    TXFORADC = new QComboBox(this);
    TXFORADC->setObjectName("TXFORADC");
    TXFORADC->addItems({"ADC1", "RMS"});
    TXFORADC->setMaxVisibleItems(TXFORADC->count());
    row("Path", TXFORADC);
    connect(TXFORADC, &QComboBox::currentIndexChanged, this, &TSETDMM::TXFORADCChange);
    EAVT = AddEntry(this, "EAVT", "5", {});
    row("Average times", EAVT);
    ESNAME = AddEntry(this, "ESNAME", "~KV", {});
    row("Set name", ESNAME);
    ESCALE1 = AddEntry(this, "ESCALE1", "66000", {});
    row("Full scale", ESCALE1);
    PADCOFF = new QLabel("0", this);
    PADCOFF->setObjectName("PADCOFF");
    PADCOFF->setFrameShape(QFrame::Panel);
    row("ADC1 offset", PADCOFF);
    PRMSOFF = new QLabel("0", this);
    PRMSOFF->setObjectName("PRMSOFF");
    PRMSOFF->setFrameShape(QFrame::Panel);
    row("RMS offset", PRMSOFF);
    Canceloffset = new QCheckBox("Cancel Offset", this);
    Canceloffset->setObjectName("Canceloffset");
    // The window is laid out in pixels: its texts keep the diagram's pixel sizes, as its
    // captions and entries do, whatever the desktop's font.
    for (QWidget* w : std::initializer_list<QWidget*>{TXFORADC, PADCOFF, PRMSOFF, Canceloffset})
        w->setFont(DiagramFont(TextRole::Signal));
    Canceloffset->setGeometry(kEntriesX, y, 190, 20);
}

void TSETDMM::BuildButtons() {
    LADC1 = Caption(this, "ADC1", QRect(kSlotsX, 190, 60, 20));
    LADC1->setObjectName("LADC1");
    SADCLCD = AddLiveDisplay(this, "SADCLCD", QRect(kSlotsX, 212, 220, 48));
    SADCLCD->SetLeftZero(true);
    BReCall = AddKey(this, "BReCall", "Cal. Offset", QRect(kSlotsX, 276, 104, 26));
    BSave = AddKey(this, "BSave", "Cal. Gain", QRect(kSlotsX + 110, 276, 104, 26));
    Button1 = AddKey(this, "Button1", "Save Register", QRect(kSlotsX, 310, 104, 26));
    BClose = AddKey(this, "BClose", "Close", QRect(kSlotsX + 110, 310, 104, 26));
    connect(BReCall, &QPushButton::clicked, this, [this] {
        const CalSetControls c = Controls();
        bench_.Post([c](Bench& b) { b.calSets().Measure(false, c); });
    });
    connect(BSave, &QPushButton::clicked, this, [this] {
        const CalSetControls c = Controls();
        bench_.Post([c](Bench& b) { b.calSets().Measure(true, c); });
    });
    connect(Button1, &QPushButton::clicked, this, [this] {
        const CalSetControls c = Controls();
        bench_.Post([c](Bench& b) { b.calSets().SaveRegister(c); });
    });
    connect(BClose, &QPushButton::clicked, this, [this] {
        if (parentWidget()) parentWidget()->close();
        hide();
    });
}

CalSetControls TSETDMM::Controls() const {
    CalSetControls c;
    c.reference = ECALI->text();
    c.unit = ECALUNIT->text();
    c.adcChoice = TXFORADC->currentIndex() == 1 ? 1 : 0;
    c.averageTimes = EAVT->text();
    c.name = ESNAME->text();
    c.scale = ESCALE1->text();
    c.cancelOffset = Canceloffset->isChecked();
    return c;
}

void TSETDMM::ShowSlots(const QStringList& captions, int selected) {
    for (int n = 0; n < kConfigSetSlots && n < captions.size(); ++n) {
        QPushButton* slot = slots_[static_cast<size_t>(n)];
        slot->setText(captions[n]);
        QPalette p = palette();
        QFont font = DiagramFont(TextRole::Block);
        if (n == selected) {
            p.setColor(QPalette::Button, QColor(0, 0, 255));
            p.setColor(QPalette::ButtonText, Qt::white);
            font.setBold(true);
        }
        slot->setPalette(p);
        slot->setFont(font);
    }
}

void TSETDMM::ShowControls(const CalSetControls& c, double adc1Offset, double rmsOffset) {
    const QSignalBlocker quiet(TXFORADC);
    ECALI->setText(c.reference);
    ECALUNIT->setText(c.unit);
    TXFORADC->setCurrentIndex(c.adcChoice);
    EAVT->setText(c.averageTimes);
    ESNAME->setText(c.name);
    ESCALE1->setText(c.scale);
    Canceloffset->setChecked(c.cancelOffset);
    PADCOFF->setText(QString::number(adc1Offset, 'f', 0));
    PRMSOFF->setText(QString::number(rmsOffset, 'f', 0));
    LADC1->setText(c.adcChoice == 1 ? "RMS" : "ADC1");
}

void TSETDMM::TXFORADCChange() {
    const int choice = TXFORADC->currentIndex();
    LADC1->setText(choice == 1 ? "RMS" : "ADC1");
    bench_.Post([choice](Bench& b) { b.calSets().SetAdcChoice(choice); });
}

void TSETDMM::TXSEGChange() {
    setWindowTitle(QStringLiteral("Calibration Segment - ") +
                   QString::number(TXSEG->currentIndex()));
}

void TSETDMM::DFoldersChange(const QString& folder) {
    folder_ = folder;
    const QModelIndex index = folderModel_->index(folder);
    if (index.isValid() && DFolders->currentIndex() != index) {
        const QSignalBlocker quiet(DFolders->selectionModel());
        DFolders->setCurrentIndex(index);
        DFolders->scrollTo(index);
    }
    bench_.Post([folder](Bench& b) { b.calSets().ScanFolder(folder); });
}

void TSETDMM::OpenFromMenu() {
    // The folder of the last session, or the bench directory the first time.
    QString folder = folder_.isEmpty() ? bench_.benchDir : folder_;
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) DFoldersChange(folder);
    TXSEGChange();
}

void TSETDMM::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous()) return;
    bench_.Post([](Bench& b) { b.calSets().StopTimer(); });
}

}  // namespace dmm::gui
