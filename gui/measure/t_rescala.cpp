#include "gui/measure/t_rescala.h"

#include <QHideEvent>

#include "gui/analog/diagram_layout.h"
#include "gui/measure/calibration_controls.h"

namespace dmm::gui {
namespace {

using layout::P;

// The chain of resistors down the left edge, one row per resistor.
constexpr double kChainX = 44;
constexpr int kRowY[5] = {76, 146, 216, 286, 356};  // 10M, 1M, 100K, 10K, 1K
constexpr const char* kResistorNames[5] = {"10MΩ", "1MΩ", "100KΩ", "10KΩ", "1KΩ"};
constexpr int kColumnX[4] = {100, 196, 292, 388};
constexpr int kLabelW = 90;
constexpr int kLabelH = 20;
constexpr int kKeyX = 488;
constexpr int kPanelX = 566;

// Each row's labels: the reading across this resistor as the step's unknown, the result,
// the reading across it as the next step's reference, and the value the next step uses.
struct RowLabels {
    const char* unknownReading;
    const char* result;
    const char* referenceReading;
    const char* copy;
    const char* unknownCaption;
    const char* referenceCaption;
};
constexpr RowLabels kRows[5] = {
    {nullptr, nullptr, "ADC10M", nullptr, nullptr, "ADC 10M"},
    {"ADC1M0", "R1M0", "ADC1M1", "R1M1", "ADC 1M", "ADC 1M"},
    {"ADC100K0", "R100K0", "ADC100K1", "R100K1", "ADC 100K", "ADC 100K"},
    {"ADC10K0", "R10K0", "ADC10K1", "R10K1", "ADC 10K", "ADC 10K"},
    {"ADC1K", "R1K", nullptr, nullptr, "ADC 1K", nullptr},
};
constexpr const char* kStepKeys[4] = {"P10M", "P1M", "P100K", "P10K"};
constexpr const char* kRangeKeys[4] = {"PDCV1V", "PDCV10V", "PDCV100V", "PDCV1000V"};
constexpr const char* kRangeCaptions[4] = {"1V", "10V", "100V", "1000V"};

}  // namespace

TRESCALA::TRESCALA(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TRESCALA", "Resistor Calibration", QSize(774, 400), parent) {
    BuildChain();
    BuildVoltmeter();
    ResistorCalibration& cal = bench_.resistorCalibration();
    connect(&cal, &ResistorCalibration::LabelShown, this, &TRESCALA::ShowLabel);
    connect(&cal, &ResistorCalibration::StepRunning, this, &TRESCALA::ShowStep);
    connect(&cal, &ResistorCalibration::RangeShown, this,
            [this](int r) { PaintRangeKeys(ranges_, r); });
    connect(&cal, &ResistorCalibration::VoltmeterShown, this, &TRESCALA::ShowVoltmeter);
}

void TRESCALA::BuildChain() {
    for (int row = 0; row < 5; ++row) {
        const RowLabels& r = kRows[row];
        const int y = kRowY[row] - kLabelH / 2;
        auto add = [this, y](const char* name, int column) {
            if (!name) return;
            BoundLabel* label = AddDisplay(QString::fromLatin1(name), "------",
                                           QRect(kColumnX[column], y, kLabelW, kLabelH));
            label->setFont(DiagramFont(TextRole::Signal));
        };
        add(r.unknownReading, 0);
        add(r.result, 1);
        add(r.referenceReading, 2);
        add(r.copy, 3);
    }
    for (int k = 0; k < 4; ++k) {
        steps_[static_cast<size_t>(k)] =
            AddKey(this, kStepKeys[k], QStringLiteral("C%1").arg(k + 1),
                   QRect(kKeyX, kRowY[k + 1] - 12, 56, 24));
        connect(steps_[static_cast<size_t>(k)], &QPushButton::clicked, this, [this, k] {
            bench_.Post([k](Bench& b) { b.resistorCalibration().ResistorStep(k + 1); });
        });
    }
}

void TRESCALA::BuildVoltmeter() {
    PAUTO = AddKey(this, "PAUTO", "AUTO", QRect(kKeyX, 26, 56, 24));
    connect(PAUTO, &QPushButton::clicked, this,
            [this] { bench_.Post([](Bench& b) { b.resistorCalibration().PAUTOClick(); }); });

    PCALVOL = AddKey(this, "PCALVOL", "CAL. Voltage", QRect(kPanelX, 40, 100, 24));
    ECALVol = AddEntry(this, "ECALVol", ResistorCalibration::kDefaultAppliedVolts,
                       QRect(kPanelX + 106, 42, 70, 20));
    connect(PCALVOL, &QPushButton::clicked, this, [this] {
        const QString volts = ECALVol->text();
        bench_.Post([volts](Bench& b) { b.resistorCalibration().PCALVOLClick(volts); });
    });
    EPTC = AddEntry(this, "EPTC", "8000", QRect(kPanelX + 106, 74, 70, 20));

    for (int r = 0; r < 4; ++r) {
        ranges_[static_cast<size_t>(r)] =
            AddKey(this, kRangeKeys[r], kRangeCaptions[r], QRect(kPanelX + r * 50, 150, 48, 24));
        connect(ranges_[static_cast<size_t>(r)], &QPushButton::clicked, this, [this, r] {
            const QString eptc = EPTC->text();
            bench_.Post([r, eptc](Bench& b) { b.resistorCalibration().SelectRange(r, eptc); });
        });
    }
    PaintRangeKeys(ranges_, -1);
    SADCLCD = AddLiveDisplay(this, "SADCLCD", QRect(kPanelX, 196, 172, 40));
    SADCLCD->SetDotCount(4);
}

void TRESCALA::PaintDiagram(DiagramPainter& d) {
    // Column heads.
    const char* heads[4] = {"reading", "result", "as reference", "value used"};
    for (int c = 0; c < 4; ++c)
        d.Text(QRectF(kColumnX[c], 6, kLabelW, 14), heads[c], TextRole::Note);
    // The chain: input terminal, five resistors, ground.
    d.PinCircle(P(kChainX, 22));
    d.TextAt(P(kChainX + 8, 22), "VIN", DiagramPainter::Side::Right);
    d.Wire({P(kChainX, 26), P(kChainX, kRowY[0] - 24)});
    for (int row = 0; row < 5; ++row) {
        const double y = kRowY[row];
        d.Resistor(P(kChainX, y - 24), P(kChainX, y + 24));
        d.TextAt(P(kChainX - 10, y), kResistorNames[row], DiagramPainter::Side::Left,
                 TextRole::Note);
        const double next = row < 4 ? kRowY[row + 1] - 24 : y + 34;
        d.Wire({P(kChainX, y + 24), P(kChainX, next)});
        if (row < 4) d.Dot(P(kChainX, (y + 24 + next) / 2));
        // The tap to this row's labels.
        d.Wire({P(kChainX + 12, y), P(kColumnX[0] - 4, y)});
        const RowLabels& r = kRows[row];
        if (r.unknownCaption)
            d.Text(QRectF(kColumnX[0], y - 24, kLabelW, 12), r.unknownCaption, TextRole::Note);
        if (r.referenceCaption)
            d.Text(QRectF(kColumnX[2], y - 24, kLabelW, 12), r.referenceCaption, TextRole::Note);
    }
    d.Ground(P(kChainX, kRowY[4] + 34));
    // The voltmeter side.
    d.Frame(QRectF(kPanelX - 8, 20, 206, 230), "DC voltmeter");
    d.TextAt(P(kPanelX + 180, 52), "V", DiagramPainter::Side::Right);
    d.Text(QRectF(kPanelX, 74, 100, 20), "10MΩ less EPTC", TextRole::Note,
           Qt::AlignLeft | Qt::AlignVCenter);
    d.TextAt(P(kPanelX + 180, 84), "Ω", DiagramPainter::Side::Right);
    d.Text(QRectF(kPanelX, 128, 200, 18), "range", TextRole::Note, Qt::AlignLeft);
    d.TextAt(P(kPanelX + 176, 216), "V", DiagramPainter::Side::Right, TextRole::Block);
}

void TRESCALA::ShowLabel(const QString& name, const QString& text) {
    if (auto* label = findChild<QLabel*>(name)) label->setText(text);
}

void TRESCALA::ShowStep(int step) {
    // The window takes no clicks while a step runs; it always comes back when it ends.
    setEnabled(step == 0);
    for (int k = 0; k < 4; ++k) Lower(steps_[static_cast<size_t>(k)], step == k + 1);
    Lower(PAUTO, step == 5);
}

void TRESCALA::ShowVoltmeter(const VoltmeterFigure& figure) {
    SADCLCD->SetLeftZero(figure.leadingZeros);
    SADCLCD->SetDotCount(figure.decimals);
    SADCLCD->SetCaption(QString::number(figure.caption));
}

void TRESCALA::hideEvent(QHideEvent* event) {
    BlockPanel::hideEvent(event);
    if (event->spontaneous()) return;
    bench_.Post([](Bench& b) { b.resistorCalibration().StopTimer(); });
}

}  // namespace dmm::gui
