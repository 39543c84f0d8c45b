#include "gui/analog/t_ads.h"

#include <tuple>

#include "core/analog/block_field_ops.h"
#include "core/analog/block_texts.h"
#include "gui/analog/diagram_layout.h"
#include "gui/analog/diagram_parts.h"

namespace dmm::gui {
namespace {

using Side = DiagramPainter::Side;

// The diagram's grid. The input pair runs along two lines from the input multiplexers to
// the modulator; the reference pair along two lines in the lower half.
constexpr int kPositiveLine = 138;
constexpr int kNegativeLine = 218;
constexpr int kRefHighLine = 310;
constexpr int kRefLowLine = 386;

using layout::kLabelHeight;
using layout::kLabelPitch;
using layout::kLabelWidth;
using layout::LabelCentre;

// Input multiplexers (left column).
constexpr int kIpTop = 26;
constexpr int kInTop = 282;
constexpr int kMuxLeft = 62;
constexpr int kMuxRight = 78;
constexpr int kInRouteX = 196;

// ADSIP: a ganged pair of 4:1 multiplexers that puts one of the reference nodes on both
// inputs.
constexpr int kPairLabelX = 206;
constexpr int kPairMuxLeft = 254;
constexpr int kPairMuxRight = 266;
constexpr int kPairTopP = 40;
constexpr int kPairTopN = 246;
constexpr int kPairJoinX = 284;

// S_FT1 input filter.
constexpr int kFilterTapX = 306;
constexpr int kFilterNodeX = 412;
constexpr int kBypassP = 106;
constexpr int kBypassN = 250;
constexpr int kCapX[3] = {430, 456, 482};
constexpr int kCapRail = 190;
constexpr int kCapCommonX = 500;

// Buffers, chopper, offset, gain, modulator.
constexpr QRect kBufferP(522, 108, 64, 44);
constexpr QRect kBufferN(522, 204, 64, 44);
constexpr QRect kChopper(602, 98, 54, 160);
constexpr QRect kSum(736, 150, 26, 56);
constexpr QRect kPga(666, 118, 58, 120);
constexpr QRect kModulator(776, 112, 106, 150);
constexpr int kPgaOutP = 166;
constexpr int kPgaOutN = 190;
constexpr int kVrPinP = 794;
constexpr int kVrPinN = 816;
constexpr int kVrRunP = 278;
constexpr int kVrRunN = 290;
constexpr QRect kDcBlock(742, 20, 140, 52);
constexpr QRect kGainBlock(604, 20, 130, 52);
constexpr QRect kDecimator(776, 298, 106, 62);
constexpr QRect kOutput(704, 372, 178, 100);

// Reference path (lower half).
constexpr int kRefTop = 330;
constexpr int kRhLabelX = 212;
constexpr int kRhMuxLeft = 266;
constexpr int kRhMuxRight = 282;
constexpr int kRlLabelX = 398;
constexpr int kRlMuxLeft = 452;
constexpr int kRlMuxRight = 468;
constexpr int kRhRouteX = 392;
constexpr QRect kRefBufferP(572, 280, 60, 44);
constexpr QRect kRefBufferN(572, 372, 60, 44);
constexpr QRect kRefGain(642, 296, 56, 104);
constexpr int kRefTapP = 652;
constexpr int kRefTapN = 676;

}  // namespace

TADS::TADS(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TADS", "ADS", QSize(890, 476), parent) {
    BuildInputSelectors();
    BuildFilter();
    BuildBuffers();
    BuildConverter();
    BuildReference();
    BuildOutput();
    connect(&bench_.up(), &TVz_UP::Adc1Display, this, &TADS::ShowAdc1);
    connect(&bench_.up(), &TVz_UP::ChannelIndicators, this,
            [this](bool ad1Cho01, bool, bool) { ShowChopper(ad1Cho01); });
    DataUpdate();
}

void TADS::BuildInputSelectors() {
    SelectorLayout ip;
    ip.field = "S_AD1IP";
    ip.comboName = "SAD1IP";
    ip.comboItems = layout::BinaryItems(16, 4, "SAD1FP<", ">");
    ip.comboRect = QRect(84, kPositiveLine - 25, 106, 20);
    ip.visibleRows = 16;
    ip.labelNames = layout::NumberedNames("SAD1IP", 16);
    ip.labelTexts = {"SENSE", "FB",    "RLU",   "OP1O",  "OP2P",  "VDD",   "REFO",  "VREF",
                     "PB<0>", "PB<1>", "PB<2>", "PB<3>", "PB<4>", "PB<5>", "PB<6>", "PB<7>"};
    ip.labelRects = layout::LabelColumn(8, kIpTop, 16);
    SAD1IP = AddSelector(ip);

    SelectorLayout in;
    in.field = "S_AD1IN";
    in.comboName = "SAD1IN";
    in.comboItems = layout::BinaryItems(8, 3, "SAD1FN<", ">");
    in.comboRect = QRect(84, kInTop + 4 * kLabelPitch - 26, 106, 20);
    in.labelNames = layout::NumberedNames("SAD1IN", 8);
    in.labelTexts = {"SENSE", "RLU", "VSS", "AGND", "PB<2>", "PB<3>", "PB<4>", "PB<5>"};
    in.labelRects = layout::LabelColumn(8, kInTop, 8);
    SAD1IN = AddSelector(in);

    SelectorLayout pair;
    pair.field = "ADSIP";
    pair.comboName = "SADSIP";
    pair.comboItems = layout::BinaryItems(4, 2, "SAD1IP<", ">");
    pair.comboRect = QRect(kPairLabelX - 2, 168, 92, 20);
    pair.labelNames = layout::NumberedNames("ADSIP", 4);
    pair.labelTexts = {"FB", "REFO", "VREF", "PB<6>"};
    for (int k = 0; k < 4; ++k)
        pair.labelRects.emplace_back(kPairLabelX, kPairTopP + k * kLabelPitch, 44, kLabelHeight);
    pair.secondNames = layout::NumberedNames("ADSIN", 4);
    pair.secondTexts = pair.labelTexts;
    for (int k = 0; k < 4; ++k)
        pair.secondRects.emplace_back(kPairLabelX, kPairTopN + k * kLabelPitch, 44, kLabelHeight);
    SADSIP = AddSelector(pair);
}

void TADS::BuildFilter() {
    auto switchPair = [this](const QString& on, const QString& off, const QRect& r, int option,
                             DiagramPicture*& onPicture, DiagramPicture*& offPicture) {
        onPicture = AddPicture(on, r, [](DiagramPainter& d, const QRectF& box) {
            parts::SwitchPicture(d, box, true);
        });
        offPicture = AddPicture(off, r, [](DiagramPainter& d, const QRectF& box) {
            parts::SwitchPicture(d, box, false);
        });
        ClickChooses(onPicture, "S_FT1", option);
        ClickChooses(offPicture, "S_FT1", option);
    };
    // The capacitor switches choose the filter corner (options 0, 1, 2).
    const char* names[3] = {"SFT100", "SFT101", "SFT110"};
    for (int k = 0; k < 3; ++k) {
        const QRect r(kCapX[k] - 10, kPositiveLine + 4, 20, 26);
        switchPair(QString(names[k]) + "on", QString(names[k]) + "off", r, k,
                   filterOn_[static_cast<size_t>(k)], filterOff_[static_cast<size_t>(k)]);
    }
    // The bypass (option 3) closes one switch in each line ...
    switchPair("SFT111on0", "SFT111off0", QRect(336, kBypassP - 12, 40, 24), 3, bypassOn_[0],
               bypassOff_[0]);
    switchPair("SFT111on1", "SFT111off1", QRect(336, kBypassN - 12, 40, 24), 3, bypassOn_[1],
               bypassOff_[1]);
    // ... and opens the resistors and the capacitor bank.
    switchPair("NSFT111on0", "NSFT111off0", QRect(312, kPositiveLine - 12, 36, 24), 3,
               notBypassOn_[0], notBypassOff_[0]);
    switchPair("NSFT111on1", "NSFT111off1", QRect(312, kNegativeLine - 12, 36, 24), 3,
               notBypassOn_[1], notBypassOff_[1]);
    switchPair("NSFT111on2", "NSFT111off2",
               QRect(kCapCommonX - 10, kCapRail, 20, kNegativeLine - kCapRail), 3, notBypassOn_[2],
               notBypassOff_[2]);
    ShowFilterPictures(0);
}

void TADS::BuildBuffers() {
    auto bufferPair = [this](const QString& on, const QString& off, const QRect& r, bool above,
                             const char* field, DiagramPicture*& onPicture,
                             DiagramPicture*& offPicture) {
        // The picture named "on" shows the bypass switch on: the buffer is out of the path.
        onPicture = AddPicture(on, r, [above](DiagramPainter& d, const QRectF& box) {
            parts::BufferWithBypass(d, box, above, false);
        });
        offPicture = AddPicture(off, r, [above](DiagramPainter& d, const QRectF& box) {
            parts::BufferWithBypass(d, box, above, true);
        });
        ClickToggles(onPicture, field);
        ClickToggles(offPicture, field);
    };
    bufferPair("ADSIPBon", "ADSIPBoff", kBufferP, true, "VIPBUF", ADSIPBon, ADSIPBoff);
    bufferPair("ADSINBon", "ADSINBoff", kBufferN, false, "VINBUF", ADSINBon, ADSINBoff);
    bufferPair("VRPBUFon", "VRPBUFoff", kRefBufferP, true, "VRPBUF", VRPBUFon, VRPBUFoff);
    bufferPair("VRNBUFon", "VRNBUFoff", kRefBufferN, false, "VRNBUF", VRNBUFon, VRNBUFoff);
    PVIPEN = AddSwitchPanel("PVIPEN", "SAD1IPB",
                            QRect(kBufferP.x() + 2, kBufferP.bottom() + 5, 60, 18), "VIPBUF");
    PVINEN = AddSwitchPanel("PVINEN", "SAD1INB",
                            QRect(kBufferN.x() + 2, kBufferN.top() - 24, 60, 18), "VINBUF");
    PVRPEN = AddSwitchPanel("PVRPEN", "AD1RHBUF",
                            QRect(kRefBufferP.x() - 2, kRefBufferP.bottom() + 5, 68, 18), "VRPBUF");
    PVRNEN = AddSwitchPanel("PVRNEN", "AD1RLBUF",
                            QRect(kRefBufferN.x() - 2, kRefBufferN.top() - 23, 68, 18), "VRNBUF");
}

void TADS::BuildConverter() {
    std::tie(AD1CHO00, AD1CHO01) = AddChopperIndicators("AD1CHO00", "AD1CHO01", kChopper);
    TXCHOP = AddValueCombo("TXCHOP", {"00", "01", "1X"},
                           QRect(kChopper.x() + 5, kChopper.center().y() - 10, 44, 20), "AD1CHO");

    TXDCSET = AddValueCombo("TXDCSET", layout::BinaryItems(8, 3),
                            QRect(kDcBlock.x() + 6, kDcBlock.y() + 28, 52, 20), "DCOS");
    LDCSET = AddReadout("LDCSET", "+0 * VR", QRect(kDcBlock.x() + 60, kDcBlock.y() + 30, 62, 16));
    TXAD1GN = AddValueCombo("TXAD1GN", layout::BinaryItems(4, 2),
                            QRect(kGainBlock.x() + 6, kGainBlock.y() + 28, 46, 20), "AD1GN");
    TXAD1VRGN =
        AddReadout("TXAD1VRGN", "Gain = ", QRect(kGainBlock.x() + 52, kGainBlock.y() + 30, 76, 16));

    PENADC1 =
        AddSwitchPanel("PENADC1", "ENADC1",
                       QRect(kModulator.right() - 66, kModulator.bottom() - 28, 60, 18), "ENAD_S");
    LAD1CLK = AddReadout("LAD1CLK", "CRY_OSC / 30",
                         QRect(kModulator.x() + 12, kModulator.y() - 21, 82, 14));

    TXAD1OSR = AddValueCombo("TXAD1OSR", layout::BinaryItems(8, 3),
                             QRect(kDecimator.x() + 6, kDecimator.y() + 21, 52, 20), "AD1OSR");
    LAD1OSR =
        AddReadout("LAD1OSR", "ADCK1 / 256",
                   QRect(kDecimator.x() + 2, kDecimator.y() + 43, kDecimator.width() - 4, 16));
}

void TADS::BuildReference() {
    SelectorLayout rh;
    rh.field = "S_AD1RH";
    rh.comboName = "SAD1RH";
    rh.comboItems = layout::BinaryItems(8, 3, "SAD1RP<", ">");
    rh.comboRect = QRect(kRhMuxRight + 5, kRefLowLine - 25, 100, 20);
    rh.labelNames = layout::NumberedNames("SAD1RH", 8);
    rh.labelTexts = {"FB", "REFO", "VREF", "PB<6>", "RLU", "VDD", "AGND", "-"};
    rh.labelRects = layout::LabelColumn(kRhLabelX, kRefTop, 8);
    SAD1RH = AddSelector(rh);

    SelectorLayout rl;
    rl.field = "S_AD1RL";
    rl.comboName = "SAD1RL";
    rl.comboItems = layout::BinaryItems(8, 3, "SAD1RN<", ">");
    rl.comboRect = QRect(kRlMuxRight + 5, kRefLowLine - 25, 96, 20);
    rl.labelNames = layout::NumberedNames("SAD1RL", 8);
    rl.labelTexts = {"FB", "REFO", "VREF", "PB<6>", "PB<6>", "PB<6>", "PB<6>", "PB<6>"};
    rl.labelRects = layout::LabelColumn(kRlLabelX, kRefTop, 8);
    SAD1RL = AddSelector(rl);

    PAD1VRGN = AddSwitchPanel("PAD1VRGN", "SAD1RG",
                              QRect(kRefGain.x(), kRefGain.bottom() + 7, 60, 18), "VRGNAD1");
    TXVRGain = AddReadout("TXVRGain",
                          "VRGain = ", QRect(kRefGain.x() - 26, kRefGain.bottom() + 29, 100, 16));
}

void TADS::BuildOutput() {
    SADCLCD = new TLcdArray(this);
    SADCLCD->setObjectName("SADCLCD");
    SADCLCD->setGeometry(kOutput.x() + 8, kOutput.y() + 14, 164, 34);
    SADCLCD->SetDigit(8);
    SADCLCD->SetDotCount(0);
    SADCLCD->SetLeftZero(true);
    SADCLCD->SetSegWidth(3);
    SADCLCD->SetMargin(1);
    SADCLCD->SetOnColor(Qt::blue);
    SADCLCD->SetOffColor(ButtonFaceColour());
    SADCLCD->SetBackColor(ButtonFaceColour());
    SADCLCD->SetCaption("0");

    Label2 = AddReadout("Label2", "ADS outp bits", QRect(kOutput.x() + 8, kOutput.y() + 54, 80, 18),
                        Qt::AlignLeft | Qt::AlignVCenter);
    QStringList bits;
    for (int b = 8; b <= 24; ++b) bits << QString::number(b);
    TXADCObit = AddCombo("TXADCObit", bits, QRect(kOutput.x() + 92, kOutput.y() + 53, 50, 20), 17);
    connect(TXADCObit, &QComboBox::activated, this, &TADS::TXADCObitChange);

    BSAMPLEADC = new QPushButton("Read ADC", this);
    BSAMPLEADC->setToolTip(kLiveReadingTip);
    BSAMPLEADC->setObjectName("BSAMPLEADC");
    BSAMPLEADC->setFont(DiagramFont(TextRole::Signal));
    BSAMPLEADC->setGeometry(kOutput.x() + 8, kOutput.y() + 76, 164, 22);
    connect(BSAMPLEADC, &QPushButton::clicked, this, &TADS::BSAMPLEADCClick);
}

// ---- refresh

void TADS::ShowFilterPictures(int option) {
    for (size_t k = 0; k < 3; ++k) {
        filterOn_[k]->setVisible(static_cast<int>(k) == option);
        filterOff_[k]->setVisible(static_cast<int>(k) != option);
    }
    const bool bypass = option == 3;
    for (size_t k = 0; k < 2; ++k) {
        bypassOn_[k]->setVisible(bypass);
        bypassOff_[k]->setVisible(!bypass);
    }
    for (size_t k = 0; k < 3; ++k) {
        notBypassOn_[k]->setVisible(!bypass);
        notBypassOff_[k]->setVisible(bypass);
    }
}

void TADS::DataUpdate() {
    const int vipbuf = ReadField("VIPBUF");
    PanelSwitch(PVIPEN, vipbuf);
    ShowPicturePair(vipbuf, ADSIPBon, ADSIPBoff);
    const int vinbuf = ReadField("VINBUF");
    PanelSwitch(PVINEN, vinbuf);
    ShowPicturePair(vinbuf, ADSINBon, ADSINBoff);
    const int vrpbuf = ReadField("VRPBUF");
    PanelSwitch(PVRPEN, vrpbuf);
    ShowPicturePair(vrpbuf, VRPBUFon, VRPBUFoff);
    const int vrnbuf = ReadField("VRNBUF");
    PanelSwitch(PVRNEN, vrnbuf);
    ShowPicturePair(vrnbuf, VRNBUFon, VRNBUFoff);

    SetComboValue(TXCHOP, ReadField("AD1CHO"));
    const int dcos = ReadField("DCOS");
    SetComboValue(TXDCSET, dcos);
    if (const auto text = DcOffsetText(dcos)) LDCSET->setText(*text);
    const int gain = ReadField("AD1GN");
    SetComboValue(TXAD1GN, gain);
    TXAD1VRGN->setText(GainText("Gain = ", Gains("AD1GN"), gain));
    const int refGain = ReadField("VRGNAD1");
    PanelSwitch(PAD1VRGN, refGain);
    TXVRGain->setText(GainText("VRGain = ", Gains("VRGNAD1"), refGain));
    PanelSwitch(PENADC1, ReadField("ENAD_S"));
    // The slow converter's clock is the system clock source, which ENI_XI selects (as on
    // the clock panel); FCLK_SEL only divides the fast converter's clock.
    LAD1CLK->setText(SlowAdcClockText(ReadField("ENI_XI")));
    const int osr = ReadField("AD1OSR");
    SetComboValue(TXAD1OSR, osr);
    LAD1OSR->setText(Adc1OversamplingText(osr));

    for (const char* selector : {"S_AD1IP", "S_AD1IN", "S_AD1RH", "S_AD1RL"})
        ShowOption(selector, ReadField(selector));
    ShowFilterPictures(ReadField("S_FT1"));
    ShowOption("ADSIP", ReadField("ADSIP"));
    update();
}

// ---- output, reading and chopper

void TADS::SetOutputBitsIndex(int index) {
    if (index < 0 || index >= TXADCObit->count()) return;
    TXADCObit->setCurrentIndex(index);
    TXADCObitChange(index);
}

void TADS::TXADCObitChange(int index) {
    const int64_t divisor = OutputBitsDivisor(8 + index);
    bench_.Post([divisor](Bench& b) { b.up().Adc1Divisor = divisor; });
}

void TADS::BSAMPLEADCClick() {
    bench_.Call([](Bench& b) { return b.up().ToggleAdc1Display(); }, this,
                [this](bool reading) { BSAMPLEADC->setText(reading ? "Reading" : "Stop"); });
}

void TADS::ShowAdc1(qint64 value) {
    SADCLCD->SetCaption(QString::number(value));
}

void TADS::ShowChopper(bool ad1Cho01) {
    AD1CHO01->setVisible(ad1Cho01);
    AD1CHO00->setVisible(!ad1Cho01);
}

// ---- the diagram

void TADS::PaintDiagram(DiagramPainter& d) {
    const double p = kPositiveLine;
    const double n = kNegativeLine;

    // Input multiplexers.
    const QRectF ipMux = layout::MuxBesideLabels(kMuxLeft, kMuxRight, kIpTop, 16);
    const QRectF inMux = layout::MuxBesideLabels(kMuxLeft, kMuxRight, kInTop, 8);
    OptionStubs(d, "S_AD1IP", kMuxLeft);
    OptionStubs(d, "S_AD1IN", kMuxLeft);
    d.Mux(ipMux, 16, StoredValue("S_AD1IP"));
    d.Mux(inMux, 8, StoredValue("S_AD1IN"));
    d.TextAt({ipMux.center().x(), ipMux.top()}, "S_AD1IP", Side::Above, TextRole::Block);
    d.TextAt({inMux.center().x(), inMux.top()}, "S_AD1IN", Side::Above, TextRole::Block);
    d.Wire({DiagramPainter::MuxOutput(ipMux), {double(kFilterTapX), p}});
    d.Wire({DiagramPainter::MuxOutput(inMux),
            {double(kInRouteX), inMux.center().y()},
            {double(kInRouteX), n},
            {double(kFilterTapX), n}});
    d.TextAt({kMuxRight + 16.0, p}, "VIP", Side::Below, TextRole::Note);
    d.TextAt({kMuxRight + 14.0, inMux.center().y()}, "VIN", Side::Below, TextRole::Note);

    // ADSIP: the ganged pair.
    const QRectF pairP(kPairMuxLeft, kPairTopP - 1, kPairMuxRight - kPairMuxLeft, 4 * kLabelPitch);
    const QRectF pairN(kPairMuxLeft, kPairTopN - 1, kPairMuxRight - kPairMuxLeft, 4 * kLabelPitch);
    OptionStubs(d, "ADSIP", kPairMuxLeft);
    OptionStubs(d, "ADSIP", kPairMuxLeft, true);
    const int pair = StoredValue("ADSIP");
    d.Mux(pairP, 4, pair);
    d.Mux(pairN, 4, pair);
    d.TextAt({pairP.center().x(), pairP.top()}, "ADSIP", Side::Above, TextRole::Block);
    d.Wire({DiagramPainter::MuxOutput(pairP),
            {double(kPairJoinX), pairP.center().y()},
            {double(kPairJoinX), p}});
    d.Wire({DiagramPainter::MuxOutput(pairN),
            {double(kPairJoinX), pairN.center().y()},
            {double(kPairJoinX), n}});
    d.Dot({double(kPairJoinX), p});
    d.Dot({double(kPairJoinX), n});
    {
        // The mechanical link of the two halves, drawn through the selector between them.
        QPainter& painter = d.painter();
        painter.save();
        painter.setPen(QPen(d.style().frame, 1.0, Qt::DashLine));
        const double x = pairP.center().x();
        painter.drawLine(QPointF(x, pairP.bottom() - 6), QPointF(x, pairN.top() + 6));
        painter.restore();
    }

    // S_FT1: a differential RC filter with three corner capacitors and a bypass.
    d.Frame(QRectF(kFilterTapX - 8, 82, kCapCommonX - kFilterTapX + 24, 188), "S_FT1");
    for (double line : {p, n}) {
        const double bypass = line == p ? kBypassP : kBypassN;
        d.Dot({double(kFilterTapX), line});
        d.Wire({{double(kFilterTapX), line}, {312.0, line}});
        d.Wire({{348.0, line}, {352.0, line}});
        d.Resistor({352.0, line}, {392.0, line});
        d.Wire({{392.0, line}, {double(kBufferP.left()), line}});
        d.Wire({{double(kFilterTapX), line}, {double(kFilterTapX), bypass}, {336.0, bypass}});
        d.Wire({{376.0, bypass}, {double(kFilterNodeX), bypass}, {double(kFilterNodeX), line}});
        d.Dot({double(kFilterNodeX), line});
    }
    d.TextAt({376.0, kBypassP - 6.0}, "11", Side::Right, TextRole::Note);
    d.TextAt({376.0, kBypassN + 6.0}, "11", Side::Right, TextRole::Note);
    d.TextAt({372.0, p + 5.0}, "R", Side::Below, TextRole::Note);
    d.TextAt({372.0, n - 5.0}, "R", Side::Above, TextRole::Note);
    const char* codes[3] = {"00", "01", "10"};
    for (int k = 0; k < 3; ++k) {
        const double x = kCapX[k];
        d.Dot({x, p});
        d.Wire({{x, p}, {x, p + 4.0}});
        d.Capacitor({x, p + 30.0}, {x, double(kCapRail)});
        d.TextAt({x, p}, codes[k], Side::Above, TextRole::Note);
    }
    d.Wire({{double(kCapX[0]), double(kCapRail)}, {double(kCapCommonX), double(kCapRail)}});
    d.Dot({double(kCapCommonX), n});

    // Buffers to the chopper, offset, gain and modulator.
    for (double line : {p, n}) {
        d.Wire({{double(kBufferP.right()) + 1, line}, {double(kChopper.left()), line}});
        d.Wire({{double(kChopper.right()) + 1, line}, {double(kPga.left()), line}});
    }
    d.TextAt({double(kChopper.center().x()), double(kChopper.top())}, "AD1CHO", Side::Above,
             TextRole::Block);
    d.Block(QRectF(kSum), QString());
    d.Text(QRectF(kSum), "\u03A3", TextRole::Title);
    d.Block(QRectF(kDcBlock), QString());
    d.Text(QRectF(kDcBlock.x() + 6, kDcBlock.y() + 4, kDcBlock.width() - 12, 18), "DC offset  DCOS",
           TextRole::Block, Qt::AlignLeft | Qt::AlignVCenter);
    d.Arrow({{double(kSum.center().x()), double(kDcBlock.bottom()) + 1},
             {double(kSum.center().x()), double(kSum.top())}});
    d.Block(QRectF(kGainBlock), QString());
    d.Text(QRectF(kGainBlock.x() + 6, kGainBlock.y() + 4, kGainBlock.width() - 12, 18),
           "PGA gain  AD1GN", TextRole::Block, Qt::AlignLeft | Qt::AlignVCenter);
    const double gainX = kPga.left() + 30;
    const double pgaEdge =
        kPga.top() + (gainX - kPga.left()) * (kPga.height() * 0.36) / kPga.width();
    d.Arrow({{gainX, double(kGainBlock.bottom()) + 1}, {gainX, pgaEdge}});
    d.Amplifier(QRectF(kPga), "PGA", true);
    d.Wire({{double(kPga.right()), double(kPgaOutP)}, {double(kSum.left()), double(kPgaOutP)}});
    d.Wire({{double(kSum.right()) + 1, double(kPgaOutP)},
            {double(kModulator.left()), double(kPgaOutP)}});
    d.Wire({{double(kPga.right()), double(kPgaOutN)}, {double(kSum.left()), double(kPgaOutN)}});
    d.Wire({{double(kSum.right()) + 1, double(kPgaOutN)},
            {double(kModulator.left()), double(kPgaOutN)}});

    d.Block(QRectF(kModulator), QString());
    d.Text(QRectF(kModulator.x(), kModulator.y() + 20, kModulator.width(), 20),
           "\u03A3\u0394 modulator", TextRole::Block);
    d.TextAt({double(kModulator.left()), double(kPgaOutP)}, "IN+", Side::Right, TextRole::Note);
    d.TextAt({double(kModulator.left()), double(kPgaOutN)}, "IN\u2212", Side::Right,
             TextRole::Note);
    d.TextAt({double(kVrPinP), double(kModulator.bottom())}, "VR+", Side::Above, TextRole::Note);
    d.TextAt({double(kVrPinN) + 6, double(kModulator.bottom())}, "VR\u2212", Side::Above,
             TextRole::Note);
    // The modulator clock: ADCK1 and its source.
    const double clockX = kModulator.center().x();
    d.Wire({{clockX, kModulator.top() - 7.0}, {clockX, double(kModulator.top())}});
    d.ClockPin({clockX, double(kModulator.top())}, Facing::Down);
    d.TextAt({clockX, kModulator.top() - 21.0}, "ADCK1", Side::Above, TextRole::Note);

    // Modulator to decimator to the result.
    const double outX = kModulator.right() - 20;
    d.Arrow({{outX, double(kModulator.bottom()) + 1}, {outX, double(kDecimator.top())}});
    d.Block(QRectF(kDecimator), QString());
    d.Text(QRectF(kDecimator.x(), kDecimator.y() + 3, kDecimator.width(), 18), "Decimator",
           TextRole::Block);
    d.TextAt({kDecimator.x() + 58.0, kDecimator.y() + 31.0}, "AD1OSR", Side::Right, TextRole::Note);
    d.Arrow({{outX, double(kDecimator.bottom()) + 1}, {outX, double(kOutput.top())}});
    d.Frame(QRectF(kOutput), "ADC1 result");

    // Reference multiplexers, buffers and gain.
    const QRectF rhMux = layout::MuxBesideLabels(kRhMuxLeft, kRhMuxRight, kRefTop, 8);
    const QRectF rlMux = layout::MuxBesideLabels(kRlMuxLeft, kRlMuxRight, kRefTop, 8);
    OptionStubs(d, "S_AD1RH", kRhMuxLeft);
    OptionStubs(d, "S_AD1RL", kRlMuxLeft);
    d.Mux(rhMux, 8, StoredValue("S_AD1RH"));
    d.Mux(rlMux, 8, StoredValue("S_AD1RL"));
    d.TextAt({rhMux.center().x(), rhMux.top()}, "S_AD1RH", Side::Above, TextRole::Block);
    d.TextAt({rlMux.center().x(), rlMux.top()}, "S_AD1RL", Side::Above, TextRole::Block);
    const double refP = kRefHighLine;
    const double refN = kRefLowLine;
    d.Wire({DiagramPainter::MuxOutput(rhMux),
            {double(kRhRouteX), rhMux.center().y()},
            {double(kRhRouteX), refP},
            {double(kRefBufferP.left()), refP}});
    d.Wire({DiagramPainter::MuxOutput(rlMux), {double(kRefBufferN.left()), refN}});
    d.TextAt({double(kRhRouteX) + 4, refP}, "VRP", Side::Above, TextRole::Note);
    d.TextAt({double(kRlMuxRight) + 6, refN}, "VRN", Side::BelowRight, TextRole::Note);
    d.Wire({{double(kRefBufferP.right()) + 1, refP}, {double(kRefGain.left()), refP}});
    d.Wire({{double(kRefBufferN.right()) + 1, refN}, {double(kRefGain.left()), refN}});
    d.Block(QRectF(kRefGain), "VR", "gain");
    d.Wire({{double(kRefTapP), double(kRefGain.top())},
            {double(kRefTapP), double(kVrRunP)},
            {double(kVrPinP), double(kVrRunP)},
            {double(kVrPinP), double(kModulator.bottom())}});
    d.Wire({{double(kRefTapN), double(kRefGain.top())},
            {double(kRefTapN), double(kVrRunN)},
            {double(kVrPinN), double(kVrRunN)},
            {double(kVrPinN), double(kModulator.bottom())}});

    // Key to the colours.
    d.Wire({{10.0, 452.0}, {30.0, 452.0}}, true);
    d.TextAt({30.0, 452.0}, "path the fields select", Side::Right, TextRole::Note);
    d.Switch({12.0, 466.0}, {28.0, 466.0}, false);
    d.TextAt({30.0, 466.0}, "click a switch or a label to change it", Side::Right, TextRole::Note);
}

}  // namespace dmm::gui
