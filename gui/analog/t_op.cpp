#include "gui/analog/t_op.h"

#include "core/analog/block_texts.h"
#include "gui/analog/diagram_layout.h"

namespace dmm::gui {
namespace {

using Side = DiagramPainter::Side;
using layout::kLabelPitch;
using layout::P;

// Each op-amp: an 8-way input selector in the left column, the amplifier wired as a
// follower, and its output switch to the output node, which the pad drives otherwise.
constexpr int kLabelX = 8;
constexpr int kMuxLeft = 62;
constexpr int kMuxRight = 78;
constexpr int kAmpLeft = 206;
constexpr int kAmpWidth = 64;
constexpr int kAmpHeight = 76;
constexpr int kSwitchLeft = 300;
constexpr int kNodeX = 360;
constexpr int kOutputEnd = 462;

// The power section on the right.
constexpr QRect kPower(476, 10, 258, 320);
constexpr int kLadderX = 500;
constexpr QRect kGroundMux(540, 46, 16, 64);
constexpr QRect kGroundBuffer(572, 66, 26, 24);
constexpr QRect kRefBuffer(520, 150, 26, 24);
constexpr QRect kBiasMux(548, 198, 14, 44);
constexpr QRect kBiasBlock(584, 200, 84, 40);
constexpr double kVsY = 298;
constexpr int kPinX = 722;

// Where a follower's pieces lie for an amplifier whose label column starts at top.
struct AmpGeometry {
    double inputY;  // the selector's output and the + input
    QRectF amp;
    double minusY;
    double outY;
    double padY;
};
AmpGeometry Geometry(int top) {
    AmpGeometry g;
    g.inputY = top + 4 * kLabelPitch - 1;
    // The + glyph of the triangle sits 19 px below its top.
    g.amp = QRectF(kAmpLeft, g.inputY - 19, kAmpWidth, kAmpHeight);
    g.minusY = g.amp.bottom() - 19;
    g.outY = g.amp.center().y();
    g.padY = g.outY + 52;
    return g;
}

}  // namespace

TOP::TOP(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TOP", "OP&Power", QSize(742, 338), parent) {
    BuildAmplifier(op1_, "SOP1P", "SOP1P", layout::BinaryItems(8, 3, "S_OP1P<", ">"), "ENOP1");
    // The second selector's design-time entries carry the first one's name; the chip
    // description gives its own.
    BuildAmplifier(op2_, "SOP2P", "SOP2P", layout::BinaryItems(8, 3, "S_OP1P<", ">"), "ENOP2");
    SOP1P = op1_.combo;
    SOP2P = op2_.combo;
    ENOP1 = op1_.enableLabel;
    ENOP2 = op2_.enableLabel;
    ComOPCHP =
        AddValueCombo("ComOPCHP", layout::BinaryItems(4, 2), QRect(392, 200, 46, 20), "OPCHP");
    BuildPower();
    DataUpdate();
}

void TOP::BuildAmplifier(Amplifier& amp, const QString& stem, const QString& comboName,
                         const QStringList& items, const QString& enableName) {
    const AmpGeometry g = Geometry(amp.top);
    SelectorLayout plan;
    plan.field = amp.selector;
    plan.comboName = comboName;
    plan.comboItems = items;
    plan.comboRect = QRect(kMuxRight + 6, int(g.inputY) - 25, 104, 20);
    plan.labelNames = layout::NumberedNames(stem, 8);
    plan.labelTexts = {"SENSE", "FB", "RLU", "AGND", "PB<0>", "PB<1>", "PB<2>", "PB<3>"};
    plan.labelRects = layout::LabelColumn(kLabelX, amp.top, 8);
    amp.combo = AddSelector(plan);

    amp.enableLabel = AddSwitchLabel(
        enableName, enableName, QRect(kAmpLeft + 6, int(g.amp.top()) - 20, 52, 16), amp.enable);
    const QString n = QString::fromLatin1(amp.outputSwitch);
    amp.closed =
        AddSwitchPictures(n + "on", n + "off", QRect(kSwitchLeft, int(g.outY) - 12, 40, 24));
    amp.bypass =
        AddSwitchPictures("N" + n + "on", "N" + n + "off",
                          QRect(kNodeX - 12, int(g.outY) + 6, 24, int(g.padY - g.outY) - 8));
    for (DiagramPicture* picture : {amp.closed.on, amp.closed.off, amp.bypass.on, amp.bypass.off})
        ClickToggles(picture, amp.outputSwitch);
}

void TOP::BuildPower() {
    SelectorLayout ground;
    ground.field = "S_AGND";
    ground.comboName = "SAGND";
    ground.comboItems = layout::BinaryItems(4, 2, "S_AGND<", ">");
    ground.comboRect = QRect(kGroundBuffer.right() - 28, kGroundBuffer.bottom() + 12, 92, 20);
    SAGND = AddSelector(ground);
    LAGNDo = AddReadout("LAGNDo", "= 0.5 VDDA",
                        QRect(kGroundBuffer.right() - 28, kGroundBuffer.bottom() + 34, 100, 16),
                        Qt::AlignLeft | Qt::AlignVCenter);

    ENREFO = AddSwitchLabel("ENREFO", "EN_REFO",
                            QRect(kRefBuffer.right() + 16, kRefBuffer.center().y() - 8, 62, 16),
                            "EN_REFO");
    SBias = AddIndicator("SBias", "Internal", QRect(488, kBiasMux.y() + 4, 54, 14));
    SPB6 = AddIndicator("SPB6", "PB<6>", QRect(488, kBiasMux.bottom() - 18, 54, 14));
    LSREFO =
        AddSwitchLabel("LSREFO", "SREFO",
                       QRect(kBiasMux.center().x() - 25, kBiasMux.bottom() + 6, 50, 16), "SREFO");
    ENBIAS = AddSwitchLabel("ENBIAS", "EN_Bias",
                            QRect(kBiasBlock.center().x() - 30, kBiasBlock.bottom() + 6, 60, 16),
                            "EN_BIAS");
    ENVS = AddSwitchLabel("ENVS", "EN_VS", QRect(572, int(kVsY) - 8, 54, 16), "ENVS");
    // A design-time label without a job; the window keeps it under its name, out of sight.
    Label1 = AddReadout("Label1", "Label1", QRect(kPower.x() + 4, kPower.bottom() - 14, 40, 12));
    Label1->hide();
}

void TOP::DataUpdate() {
    for (const Amplifier* amp : {&op1_, &op2_}) {
        const int closed = ReadField(amp->outputSwitch);
        // The output switch and its opposite: OPSn on and NOPSn off, or the other way.
        ShowWhenSet(closed, amp->closed);
        ShowWhenSet(closed == 0, amp->bypass);
    }
    FaceSwitch(ENOP1, ReadField("EN_OP1"));
    FaceSwitch(ENOP2, ReadField("EN_OP2"));
    SetComboValue(ComOPCHP, ReadField("OPCHP"));
    ShowOption("S_OP1P", ReadField("S_OP1P"));
    ShowOption("S_OP2P", ReadField("S_OP2P"));
    const int ground = ReadField("S_AGND");
    ShowOption("S_AGND", ground);
    if (const auto text = AnalogGroundText(ground)) LAGNDo->setText(*text);
    FaceSwitch(ENREFO, ReadField("EN_REFO"));
    FaceSwitch(ENBIAS, ReadField("EN_BIAS"));
    const int source = ReadField("SREFO");
    FaceSwitch(LSREFO, source);
    FaceSwitch(SPB6, source != 0);
    FaceSwitch(SBias, source == 0);
    FaceSwitch(ENVS, ReadField("ENVS"));
    update();
}

// ---- the diagram

void TOP::PaintAmplifier(DiagramPainter& d, const Amplifier& amp) const {
    const AmpGeometry g = Geometry(amp.top);
    const QRectF mux = layout::MuxBesideLabels(kMuxLeft, kMuxRight, amp.top, 8);
    const bool on = StoredValue(amp.enable) != 0;
    const bool driven = on && StoredValue(amp.outputSwitch) != 0;
    OptionStubs(d, amp.selector, kMuxLeft);
    d.Mux(mux, 8, StoredValue(amp.selector));
    d.TextAt({mux.center().x(), mux.top()}, amp.selector, Side::Above, TextRole::Block);
    d.Wire({DiagramPainter::MuxOutput(mux), P(kAmpLeft, g.inputY)}, driven);
    d.Amplifier(g.amp, QString(), false);
    d.Text(QRectF(g.amp.left() + 14, g.amp.top(), 30, g.amp.height()),
           amp.enable == std::string_view("EN_OP1") ? "OP1" : "OP2", TextRole::Block);
    // The follower's feedback from the output to the - input.
    const double fbY = g.amp.bottom() + 12;
    const double outNode = g.amp.right() + 14;
    d.Wire({P(g.amp.right(), g.outY), P(kSwitchLeft, g.outY)}, driven);
    d.Wire({P(outNode, g.outY), P(outNode, fbY), P(kAmpLeft - 12.0, fbY),
            P(kAmpLeft - 12.0, g.minusY), P(kAmpLeft, g.minusY)});
    d.Dot({outNode, g.outY});
    // The output node: the amplifier through OPSn, or the pad through NOPSn.
    d.Wire({P(kSwitchLeft + 40.0, g.outY), P(kNodeX, g.outY)}, driven);
    const bool padDriven = StoredValue(amp.outputSwitch) == 0;
    d.Arrow({P(kNodeX, g.outY), P(kOutputEnd, g.outY)}, driven || padDriven);
    d.Dot({double(kNodeX), g.outY});
    d.TextAt({kNodeX + 6.0, g.outY}, amp.output, Side::AboveRight, TextRole::Block);
    d.TextAt({kNodeX + 6.0, g.outY + 2}, "to the converters", Side::BelowRight, TextRole::Note);
    d.PinCircle({double(kNodeX), g.padY});
    d.TextAt({kNodeX + 4.0, g.padY}, QString(amp.output) + " pad", Side::Right, TextRole::Note);
}

void TOP::PaintPower(DiagramPainter& d) const {
    d.Frame(QRectF(kPower), "Power");
    // Analog ground: a ladder from VDDA, S_AGND taps it, a buffer drives AGND.
    const int ground = StoredValue("S_AGND");
    const double taps[3] = {54, 70, 86};
    d.TextAt({double(kLadderX), 30.0}, "VDDA", Side::Above, TextRole::Note);
    d.Resistor(P(kLadderX, 30), P(kLadderX, taps[0]));
    d.Resistor(P(kLadderX, taps[0]), P(kLadderX, taps[1]));
    d.Resistor(P(kLadderX, taps[1]), P(kLadderX, taps[2]));
    d.Resistor(P(kLadderX, taps[2]), P(kLadderX, 116));
    d.Ground({double(kLadderX), 116.0});
    const QRectF mux(kGroundMux);
    for (int k = 0; k < 3; ++k) {
        d.Dot({double(kLadderX), taps[k]});
        d.Wire({P(kLadderX, taps[k]), DiagramPainter::MuxInput(mux, 4, k)}, ground == k);
    }
    d.TextAt(DiagramPainter::MuxInput(mux, 4, 3), "open", Side::Left, TextRole::Note);
    d.Mux(mux, 4, ground);
    d.TextAt({mux.center().x(), mux.top()}, "S_AGND", Side::Above, TextRole::Block);
    const double agndY = mux.center().y();
    d.Wire({DiagramPainter::MuxOutput(mux), P(kGroundBuffer.left(), agndY)}, ground < 3);
    d.Buffer(QRectF(kGroundBuffer), ground < 3);
    d.Arrow({P(kGroundBuffer.right() + 1, agndY), P(kPinX, agndY)}, ground < 3);
    d.TextAt({kPinX - 18.0, agndY}, "AGND", Side::Above, TextRole::Block);

    // Reference output.
    const bool refo = StoredValue("EN_REFO") != 0;
    const double refY = kRefBuffer.center().y();
    d.TextAt({double(kRefBuffer.left()) - 4, refY}, "VREF", Side::Left, TextRole::Note);
    d.Buffer(QRectF(kRefBuffer), refo);
    d.Wire({P(kRefBuffer.right() + 1, refY), P(kRefBuffer.right() + 16.0, refY)}, refo);
    d.Arrow({P(kRefBuffer.right() + 78.0, refY), P(kPinX, refY)}, refo);
    d.TextAt({kPinX - 18.0, refY}, "REFO", Side::Above, TextRole::Block);

    // Bias generator and its source.
    const bool pb6 = StoredValue("SREFO") != 0;
    const bool bias = StoredValue("EN_BIAS") != 0;
    const QRectF biasMux(kBiasMux);
    d.Wire({P(542, kBiasMux.y() + 11.0), DiagramPainter::MuxInput(biasMux, 2, 0)}, !pb6);
    d.Wire({P(542, kBiasMux.bottom() - 11.0), DiagramPainter::MuxInput(biasMux, 2, 1)}, pb6);
    d.Mux(biasMux, 2, pb6 ? 1 : 0);
    d.Wire({DiagramPainter::MuxOutput(biasMux), P(kBiasBlock.left(), biasMux.center().y())}, bias);
    d.Block(QRectF(kBiasBlock), "Bias", "generator");
    d.Arrow({P(kBiasBlock.right() + 1, kBiasBlock.center().y()), P(kPinX, kBiasBlock.center().y())},
            bias);
    d.TextAt({kPinX - 18.0, double(kBiasBlock.center().y())}, "IB", Side::Above, TextRole::Block);

    // Sensor supply.
    const bool vs = StoredValue("ENVS") != 0;
    d.TextAt({520.0, kVsY}, "VDD", Side::Left, TextRole::Note);
    d.Switch(P(524, kVsY), P(560, kVsY), vs);
    d.Wire({P(560, kVsY), P(572, kVsY)}, vs);
    d.Arrow({P(626, kVsY), P(kPinX, kVsY)}, vs);
    d.TextAt({kPinX - 18.0, kVsY}, "VS", Side::Above, TextRole::Block);
}

void TOP::PaintDiagram(DiagramPainter& d) {
    PaintAmplifier(d, op1_);
    PaintAmplifier(d, op2_);
    d.TextAt({392.0, 198.0}, "chopper OPCHP", Side::AboveRight, TextRole::Note);
    PaintPower(d);
}

}  // namespace dmm::gui
