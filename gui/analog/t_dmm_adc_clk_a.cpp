#include "gui/analog/t_dmm_adc_clk_a.h"

#include "core/analog/block_texts.h"
#include "gui/analog/diagram_layout.h"

namespace dmm::gui {
namespace {

using Side = DiagramPainter::Side;
using layout::P;

// The two clock sources run along two lines into the system clock multiplexer; the
// system clock feeds a bus that the three dividers hang on.
constexpr double kOscY = 96;
constexpr double kXinY = 196;
constexpr QRect kOscillator(92, 66, 110, 60);
constexpr double kSwitchFrom = 210;
constexpr double kSwitchTo = 246;
constexpr int kSourceLabelX = 252;
constexpr QRect kClockMux(322, 46, 22, 200);
constexpr double kSysY = 146;
constexpr double kBusX = 470;
constexpr QRect kSlowDivider(500, 61, 56, 30);
constexpr QRect kHalfDivider(500, 151, 56, 30);
constexpr QRect kQuarterDivider(500, 211, 56, 30);
constexpr QRect kFastMux(600, 136, 22, 120);
constexpr double kFastY = 196;

}  // namespace

TDMMADCCLKA::TDMMADCCLKA(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TDMMADCCLKA", "ADC_CLK", QSize(697, 313), parent) {
    LENOSC = AddSwitchLabel("LENOSC", "EN_OSC", QRect(200, 106, 56, 16), "EN_OSC");
    LCRYOSC = AddIndicator("LCRYOSC", "CRY_OSC", QRect(kSourceLabelX, int(kOscY) - 7, 64, 14));
    LXIN = AddIndicator("LXIN", "XIN", QRect(kSourceLabelX, int(kXinY) - 7, 64, 14));
    LENIXI = AddIndicator("LENIXI", "ENI_XI", QRect(kClockMux.center().x() - 25, 22, 50, 14));
    ENIXI = AddSwitchPanel("ENIXI", "ENI_XI",
                           QRect(kClockMux.center().x() - 30, kClockMux.bottom() + 8, 60, 18),
                           "ENI_XI");
    LCLKSYS = AddReadout("LCLKSYS", "clk_sys = CRY_OSC",
                         QRect(kClockMux.right() + 6, int(kSysY) - 17, 118, 14),
                         Qt::AlignLeft | Qt::AlignVCenter);
    LSADCCLK =
        AddReadout("LSADCCLK", "CRY_OSC / 30",
                   QRect(kSlowDivider.right() + 12, int(kSlowDivider.center().y()) + 4, 110, 14),
                   Qt::AlignLeft | Qt::AlignVCenter);
    LFCLKSEL0 = AddIndicator("LFCLKSEL0", "0",
                             QRect(kFastMux.x() - 26, kHalfDivider.center().y() - 7, 20, 14));
    LFCLKSEL1 = AddIndicator("LFCLKSEL1", "1",
                             QRect(kFastMux.x() - 26, kQuarterDivider.center().y() - 7, 20, 14));
    FCLKSEL = AddSwitchPanel("FCLKSEL", "FCLK_SEL",
                             QRect(kFastMux.center().x() - 34, kFastMux.bottom() + 8, 68, 18),
                             "FCLK_SEL");
    LFADCCLK =
        AddReadout("LFADCCLK", "CRY_OSC / 2", QRect(kFastMux.right() + 4, int(kFastY) + 4, 72, 14),
                   Qt::AlignLeft | Qt::AlignVCenter);
    LSLEEP = AddIndicator("LSLEEP", "SLEEP", QRect(kOscillator.x() + 20, 138, 70, 20));
    LSLEEP->setFont(DiagramFont(TextRole::Block));
    DataUpdate();
}

void TDMMADCCLKA::DataUpdate() {
    const int o = ReadField("EN_OSC");
    const int x = ReadField("ENI_XI");
    const int f = ReadField("FCLK_SEL");
    LabelSwitch(LENOSC, o);
    PanelSwitch(ENIXI, x);
    LabelSwitch(LENIXI, x);
    LabelSwitch(LXIN, x != 0);
    LabelSwitch(LCRYOSC, x == 0);
    LCLKSYS->setText(SystemClockText(x));
    LSADCCLK->setText(SlowAdcClockText(x));
    LabelSwitch(LSLEEP, ClockAsleep(o, x));
    PanelSwitch(FCLKSEL, f);
    LabelSwitch(LFCLKSEL1, f != 0);
    LabelSwitch(LFCLKSEL0, f == 0);
    LFADCCLK->setText(FastAdcClockText(x, f));
    update();
}

void TDMMADCCLKA::PaintDiagram(DiagramPainter& d) {
    const bool oscillator = StoredValue("EN_OSC") != 0;
    const bool external = StoredValue("ENI_XI") != 0;
    const bool fast4 = StoredValue("FCLK_SEL") != 0;
    const bool clocked = oscillator || external;
    d.TextAt({8.0, 12.0}, "Clock tree", Side::Right, TextRole::Title);

    // The crystal and its oscillator, with the enable switch.
    const double crystalX = 52;
    d.Wire(
        {P(crystalX, kOscillator.top() + 14.0), P(kOscillator.left(), kOscillator.top() + 14.0)});
    d.Wire({P(crystalX, kOscillator.bottom() - 14.0),
            P(kOscillator.left(), kOscillator.bottom() - 14.0)});
    d.Crystal(P(crystalX, kOscillator.top() + 14.0), P(crystalX, kOscillator.bottom() - 14.0));
    d.TextAt({crystalX, double(kOscillator.top())}, "4.9152 MHz", Side::Above, TextRole::Note);
    d.Block(QRectF(kOscillator), "CRY_OSC", "crystal oscillator");
    d.Wire({P(kOscillator.right() + 1, kOscY), P(kSwitchFrom, kOscY)}, oscillator);
    d.Switch(P(kSwitchFrom, kOscY), P(kSwitchTo, kOscY), oscillator);
    d.Wire({P(kSwitchTo, kOscY), P(kSourceLabelX, kOscY)}, oscillator && !external);
    d.TextAt({kOscillator.center().x() + 0.0, 159.0}, "no clock: the chip sleeps", Side::Below,
             TextRole::Note);

    // The external clock pin.
    d.PinCircle({24, kXinY});
    d.TextAt({24, kXinY - 4}, "XIN pin", Side::AboveRight, TextRole::Note);
    d.Wire({P(27, kXinY), P(kSourceLabelX, kXinY)}, external);

    // The system clock multiplexer (ENI_XI chooses) and the system clock bus.
    d.Wire({P(kSourceLabelX + 64, kOscY), P(kClockMux.left(), kOscY)}, oscillator && !external);
    d.Wire({P(kSourceLabelX + 64, kXinY), P(kClockMux.left(), kXinY)}, external);
    d.Mux(QRectF(kClockMux), 2, clocked ? (external ? 1 : 0) : -1);
    {
        QPainter& painter = d.painter();
        painter.save();
        painter.setPen(QPen(d.style().frame, 1.0, Qt::DashLine));
        painter.drawLine(QPointF(kClockMux.center().x(), 37),
                         QPointF(kClockMux.center().x(), kClockMux.top()));
        painter.restore();
    }
    d.Wire({P(kClockMux.right() + 1, kSysY), P(kBusX, kSysY)}, clocked);
    d.Wire({P(kBusX, kSlowDivider.center().y()), P(kBusX, kQuarterDivider.center().y())}, clocked);
    d.Dot({kBusX, kSysY}, clocked);

    // The dividers: /30 for the slow converter, /2 and /4 for the fast one.
    const auto divider = [&](const QRect& r, const QString& ratio, bool active) {
        d.Wire({P(kBusX, r.center().y()), P(r.left(), r.center().y())}, active);
        d.Dot({kBusX, double(r.center().y())}, clocked);
        d.Block(QRectF(r), ratio);
    };
    divider(kSlowDivider, QStringLiteral("\u00F7 30"), clocked);
    divider(kHalfDivider, QStringLiteral("\u00F7 2"), clocked && !fast4);
    divider(kQuarterDivider, QStringLiteral("\u00F7 4"), clocked && fast4);
    const double slowY = kSlowDivider.center().y();
    d.Arrow({P(kSlowDivider.right() + 1, slowY), P(688, slowY)}, clocked);
    d.TextAt({kSlowDivider.right() + 12.0, slowY - 2}, "ADCK1 (ADC1)", Side::AboveRight,
             TextRole::Note);

    d.Wire({P(kHalfDivider.right() + 1, kHalfDivider.center().y()),
            P(kFastMux.left() - 26, kHalfDivider.center().y())},
           clocked && !fast4);
    d.Wire({P(kQuarterDivider.right() + 1, kQuarterDivider.center().y()),
            P(kFastMux.left() - 26, kQuarterDivider.center().y())},
           clocked && fast4);
    d.Wire({P(kFastMux.left() - 6, kHalfDivider.center().y()),
            P(kFastMux.left(), kHalfDivider.center().y())});
    d.Wire({P(kFastMux.left() - 6, kQuarterDivider.center().y()),
            P(kFastMux.left(), kQuarterDivider.center().y())});
    d.Mux(QRectF(kFastMux), 2, clocked ? (fast4 ? 1 : 0) : -1);
    d.Arrow({P(kFastMux.right() + 1, kFastY), P(688, kFastY)}, clocked);
    d.TextAt({kFastMux.right() + 4.0, kFastY - 2}, "ADCK2 (ADC2)", Side::AboveRight,
             TextRole::Note);

    // Key to the colours.
    d.Wire({{10.0, 286.0}, {30.0, 286.0}}, true);
    d.TextAt({30.0, 286.0}, "the clock that runs", Side::Right, TextRole::Note);
    d.Switch({12.0, 300.0}, {28.0, 300.0}, false);
    d.TextAt({30.0, 300.0}, "click EN_OSC, ENI_XI or FCLK_SEL to change them", Side::Right,
             TextRole::Note);
}

}  // namespace dmm::gui
