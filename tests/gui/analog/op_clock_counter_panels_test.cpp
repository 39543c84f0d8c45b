#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "core/analog/counter_arithmetic.h"
#include "support/panel_driver.h"
#include "support/qtest_registry.h"

namespace dmm::test {

// The OP-amp and power, ADC clock and counter panels in the whole program on the
// simulated DMM chip.
class OpClockCounterPanelsTest : public QObject {
    Q_OBJECT
  private:
    PanelDriver d_;

    gui::BoundLabel* Label(const char* window, const char* name) {
        return d_.Control<gui::BoundLabel>(window, name);
    }
    bool Chosen(const char* window, const char* name) {
        return PanelDriver::Chosen(Label(window, name));
    }
    QString Text(const char* name) { return Label("TProCounterA", name)->text().trimmed(); }

  private slots:
    void init() {
        d_.Start({"DMMOP", "SMenu_ADCCLK", "SMenu_Procounter"});
        QTRY_VERIFY(d_.Control("TOP", "ENOP1")->isEnabled());
        // The image as the chip is, as "Read RAM" gives it.
        d_.panel().MenuItem("Menu_ReadRAM")->trigger();
        QTRY_COMPARE(d_.Image(d_.Field("EN_OSC").registerIndex),
                     d_.ChipByte(d_.Field("EN_OSC").registerIndex));
    }
    void cleanup() { d_.Stop(); }

    void opAmpSwitchesSelectorsAndGround() {
        // The output switch pictures: OPS1 0 shows OPS1off and NOPS1on.
        QVERIFY(d_.Control("TOP", "NOPS1on")->isVisible() &&
                d_.Control("TOP", "OPS1off")->isVisible());
        const TRegField ops1 = d_.Field("OPS1");
        const uint8_t before = d_.Image(ops1.registerIndex);
        const auto sent = d_.Sent([&] {
            PanelDriver::Click(d_.Control("TOP", "NOPS1on"));
            QTRY_VERIFY(d_.Control("TOP", "OPS1on")->isVisible());
        });
        const std::vector<std::vector<uint8_t>> written = {
            {0xC2, 0x00, uint8_t(2 * ops1.registerIndex), 1, ops1.Insert(before, 1)}};
        QCOMPARE(PanelDriver::Writes(sent), written);
        QVERIFY(d_.Control("TOP", "NOPS1off")->isVisible() &&
                !d_.Control("TOP", "NOPS1on")->isVisible());

        PanelDriver::Choose(d_.Control<QComboBox>("TOP", "SAGND"), 3);
        QTRY_COMPARE(d_.ChipField("S_AGND"), 3);
        QTRY_COMPARE(Label("TOP", "LAGNDo")->text(), QString("= Floating"));
        PanelDriver::Choose(d_.Control<QComboBox>("TOP", "SAGND"), 1);
        QTRY_COMPARE(Label("TOP", "LAGNDo")->text(), QString("= 0.3 VDDA"));

        // The bias source: "Internal" for SREFO 0, "PB<6>" for 1.
        QVERIFY(Chosen("TOP", "SBias") && !Chosen("TOP", "SPB6"));
        PanelDriver::Click(Label("TOP", "LSREFO"));
        QTRY_COMPARE(d_.ChipField("SREFO"), 1);
        QTRY_VERIFY(Chosen("TOP", "SPB6") && !Chosen("TOP", "SBias"));
        QCOMPARE(Label("TOP", "SBias")->Background(), gui::ButtonFaceColour());

        // The input selectors; op-amp 2's last option does not exist on the demo chip.
        auto* op2 = d_.Control<QComboBox>("TOP", "SOP2P");
        QCOMPARE(op2->count(), 7);
        QCOMPARE(op2->itemText(0), QString("S_OP2P<000>"));
        QVERIFY(!d_.Control("TOP", "SOP2P7")->isVisible());
        PanelDriver::Click(Label("TOP", "SOP1P5"));
        QTRY_COMPARE(d_.ChipField("S_OP1P"), 5);
        QTRY_VERIFY(Chosen("TOP", "SOP1P5"));
        PanelDriver::Choose(op2, 6);
        QTRY_COMPARE(d_.ChipField("S_OP2P"), 6);
        PanelDriver::Choose(d_.Control<QComboBox>("TOP", "ComOPCHP"), 2);
        QTRY_COMPARE(d_.ChipField("OPCHP"), 2);
        for (const char* name : {"ENOP1", "ENOP2", "ENREFO", "ENBIAS", "ENVS"}) {
            PanelDriver::Click(Label("TOP", name));
            QTRY_VERIFY2(Chosen("TOP", name), name);
        }
        QCOMPARE(d_.ChipField("ENVS") + d_.ChipField("EN_BIAS") + d_.ChipField("EN_REFO"), 3);
    }

    void clockTreeTextsAndSleep() {
        const char* w = "TDMMADCCLKA";
        QTRY_VERIFY(Chosen(w, "LENOSC"));  // the crystal runs from power-up
        QVERIFY(!Chosen(w, "LSLEEP"));
        PanelDriver::Click(Label(w, "LENOSC"));
        QTRY_COMPARE(d_.ChipField("EN_OSC"), 0);
        QTRY_VERIFY(Chosen(w, "LSLEEP"));
        QCOMPARE(Label(w, "LCLKSYS")->text(), QString("clk_sys = CRY_OSC"));
        QVERIFY(Chosen(w, "LCRYOSC") && !Chosen(w, "LXIN"));
        // The chip has no clock now: its converters stop.
        double clock = -1;
        d_.OnChip([&](sim::SimDmmChip& chip) { clock = chip.SystemClockHz(); });
        QCOMPARE(clock, 0.0);
        PanelDriver::Click(Label(w, "ENIXI"));
        QTRY_COMPARE(d_.ChipField("ENI_XI"), 1);
        QTRY_VERIFY(!Chosen(w, "LSLEEP"));
        QVERIFY(Chosen(w, "LXIN") && Chosen(w, "LENIXI") && Chosen(w, "ENIXI"));
        QCOMPARE(Label(w, "LSADCCLK")->text(), QString("XIN / 30"));
        QCOMPARE(Label(w, "LFADCCLK")->text(), QString("XIN / 2"));
        QVERIFY(Chosen(w, "LFCLKSEL0"));
        PanelDriver::Click(Label(w, "FCLKSEL"));
        QTRY_COMPARE(Label(w, "LFADCCLK")->text(), QString("XIN / 4"));
        QVERIFY(Chosen(w, "LFCLKSEL1") && !Chosen(w, "LFCLKSEL0"));
        QCOMPARE(Label(w, "LSADCCLK")->text(), QString("XIN / 30"));
        QCOMPARE(Label(w, "LCLKSYS")->text(), QString("clk_sys = XIN"));
    }

    void theCounterMeasuresTheSquareWaveOnCnti() {
        const char* w = "TProCounterA";
        auto* start = d_.Control<QPushButton>(w, "BBG");
        QCOMPARE(start->text(), QString("STOP"));
        PanelDriver::Click(Label(w, "CNS"));
        QTRY_COMPARE(d_.ChipField("CNS"), 1);
        QTRY_COMPARE(Label(w, "Source")->text(), QString("CNTI"));
        PanelDriver::Click(start);
        QTRY_COMPARE(start->text(), QString("RUNNing"));
        QTRY_COMPARE(d_.panel().StatusText(1), QString("CTAI = 0x400000"));
        QTRY_COMPARE(d_.panel().MenuItem("Menu_INTF")->text(), QString("INTF-Reading"));
        // 1 kHz within the gate's resolution (one period in 0.85 s), 30 % duty.
        QTRY_VERIFY_WITH_TIMEOUT(Text("EFRE") != "00", 8000);
        QVERIFY2(std::abs(Text("EFRE").toDouble() - 1000.0) < 1.2, qPrintable(Text("EFRE")));
        QCOMPARE(Text("EFRE"), QString("1000.00"));
        QCOMPARE(Text("EDUTY"), QString("30.00"));
        QCOMPARE(Text("EDUTYUS"), QString("300.00"));
        // The counts reached the panel: CTB holds the whole periods of the gate.
        const auto periods = [&] {
            return Text("ECTB1").toInt(nullptr, 16) * 256 + Text("ECTB0").toInt(nullptr, 16);
        };
        QTRY_VERIFY2(std::abs(periods() - 853) <= 1, qPrintable(QString::number(periods())));
        // A clock entry that is no number: no frequency, and the status bar says why.
        d_.Control<QLineEdit>(w, "ESYSCLK")->setText("4.9 MHz");
        QTRY_VERIFY_WITH_TIMEOUT(Text("EFRE") == kNoFigure, 8000);
        QVERIFY2(d_.panel().StatusText(1).startsWith("System Clock: 4.9 MHz is not a system clock"),
                 qPrintable(d_.panel().StatusText(1)));
        QCOMPARE(Text("EDUTY"), QString("30.00"));
        PanelDriver::Click(start);
        QTRY_COMPARE(start->text(), QString("STOP"));
    }

    void anInputAtTheClockRateReadsTheClockWhileTheWindowKeepsResponding() {
        const char* w = "TProCounterA";
        // A square wave at the crystal's own rate, half the time high: every gate clock is
        // one period (B = T, A = 0), so the frequency is the System Clock entry.
        d_.OnChip([](sim::SimDmmChip& chip) {
            chip.counterInputs().cntiFrequencyHz = sim::DmmFrontEnd::kCrystalHz;
            chip.counterInputs().cntiDuty = 0.5;
        });
        PanelDriver::Click(Label(w, "CNS"));
        QTRY_COMPARE(d_.ChipField("CNS"), 1);
        // The GUI thread's events keep coming while the bench waits its second.
        QElapsedTimer elapsed;
        qint64 longestGapMs = 0;
        qint64 lastTickMs = 0;
        QTimer ticks;
        ticks.setInterval(10);
        connect(&ticks, &QTimer::timeout, [&] {
            longestGapMs = std::max(longestGapMs, elapsed.elapsed() - lastTickMs);
            lastTickMs = elapsed.elapsed();
        });
        elapsed.start();
        ticks.start();
        PanelDriver::Click(d_.Control(w, "BBG"));
        QTRY_VERIFY_WITH_TIMEOUT(Text("EFRE") != "00", 8000);
        QCOMPARE(Text("EFRE"), QString("4915205.00"));
        QCOMPARE(Text("EDUTY"), QString("50.00"));
        // The counts follow with the image the restart publishes.
        QTRY_COMPARE(Text("ECTB2") + Text("ECTB1") + Text("ECTB0"), QString("400000"));
        // CTA's low byte is A (0); the restart has put the reload bytes above it again.
        QCOMPARE(Text("ECTA2") + Text("ECTA1") + Text("ECTA0"), QString("C00000"));
        QCOMPARE(Text("ECTC2") + Text("ECTC1") + Text("ECTC0"), QString("200000"));
        // Past the settling second.
        QTest::qWait(1200);
        ticks.stop();
        bool settled = false;
        d_.bench().RunAndWait([&](Bench& b) { settled = b.counter().Settled(); });
        QVERIFY(settled);
        QVERIFY2(longestGapMs < 800, qPrintable(QString::number(longestGapMs)));
        PanelDriver::Click(d_.Control(w, "BBG"));
        QTRY_COMPARE(d_.Control<QPushButton>(w, "BBG")->text(), QString("STOP"));
    }

    void eachRangeMeasuresItsCapacitor_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<double>("farads");
        QTest::addColumn<double>("unit");
        QTest::addColumn<QString>("q");
        QTest::addColumn<QString>("resistor");
        QTest::addColumn<QString>("unitText");
        // Q / frequency reads the capacitor in the range's unit, which the panel names:
        // 1 nF, 10 nF, 100 nF, 1 uF, 20 uF.
        QTest::newRow("500nF") << "P500nF" << 330e-9 << 1e-9 << "9097"
                               << "1M"
                               << "nF";
        QTest::newRow("5uF") << "P50uF" << 3.3e-6 << 1e-8 << "10000"
                             << "100K"
                             << "x 10 nF";
        QTest::newRow("50uF") << "P500uF" << 47e-6 << 1e-7 << "10000"
                              << "10K"
                              << "x 100 nF";
        QTest::newRow("500uF") << "P5mF" << 220e-6 << 1e-6 << "9150"
                               << "1K"
                               << "uF";
        QTest::newRow("10mF") << "P50mF" << 6.8e-3 << 2e-5 << "4500"
                              << "1K"
                              << "x 20 uF";
    }
    void eachRangeMeasuresItsCapacitor() {
        QFETCH(QString, button);
        QFETCH(double, farads);
        QFETCH(double, unit);
        QFETCH(QString, q);
        QFETCH(QString, resistor);
        QFETCH(QString, unitText);
        const char* w = "TProCounterA";
        d_.OnChip([&](sim::SimDmmChip& chip) { chip.counterInputs().capacitorFarads = farads; });
        PanelDriver::Click(d_.Control(w, qPrintable(button)));
        QTRY_COMPARE(d_.Control<QLineEdit>(w, "ECAP")->text(), q);
        QTRY_COMPARE(Text("LRF"), resistor);
        QCOMPARE(Text("LCAPUNIT"), unitText);
        QCOMPARE(Label(w, "Source")->text(), QString("CP_OUT"));
        for (const char* other : {"P500nF", "P50uF", "P500uF", "P5mF", "P50mF"})
            QCOMPARE(d_.Control(w, other)->property("chosen").toBool(), button == other);
        PanelDriver::Click(d_.Control(w, "BBG"));
        QTRY_VERIFY_WITH_TIMEOUT(Text("PCAP") != "00", 8000);
        // To the last digit shown.
        const double expected = farads / unit;
        QVERIFY2(std::abs(Text("PCAP").toDouble() - expected) <= 0.011,
                 qPrintable(Text("PCAP") + " for " + QString::number(expected)));
        PanelDriver::Click(d_.Control(w, "BBG"));
        QTRY_COMPARE(d_.Control<QPushButton>(w, "BBG")->text(), QString("STOP"));
    }

    void aRangeWritesItsBlockAndMeasuresTheCapacitor() {
        const char* w = "TProCounterA";
        d_.OnChip([](sim::SimDmmChip& chip) { chip.counterInputs().capacitorFarads = 4.7e-3; });
        const auto sent = d_.Sent([&] {
            PanelDriver::Click(d_.Control(w, "P50mF"));
            QTRY_COMPARE(d_.Control<QLineEdit>(w, "ECAP")->text(), QString("4500"));
            QTRY_COMPARE(Label(w, "LRF")->text(), QString("1K"));
        });
        // One block of 21 bytes to register 30: A 0x92, B 0xDD, R 0x04.
        std::vector<uint8_t> block;
        for (const auto& p : sent) {
            if (p.size() == 4 + 21 && p[2] == 2 * 0x1E) block.assign(p.begin() + 4, p.end());
        }
        QCOMPARE(block.size(), size_t{21});
        QCOMPARE(block[32 - 30], uint8_t{0x92});
        QCOMPARE(block[33 - 30], uint8_t{0xDD});
        QCOMPARE(block[44 - 30], uint8_t{0x04});
        QVERIFY(d_.Control(w, "P50mF")->property("chosen").toBool());
        QVERIFY(!d_.Control(w, "P500nF")->property("chosen").toBool());
        QCOMPARE(Label(w, "Source")->text(), QString("CP_OUT"));
        // 4.7 mF on the 10 mF range reads 235 (units of 20 uF).
        PanelDriver::Click(d_.Control(w, "BBG"));
        QTRY_VERIFY_WITH_TIMEOUT(Text("PCAP") != "00" && Text("PCAP") != "4.05", 8000);
        QVERIFY2(std::abs(Text("PCAP").toDouble() - 235.0) < 0.02, qPrintable(Text("PCAP")));
        // Closing the window stops the tick and leaves the caption.
        d_.panel().Child(w)->parentWidget()->close();
        QTest::qWait(300);
        bool running = true;
        d_.bench().RunAndWait([&](Bench& b) { running = b.counter().Running(); });
        QVERIFY(!running);
        QCOMPARE(d_.Control<QPushButton>(w, "BBG")->text(), QString("RUNNing"));
    }

    void theSwitchNetworksChoicesShowOnTheCounterPanel() {
        QVERIFY(d_.SetField("SFUVR", 10));  // row 2
        QTRY_COMPARE(Text("FUVR0"), QString("VDS<15>"));
        QCOMPARE(Text("FUVR1"), QString("VDS<3>"));
        QVERIFY(d_.SetField("S_CMPRH", 4));
        QVERIFY(d_.SetField("S_CMPRL", 13));
        QTRY_COMPARE(Text("LCMPH"), QString("VDSC<9>"));
        QCOMPARE(Text("LCMPL"), QString("AGNDN<1>"));
        QVERIFY(d_.SetField("FS5", 1));
        QTRY_COMPARE(Text("LRF"), QString("1M"));
        QVERIFY(d_.SetField("FS2", 1));  // two resistors: no single reference
        QTRY_COMPARE(Text("LRF"), QString());
        // A description that renames a tap renames it here as well.
        d_.bench().RunAndWait([](Bench& b) {
            b.core().chipModel().PanelDataAt(*FieldIndex("SFUVR")).options[2].text = "TAP2";
            b.PublishChipModel();
        });
        QTRY_COMPARE(Text("FUVR0"), QString("TAP2"));
    }
};

DMM_QTEST(OpClockCounterPanelsTest);

}  // namespace dmm::test

#include "op_clock_counter_panels_test.moc"
