#include "gui/measure/t_dmm_resister.h"

#include <QHideEvent>

#include "core/measure/resistance_meter.h"
#include "gui/analog/diagram_layout.h"
#include "gui/measure/calibration_controls.h"

namespace dmm::gui {
namespace {

using layout::P;
using Side = DiagramPainter::Side;

constexpr int kHalf = 288;  // the display covers the left or the right half
constexpr int kCircuitH = 200;
constexpr int kKeysY = 214;

}  // namespace

TDMMResister::TDMMResister(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TDMMResister", "Resister Measure", QSize(2 * kHalf, 300), parent) {
    // Left half: the high ranges, a source current through the unknown.
    LRx0 = AddReadout("LRx0", QString::fromUtf8(ResistanceRanges()[0].rangeLabel),
                      QRect(150, 84, 100, 16));
    Panel2 = AddDisplay("Panel2", "10MΩ", QRect(40, 40, 60, 18));
    Panel3 = AddDisplay("Panel3", "F bank", QRect(40, 124, 60, 18));
    // Right half: the low ranges, the unknown against a reference resistor.
    LRx1 = AddReadout("LRx1", QString::fromUtf8(ResistanceRanges()[3].rangeLabel),
                      QRect(kHalf + 150, 124, 100, 16));
    LRF = AddReadout("LRF", QString::fromUtf8(ResistanceRanges()[3].referenceLabel),
                     QRect(kHalf + 150, 44, 100, 16));

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setAutoFillBackground(true);
    Panel1->setGeometry(kHalf, 0, kHalf, kCircuitH);
    SADCLCD = AddLiveDisplay(Panel1, "SADCLCD", QRect(24, 48, 200, 48));
    auto* unit = new QLabel(QStringLiteral("Ω"), Panel1);
    unit->setFont(DiagramFont(TextRole::Title));
    unit->setGeometry(232, 56, 30, 32);
    PDMMRES = new BoundLabel("PDMMRES", "----", BoundLabel::Shape::Display, Panel1);
    PDMMRES->setGeometry(24, 120, 200, 22);
    PDMMRES->setToolTip(
        QStringLiteral("The heartbeat's resistance reading (reference and measurement phases)"));

    const auto& table = ResistanceRanges();
    for (int i = 0; i < kResistanceRangeCount; ++i) {
        const ResistanceRange& r = table[static_cast<size_t>(i)];
        const int x = 8 + i * 94;
        ranges_[static_cast<size_t>(i)] =
            AddKey(this, r.button, r.caption, QRect(x, kKeysY, 88, 24));
        cals_[static_cast<size_t>(i)] =
            AddKey(this, r.calButton, "Cal.", QRect(x, kKeysY + 30, 88, 22));
        connect(ranges_[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { bench_.Post([i](Bench& b) { b.resistanceMeter().RangeClick(i); }); });
        connect(cals_[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] {
            const QString ohms = EBCM->text();
            bench_.Post([i, ohms](Bench& b) { b.resistanceMeter().CalibrateClick(i, ohms); });
        });
    }
    PaintRangeKeys(ranges_, -1);
    auto* caption = new QLabel(QStringLiteral("Calibration Ref."), this);
    caption->setFont(DiagramFont(TextRole::Signal));
    caption->setGeometry(8, kKeysY + 58, 100, 20);
    EBCM = AddEntry(this, "EBCM", "10000", QRect(110, kKeysY + 58, 90, 20));

    ResistanceMeter& meter = bench_.resistanceMeter();
    connect(&meter, &ResistanceMeter::RangeShown, this, &TDMMResister::ShowRange);
    connect(&meter, &ResistanceMeter::CalibrationPressed, this, &TDMMResister::ShowCalibration);
    connect(&meter, &ResistanceMeter::ResistanceShown, this, [this](qint64 ohms, bool overRange) {
        SADCLCD->SetCaption(overRange ? QStringLiteral("OL") : QString::number(ohms));
    });
    connect(&bench_.up(), &TVz_UP::ResistanceDisplay, PDMMRES, &QLabel::setText);
    ShowRange(0);
    PaintRangeKeys(ranges_, -1);
}

void TDMMResister::ShowRange(int range) {
    range_ = range;
    const ResistanceRange& r = ResistanceRanges()[static_cast<size_t>(range)];
    if (RatiometricRange(range)) {
        LRx1->setText(QString::fromUtf8(r.rangeLabel));
        LRF->setText(QString::fromUtf8(r.referenceLabel));
    } else {
        LRx0->setText(QString::fromUtf8(r.rangeLabel));
        Panel2->setVisible(r.showPanel2);
        Panel3->setVisible(r.showPanel3);
    }
    // The display covers the circuit that is not measuring.
    Panel1->move(RatiometricRange(range) ? 0 : kHalf, 0);
    PaintRangeKeys(ranges_, range);
    update();
}

void TDMMResister::ShowCalibration(int range) {
    for (int i = 0; i < kResistanceRangeCount; ++i)
        Lower(cals_[static_cast<size_t>(i)], i == range);
}

void TDMMResister::PaintDiagram(DiagramPainter& d) {
    // High ranges: current source, series resistor, the unknown to ground.
    d.Frame(QRectF(4, 4, kHalf - 8, kCircuitH - 8), "50M / 5M / 500K");
    d.Block(QRectF(110, 24, 40, 30), "I");
    d.Wire({P(130, 54), P(130, 70)});
    d.Resistor(P(130, 70), P(130, 140));
    d.TextAt(P(140, 150), "Rx", Side::Right);
    d.Wire({P(130, 140), P(130, 170)});
    d.Ground(P(130, 170));
    d.Wire({P(100, 49), P(110, 39)});
    d.Wire({P(100, 133), P(130, 133)});
    d.TextAt(P(200, 60), "ADC1", Side::Right, TextRole::Block);
    d.Arrow({P(134, 100), P(196, 100), P(196, 70)});
    // Low ranges: the unknown against the reference resistor, both from the reference.
    const double x = kHalf + 130;
    d.Frame(QRectF(kHalf + 4, 4, kHalf - 8, kCircuitH - 8), "50K / 5K / 500");
    d.PinCircle(P(x, 18));
    d.TextAt(P(x + 8, 18), "VREF", Side::Right);
    d.Resistor(P(x, 24), P(x, 90));
    d.TextAt(P(x - 10, 56), "RF", Side::Left);
    d.Dot(P(x, 100));
    d.Wire({P(x, 90), P(x, 110)});
    d.Resistor(P(x, 110), P(x, 170));
    d.TextAt(P(x - 10, 140), "Rx", Side::Left);
    d.Ground(P(x, 176));
    d.Arrow({P(x + 4, 140), P(x + 110, 140), P(x + 110, 100)});
    d.TextAt(P(x + 90, 92), "ADC1", Side::Above, TextRole::Block);
}

void TDMMResister::hideEvent(QHideEvent* event) {
    BlockPanel::hideEvent(event);
    if (event->spontaneous()) return;
    bench_.Post([](Bench& b) { b.resistanceMeter().Close(); });
}

}  // namespace dmm::gui
