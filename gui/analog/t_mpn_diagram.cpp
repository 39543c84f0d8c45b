// The switch network panel's diagram: banks, the mode table, the reference taps, the
// comparator and its outputs, drawn from the stored field values.
#include "gui/analog/diagram_layout.h"
#include "gui/analog/t_mpn.h"
#include "gui/analog/t_mpn_layout.h"

namespace dmm::gui {
namespace {

using namespace mpn;
using Side = DiagramPainter::Side;
using layout::P;

// The charge resistors of bank F, for the switches that close them.
const char* ChargeResistor(int k) {
    switch (k) {
        case 2:
            return "1K";
        case 3:
            return "10K";
        case 4:
            return "100K";
        case 5:
            return "1M";
        case 7:
            return "10M";
        default:
            return nullptr;
    }
}

constexpr const char* kModeTerminals[kModeSwitches] = {"AGND", "VDD",   "VSS", "VSO1",
                                                       "VSO2", "/VSO2", "CP",  "CN"};

}  // namespace

void TMPN::PaintDiagram(DiagramPainter& d) {
    PaintBanks(d);
    PaintMode(d);
    PaintReference(d);
    PaintComparator(d);
    PaintOutputs(d);
}

void TMPN::PaintBanks(DiagramPainter& d) const {
    for (size_t b = 0; b < 4; ++b) {
        const Bank& bank = kBanks[b];
        d.Frame(QRectF(bank.frame), bank.title);
        const double rail = RailY(bank);
        const double tap = TapY(bank);
        const bool chargeBank = b == 2;
        d.Wire({P(bank.frame.x() + 16, rail), P(SwitchX(bank, kBankSwitches - 1), rail)});
        for (int k = 0; k < kBankSwitches; ++k) {
            const double x = SwitchX(bank, k);
            const bool closed = StoredValue(kBankFields[b][k]) != 0;
            d.Dot({x, rail}, closed);
            const QString name = QString(QChar(bank.prefix[0])) + QString::number(k);
            if (chargeBank && ChargeResistor(k)) {
                // A charge resistor from the switch to the capacitor pin.
                const double bottom = bank.frame.bottom() - 8;
                d.Resistor(P(x, tap), P(x, bottom));
                d.TextAt({x + 4, (tap + bottom) / 2}, ChargeResistor(k), Side::Right,
                         TextRole::Note);
                d.Dot({x, bottom});
            } else {
                d.PinCircle({x, tap + 3});
                d.TextAt({x, tap + 6}, name, Side::Below, TextRole::Note);
            }
        }
        if (chargeBank) {
            const double bottom = bank.frame.bottom() - 8;
            // The capacitor pin's name sits above the wire's end, inside the frame.
            const double end = bank.frame.right() - 6.0;
            d.Wire({P(SwitchX(bank, 2), bottom), P(end, bottom)});
            d.PinCircle({end, bottom});
            d.TextAt({end - 14.0, bottom - 2.0}, "CAP", Side::Above, TextRole::Note);
        }
    }
}

void TMPN::PaintMode(DiagramPainter& d) const {
    d.Frame(QRectF(kModeFrame), "Measuring mode  SMODE");
    const ModeSwitches& closed = ModePatternSwitches(pattern_);
    d.Wire({P(kModeBusX, ModeRowY(0)), P(kModeBusX, ModeRowY(kModeSwitches - 1))});
    d.TextAt({double(kModeBusX), double(ModeRowY(0)) - 8}, "MN", Side::Above, TextRole::Note);
    for (int r = 0; r < kModeSwitches; ++r) {
        const double y = ModeRowY(r);
        const bool on = closed[static_cast<size_t>(r)];
        d.Dot({double(kModeBusX), y}, on);
        d.Wire({P(kModeBusX, y), P(kModeSwitchX, y)}, on);
        const double end = r == 4 ? kModeSwitchX + 62 : kModeSwitchX + 40;
        d.TextAt({end + 2, y}, kModeTerminals[r], Side::Right, TextRole::Note);
    }
    d.TextAt({14.0, 300.0}, "lit: bit 0 follows CPO", Side::Right, TextRole::Note);
    for (auto [r, name] : {std::pair{kSmode4, "SMODE4"}, std::pair{kSmode5, "SMODE5"}}) {
        d.TextAt({double(r.center().x()), double(r.top())}, name, Side::Above, TextRole::Note);
        d.PinCircle({r.left() - 3.0, double(r.center().y())});
        d.PinCircle({r.right() + 3.0, double(r.center().y())});
    }

    QStringList header = {"p"};
    for (const char* t : kModeTerminals) header << QString::fromLatin1(t);
    std::vector<QStringList> rows;
    for (int p = 0; p < kModePatterns; ++p) {
        QStringList row = {QString::number(p)};
        for (bool on : ModePatternSwitches(p)) row << (on ? QStringLiteral("\u25CF") : QString());
        rows.push_back(row);
    }
    d.Table(QRectF(kModeTable), header, rows, pattern_, 18);
    d.TextAt({double(kModeTable.left()), kModeTable.bottom() + 2.0},
             "p = SMODE (0-7), or SMODE<2:1> and CPO (8-15)", Side::BelowRight, TextRole::Note);
}

void TMPN::PaintReference(DiagramPainter& d) const {
    d.Frame(QRectF(kRefFrame), "Reference tap  SFUVR");
    const int value = StoredValue("SFUVR");
    const int mode = StoredValue("SMODE");
    const int chosen = ReferenceTapLabel(value, mode, ComparatorMode(mode) && comparatorHigh_);
    const bool high = chosen >= 8;
    d.TextAt({double(kRefLowX), kRefLabelTop - 4.0}, "0-7: CPO low", Side::AboveRight,
             TextRole::Note);
    d.TextAt({double(kRefHighX), kRefLabelTop - 4.0}, "8-15: CPO high", Side::AboveRight,
             TextRole::Note);
    const auto& labels = OptionLabels("SFUVR");
    for (size_t k = 0; k < labels.size(); ++k) {
        if (labels[k]->isHidden()) continue;
        const QRect r = labels[k]->geometry();
        const double y = r.center().y() + 0.5;
        const double to = k < 8 ? kRefMuxLow.left() : kRefMuxHigh.left();
        d.Wire({P(r.right() + 1, y), P(to, y)});
    }
    d.Mux(QRectF(kRefMuxLow), 8, chosen & 7);
    d.Mux(QRectF(kRefMuxHigh), 8, chosen & 7);
    const QRectF out(kRefMuxOut);
    const QPointF highIn = DiagramPainter::MuxInput(out, 2, 0);
    const QPointF lowIn = DiagramPainter::MuxInput(out, 2, 1);
    const double lowY = kRefMuxLow.center().y();
    d.Wire(
        {DiagramPainter::MuxOutput(QRectF(kRefMuxHigh)), P(760, lowY), P(760, highIn.y()), highIn},
        high);
    d.Wire({DiagramPainter::MuxOutput(QRectF(kRefMuxLow)), P(626, lowY), P(626, kRefRouteY),
            P(780, kRefRouteY), P(780, lowIn.y()), lowIn},
           !high);
    d.Mux(out, 2, high ? 0 : 1);
    d.TextAt({out.center().x(), out.bottom() + 2}, ComparatorMode(mode) ? "CPO" : "SFUVR<3>",
             Side::Below, TextRole::Note);
    const double outY = out.center().y();
    d.Arrow({DiagramPainter::MuxOutput(out), P(948, outY)}, true);
    d.TextAt({880.0, outY - 2}, "FUVR", Side::Above, TextRole::Block);
    d.TextAt({880.0, outY + 2}, "to the divider", Side::Below, TextRole::Note);
    d.TextAt({double(kRefFrame.left()) + 10, kRefFrame.bottom() - 9.0},
             "modes 8-15: SFUVR<2:0> picks the row, the comparator the column", Side::Right,
             TextRole::Note);
}

void TMPN::PaintComparator(DiagramPainter& d) const {
    d.TextAt({8.0, 446.0}, "Comparator", Side::Right, TextRole::Title);
    const bool enabled = StoredValue("EN_CMP") != 0;
    struct Column {
        const char* field;
        int labelX, muxLeft, top, count;
    };
    const auto mux = [&](const Column& c) {
        const QRectF r = layout::MuxBesideLabels(c.muxLeft, c.muxLeft + kMuxWidth, c.top, c.count);
        OptionStubs(d, c.field, c.muxLeft);
        d.Mux(r, c.count, StoredValue(c.field));
        d.TextAt({r.center().x(), r.top()}, c.field, Side::Above, TextRole::Block);
        return r;
    };
    const QRectF upper = mux({"S_CMPRH", kUpperLabelX, kUpperMuxLeft, kThresholdTop, 16});
    const QRectF lower = mux({"S_CMPRL", kLowerLabelX, kLowerMuxLeft, kThresholdTop, 16});
    const QRectF input = mux({"S_CMPI", kInputLabelX, kInputMuxLeft, kInputTop, 8});

    // The thresholds run over the selectors to the comparator's second input.
    const double upperX = upper.right() + 12;
    const double lowerX = lower.right() + 12;
    d.Wire(
        {DiagramPainter::MuxOutput(upper), P(upperX, upper.center().y()), P(upperX, kUpperBusY),
         P(kUpperDropX, kUpperBusY), P(kUpperDropX, kUpperInY), P(kComparator.left(), kUpperInY)},
        enabled);
    d.Wire(
        {DiagramPainter::MuxOutput(lower), P(lowerX, lower.center().y()), P(lowerX, kLowerBusY),
         P(kLowerDropX, kLowerBusY), P(kLowerDropX, kLowerInY), P(kComparator.left(), kLowerInY)},
        enabled);
    d.TextAt({double(kUpperDropX) - 2, kUpperBusY - 1.0}, "VH", Side::Above, TextRole::Note);
    d.TextAt({double(kLowerDropX) + 2, kLowerBusY + 1.0}, "VL", Side::BelowRight, TextRole::Note);
    d.Wire({DiagramPainter::MuxOutput(input), P(kComparator.left(), input.center().y())}, enabled);
    d.TextAt({input.right() + 6, input.center().y() + 1}, "IN", Side::BelowRight, TextRole::Note);
    d.Comparator(QRectF(kComparator));
    d.Wire({P(kComparator.right(), kCpoY), P(kCpoNodeX, kCpoY)}, enabled);
    d.TextAt({double(kComparator.left()), kComparator.top() - 2.0},
             "output high above VH, low below VL", Side::AboveRight, TextRole::Note);
}

void TMPN::PaintOutputs(DiagramPainter& d) const {
    const bool enabled = StoredValue("EN_CMP") != 0;
    const bool latched = StoredValue("SADCPO") == 1;
    const bool sdio = StoredValue("SDIO") != 0;
    const bool acc = StoredValue("ACC") != 0;
    d.Dot({double(kCpoNodeX), double(kCpoY)}, enabled);

    // The digital output to the port pins.
    d.Wire({P(kCpoNodeX, kCpoY), P(kCpoNodeX, kSdioY), P(kSdioSwitch.left(), kSdioY)}, sdio);
    d.Arrow({P(kSdioSwitch.right() + 1, kSdioY), P(820, kSdioY)}, sdio);
    d.TextAt({822.0, double(kSdioY)}, "PB pins (SDIO)", Side::Right, TextRole::Note);

    // The state the mode and reference rules use: the level, or the rise latch.
    const double directY = kDirectLabel.center().y() + 0.5;
    const double latchedY = kLatchedLabel.center().y() + 0.5;
    d.Wire({P(kCpoNodeX, kCpoY), P(kSplitX, kCpoY)}, enabled);
    d.Dot({double(kSplitX), double(kCpoY)}, enabled);
    d.Wire({P(kSplitX, kCpoY), P(kSplitX, directY), P(kDirectLabel.left(), directY)},
           enabled && !latched);
    d.Wire({P(kSplitX, kCpoY), P(kSplitX, latchedY), P(kRiseLatch.left(), latchedY)},
           enabled && latched);
    d.Block(QRectF(kRiseLatch), "rise");
    d.Wire({P(kRiseLatch.right() + 1, latchedY), P(kLatchedLabel.left(), latchedY)},
           enabled && latched);
    d.TextAt({double(kRiseLatch.center().x()), double(kRiseLatch.bottom())}, "FGRISE", Side::Below,
             TextRole::Note);
    const QRectF state(kStateMux);
    for (auto [label, k] : {std::pair{kDirectLabel, 0}, std::pair{kLatchedLabel, 1}}) {
        d.Wire({P(label.right() + 1, label.center().y() + 0.5),
                DiagramPainter::MuxInput(state, 2, k)});
    }
    d.Mux(state, 2, latched ? 1 : 0);
    d.Arrow({DiagramPainter::MuxOutput(state), P(948, state.center().y())}, enabled);
    d.TextAt({900.0, state.center().y() - 2}, "CPO state", Side::Above, TextRole::Block);
    d.TextAt({900.0, state.center().y() + 2}, "mode and tap rule", Side::Below, TextRole::Note);

    // The accumulator: in the path while ACC is not 0.
    d.Wire({P(kCpoNodeX, kCpoY), P(kCpoNodeX, kAccY), P(kAccSwitchIn.left(), kAccY)}, acc);
    d.Block(QRectF(kAccBlock), "ACC");
    d.Wire({P(kAccSwitchIn.right() + 1, kAccY), P(kAccBlock.left(), kAccY)}, acc);
    d.Wire({P(kAccBlock.right() + 1, kAccY), P(kAccSwitchOut.left(), kAccY)}, acc);
    d.Arrow({P(kAccSwitchOut.right() + 1, kAccY), P(948, kAccY)}, acc);
    d.TextAt({870.0, kAccY + 1.0}, "accumulated CPO", Side::Below, TextRole::Note);
}

}  // namespace dmm::gui
