#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>

#include "core/analog/block_field_ops.h"
#include "gui/analog/diagram_controls.h"
#include "gui/analog/segment_display.h"
#include "gui/analog/t_adf.h"
#include "gui/analog/t_ads.h"
#include "gui/app/bench_session.h"
#include "gui/app/t_main_panel.h"
#include "gui/app/tool_windows.h"
#include "sim/sim_bench.h"
#include "sim/sim_dmm_chip.h"
#include "support/panel_driver.h"
#include "support/qtest_registry.h"

namespace dmm::test {

// A panel that counts how often its diagram is drawn.
class CountingPanel final : public gui::BlockPanel {
  public:
    explicit CountingPanel(Bench& bench)
        : BlockPanel(bench, "TCOUNTING", "Counting", QSize(240, 120), nullptr) {}
    void DataUpdate() override {}
    int drawn = 0;

  protected:
    void PaintDiagram(gui::DiagramPainter&) override { ++drawn; }
};

// The ADC1 and ADC2/ADP panels in the whole program on the simulated DMM chip: clicks and
// choices go through the bench thread to the chip, and the panels repaint from the image.
class BlockPanelsTest : public QObject {
    Q_OBJECT
  private:
    PanelDriver d_;
    gui::TMainPanel* panel_ = nullptr;
    QWidget* ads_ = nullptr;
    QWidget* adf_ = nullptr;

    template <typename T = QWidget>
    T* Control(QWidget* window, const char* name) {
        return d_.Control<T>(window, name);
    }
    sim::SimDmmChip& Chip() { return d_.Chip(); }
    TRegField Field(const char* name) { return d_.Field(name); }
    uint8_t ChipByte(int address) { return d_.ChipByte(address); }
    int ChipField(const char* name) { return d_.ChipField(name); }
    void PokeChip(int address, uint8_t value) { d_.PokeChip(address, value); }
    void SetField(const char* name, int value) { QVERIFY(d_.SetField(name, value)); }
    uint8_t Image(int address) { return d_.Image(address); }
    static void Choose(QComboBox* combo, int index) { PanelDriver::Choose(combo, index); }
    static void Click(QWidget* widget) { PanelDriver::Click(widget); }
    static bool Chosen(gui::BoundLabel* label) { return PanelDriver::Chosen(label); }

  private slots:
    void init() {
        d_.Start({"DMMADS", "DMMADF"});
        panel_ = &d_.panel();
        ads_ = panel_->Child("TADS");
        adf_ = panel_->Child("TADF");
        QVERIFY(ads_ && adf_);
        // The loaded description has reached the panels.
        QTRY_VERIFY(Control(ads_, "PENADC1")->isEnabled());
    }

    void cleanup() { d_.Stop(); }

    void clickingAnOnOffPanelTogglesItsFieldInTheChipAndRepaints() {
        auto* enable = Control<gui::BoundLabel>(ads_, "PENADC1");
        QCOMPARE(enable->text(), QString("ENADC1"));
        QVERIFY(!Chosen(enable));
        Click(enable);
        QTRY_COMPARE(ChipField("ENAD_S"), 1);
        QTRY_VERIFY(Chosen(enable));
        QCOMPARE(enable->Foreground(), gui::WindowColour());
        Click(enable);
        QTRY_COMPARE(ChipField("ENAD_S"), 0);
        QTRY_VERIFY(!Chosen(enable));

        // The buffer's pictures: "on" (bypassed) for 0, "off" (buffered) for 1.
        QVERIFY(Control(ads_, "ADSIPBon")->isVisible());
        QVERIFY(!Control(ads_, "ADSIPBoff")->isVisible());
        Click(Control(ads_, "ADSIPBon"));
        QTRY_COMPARE(ChipField("VIPBUF"), 1);
        QTRY_VERIFY(Control(ads_, "ADSIPBoff")->isVisible());
        QVERIFY(!Control(ads_, "ADSIPBon")->isVisible());
        QVERIFY(Chosen(Control<gui::BoundLabel>(ads_, "PVIPEN")));
    }

    void aComboChoiceWritesOnlyTheFieldBitsAndShowsTheGain() {
        const TRegField gain = Field("AD1GN");
        // Other bits of the register are set; the write must keep them.
        SetField("VRGNAD1", 1);
        SetField("DCOS", 5);
        const uint8_t before = ChipByte(gain.registerIndex);
        Choose(Control<QComboBox>(ads_, "TXAD1GN"), 2);
        QTRY_COMPARE(ChipField("AD1GN"), 2);
        QCOMPARE(ChipByte(gain.registerIndex), gain.Insert(before, 2));
        QTRY_COMPARE(Control<QLabel>(ads_, "TXAD1VRGN")->text(), QString("Gain = 4.0000"));
        // The reference halved doubles the counts: a gain of two to the input.
        QCOMPARE(Control<QLabel>(ads_, "TXVRGain")->text(), QString("VRGain = 2.0000"));
        QCOMPARE(Control<QLabel>(ads_, "LDCSET")->text(), QString("-1/4 * VR"));
    }

    void aChoiceBeyondTheFieldsOptionsIsPutBackAndTheStoredValueWritten() {
        auto* dcset = Control<QComboBox>(ads_, "TXDCSET");
        Choose(dcset, 1);
        QTRY_COMPARE(ChipField("DCOS"), 1);
        // A chip whose DCOS has two bits: the combo box keeps its eight items.
        d_.program().bench().RunAndWait([](Bench& b) {
            b.core().chipModel().Field("DCOS")->width = 2;
            b.PublishChipModel();
        });
        QTRY_COMPARE(static_cast<gui::TADS*>(ads_)->fields().Info("DCOS").field.width, 2);
        const TRegField dcos = Field("DCOS");
        PokeChip(dcos.registerIndex, dcos.Insert(ChipByte(dcos.registerIndex), 3));
        Choose(dcset, 5);
        QCOMPARE(dcset->currentIndex(), 1);
        // The stored value went to the chip again, over what the chip held.
        QTRY_COMPARE(ChipField("DCOS"), 1);
    }

    void clickingAnOptionLabelOfEitherRowChoosesThatOption() {
        Click(Control(ads_, "ADSIN2"));
        QTRY_COMPARE(ChipField("ADSIP"), 2);
        for (int k = 0; k < 4; ++k) {
            const QByteArray p = "ADSIP" + QByteArray::number(k),
                             n = "ADSIN" + QByteArray::number(k);
            QTRY_COMPARE(Chosen(Control<gui::BoundLabel>(ads_, p.constData())), k == 2);
            QCOMPARE(Chosen(Control<gui::BoundLabel>(ads_, n.constData())), k == 2);
        }
        QCOMPARE(Control<gui::BoundLabel>(ads_, "ADSIP0")->Background(), gui::ButtonFaceColour());
        QCOMPARE(Control<QComboBox>(ads_, "SADSIP")->currentData().toInt(), 2);
    }

    void theDescriptionReachesTheControls() {
        // Option labels and combo entries of S_AD1RL: four options, the other four hidden.
        auto* low = Control<QComboBox>(ads_, "SAD1RL");
        QCOMPARE(low->count(), 4);
        QCOMPARE(low->itemText(3), QString("SAD1RN<011>"));
        QCOMPARE(Control<QLabel>(ads_, "SAD1RL3")->text(), QString("PB<6>"));
        QVERIFY(!Control(ads_, "SAD1RL4")->isVisible());
        QVERIFY(!Control(ads_, "SAD1RH7")->isVisible());
        // A combo box with a hidden option in the middle maps its entries to their options.
        d_.program().bench().RunAndWait([](Bench& b) {
            FieldPanelData& data = b.core().chipModel().PanelDataAt(*FieldIndex("S_AD1IN"));
            data.options[1].hidden = true;
            data.comboItems.erase(data.comboItems.begin() + 1);
            b.PublishChipModel();
        });
        auto* negative = Control<QComboBox>(ads_, "SAD1IN");
        QTRY_COMPARE(negative->count(), 7);
        QVERIFY(!Control(ads_, "SAD1IN1")->isVisible());
        Choose(negative, 2);  // "SAD1FN<011>": option 3, AGND
        QTRY_COMPARE(ChipField("S_AD1IN"), 3);
        QTRY_VERIFY(Chosen(Control<gui::BoundLabel>(ads_, "SAD1IN3")));
        // Captions from the description, and the design texts where it gives none.
        QCOMPARE(Control<QLabel>(ads_, "PAD1VRGN")->text(), QString("SAD1RG"));
        QCOMPARE(Control<QLabel>(adf_, "PENPK")->text(), QString("EN-PEAKHOLD"));
        QCOMPARE(Control<QLabel>(adf_, "StaticText1")->text(), QString("LPFBW<2:0>"));
    }

    void controlsOfFieldsTheChipDoesNotBindAreDisabled() {
        QVERIFY(Control(ads_, "PVRNEN")->isEnabled());
        d_.program().bench().RunAndWait([](Bench& b) {
            b.core().chipModel().Field("VRNBUF")->defined = 0;
            b.PublishChipModel();
        });
        QTRY_VERIFY(!Control(ads_, "PVRNEN")->isEnabled());
        QVERIFY(!Control(ads_, "VRNBUFon")->isEnabled());
        QVERIFY(Control(ads_, "PVRPEN")->isEnabled());
    }

    void anyOfTheTenBypassPicturesWritesOptionThree() {
        const TRegField filter = Field("S_FT1");
        // With option 0 shown, five of the ten pictures can be clicked ...
        for (const char* name :
             {"SFT111off0", "SFT111off1", "NSFT111on0", "NSFT111on1", "NSFT111on2"}) {
            SetField("S_FT1", 0);
            QTRY_VERIFY(Control(ads_, "SFT100on")->isVisible());
            Click(Control(ads_, name));
            QTRY_COMPARE(ChipField("S_FT1"), 3);
        }
        // ... and with option 3 shown, the other five; each writes 3 again.
        QTRY_VERIFY(Control(ads_, "SFT111on0")->isVisible());
        QVERIFY(Control(ads_, "NSFT111off2")->isVisible() &&
                !Control(ads_, "NSFT111on2")->isVisible());
        QVERIFY(Control(ads_, "SFT100off")->isVisible() && !Control(ads_, "SFT100on")->isVisible());
        for (const char* name :
             {"SFT111on0", "SFT111on1", "NSFT111off0", "NSFT111off1", "NSFT111off2"}) {
            PokeChip(filter.registerIndex, filter.Insert(ChipByte(filter.registerIndex), 1));
            Click(Control(ads_, name));
            QTRY_COMPARE(ChipField("S_FT1"), 3);
        }
        Click(Control(ads_, "SFT101off"));
        QTRY_COMPARE(ChipField("S_FT1"), 1);
        QTRY_VERIFY(Control(ads_, "SFT101on")->isVisible());
    }

    void derivedLabels() {
        Choose(Control<QComboBox>(ads_, "TXDCSET"), 4);
        QTRY_COMPARE(Control<QLabel>(ads_, "LDCSET")->text(), QString("+0 * VR"));
        Choose(Control<QComboBox>(ads_, "TXAD1OSR"), 7);
        QTRY_COMPARE(Control<QLabel>(ads_, "LAD1OSR")->text(), QString("ADCK1 / 32768"));
        Choose(Control<QComboBox>(adf_, "TXAD2OSR"), 6);
        QTRY_COMPARE(Control<QLabel>(adf_, "LAD2OSR")->text(), QString("ADCK2 / 1024"));
        Choose(Control<QComboBox>(adf_, "TXAVGSEL"), 0);
        QTRY_COMPARE(Control<QLabel>(adf_, "LSELAVG")->text(), QString("OSR2 / 64"));
        // The clock texts follow ENI_XI (and FCLK_SEL for the fast converter).
        SetField("ENI_XI", 1);
        QTRY_COMPARE(Control<QLabel>(ads_, "LAD1CLK")->text(), QString("XIN / 30"));
        QCOMPARE(Control<QLabel>(adf_, "LAD2CLK")->text(), QString("XIN / 2"));
        SetField("FCLK_SEL", 1);
        QTRY_COMPARE(Control<QLabel>(adf_, "LAD2CLK")->text(), QString("XIN / 4"));
        QCOMPARE(Control<QLabel>(ads_, "LAD1CLK")->text(), QString("XIN / 30"));
        // DCPOS paints its two output labels; clicking one changes no register.
        SetField("DCPOS", 1);
        QTRY_VERIFY(Chosen(Control<gui::BoundLabel>(adf_, "LSLPO")));
        QVERIFY(!Chosen(Control<gui::BoundLabel>(adf_, "LDCPO")));
        const auto image = static_cast<gui::TADF*>(adf_)->image().bytes;
        Click(Control(adf_, "LDCPO"));
        QTest::qWait(50);
        bool unchanged = false;
        d_.program().bench().RunAndWait(
            [&](Bench& b) { unchanged = b.target().RegisterImage == image; });
        QVERIFY(unchanged);
    }

    void captureThresholdsRefuseOutOfRangeAndWriteLowByteFirst() {
        auto* adf = static_cast<gui::TADF*>(adf_);
        adf->SetProductVariant(2);  // the chip with the capture comparators
        QVERIFY(Control(adf_, "Panel2")->isVisible());
        QVERIFY(!Control(adf_, "PADFV2COV")->isVisible());
        auto* entry = Control<QLineEdit>(adf_, "ECPT");
        QCOMPARE(entry->text(), QString("0"));  // from the image
        SentPackets packets;
        d_.program().bench().RunAndWait([&](Bench& b) { b.link().SetTrace(&packets); });

        entry->setText("32768");
        Click(Control(adf_, "INPCPT"));
        QTRY_VERIFY(adf_->findChild<QMessageBox*>("MessageBox"));
        auto* box = adf_->findChild<QMessageBox*>("MessageBox");
        QCOMPARE(box->text(), QString("Over Range !!!"));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Cancel));
        box->close();
        QTest::qWait(50);

        entry->setText("-32768");
        Click(Control(adf_, "INPCPT"));
        const TRegField low = Field("CPTL");
        QTRY_COMPARE(ChipByte(low.registerIndex + 1), uint8_t{0x80});
        d_.program().bench().RunAndWait([&](Bench& b) { b.link().SetTrace(nullptr); });
        // Nothing was sent for the refused entry; the accepted one went as one block, 0x00 first.
        QVERIFY(!packets.sent.empty());
        const std::vector<uint8_t> block{0xC2, 0x00, static_cast<uint8_t>(low.registerIndex * 2),
                                         2,    0x00, 0x80};
        QCOMPARE(packets.sent.front(), block);
        QCOMPARE(ChipByte(low.registerIndex), uint8_t{0x00});
        QCOMPARE(Image(Field("CPTH").registerIndex), uint8_t{0x80});
        QVERIFY(!adf_->findChild<QMessageBox*>("MessageBox") ||
                !adf_->findChild<QMessageBox*>("MessageBox")->isVisible());
    }

    void aThresholdThatReadsBackDifferentlyReportsReadFail() {
        static_cast<gui::TADF*>(adf_)->SetProductVariant(3);
        const TRegField low = Field("CPBL");
        // The board corrupts the high byte of every two-byte read.
        d_.program().bench().RunAndWait([this](Bench&) {
            d_.program().sim().board().faults().replyFilter =
                [](const std::vector<uint8_t>& request, std::vector<uint8_t>& reply) {
                    const bool pairRead = request.size() > 3 && request[0] == 0xC2 &&
                                          (request[2] & 1) && request[3] == 2;
                    if (pairRead && reply.size() == 2) reply[1] ^= 0x40;
                };
        });
        auto* entry = Control<QLineEdit>(adf_, "ECPB");
        entry->setText("1234");
        Click(Control(adf_, "INPCPB"));
        QTRY_VERIFY(adf_->findChild<QMessageBox*>("MessageBox"));
        QCOMPARE(adf_->findChild<QMessageBox*>("MessageBox")->text(), QString("Read Fail !!!"));
        // The chip took the bytes; the image keeps its old ones.
        QCOMPARE(ChipByte(low.registerIndex), uint8_t{0xD2});
        QCOMPARE(Image(low.registerIndex), uint8_t{0x00});
        d_.program().bench().RunAndWait(
            [this](Bench&) { d_.program().sim().board().faults().replyFilter = nullptr; });
    }

    void aFailedWriteLeavesTheControlsShowingTheChip() {
        auto* enable = Control<gui::BoundLabel>(ads_, "PENADC1");
        auto* gain = Control<QComboBox>(ads_, "TXAD1GN");
        d_.program().bench().RunAndWait(
            [this](Bench&) { d_.program().sim().board().faults().disconnected = true; });
        Click(enable);
        Choose(gain, 3);
        // The choice is shown at once and put back when the write has failed.
        QTRY_COMPARE(gain->currentIndex(), 0);
        QVERIFY(!Chosen(enable));
        d_.program().bench().RunAndWait(
            [this](Bench&) { d_.program().sim().board().faults().disconnected = false; });
        QCOMPARE(ChipField("ENAD_S"), 0);
        QCOMPARE(ChipField("AD1GN"), 0);
    }

    void outputBitsFromTheSettingsSetTheDivisors() {
        static_cast<gui::TADS*>(ads_)->SetOutputBitsIndex(16 - 8);
        static_cast<gui::TADF*>(adf_)->SetOutputBitsIndex(20 - 8);
        static_cast<gui::TADF*>(adf_)->SetPeakHoldModeIndex(2);
        QCOMPARE(Control<QComboBox>(ads_, "TXADCObit")->currentText(), QString("16"));
        QCOMPARE(Control<QComboBox>(adf_, "TXPHSEL")->currentText(), QString("LPF"));
        int64_t adc1 = 0, adc2 = 0;
        d_.program().bench().RunAndWait([&](Bench& b) {
            adc1 = b.up().Adc1Divisor;
            adc2 = b.up().Adc2Divisor;
        });
        QCOMPARE(adc1, int64_t{256});
        QCOMPARE(adc2, int64_t{16});
        QCOMPARE(ChipField("SELPKH"), 0);  // selected, not written
    }

    void variantsShowTheirParts() {
        auto* adf = static_cast<gui::TADF*>(adf_);
        QCOMPARE(adf->ProductVariant(), 0);
        QVERIFY(!Control(adf_, "Panel2")->isVisible());
        QVERIFY(!Control(adf_, "PMULFP")->isVisible());
        QVERIFY(Control(adf_, "PADFV1COV")->isVisible());
        QVERIFY(Control(adf_, "LTCOV")->isVisible());
        adf->SetProductVariant(3);
        QVERIFY(Control(adf_, "Panel2")->isVisible());
        QVERIFY(Control(adf_, "PMULFP")->isVisible() && Control(adf_, "PDISFP")->isVisible());
        QVERIFY(!Control(adf_, "PADFV1COV3")->isVisible());
        QVERIFY(!Control(adf_, "LTCOV")->isVisible());
        // The demo chip has two converters besides ADC1; a chip with one hides the ADP path.
        QVERIFY(adf->SecondConverterShown());
        d_.program().bench().RunAndWait([](Bench& b) {
            b.core().chipModel().adcCount = 1;
            b.PublishChipModel();
        });
        QTRY_VERIFY(!adf->SecondConverterShown());
        QVERIFY(!Control(adf_, "PENADP")->isVisible());
        QVERIFY(!Control(adf_, "PMULFP")->isVisible());
        QVERIFY(!Control(adf_, "LSADPIP0")->isVisible());
        QVERIFY(Control(adf_, "PENADC2")->isVisible());
    }

    void liveAdc1ReadingIsTheResultOverTheOutputBitsDivisor() {
        auto* lcd = Control<gui::TLcdArray>(ads_, "SADCLCD");
        auto* read = Control<QPushButton>(ads_, "BSAMPLEADC");
        QCOMPARE(read->text(), QString("Read ADC"));
        Chip().nodes().adc1Input = 0.3;
        // SENSE against AGND, VREF against FB: a quarter of the full scale.
        Click(Control(ads_, "SAD1IN3"));
        Click(Control(ads_, "SAD1RH2"));
        Choose(Control<QComboBox>(ads_, "TXCHOP"), 1);
        Choose(Control<QComboBox>(ads_, "TXADCObit"), 16 - 8);  // divisor 256
        Click(Control(ads_, "PENADC1"));
        QTRY_COMPARE(ChipField("ENAD_S"), 1);
        QTRY_COMPARE(ChipField("S_AD1RH"), 2);
        panel_->MenuItem("Menu_INTF")->trigger();
        Click(read);
        QTRY_COMPARE(read->text(), QString("Reading"));
        // 0x200000 / 256 = 8192, give or take the converter's noise.
        QTRY_VERIFY(std::abs(lcd->Caption().toInt() - 8192) <= 3);
        QVERIFY(std::abs(lcd->Caption().toInt() - 8192) <= 3);
        Choose(Control<QComboBox>(ads_, "TXADCObit"), 24 - 8);  // the whole result
        QTRY_VERIFY(std::abs(lcd->Caption().toInt() - 0x200000) < 2000);
        Click(read);
        QTRY_COMPARE(read->text(), QString("Stop"));
    }

    void liveAdc2ReadingsAndPeakHold() {
        Chip().nodes().adc2Input = 0.3;
        Click(Control(adf_, "SAD2IN1"));  // AGND
        Click(Control(adf_, "SAD2RH2"));  // VREF
        Click(Control(adf_, "SAD2RL1"));  // AGND
        Choose(Control<QComboBox>(adf_, "TXAD2OSR"), 5);
        Click(Control(adf_, "PENCHOAD2"));
        Click(Control(adf_, "PENAVG"));
        Click(Control(adf_, "PENRMS"));
        Click(Control(adf_, "PENPK"));
        Click(Control(adf_, "PENADC2"));
        QTRY_COMPARE(ChipField("ENAD_F"), 1);
        QTRY_COMPARE(ChipField("ENPKH"), 1);
        Choose(Control<QComboBox>(adf_, "TXADPFbit"), 24 - 8);  // undivided
        panel_->MenuItem("Menu_INTF")->trigger();
        Click(Control(adf_, "BSAMPLEADC"));
        // A quarter of ADC2's 18-bit scale; the RMS of that; the low-pass alike.
        QTRY_VERIFY(std::abs(Control<QLabel>(adf_, "LADF")->text().toInt() - 0x8000) < 100);
        QTRY_VERIFY(std::abs(Control<gui::TLcdArray>(adf_, "ADFLPF")->Caption().toInt() - 0x8000) <
                    20);
        QTRY_VERIFY(std::abs(Control<QLabel>(adf_, "LRMS")->text().toDouble() - 0x8000) < 20);
        // The peak hold, scaled back to 24 bits.
        Click(Control(adf_, "PKRead"));
        QTRY_VERIFY(!Control<QLabel>(adf_, "PPMAX")->text().isEmpty());
        const int high = Control<QLabel>(adf_, "PPMAX")->text().toInt();
        const int low = Control<QLabel>(adf_, "PPMIN")->text().toInt();
        QVERIFY2(low <= 0x8000 * 64 && 0x8000 * 64 <= high && high - low < 200 * 64,
                 qPrintable(QString("%1 %2").arg(low).arg(high)));

        // ADC1 as the source: the chip holds its peaks with five bits less; the readout
        // scales them back by 2^5 to ADC1's own scale.
        Chip().nodes().adc1Input = 0.3;
        Click(Control(ads_, "SAD1IN3"));
        Click(Control(ads_, "SAD1RH2"));
        Choose(Control<QComboBox>(ads_, "TXCHOP"), 1);
        Choose(Control<QComboBox>(adf_, "TXPHSEL"), 1);
        Click(Control(adf_, "PENPK"));
        Click(Control(adf_, "PENPK"));  // off and on: the peak hold starts afresh
        Click(Control(ads_, "PENADC1"));
        QTRY_COMPARE(ChipField("ENAD_S"), 1);
        QTest::qWait(100);
        Click(Control(adf_, "PKRead"));
        QTRY_VERIFY(std::abs(Control<QLabel>(adf_, "PPMAX")->text().toInt() - 0x200000) < 2000);
        QVERIFY(std::abs(Control<QLabel>(adf_, "PPMIN")->text().toInt() - 0x200000) < 2000);
    }

    void aLiveDisplayRepaintsWithoutDrawingTheDiagramAgain() {
        CountingPanel panel(d_.bench());
        auto* display = new gui::TLcdArray(&panel);
        display->setGeometry(20, 20, 160, 34);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTRY_VERIFY(panel.drawn > 0);
        const int drawn = panel.drawn;
        for (int reading = 1; reading <= 20; ++reading) {
            display->SetCaption(QString::number(reading));
            display->repaint();
        }
        QCOMPARE(panel.drawn, drawn);
        panel.repaint();  // the panel itself, as its stored values change
        QCOMPARE(panel.drawn, drawn + 1);
    }

    void choppersAnimateWhileOn() {
        auto* straight = Control(ads_, "AD1CHO00");
        auto* crossed = Control(ads_, "AD1CHO01");
        QVERIFY(straight->isVisible() && !crossed->isVisible());
        Choose(Control<QComboBox>(ads_, "TXCHOP"), 2);  // chopped with alternating phase
        QTRY_VERIFY(crossed->isVisible());
        QTRY_VERIFY(straight->isVisible());
        Choose(Control<QComboBox>(ads_, "TXCHOP"), 1);
        QTRY_VERIFY(crossed->isVisible() && !straight->isVisible());
        Click(Control(adf_, "PENCHOAD2"));
        QTRY_VERIFY(Control(adf_, "AD2CHO01")->isVisible());
        QTRY_VERIFY(Control(adf_, "AD2CHO00")->isVisible());
    }
};

DMM_QTEST(BlockPanelsTest);

}  // namespace dmm::test

#include "block_panels_test.moc"
