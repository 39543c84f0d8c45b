#include "gui/analog/t_weight_cal.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/app/bench.h"
#include "gui/analog/switch_grid_model.h"
#include "gui/app/t_main_panel.h"
#include "gui/views/panel_style.h"

namespace dmm::gui {
namespace {

// The Windows desktop colour, which these panels' texts take when their channel is on.
const QColor kDesktop(0x3A, 0x6E, 0xA5);
constexpr int kGridRowHeight = 18;
constexpr int kGridFirstColumnWidth = 30;
constexpr int kShiftItems = 16;
constexpr int kDefaultShiftItem = 7;

ClickPanel* Panel(const QString& name, const QString& caption, QWidget* parent) {
    auto* panel = new ClickPanel(caption, parent);
    panel->setObjectName(name);
    panel->setMinimumSize(72, 24);
    return panel;
}

QComboBox* Combo(const char* name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    return combo;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

TWeightCAL::TWeightCAL(Bench& bench, TMainPanel& mainPanel, QWidget* parent)
    : QWidget(parent), bench_(bench), mainPanel_(mainPanel), grid_(new SwitchGridModel(this)) {
    qRegisterMetaType<SwitchTestEnd>();
    setObjectName("TWeightCAL");
    setWindowTitle("Switch ADC Channel Test");
    benchDir_ = bench.benchDir;

    SGDS = new QTableView(this);
    SGDS->setObjectName("SGDS");
    SGDS->setModel(grid_);
    SGDS->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    SGDS->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SGDS->verticalHeader()->setFixedWidth(kGridFirstColumnWidth);
    SGDS->horizontalHeader()->setDefaultSectionSize(72);
    SGDS->setEditTriggers(QAbstractItemView::NoEditTriggers);

    // A timer of the window's design that has nothing to do.
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(500);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(BuildChannels());
    layout->addWidget(BuildControls());
    layout->addWidget(SGDS, 1);

    connect(&bench_.switchTest(), &SwitchTest::Changed, this, &TWeightCAL::ShowView);
    ShowView(view_);
    resize(760, 560);
}

QWidget* TWeightCAL::BuildChannels() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        const QString n = QString::number(k + 1);
        SwitCh[k] = new QCheckBox(QStringLiteral("Channel ") + n, box);
        SwitCh[k]->setObjectName(QStringLiteral("SwitCh") + n);
        PSwitchSet[k] = Panel(QStringLiteral("PSwitchSet") + n, QStringLiteral("Set ") + n, box);
        PSwReview[k] = Panel(QStringLiteral("PSwReview") + n, QStringLiteral("Review ") + n, box);
        PStep[k] = Panel(QStringLiteral("PStep") + n, QStringLiteral("STEP-") + n, box);
        grid->addWidget(SwitCh[k], 0, k);
        grid->addWidget(PSwitchSet[k], 1, k);
        grid->addWidget(PSwReview[k], 2, k);
        grid->addWidget(PStep[k], 3, k);
        connect(SwitCh[k], &QCheckBox::toggled, this, [this, k] { SwitChClick(k); });
        connect(PSwitchSet[k], &ClickPanel::Clicked, this, [this, k] { PSwitchSetClick(k); });
        connect(PSwReview[k], &ClickPanel::Clicked, this, [this, k] { PSwReviewClick(k); });
        connect(PStep[k], &ClickPanel::Clicked, this, [this, k] { PStepClick(k); });
    }
    return box;
}

QWidget* TWeightCAL::BuildControls() {
    auto* box = new QWidget(this);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 6, 0, 6);
    EvStepLen = Combo("EvStepLen", box);
    for (int v : kEvStepLenItems) EvStepLen->addItem(QString::number(v));
    EvStepLen->setCurrentIndex(kDefaultEvStepLenIndex);
    LoopStep = Combo("LoopStep", box);
    for (int v : kLoopStepItems) LoopStep->addItem(QString::number(v));
    LoopStep->setCurrentIndex(kDefaultLoopStepIndex);
    TXScale = Combo("TXScale", box);
    for (int b = kMinResultBits; b <= kMaxResultBits; ++b) TXScale->addItem(QString::number(b));
    TXScale->setMaxVisibleItems(kScaleItemCount);
    TXScale->setCurrentIndex(kScaleItemCount - 1);  // as the analysis window starts
    ADShift = Combo("ADShift", box);
    for (int s = 0; s < kShiftItems; ++s) ADShift->addItem(QStringLiteral("shift %1").arg(s));
    ADShift->addItem(QString());
    ADShift->setCurrentIndex(kDefaultShiftItem);
    ADShift->setEnabled(false);
    ADShift->hide();

    row->addWidget(new QLabel(QStringLiteral("每次取樣筆數"), box));
    row->addWidget(EvStepLen);
    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("總共循環次數"), box));
    row->addWidget(LoopStep);
    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Scale"), box));
    row->addWidget(TXScale);
    row->addWidget(ADShift);
    row->addStretch(1);
    SendTORX405 = Button("SendTORX405", "Send", box);
    TestBegin = Button("TestBegin", "Begin", box);
    PSTP = Button("PSTP", "STOP", box);
    SaveExcel = Button("SaveExcel", "SaveExcel", box);
    for (QPushButton* b : {SendTORX405, TestBegin, PSTP, SaveExcel}) row->addWidget(b);

    connect(EvStepLen, &QComboBox::currentIndexChanged, this, &TWeightCAL::EvStepLenChange);
    connect(LoopStep, &QComboBox::currentIndexChanged, this, &TWeightCAL::EvStepLenChange);
    connect(TXScale, &QComboBox::currentIndexChanged, this, &TWeightCAL::TXScaleChange);
    // Only the user's choice writes the shift to the chip, not a restored setting.
    connect(ADShift, &QComboBox::activated, this, &TWeightCAL::ADShiftChange);
    connect(SendTORX405, &QPushButton::clicked, this, &TWeightCAL::SendTORX405Click);
    connect(TestBegin, &QPushButton::clicked, this, &TWeightCAL::TestBeginClick);
    connect(PSTP, &QPushButton::clicked, this, &TWeightCAL::PSTPClick);
    connect(SaveExcel, &QPushButton::clicked, this, &TWeightCAL::SaveExcelClick);
    return box;
}

void TWeightCAL::ShowView(const SwitchTestView& view) {
    view_ = view;
    const SwitchTestSetup& setup = view.setup;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        QSignalBlocker blocker(SwitCh[k]);
        SwitCh[k]->setChecked(setup.enabled[static_cast<size_t>(k)]);
    }
    {
        QSignalBlocker a(EvStepLen), b(LoopStep);
        EvStepLen->setCurrentIndex(setup.evStepLenIndex);
        LoopStep->setCurrentIndex(setup.loopStepIndex);
    }
    grid_->Show(setup.G(), setup.L(), view.cells);
    ShowPanels();
}

void TWeightCAL::ShowPanels() {
    const SwitchTestSetup& setup = view_.setup;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        const bool on = setup.enabled[static_cast<size_t>(k)];
        const QColor text = on ? kDesktop : panel_colour::kSilver;
        const bool actionsOn = on && !running_;
        PSwitchSet[k]->setEnabled(actionsOn);
        PSwitchSet[k]->SetLook(on && !setPressed_[k], panel_colour::kButtonFace, text);
        PSwReview[k]->setEnabled(actionsOn);
        PSwReview[k]->SetLook(on && !reviewPressed_[k], panel_colour::kButtonFace, text);
        PStep[k]->setEnabled(on);
        if (k == setup.selectedStep)
            PStep[k]->SetLook(false, panel_colour::kBlue, panel_colour::kWhite);
        else
            PStep[k]->SetLook(on, panel_colour::kButtonFace, text);
    }
}

void TWeightCAL::SetBusy(bool busy) {
    running_ = busy;
    for (QWidget* w : {static_cast<QWidget*>(SendTORX405), static_cast<QWidget*>(TestBegin),
                       static_cast<QWidget*>(SaveExcel), static_cast<QWidget*>(EvStepLen),
                       static_cast<QWidget*>(LoopStep)})
        w->setEnabled(!busy);
    for (QCheckBox* box : SwitCh) box->setEnabled(!busy);
    ShowPanels();
}

void TWeightCAL::SwitChClick(int channel) {
    const bool ticked = SwitCh[channel]->isChecked();
    bench_.Post([channel, ticked](Bench& b) { b.switchTest().SwitChClick(channel, ticked); });
}

void TWeightCAL::PSwitchSetClick(int channel) {
    setPressed_[channel] = true;
    ShowPanels();
    bench_.Call([channel](Bench& b) { return b.switchTest().PSwitchSetClick(channel); }, this,
                [this, channel](bool) {
                    setPressed_[channel] = false;
                    ShowPanels();
                    emit SetDone(channel);
                });
}

void TWeightCAL::PSwReviewClick(int channel) {
    reviewPressed_[channel] = true;
    ShowPanels();
    bench_.Call([channel](Bench& b) { return b.switchTest().PSwReviewClick(channel); }, this,
                [this, channel](bool) {
                    reviewPressed_[channel] = false;
                    ShowPanels();
                    emit ReviewDone(channel);
                });
}

void TWeightCAL::PStepClick(int channel) {
    bench_.Post([channel](Bench& b) { b.switchTest().PStepSet(channel); });
}

void TWeightCAL::EvStepLenChange() {
    const int ev = EvStepLen->currentIndex();
    const int loop = LoopStep->currentIndex();
    bench_.Post([ev, loop](Bench& b) { b.switchTest().StepLengthsChange(ev, loop); });
}

void TWeightCAL::TXScaleChange(int index) {
    // One scale for both windows: the analysis window's selector follows without acting.
    mainPanel_.SelectChildComboItem("TAnxADC", "TXScale", index);
    bench_.Post([index](Bench& b) {
        b.switchTest().TXScaleChange(index);
        b.analysis().AdoptScaleItem(index);
    });
}

void TWeightCAL::ADShiftChange(int index) {
    bench_.Post([index](Bench& b) { b.switchTest().ADShiftChange(index); });
}

void TWeightCAL::SendTORX405Click() {
    bench_.Post([](Bench& b) { b.switchTest().SendTORX405Click(); });
}

void TWeightCAL::TestBeginClick() {
    if (running_) return;
    SetBusy(true);
    bench_.Call([](Bench& b) { return b.switchTest().TestBeginClick(); }, this,
                [this](SwitchTestEnd end) {
                    SetBusy(false);
                    emit TestFinished(end);
                });
}

void TWeightCAL::PSTPClick() {
    bench_.switchTest().RequestStop();
}

void TWeightCAL::SaveExcelClick() {
    const QString folder = benchDir_;
    bench_.Call([folder](Bench& b) { return b.switchTest().SaveToExcel(folder); }, this,
                [this](bool ok) { emit Saved(ok); });
}

}  // namespace dmm::gui
