#include "gui/analog/t_adf.h"

#include <QMessageBox>

#include <tuple>

#include "core/analog/block_field_ops.h"
#include "core/analog/block_texts.h"
#include "gui/analog/diagram_layout.h"
#include "gui/analog/diagram_parts.h"

namespace dmm::gui {
namespace {

using Side = DiagramPainter::Side;
using layout::kLabelPitch;
using layout::kLabelWidth;

// ADC2 (upper half): input pair, reference pair, chopper, gain, modulator, decimator.
constexpr int kIpTop = 42;   // S_AD2IP labels; the positive line runs at their centre
constexpr int kInTop = 122;  // S_AD2IN
constexpr int kRhTop = 202;  // S_AD2RH
constexpr int kRlTop = 270;  // S_AD2RL
constexpr int kLabelX = 8;
constexpr int kMuxLeft = 62;
constexpr int kMuxRight = 78;
constexpr QRect kChopper2(206, 29, 52, 160);
constexpr QRect kPga2(280, 49, 58, 120);
constexpr QRect kModulator2(362, 45, 98, 136);
constexpr QRect kRefGain2(206, 218, 52, 92);
constexpr int kVrRunP = 236;
constexpr int kVrRunN = 252;
constexpr int kVrPinP = 380;
constexpr int kVrPinN = 404;
constexpr QRect kDecimator2(480, 61, 106, 84);
constexpr int kBusX = 600;
constexpr int kResultY = 101;
constexpr QRect kLowPass(616, 150, 130, 94);
constexpr int kLowPassY = 196;
constexpr QRect kRms(616, 258, 130, 50);
constexpr int kRmsY = 281;
constexpr int kResultsX = 758;
constexpr int kPeakY = 372;
constexpr int kCaptureY = 500;
constexpr QRect kPanel1(652, 348, 286, 122);
constexpr QRect kPanel2(652, 482, 286, 150);

// ADP (lower half).
constexpr int kSectionY = 332;
constexpr int kAdpIpTop = 372;
constexpr int kAdpInTop = 452;
constexpr QRect kChopper3(206, 359, 52, 160);
constexpr QRect kPga3(280, 379, 58, 120);
constexpr QRect kConverter3(362, 375, 98, 136);
constexpr QRect kRefGain3(362, 540, 58, 40);
constexpr QRect kOptions3(480, 356, 106, 58);
constexpr QRect kDcPath3(480, 430, 106, 94);

double Centre(int top) {
    return top + 27.0;
}  // output of a 4-input mux beside labels at top

QPointF P(double x, double y) {
    return {x, y};
}

}  // namespace

TADF::TADF(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TADF", "ADF&ADP", QSize(944, 639), parent) {
    BuildAdc2();
    BuildAdp();
    BuildReadings();
    BuildPeakHold();
    BuildCapture();
    BuildCovers();
    connect(&bench_.up(), &TVz_UP::Adc2Display, this,
            [this](const QString& text) { LADF->setText(text); });
    connect(&bench_.up(), &TVz_UP::LowPassDisplay, this,
            [this](qint64 value) { ADFLPF->SetCaption(QString::number(value)); });
    connect(&bench_.up(), &TVz_UP::RmsDisplay, this,
            [this](const QString& text) { LRMS->setText(text); });
    connect(&bench_.up(), &TVz_UP::ChannelIndicators, this,
            [this](bool, bool ad2Cho01, bool adpCho01) { ShowChoppers(ad2Cho01, adpCho01); });
    // Until a settings file says otherwise the panel shows the family's default chip.
    SetProductVariant(0);
    DataUpdate();
}

TADF::SelectorLayout TADF::FourWaySelector(const char* field, const QString& combo,
                                           const QStringList& items, const QString& stem,
                                           const QStringList& texts, int top) const {
    SelectorLayout plan;
    plan.field = field;
    plan.comboName = combo;
    plan.comboItems = items;
    plan.comboRect = QRect(kMuxRight + 6, int(Centre(top)) - 25, 104, 20);
    plan.labelNames = layout::NumberedNames(stem, 4);
    plan.labelTexts = texts;
    plan.labelRects = layout::LabelColumn(kLabelX, top, 4);
    return plan;
}

void TADF::BuildAdc2() {
    auto selector = [this](const char* field, const QString& combo, const QStringList& items,
                           const QString& stem, const QStringList& texts, int top) {
        return AddSelector(FourWaySelector(field, combo, items, stem, texts, top));
    };
    SAD2IP = selector("S_AD2IP", "SAD2IP", layout::BinaryItems(4, 2, "SAD2IP<", ">"), "SAD2IP",
                      {"OP1O", "OP2O", "PB<4>", "PB<7>"}, kIpTop);
    SAD2IN = selector("S_AD2IN", "SAD2IN", layout::BinaryItems(4, 2, "SAD2IN<", ">"), "SAD2IN",
                      {"RLU", "AGND", "PB<3>", "PB<5>"}, kInTop);
    SAD2RH = selector("S_AD2RH", "SAD2RH", layout::BinaryItems(4, 2, "SAD2RH<", ">"), "SAD2RH",
                      {"FB", "REFO", "VREF", "PB<6>"}, kRhTop);
    SAD2RL = selector("S_AD2RL", "SAD2RL", {"SAD2RN<00>", "SAD2RN<01>", "SAD2RN<10>", "ADFRN<11>"},
                      "SAD2RL", {"RLU", "AGND", "PB<3>", "PB<5>"}, kRlTop);

    std::tie(AD2CHO00, AD2CHO01) = AddChopperIndicators("AD2CHO00", "AD2CHO01", kChopper2);
    PENCHOAD2 =
        AddSwitchPanel("PENCHOAD2", "ENCHPAD2",
                       QRect(kChopper2.x() - 6, kChopper2.center().y() - 9, 64, 18), "AD2CHO");

    TXAD2GN = AddValueCombo("TXAD2GN", layout::BinaryItems(4, 2),
                            QRect(kPga2.x(), kPga2.bottom() + 6, 46, 20), "AD2GN");
    TXAD2VRGN =
        AddReadout("TXAD2VRGN", "Gain = ", QRect(kPga2.x() - 6, kPga2.bottom() + 28, 92, 16),
                   Qt::AlignLeft | Qt::AlignVCenter);

    PENADC2 =
        AddSwitchPanel("PENADC2", "ENADC2",
                       QRect(kModulator2.right() - 66, kModulator2.y() + 88, 60, 18), "ENAD_F");
    LAD2CLK = AddReadout("LAD2CLK", "CRY_OSC / 2",
                         QRect(kModulator2.x() + 8, kModulator2.y() - 23, 82, 14));

    PAD2VRGN = AddSwitchPanel("PAD2VRGN", "AD2RG",
                              QRect(kRefGain2.right() + 10, kVrRunN + 10, 58, 18), "VRGNAD2");
    TXVRGain =
        AddReadout("TXVRGain", "VRGain = ", QRect(kRefGain2.right() + 8, kVrRunN + 31, 100, 16),
                   Qt::AlignLeft | Qt::AlignVCenter);

    TXAD2OSR = AddValueCombo("TXAD2OSR", layout::BinaryItems(8, 3),
                             QRect(kDecimator2.x() + 6, kDecimator2.y() + 24, 52, 20), "AD2OSR");
    LAD2OSR =
        AddReadout("LAD2OSR", "ADCK2 / 32",
                   QRect(kDecimator2.x() + 2, kDecimator2.y() + 50, kDecimator2.width() - 4, 16));

    // Low-pass filter and RMS.
    StaticText1 =
        AddReadout("StaticText1", "LPFBW<2:0>", QRect(kLowPass.x() + 4, kLowPass.y() + 24, 70, 16),
                   Qt::AlignLeft | Qt::AlignVCenter);
    BindCaption("SELAVG", StaticText1);
    TXAVGSEL = AddValueCombo("TXAVGSEL", layout::BinaryItems(8, 3),
                             QRect(kLowPass.x() + 76, kLowPass.y() + 22, 50, 20), "SELAVG");
    PENAVG = AddSwitchPanel("PENAVG", "ENLPF", QRect(kLowPass.x() + 6, kLowPass.y() + 48, 60, 18),
                            "EN_AVG");
    LSELAVG = AddReadout("LSELAVG", "OSR2 / 64",
                         QRect(kLowPass.x() + 2, kLowPass.y() + 72, kLowPass.width() - 4, 16));
    PENRMS =
        AddSwitchPanel("PENRMS", "EN-RMS", QRect(kRms.x() + 6, kRms.y() + 26, 60, 18), "EN_RMS");
    LTCOV = AddReadout("LTCOV", "Square", QRect(kRms.x() + 2, kRms.y() + 3, kRms.width() - 4, 18));
    LTCOV->setFont(DiagramFont(TextRole::Block));
    LTCOV->Paint(DefaultDiagramStyle().blockFill, DefaultDiagramStyle().ink);
}

void TADF::BuildAdp() {
    auto selector = [this](const char* field, const QString& combo, const QStringList& items,
                           const QString& stem, const QStringList& texts, int top) {
        const SelectorLayout plan = FourWaySelector(field, combo, items, stem, texts, top);
        QComboBox* box = AddSelector(plan);
        adpControls_.push_back(box);
        for (const QString& name : plan.labelNames)
            adpControls_.push_back(findChild<QWidget*>(name));
        return box;
    };
    SADPIP = selector("SADPIP", "SADPIP", layout::BinaryItems(4, 2, "ADPIP<", ">"), "LSADPIP",
                      {"OP1O", "OP2O", "PB<4>", "PB<7>"}, kAdpIpTop);
    SADPIN = selector("SADPIN", "SADPIN", layout::BinaryItems(4, 2, "ADPIN<", ">"), "LSADPIN",
                      {"RLU", "AGND", "PB<3>", "PB<5>"}, kAdpInTop);

    std::tie(ADPCHO00, ADPCHO01) = AddChopperIndicators("ADPCHO00", "ADPCHO01", kChopper3);
    PENCHOADP =
        AddSwitchPanel("PENCHOADP", "ENCHPAD3",
                       QRect(kChopper3.x() - 6, kChopper3.center().y() - 9, 64, 18), "ADPCHO");
    ComADPGN = AddValueCombo("ComADPGN", layout::BinaryItems(4, 2),
                             QRect(kPga3.x(), kPga3.bottom() + 6, 46, 20), "ADPGN");
    TXADPGN = AddReadout("TXADPGN", "Gain = ", QRect(kPga3.x() - 6, kPga3.bottom() + 28, 92, 16),
                         Qt::AlignLeft | Qt::AlignVCenter);
    PENADP = AddSwitchPanel("PENADP", "ENADC3",
                            QRect(kConverter3.right() - 66, kConverter3.y() + 88, 60, 18), "ENADP");
    PADPRG = AddSwitchPanel("PADPRG", "AD3RG",
                            QRect(kRefGain3.right() + 8, kRefGain3.y() + 2, 58, 18), "ADPRG");
    TXADPRG = AddReadout("TXADPRG",
                         "VRGain = ", QRect(kRefGain3.right() + 6, kRefGain3.y() + 22, 100, 16),
                         Qt::AlignLeft | Qt::AlignVCenter);
    PMULFP = AddSwitchPanel("PMULFP", "SVXI", QRect(kOptions3.x() + 4, kOptions3.y() + 30, 48, 18),
                            "MULFP");
    PDISFP = AddSwitchPanel("PDISFP", "SDO23",
                            QRect(kOptions3.x() + 54, kOptions3.y() + 30, 48, 18), "DISFP");
    PENDCP = AddSwitchPanel("PENDCP", "ENDCP", QRect(kDcPath3.x() + 4, kDcPath3.y() + 24, 48, 18),
                            "ENDCP");
    PDCPOS = AddSwitchPanel("PDCPOS", "DCPOS", QRect(kDcPath3.x() + 54, kDcPath3.y() + 24, 48, 18),
                            "DCPOS");
    LDCPO = new BoundLabel("LDCPO", "DCPO", BoundLabel::Shape::Cell, this);
    LDCPO->setGeometry(kDcPath3.x() + 4, kDcPath3.y() + 54, 48, 16);
    LSLPO = new BoundLabel("LSLPO", "SLPO", BoundLabel::Shape::Cell, this);
    LSLPO->setGeometry(kDcPath3.x() + 54, kDcPath3.y() + 54, 48, 16);
    // These share the handler of the S_AD2RL labels; being no option labels they only refresh.
    connect(LDCPO, &BoundLabel::clicked, this, [this] { OptionLabelClick("S_AD2RL", LDCPO); });
    connect(LSLPO, &BoundLabel::clicked, this, [this] { OptionLabelClick("S_AD2RL", LSLPO); });
    Label3 = AddReadout("Label3", "ADP", QRect(8, kSectionY + 6, 40, 16),
                        Qt::AlignLeft | Qt::AlignVCenter);
    Label3->setFont(DiagramFont(TextRole::Title));
    for (QWidget* w :
         std::initializer_list<QWidget*>{ADPCHO00, PENCHOADP, ComADPGN, TXADPGN, PENADP, PADPRG,
                                         TXADPRG, PENDCP, PDCPOS, LDCPO, LSLPO, Label3}) {
        adpControls_.push_back(w);
    }
}

void TADF::BuildReadings() {
    Label1 = AddReadout("Label1", "ADF-ADP outp bits", QRect(kResultsX, 20, 104, 18),
                        Qt::AlignLeft | Qt::AlignVCenter);
    QStringList bits;
    for (int b = 8; b <= 24; ++b) bits << QString::number(b);
    TXADPFbit = AddCombo("TXADPFbit", bits, QRect(kResultsX + 112, 19, 54, 20), 17);
    connect(TXADPFbit, &QComboBox::activated, this, &TADF::TXADPFbitChange);
    BSAMPLEADC = new QPushButton("Read ADC", this);
    BSAMPLEADC->setToolTip(kLiveReadingTip);
    BSAMPLEADC->setObjectName("BSAMPLEADC");
    BSAMPLEADC->setFont(DiagramFont(TextRole::Signal));
    BSAMPLEADC->setGeometry(kResultsX, 44, 178, 22);
    connect(BSAMPLEADC, &QPushButton::clicked, this, &TADF::BSAMPLEADCClick);

    LADF = AddDisplay("LADF", "LADF", QRect(kResultsX, kResultY - 11, 178, 22));
    ADFLPF = new TLcdArray(this);
    ADFLPF->setObjectName("ADFLPF");
    ADFLPF->setGeometry(kResultsX, kLowPassY - 17, 178, 34);
    ADFLPF->SetDigit(8);
    ADFLPF->SetDotCount(0);
    ADFLPF->SetLeftZero(true);
    ADFLPF->SetSegWidth(3);
    ADFLPF->SetMargin(1);
    ADFLPF->SetOnColor(Qt::blue);
    ADFLPF->SetOffColor(ButtonFaceColour());
    ADFLPF->SetBackColor(ButtonFaceColour());
    ADFLPF->SetCaption("0");
    LRMS = AddDisplay("LRMS", "RMS", QRect(kResultsX, kRmsY - 11, 178, 22));
}

void TADF::BuildPeakHold() {
    Panel1 = new DiagramGroup("Panel1", "Peak hold", kPanel1, this);
    auto place = [this](QWidget* w, const QRect& r) {
        w->setParent(Panel1);
        w->setGeometry(r);
        w->show();
    };
    place(AddReadout("Label4", "Peak Hold Mode", {}, Qt::AlignLeft | Qt::AlignVCenter),
          QRect(8, 26, 96, 18));
    TXPHSEL = AddValueCombo("TXPHSEL", {"AD2", "AD1", "LPF"}, {}, "SELPKH");
    place(TXPHSEL, QRect(106, 25, 58, 20));
    PENPK = AddSwitchPanel("PENPK", "EN-PeakHold", {}, "ENPKH");
    place(PENPK, QRect(170, 25, 108, 20));
    place(AddReadout("Label5", "PKH-MAX", {}, Qt::AlignLeft | Qt::AlignVCenter),
          QRect(8, 58, 60, 18));
    PPMAX = AddDisplay("PPMAX", "", {});
    place(PPMAX, QRect(70, 56, 120, 22));
    place(AddReadout("Label6", "PKH-MIN", {}, Qt::AlignLeft | Qt::AlignVCenter),
          QRect(8, 88, 60, 18));
    PPMIN = AddDisplay("PPMIN", "", {});
    place(PPMIN, QRect(70, 86, 120, 22));
    PKRead = new QPushButton("Read", Panel1);
    PKRead->setObjectName("PKRead");
    PKRead->setFont(DiagramFont(TextRole::Signal));
    PKRead->setGeometry(200, 66, 78, 30);
    connect(PKRead, &QPushButton::clicked, this, &TADF::PKReadClick);
    BindControl("ENPKH", PKRead);
}

void TADF::BuildCapture() {
    Panel2 = new DiagramGroup("Panel2", "Input capture", kPanel2, this);
    BoundLabel* range = AddReadout("Label2", "Input Range from +32767  to -32768", {},
                                   Qt::AlignLeft | Qt::AlignVCenter);
    range->setParent(Panel2);
    range->setGeometry(8, 24, 270, 16);
    thresholds_ = {{{"CPTH", "CPTL"}, {"CPBH", "CPBL"}, {"CPHH", "CPHL"}, {"CPLH", "CPLL"}}};
    const char* suffixes[4] = {"T", "B", "H", "L"};
    for (int k = 0; k < 4; ++k) {
        Threshold& threshold = thresholds_[static_cast<size_t>(k)];
        threshold.edit = new QLineEdit("10000", Panel2);
        threshold.edit->setObjectName(QStringLiteral("ECP") + suffixes[k]);
        threshold.edit->setFont(DiagramFont(TextRole::Signal));
        threshold.edit->setGeometry(8, 46 + 25 * k, 100, 22);
        threshold.edit->setAlignment(Qt::AlignRight);
        threshold.button = new QPushButton(QStringLiteral("Inupt CP") + suffixes[k], Panel2);
        threshold.button->setObjectName(QStringLiteral("INPCP") + suffixes[k]);
        threshold.button->setFont(DiagramFont(TextRole::Signal));
        threshold.button->setGeometry(114, 46 + 25 * k, 96, 22);
        connect(threshold.button, &QPushButton::clicked, this,
                [this, k] { InputThresholdClick(thresholds_[k]); });
        BindControl(threshold.low, threshold.edit);
        BindControl(threshold.low, threshold.button);
        BindControl(threshold.high, threshold.button);
    }
}

BoundLabel* TADF::AddCover(const QString& name, const QRect& r, const QColor& colour) {
    BoundLabel* cover = AddReadout(name, QString(), r);
    cover->Paint(colour, colour);
    return cover;
}

void TADF::BuildCovers() {
    const DiagramStyle& style = DefaultDiagramStyle();
    // The capture comparators and their connection to the ADC2 results; the peak-hold
    // group stays above it.
    PADFV2COV = AddCover("PADFV2COV",
                         QRect(kBusX - 8, kPeakY + 6, width() - kBusX + 8, height() - kPeakY - 6),
                         style.paper);
    Panel1->raise();
    // The SVXI and SDO23 switches: their box, its link to the converter, and the keys.
    PADFV1COV = AddCover("PADFV1COV", kOptions3.adjusted(-2, -10, 2, 2), style.paper);
    PADFV1COV1 = AddCover(
        "PADFV1COV1", QRect(kConverter3.right() + 3, kOptions3.bottom() - 16, 16, 16), style.paper);
    PADFV1COV2 =
        AddCover("PADFV1COV2", QRect(kOptions3.x() + 4, kOptions3.y() + 30, 48, 18), style.paper);
    PADFV1COV3 =
        AddCover("PADFV1COV3", QRect(kOptions3.x() + 54, kOptions3.y() + 30, 48, 18), style.paper);
}

// ---- variants and layout

void TADF::SetProductVariant(int variant) {
    variant_ = variant >= 1 && variant <= 3 ? variant : 0;
    struct Shown {
        bool v2Cover, panel2, ltcov, v1Covers, mulDis;
    };
    static constexpr Shown kVariants[4] = {
        {true, false, true, true, false},   // any other code
        {true, false, false, false, true},  // 1
        {false, true, true, true, false},   // 2
        {false, true, false, false, true},  // 3
    };
    const Shown& shown = kVariants[variant_];
    PADFV2COV->setVisible(shown.v2Cover);
    Panel2->setVisible(shown.panel2);
    LTCOV->setVisible(shown.ltcov);
    const bool adp = secondConverter_;
    for (QWidget* cover : {PADFV1COV, PADFV1COV1, PADFV1COV2, PADFV1COV3})
        cover->setVisible(shown.v1Covers && adp);
    PMULFP->setVisible(shown.mulDis && adp);
    PDISFP->setVisible(shown.mulDis && adp);
    update();
}

void TADF::SetSecondConverterShown(bool shown) {
    secondConverter_ = shown;
    for (QWidget* w : adpControls_) {
        if (w) w->setVisible(shown);
    }
    // The chopper pictures keep their animation state; both go with the section.
    if (!shown) ADPCHO01->hide();
    SetProductVariant(variant_);
    DataUpdate();
}

void TADF::ChipFieldsChanged() {
    SetSecondConverterShown(fields().adcCount == 2);
}

// ---- refresh

void TADF::DataUpdate() {
    const int osr = ReadField("AD2OSR");
    SetComboValue(TXAD2OSR, osr);
    LAD2OSR->setText(Adc2OversamplingText(osr));
    const int refGain = ReadField("VRGNAD2");
    PanelSwitch(PAD2VRGN, refGain);
    TXVRGain->setText(GainText("VRGain = ", Gains("VRGNAD2"), refGain));
    const int gain = ReadField("AD2GN");
    SetComboValue(TXAD2GN, gain);
    TXAD2VRGN->setText(GainText("Gain = ", Gains("AD2GN"), gain));
    PanelSwitch(PENCHOAD2, ReadField("AD2CHO"));
    PanelSwitch(PENRMS, ReadField("EN_RMS"));
    PanelSwitch(PENAVG, ReadField("EN_AVG"));
    PanelSwitch(PENADC2, ReadField("ENAD_F"));
    PanelSwitch(PENPK, ReadField("ENPKH"));
    SetComboValue(TXPHSEL, ReadField("SELPKH"));
    LAD2CLK->setText(FastAdcClockText(ReadField("ENI_XI"), ReadField("FCLK_SEL")));
    const int length = ReadField("SELAVG");
    SetComboValue(TXAVGSEL, length);
    LSELAVG->setText(LowPassLengthText(length));
    for (const char* selector : {"S_AD2IP", "S_AD2IN", "S_AD2RL", "S_AD2RH", "SADPIP", "SADPIN"}) {
        ShowOption(selector, ReadField(selector));
    }
    PanelSwitch(PENCHOADP, ReadField("ADPCHO"));
    const int adpRefGain = ReadField("ADPRG");
    PanelSwitch(PADPRG, adpRefGain);
    TXADPRG->setText(GainText("VRGain = ", Gains("ADPRG"), adpRefGain));
    const int adpGain = ReadField("ADPGN");
    SetComboValue(ComADPGN, adpGain);
    TXADPGN->setText(GainText("Gain = ", Gains("ADPGN"), adpGain));
    PanelSwitch(PENADP, ReadField("ENADP"));
    PanelSwitch(PMULFP, ReadField("MULFP"));
    PanelSwitch(PDISFP, ReadField("DISFP"));
    PanelSwitch(PENDCP, ReadField("ENDCP"));
    const int dcpos = ReadField("DCPOS");
    PanelSwitch(PDCPOS, dcpos);
    LSLPO->PaintChosen(dcpos == 1, WindowColour());
    LDCPO->PaintChosen(dcpos != 1, WindowColour());
    for (const Threshold& threshold : thresholds_) {
        // An entry the user is typing in keeps what is typed.
        if (threshold.edit->hasFocus()) continue;
        const TRegField& high = FieldRecord(threshold.high);
        const TRegField& low = FieldRecord(threshold.low);
        threshold.edit->setText(QString::number(
            ThresholdFromBytes(ImageByte(low.registerIndex), ImageByte(high.registerIndex))));
    }
    update();
}

// ---- readings, peak hold, thresholds

void TADF::SetOutputBitsIndex(int index) {
    if (index < 0 || index >= TXADPFbit->count()) return;
    TXADPFbit->setCurrentIndex(index);
    TXADPFbitChange(index);
}

void TADF::SetPeakHoldModeIndex(int index) {
    if (index >= 0 && index < TXPHSEL->count()) TXPHSEL->setCurrentIndex(index);
}

void TADF::TXADPFbitChange(int index) {
    const int64_t divisor = OutputBitsDivisor(8 + index);
    bench_.Post([divisor](Bench& b) { b.up().Adc2Divisor = divisor; });
}

void TADF::BSAMPLEADCClick() {
    bench_.Call([](Bench& b) { return b.up().ToggleAdc2Display(); }, this,
                [this](bool reading) { BSAMPLEADC->setText(reading ? "Reading" : "Stop"); });
}

void TADF::PKReadClick() {
    const TRegField source = FieldRecord("SELPKH");
    bench_.Call(
        [source](Bench& b) {
            // The chip holds ADC1's peaks with one bit more than those of ADC2 and the
            // low-pass filter; the peak-hold source field says which it holds.
            constexpr int kModeRegister = 0x29;
            const int mode = source.IsDefined()
                                 ? source.Extract(b.chip().GetRegImage(source.registerIndex))
                                 : (b.chip().GetRegImage(kModeRegister) & 0x03);
            return ReadPeakHold(b.chip(), mode == 1, b.up().Adc2Divisor);
        },
        this,
        [this](std::optional<PeakHold> peaks) {
            if (!peaks) return;
            PPMIN->setText(QString::number(peaks->minimum));
            PPMAX->setText(QString::number(peaks->maximum));
        });
}

void TADF::InputThresholdClick(Threshold& threshold) {
    const std::optional<int> value = ParseThreshold(threshold.edit->text());
    if (!value) {
        // Text that is no whole number is out of range as well: nothing is sent.
        ShowError("Over Range !!!");
        return;
    }
    const TRegField low = FieldRecord(threshold.low);
    const TRegField high = FieldRecord(threshold.high);
    bench_.Call(
        [low, high, v = *value](Bench& b) { return WriteThreshold(b.chip(), low, high, v); }, this,
        [this](ThresholdWrite result) {
            if (result == ThresholdWrite::ReadBackDiffers ||
                result == ThresholdWrite::WriteFailed) {
                ShowError("Read Fail !!!");
            }
        });
}

void TADF::ShowError(const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Critical, windowTitle(), text, QMessageBox::Cancel, this);
    box->setObjectName("MessageBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TADF::ShowChoppers(bool ad2Cho01, bool adpCho01) {
    AD2CHO01->setVisible(ad2Cho01);
    AD2CHO00->setVisible(!ad2Cho01);
    if (!secondConverter_) return;
    ADPCHO01->setVisible(adpCho01);
    ADPCHO00->setVisible(!adpCho01);
}

// ---- the diagram

void TADF::PaintDiagram(DiagramPainter& d) {
    const double p2 = Centre(kIpTop);
    const double n2 = Centre(kInTop);
    const double rp2 = Centre(kRhTop);
    const double rn2 = Centre(kRlTop);
    d.TextAt({8.0, 12.0}, "ADC2", Side::Right, TextRole::Title);

    struct MuxRow {
        const char* field;
        const char* title;
        int top;
    };
    const auto drawMux = [&](const MuxRow& row) {
        const QRectF mux = layout::MuxBesideLabels(kMuxLeft, kMuxRight, row.top, 4);
        OptionStubs(d, row.field, kMuxLeft);
        d.Mux(mux, 4, StoredValue(row.field));
        d.TextAt({mux.center().x(), mux.top()}, row.title, Side::Above, TextRole::Block);
        return mux;
    };
    drawMux({"S_AD2IP", "S_AD2IP", kIpTop});
    drawMux({"S_AD2IN", "S_AD2IN", kInTop});
    drawMux({"S_AD2RH", "S_AD2RH", kRhTop});
    drawMux({"S_AD2RL", "S_AD2RL", kRlTop});

    // Input pair through the chopper and the gain stage into the modulator.
    const double chopIn = kChopper2.left();
    for (double line : {p2, n2}) {
        d.Wire({P(kMuxRight, line), P(chopIn, line)});
        d.Wire({P(kChopper2.right() + 1, line), P(kPga2.left(), line)});
    }
    d.TextAt({double(kChopper2.center().x()), double(kChopper2.top())}, "AD2CHO", Side::Above,
             TextRole::Block);
    d.Amplifier(QRectF(kPga2), "PGA", true);
    d.TextAt({kPga2.x() + 48.0, kPga2.bottom() + 16.0}, "AD2GN", Side::Right, TextRole::Note);
    const double outP = kPga2.center().y() - 8;
    const double outN = kPga2.center().y() + 8;
    d.Wire({P(kPga2.right(), outP), P(kModulator2.left(), outP)});
    d.Wire({P(kPga2.right(), outN), P(kModulator2.left(), outN)});
    d.Block(QRectF(kModulator2), QString());
    d.Text(QRectF(kModulator2.x(), kModulator2.y() + 12, kModulator2.width(), 20),
           "\u03A3\u0394 modulator", TextRole::Block);
    d.TextAt({double(kModulator2.left()), outP}, "IN+", Side::Right, TextRole::Note);
    d.TextAt({double(kModulator2.left()), outN}, "IN\u2212", Side::Right, TextRole::Note);
    d.TextAt({double(kVrPinP), double(kModulator2.bottom())}, "VR+", Side::Above, TextRole::Note);
    d.TextAt({kVrPinN + 6.0, double(kModulator2.bottom())}, "VR\u2212", Side::Above,
             TextRole::Note);
    const double clockX = kModulator2.center().x();
    d.Wire({P(clockX, kModulator2.top() - 7.0), P(clockX, kModulator2.top())});
    d.ClockPin({clockX, double(kModulator2.top())}, Facing::Down);
    d.TextAt({clockX, kModulator2.top() - 21.0}, "ADCK2", Side::Above, TextRole::Note);

    // Reference pair.
    d.Wire({P(kMuxRight, rp2), P(kRefGain2.left(), rp2)});
    d.Wire({P(kMuxRight, rn2), P(kRefGain2.left(), rn2)});
    d.Block(QRectF(kRefGain2), "VR", "gain");
    d.Wire({P(kRefGain2.right() + 1, kVrRunP), P(kVrPinP, kVrRunP),
            P(kVrPinP, kModulator2.bottom() + 1)});
    d.Wire({P(kRefGain2.right() + 1, kVrRunN), P(kVrPinN, kVrRunN),
            P(kVrPinN, kModulator2.bottom() + 1)});

    // Decimator and the result bus.
    d.Arrow({P(kModulator2.right() + 1, kResultY), P(kDecimator2.left(), kResultY)});
    d.Block(QRectF(kDecimator2), QString());
    d.Text(QRectF(kDecimator2.x(), kDecimator2.y() + 3, kDecimator2.width(), 18), "Decimator",
           TextRole::Block);
    d.TextAt({kDecimator2.x() + 58.0, kDecimator2.y() + 34.0}, "AD2OSR", Side::Right,
             TextRole::Note);
    d.Wire({P(kDecimator2.right() + 1, kResultY), P(kBusX, kResultY), P(kBusX, kCaptureY)});
    d.Dot({double(kBusX), double(kLowPassY)});
    d.Dot({double(kBusX), double(kRmsY)});
    d.Dot({double(kBusX), double(kPeakY)});
    d.Arrow({P(kBusX, kResultY), P(kResultsX, kResultY)});
    d.TextAt({double(kResultsX), kResultY - 12.0}, "ADC2 result", Side::AboveRight, TextRole::Note);

    d.Arrow({P(kBusX, kLowPassY), P(kLowPass.left(), kLowPassY)});
    d.Block(QRectF(kLowPass), QString());
    d.Text(QRectF(kLowPass.x(), kLowPass.y() + 3, kLowPass.width(), 18), "Low-pass filter",
           TextRole::Block);
    d.Arrow({P(kLowPass.right() + 1, kLowPassY), P(kResultsX, kLowPassY)});
    d.TextAt({double(kResultsX), kLowPassY - 18.0}, "Low-pass result", Side::AboveRight,
             TextRole::Note);

    d.Arrow({P(kBusX, kRmsY), P(kRms.left(), kRmsY)});
    d.Block(QRectF(kRms), QString());
    d.Text(QRectF(kRms.x(), kRms.y() + 3, kRms.width(), 18), "RMS", TextRole::Block);
    d.Arrow({P(kRms.right() + 1, kRmsY), P(kResultsX, kRmsY)});
    d.TextAt({double(kResultsX), kRmsY - 12.0}, "RMS result", Side::AboveRight, TextRole::Note);

    d.Arrow({P(kBusX, kPeakY), P(kPanel1.left(), kPeakY)});
    d.Arrow({P(kBusX, kCaptureY), P(kPanel2.left(), kCaptureY)});

    if (!secondConverter_) return;

    // ADP, the third converter path.
    {
        QPainter& painter = d.painter();
        painter.save();
        painter.setPen(QPen(d.style().frame, 1.0, Qt::DashLine));
        painter.drawLine(QPointF(4, kSectionY), QPointF(kBusX - 14, kSectionY));
        painter.restore();
    }
    const double p3 = Centre(kAdpIpTop);
    const double n3 = Centre(kAdpInTop);
    drawMux({"SADPIP", "SADPIP", kAdpIpTop});
    drawMux({"SADPIN", "SADPIN", kAdpInTop});
    for (double line : {p3, n3}) {
        d.Wire({P(kMuxRight, line), P(kChopper3.left(), line)});
        d.Wire({P(kChopper3.right() + 1, line), P(kPga3.left(), line)});
    }
    d.TextAt({double(kChopper3.center().x()), double(kChopper3.top())}, "ADPCHO", Side::Above,
             TextRole::Block);
    d.Amplifier(QRectF(kPga3), "PGA", true);
    d.TextAt({kPga3.x() + 48.0, kPga3.bottom() + 16.0}, "ADPGN", Side::Right, TextRole::Note);
    const double outP3 = kPga3.center().y() - 8;
    const double outN3 = kPga3.center().y() + 8;
    d.Wire({P(kPga3.right(), outP3), P(kConverter3.left(), outP3)});
    d.Wire({P(kPga3.right(), outN3), P(kConverter3.left(), outN3)});
    d.Block(QRectF(kConverter3), QString());
    d.Text(QRectF(kConverter3.x(), kConverter3.y() + 12, kConverter3.width(), 20), "ADP converter",
           TextRole::Block);
    d.TextAt({double(kConverter3.left()), outP3}, "IN+", Side::Right, TextRole::Note);
    d.TextAt({double(kConverter3.left()), outN3}, "IN\u2212", Side::Right, TextRole::Note);
    d.Block(QRectF(kRefGain3), "VR", "gain");
    d.Arrow({P(kRefGain3.center().x(), kRefGain3.top()),
             P(kRefGain3.center().x(), kConverter3.bottom() + 1)});
    d.Arrow({P(kRefGain3.left() - 28.0, kRefGain3.center().y()),
             P(kRefGain3.left(), kRefGain3.center().y())});
    d.TextAt({kRefGain3.left() - 28.0, double(kRefGain3.center().y())}, "VR", Side::Left,
             TextRole::Note);

    // Mode switches and the DC path with its two outputs.
    d.Block(QRectF(kOptions3), QString());
    d.Text(QRectF(kOptions3.x(), kOptions3.y() + 4, kOptions3.width(), 18), "Mode",
           TextRole::Block);
    d.Wire({P(kConverter3.right() + 3, kOptions3.bottom() - 8.0),
            P(kOptions3.left(), kOptions3.bottom() - 8.0)});
    const double dcY = kDcPath3.y() + 12;
    d.Arrow({P(kConverter3.right() + 1, kConverter3.center().y()),
             P(kConverter3.right() + 10.0, kConverter3.center().y()),
             P(kConverter3.right() + 10.0, dcY + 40.0), P(kDcPath3.left(), dcY + 40.0)});
    d.Block(QRectF(kDcPath3), QString());
    d.Text(QRectF(kDcPath3.x(), kDcPath3.y() + 3, kDcPath3.width(), 18), "DC path",
           TextRole::Block);
    const double outX = kDcPath3.center().x();
    d.Arrow({P(outX, kDcPath3.bottom() + 1), P(outX, kDcPath3.bottom() + 24.0)});
    d.TextAt({outX, kDcPath3.bottom() + 24.0}, "to the comparator", Side::Below, TextRole::Note);
}

}  // namespace dmm::gui
