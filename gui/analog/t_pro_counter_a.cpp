#include "gui/analog/t_pro_counter_a.h"

#include <QShowEvent>

#include "core/analog/pro_counter.h"
#include "core/analog/switch_network_rules.h"
#include "gui/analog/diagram_layout.h"

namespace dmm::gui {
namespace {

using Side = DiagramPainter::Side;
using layout::P;

constexpr QRect kSourceMux(78, 30, 14, 64);
constexpr int kCounterBusX = 112;
constexpr int kCounterRows[3] = {40, 62, 84};  // CTA, CTB, CTC
constexpr int kCellX = 176;
constexpr int kCellPitch = 27;
constexpr QRect kRangeFrame(8, 214, 435, 108);
constexpr double kRcY = 282;
constexpr QRect kRcComparator(160, 266, 44, 48);

QString Hex2(uint8_t byte) {
    return QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

}  // namespace

TProCounterA::TProCounterA(Bench& bench, QWidget* parent)
    : BlockPanel(bench, "TProCounterA", "Program Counter", QSize(451, 328), parent) {
    BuildInputs();
    BuildCounters();
    BuildEntries();
    BuildReadings();
    BuildRanges();
    ProCounter& counter = bench_.counter();
    connect(&counter, &ProCounter::RunningChanged, this,
            [this](bool running) { BBG->setText(running ? "RUNNing" : "STOP"); });
    connect(&counter, &ProCounter::ReadingShown, this, &TProCounterA::ShowReading);
    connect(&counter, &ProCounter::ActivityShown, this, &TProCounterA::ShowActivity);
    connect(&counter, &ProCounter::RangeChosen, this, [this](int index, const QString& q) {
        const QSignalBlocker quiet(ECAP);
        ECAP->setText(q);
        const auto ranges = CapacitanceRanges();
        LCAPUNIT->setText(index >= 0 && index < static_cast<int>(ranges.size())
                              ? QString::fromLatin1(ranges[static_cast<size_t>(index)].unit)
                              : QString());
        PaintRange(index);
    });
    PostEntries();
    DataUpdate();
}

BoundLabel* TProCounterA::AddCaption(const QString& text, const QRect& r, Qt::Alignment align) {
    return AddReadout(QString(), text, r, align);
}

QLineEdit* TProCounterA::AddEntry(const QString& name, const QString& text, const QRect& r) {
    auto* entry = new QLineEdit(text, this);
    entry->setObjectName(name);
    entry->setFont(DiagramFont(TextRole::Signal));
    entry->setGeometry(r);
    connect(entry, &QLineEdit::textChanged, this, [this] { PostEntries(); });
    return entry;
}

void TProCounterA::BuildInputs() {
    Source = AddDisplay("Source", "Input Source", QRect(8, 100, 66, 18));
    Source->setAlignment(Qt::AlignCenter);
    Source->setFont(DiagramFont(TextRole::Signal));
    CNS = AddSwitchPanel("CNS", "CNS", QRect(kSourceMux.center().x() - 20, 100, 40, 18), "CNS");
    // Arming rather than a plain toggle: the counter restarts from the reload bytes.
    ENCTR = new BoundLabel("ENCTR", "EN_CTR", BoundLabel::Shape::Panel, this);
    ENCTR->setGeometry(126, 100, 52, 18);
    BindControl("EN_CTR", ENCTR);
    BindCaption("EN_CTR", ENCTR);
    connect(ENCTR, &BoundLabel::clicked, this,
            [this] { bench_.Post([](Bench& b) { b.counter().ENCTRClick(); }); });
    ENCTR->hide();
}

void TProCounterA::BuildCounters() {
    const char* names[3] = {"ECTA", "ECTB", "ECTC"};
    std::array<BoundLabel*, 3>* rows[3] = {&ECTA, &ECTB, &ECTC};
    for (int r = 0; r < 3; ++r) {
        for (int byte = 0; byte < 3; ++byte) {
            // The high byte first, as the counter reads.
            const QRect cell(kCellX + (2 - byte) * kCellPitch, kCounterRows[r] - 8, 26, 16);
            BoundLabel* label = AddDisplay(QString(names[r]) + QString::number(byte), "00", cell);
            label->setAlignment(Qt::AlignCenter);
            label->setFont(DiagramFont(TextRole::Signal));
            (*rows[r])[static_cast<size_t>(byte)] = label;
        }
    }
}

void TProCounterA::BuildEntries() {
    AddCaption("CTA<23:16>", QRect(262, 30, 76, 16));
    WCTA2 = AddEntry("WCTA2", "C0", QRect(340, 29, 36, 18));
    AddCaption("CTA<15:8>", QRect(262, 50, 76, 16));
    WCTA1 = AddEntry("WCTA1", "00", QRect(340, 49, 36, 18));
    AddCaption("System Clock", QRect(262, 72, 76, 16));
    ESYSCLK = AddEntry("ESYSCLK", "4915205", QRect(340, 71, 70, 18));
    AddCaption(" Hz", QRect(412, 72, 28, 16));
    AddCaption(QStringLiteral("頻率導數的參數 (Q)"), QRect(262, 94, 114, 16));
    ECAP = AddEntry("ECAP", "4052", QRect(378, 93, 58, 18));
}

void TProCounterA::BuildReadings() {
    auto reading = [this](const QString& name, const QRect& r) {
        BoundLabel* box = AddDisplay(name, "00", r);
        box->setFont(DiagramFont(TextRole::Signal));
        return box;
    };
    AddCaption("Frequency = ", QRect(2, 128, 72, 16));
    EFRE = reading("EFRE", QRect(74, 127, 84, 18));
    AddCaption(" Hz", QRect(160, 128, 22, 16));
    AddCaption("Duty =", QRect(8, 150, 66, 16));
    EDUTY = reading("EDUTY", QRect(74, 149, 84, 18));
    AddCaption("%", QRect(160, 150, 16, 16));
    EDUTYUS = reading("EDUTYUS", QRect(226, 127, 84, 18));
    AddCaption("us", QRect(312, 128, 20, 16));
    PCAP = reading("PCAP", QRect(226, 149, 84, 18));
    LCAPUNIT = AddReadout("LCAPUNIT", QString(), QRect(312, 150, 56, 16),
                          Qt::AlignLeft | Qt::AlignVCenter);
    AddCaption(QStringLiteral("週期 = Q / Frequency"), QRect(226, 170, 150, 16),
               Qt::AlignLeft | Qt::AlignVCenter);

    BBG = new QPushButton("STOP", this);
    BBG->setObjectName("BBG");
    BBG->setFont(DiagramFont(TextRole::Block));
    BBG->setGeometry(8, 178, 100, 24);
    connect(BBG, &QPushButton::clicked, this,
            [this] { bench_.Post([](Bench& b) { b.counter().BBGClick(); }); });

    auto arrow = [this](const QString& name, int x, bool up) {
        DiagramPicture* p =
            AddPicture(name, QRect(x, 178, 14, 24), [up](DiagramPainter& d, const QRectF& r) {
                const double cx = r.center().x();
                if (up)
                    d.Arrow({P(cx, r.bottom() - 2), P(cx, r.top() + 2)}, true);
                else
                    d.Arrow({P(cx, r.top() + 2), P(cx, r.bottom() - 2)}, true);
            });
        p->SetClickable(false);
        return p;
    };
    CUP0 = arrow("CUP0", 116, true);
    CUP1 = arrow("CUP1", 132, true);
    CDown0 = arrow("CDown0", 116, false);
    CDown1 = arrow("CDown1", 132, false);
    CDown0->hide();
    CDown1->hide();
}

void TProCounterA::BuildRanges() {
    const auto ranges = CapacitanceRanges();
    for (size_t i = 0; i < ranges.size() && i < ranges_.size(); ++i) {
        auto* button = new QPushButton(QString::fromLatin1(ranges[i].caption), this);
        button->setObjectName(QString::fromLatin1(ranges[i].button));
        button->setFont(DiagramFont(TextRole::Signal));
        button->setGeometry(16 + static_cast<int>(i) * 84, 228, 78, 22);
        const int index = static_cast<int>(i);
        connect(button, &QPushButton::clicked, this, [this, index] {
            bench_.Post([index](Bench& b) { b.counter().RangeClick(index); });
        });
        ranges_[i] = button;
    }
    PaintRange(-1);
    LRF = AddReadout("LRF", "1M", QRect(44, int(kRcY) - 20, 50, 14));
    LCMPH =
        AddReadout("LCMPH", "VDSC<9>", QRect(284, 262, 66, 14), Qt::AlignLeft | Qt::AlignVCenter);
    LCMPL =
        AddReadout("LCMPL", "VDSC<8>", QRect(284, 280, 66, 14), Qt::AlignLeft | Qt::AlignVCenter);
    FUVR0 =
        AddReadout("FUVR0", "VDS<6>", QRect(386, 262, 58, 14), Qt::AlignLeft | Qt::AlignVCenter);
    FUVR1 =
        AddReadout("FUVR1", "VDS<2>", QRect(386, 280, 58, 14), Qt::AlignLeft | Qt::AlignVCenter);
}

// ---- forwarding and state

void TProCounterA::PostEntries() {
    CounterEntries entries;
    entries.cta1 = WCTA1 ? WCTA1->text() : entries.cta1;
    entries.cta2 = WCTA2 ? WCTA2->text() : entries.cta2;
    entries.systemClock = ESYSCLK ? ESYSCLK->text() : entries.systemClock;
    entries.q = ECAP ? ECAP->text() : entries.q;
    bench_.Post([entries](Bench& b) { b.counter().SetEntries(entries); });
}

void TProCounterA::showEvent(QShowEvent* event) {
    BlockPanel::showEvent(event);
    bench_.Post([](Bench& b) { b.counter().SetShown(true); });
}

void TProCounterA::hideEvent(QHideEvent* event) {
    BlockPanel::hideEvent(event);
    // Closing the window stops the measurement tick; a minimised window keeps measuring.
    if (event->spontaneous()) return;
    bench_.Post([](Bench& b) {
        b.counter().StopTimer();
        b.counter().SetShown(false);
    });
}

void TProCounterA::ShowReading(const CounterReading& reading) {
    const std::pair<BoundLabel*, const std::optional<QString>*> shown[] = {
        {EFRE, &reading.frequency},
        {EDUTY, &reading.duty},
        {EDUTYUS, &reading.highTime},
        {PCAP, &reading.capacitance}};
    for (const auto& [box, text] : shown) {
        if (*text) box->setText(**text);
    }
}

void TProCounterA::ShowActivity(bool up) {
    CUP0->setVisible(up);
    CUP1->setVisible(up);
    CDown0->setVisible(!up);
    CDown1->setVisible(!up);
}

void TProCounterA::PaintRange(int chosen) {
    for (int i = 0; i < static_cast<int>(ranges_.size()); ++i) {
        QPushButton* button = ranges_[static_cast<size_t>(i)];
        const bool on = i == chosen;
        button->setProperty("chosen", on);
        button->setStyleSheet(on ? QStringLiteral("QPushButton { background: palette(highlight); "
                                                  "color: palette(highlighted-text); }")
                                 : QString());
    }
}

QString TProCounterA::OptionCaption(std::string_view field, int option) const {
    const auto& options = fields().Info(field).options;
    if (option >= 0 && option < static_cast<int>(options.size()) &&
        options[static_cast<size_t>(option)].text) {
        return *options[static_cast<size_t>(option)].text;
    }
    const auto design = [&](const auto& texts) {
        return option >= 0 && option < static_cast<int>(texts.size())
                   ? QString::fromLatin1(texts[static_cast<size_t>(option)])
                   : QString();
    };
    if (field == "SFUVR") return design(kReferenceTapTexts);
    if (field == "S_CMPRH") return design(kUpperThresholdTexts);
    return design(kLowerThresholdTexts);
}

void TProCounterA::DataUpdate() {
    PanelSwitch(ENCTR, ReadField("EN_CTR"));
    const int source = ReadField("CNS");
    PanelSwitch(CNS, source);
    Source->setText(source == 1 ? "CNTI" : "CP_OUT");
    const std::pair<const char*, BoundLabel*> cells[] = {
        {"CTC0", ECTC[0]}, {"CTC1", ECTC[1]}, {"CTC2", ECTC[2]},
        {"CTB0", ECTB[0]}, {"CTB1", ECTB[1]}, {"CTB2", ECTB[2]},
        {"CTA0", ECTA[0]}, {"CTA1", ECTA[1]}, {"CTA2", ECTA[2]}};
    for (const auto& [field, cell] : cells) {
        const TRegField& record = FieldRecord(field);
        if (record.IsDefined()) cell->setText(Hex2(ImageByte(record.registerIndex)));
    }
    // The two reference taps the comparator switches between: SFUVR's low three bits
    // choose the row, for comparator output low and high.
    const int row = ReadField("SFUVR") & 7;
    FUVR0->setText(OptionCaption("SFUVR", row));
    FUVR1->setText(OptionCaption("SFUVR", row + 8));
    LCMPH->setText(OptionCaption("S_CMPRH", ReadField("S_CMPRH")));
    LCMPL->setText(OptionCaption("S_CMPRL", ReadField("S_CMPRL")));
    // The reference resistor is the charge resistor that bank F closes.
    const TRegField& bank = FieldRecord("FS0");
    if (bank.IsDefined()) LRF->setText(ReferenceResistorText(ImageByte(bank.registerIndex)));
    update();
}

// ---- the diagram

void TProCounterA::PaintDiagram(DiagramPainter& d) {
    const bool cnti = StoredValue("CNS") == 1;
    const bool running = StoredValue("EN_CTR") != 0;
    d.TextAt({8.0, 12.0}, "Counters", Side::Right, TextRole::Title);
    const QRectF mux(kSourceMux);
    const QPointF cpIn = DiagramPainter::MuxInput(mux, 2, 0);
    const QPointF cntiIn = DiagramPainter::MuxInput(mux, 2, 1);
    d.PinCircle({14, cpIn.y()});
    d.TextAt({12, cpIn.y() - 4}, "CP_OUT", Side::AboveRight, TextRole::Note);
    d.Wire({P(17, cpIn.y()), cpIn}, !cnti);
    d.PinCircle({14, cntiIn.y()});
    d.TextAt({12, cntiIn.y() - 4}, "CNTI", Side::AboveRight, TextRole::Note);
    d.Wire({P(17, cntiIn.y()), cntiIn}, cnti);
    d.PulseTrain(QRectF(38, cntiIn.y() - 12, 30, 8), 3, cnti);
    d.Mux(mux, 2, cnti ? 1 : 0);
    d.Wire({DiagramPainter::MuxOutput(mux), P(kCounterBusX, mux.center().y())}, running);
    d.Wire({P(kCounterBusX, kCounterRows[0]), P(kCounterBusX, kCounterRows[2])}, running);
    const char* names[3] = {"CTA gate", "CTB periods", "CTC high"};
    for (int r = 0; r < 3; ++r) {
        d.Arrow({P(kCounterBusX, kCounterRows[r]), P(kCounterBusX + 6.0, kCounterRows[r])},
                running);
        d.Text(QRectF(kCounterBusX + 8, kCounterRows[r] - 8, 66, 16), names[r], TextRole::Note,
               Qt::AlignLeft | Qt::AlignVCenter);
    }
    d.TextAt({double(kCounterBusX) + 8, 104.0}, "on the system clock", Side::Right, TextRole::Note);
    d.TextAt({196.0, 136.0}, "high", Side::Right, TextRole::Note);

    // The capacitance: the range's resistor charges the capacitor, the comparator makes
    // CP_OUT between the thresholds.
    d.Frame(QRectF(kRangeFrame), "Capacitance");
    d.TextAt({40.0, kRcY}, "VS", Side::Left, TextRole::Note);
    d.Resistor(P(42, kRcY), P(96, kRcY));
    d.Wire({P(96, kRcY), P(kRcComparator.left(), kRcY)});
    d.Dot({104, kRcY});
    d.Capacitor(P(104, kRcY), P(104, 306));
    d.Ground({104, 306});
    d.TextAt({110.0, 296.0}, "C", Side::Right, TextRole::Note);
    const double minusY = kRcComparator.bottom() - 15;
    d.Wire({P(136, minusY), P(kRcComparator.left(), minusY)});
    d.TextAt({146.0, minusY + 1}, "VH/VL", Side::Below, TextRole::Note);
    d.Comparator(QRectF(kRcComparator));
    d.Arrow(
        {P(kRcComparator.right(), kRcComparator.center().y()), P(252, kRcComparator.center().y())});
    d.TextAt({252.0, kRcComparator.center().y()}, "CP_OUT", Side::Above, TextRole::Note);
    d.TextAt({262.0, 269.0}, "VH", Side::Right, TextRole::Note);
    d.TextAt({262.0, 287.0}, "VL", Side::Right, TextRole::Note);
    d.TextAt({354.0, 269.0}, "tap 0", Side::Right, TextRole::Note);
    d.TextAt({354.0, 287.0}, "tap 1", Side::Right, TextRole::Note);
    d.TextAt({262.0, 308.0}, "as the chip is set now", Side::Right, TextRole::Note);
}

}  // namespace dmm::gui
