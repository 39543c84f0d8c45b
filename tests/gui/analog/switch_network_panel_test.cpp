#include <climits>

#include <QComboBox>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QTest>

#include "gui/analog/t_mpn.h"
#include "support/panel_driver.h"
#include "support/qtest_registry.h"

namespace dmm::test {
namespace {

// A paint device that keeps the texts painted on it: a window rendered on it gives every
// word it shows, drawn on its diagram or in its controls.
class PaintedTexts final : public QPaintDevice {
  public:
    explicit PaintedTexts(QSize size) : size_(size) {}
    QStringList texts;
    QPaintEngine* paintEngine() const override { return &engine_; }

  protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
            case PdmWidth:
                return size_.width();
            case PdmHeight:
                return size_.height();
            case PdmWidthMM:
                return size_.width() * 254 / 960;
            case PdmHeightMM:
                return size_.height() * 254 / 960;
            case PdmNumColors:
                return INT_MAX;
            case PdmDepth:
                return 32;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return static_cast<int>(devicePixelRatioFScale());
            default:
                return 96;  // the resolutions
        }
    }

  private:
    class Engine final : public QPaintEngine {
      public:
        explicit Engine(QStringList& texts) : QPaintEngine(AllFeatures), texts_(texts) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { texts_ << item.text(); }
        Type type() const override { return User; }

      private:
        QStringList& texts_;
    };
    QSize size_;
    mutable Engine engine_{texts};
};

}  // namespace

// The switch network panel in the whole program on the simulated DMM chip. The
// comparator compares SENSE (AGND 1.5 V + the ADC1 stimulus) with VDSC<10> (1.667 V) and
// VDSC<8> (1.333 V).
class SwitchNetworkPanelTest : public QObject {
    Q_OBJECT
  private:
    PanelDriver d_;
    QWidget* mpn_ = nullptr;

    gui::BoundLabel* Label(const char* name) { return d_.Control<gui::BoundLabel>(mpn_, name); }
    bool Shown(const char* name) { return d_.Control(mpn_, name)->isVisible(); }
    void Comparator(bool high) {
        d_.OnChip([high](sim::SimDmmChip& chip) { chip.nodes().adc1Input = high ? 0.25 : -0.3; });
    }
    // Which mode pictures show "on", in the order of the mode table.
    QString OnPictures() {
        QString on;
        for (const char* name :
             {"SAGNDon", "SVDDon", "SVSSon", "SVSO1on", "SVSO2on0", "NSVSO2on", "SCPon", "SCNon"}) {
            on += Shown(name) ? '1' : '0';
        }
        return on;
    }

  private slots:
    void init() {
        d_.Start({"DMMAP"});
        mpn_ = d_.Window("TMPN");
        QTRY_VERIFY(d_.Control(mpn_, "SMODE")->isEnabled());
        QVERIFY(d_.SetField("S_CMPI", 0));   // SENSE
        QVERIFY(d_.SetField("S_CMPRH", 3));  // VDSC<10>
        QVERIFY(d_.SetField("S_CMPRL", 3));  // VDSC<8>
        QVERIFY(d_.SetField("EN_CMP", 1));
    }
    void cleanup() { d_.Stop(); }

    void aBankPictureWritesExactlyItsSwitch() {
        const TRegField ps9 = d_.Field("PS9");
        QVERIFY(d_.SetField("SS9", 1));  // another switch of the same register
        const uint8_t before = d_.Image(ps9.registerIndex);
        QVERIFY(Shown("PS9off") && !Shown("PS9on"));
        const auto sent = d_.Sent([&] {
            PanelDriver::Click(d_.Control(mpn_, "PS9off"));
            QTRY_VERIFY(Shown("PS9on"));
        });
        const std::vector<std::vector<uint8_t>> written = {
            {0xC2, 0x00, uint8_t(2 * ps9.registerIndex), 1, ps9.Insert(before, 1)}};
        QCOMPARE(PanelDriver::Writes(sent), written);
        QCOMPARE(d_.ChipField("PS9"), 1);
        QCOMPARE(d_.ChipField("SS9"), 1);
        QVERIFY(!Shown("PS9off"));
        // Clicking the other picture opens it again.
        PanelDriver::Click(d_.Control(mpn_, "PS9on"));
        QTRY_COMPARE(d_.ChipField("PS9"), 0);
        QTRY_VERIFY(Shown("PS9off"));
        PanelDriver::Click(d_.Control(mpn_, "PS4off"));
        QTRY_COMPARE(d_.ChipField("PS4"), 1);
        QTRY_VERIFY(Shown("PS4on"));
    }

    void theUpperModesTakeBitZeroFromTheComparator() {
        auto* mode = d_.Control<QComboBox>(mpn_, "SMODE");
        Comparator(true);
        PanelDriver::Choose(mode, 14);
        QTRY_COMPARE(d_.ChipField("SMODE"), 14);
        QTRY_COMPARE(OnPictures(), QString("00101001"));  // pattern 7
        QVERIFY(Shown("SVSO2on1") && !Shown("SVSO2off1"));
        QVERIFY(PanelDriver::Chosen(Label("SMODE3")));
        // The status is read when the mode is chosen: the comparator has gone low.
        Comparator(false);
        PanelDriver::Choose(mode, 9);
        QTRY_COMPARE(OnPictures(), QString("00000100"));  // pattern 0
        Comparator(true);
        PanelDriver::Choose(mode, 9);
        QTRY_COMPARE(OnPictures(), QString("10000100"));  // pattern 1
        // The lower modes show their own pattern, whatever the comparator says.
        PanelDriver::Choose(mode, 6);
        QTRY_COMPARE(OnPictures(), QString("01001010"));
        QVERIFY(!PanelDriver::Chosen(Label("SMODE3")));
        QCOMPARE(Label("SMODE3")->Background(), gui::ButtonFaceColour());
    }

    void theReferenceTapFollowsTheComparatorInTheUpperModes() {
        auto* reference = d_.Control<QComboBox>(mpn_, "SFUVR");
        QVERIFY(d_.SetField("SMODE", 12));
        Comparator(true);
        PanelDriver::Choose(reference, 11);
        QTRY_COMPARE(d_.ChipField("SFUVR"), 11);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SFUVR11")));
        QVERIFY(!PanelDriver::Chosen(Label("SFUVR3")));
        Comparator(false);
        PanelDriver::Choose(reference, 11);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SFUVR3")));
        QVERIFY(!PanelDriver::Chosen(Label("SFUVR11")));
        // With SADCPO the rise latch decides: it rose earlier and stays set.
        PanelDriver::Click(Label("SADCP"));
        QTRY_COMPARE(d_.ChipField("SADCPO"), 1);
        PanelDriver::Choose(reference, 11);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SFUVR11")));
        QTRY_VERIFY(PanelDriver::Chosen(Label("LACPO")) && !PanelDriver::Chosen(Label("LDCPO")));
        // Below mode 8 the value is the label.
        QVERIFY(d_.SetField("SMODE", 2));
        PanelDriver::Choose(reference, 5);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SFUVR5")));
        int chosen = 0;
        for (int k = 0; k < 16; ++k)
            chosen += PanelDriver::Chosen(Label(qPrintable(QString("SFUVR%1").arg(k)))) ? 1 : 0;
        QCOMPARE(chosen, 1);
        // The taps only show the choice: a click on one writes nothing.
        PanelDriver::Click(Label("SFUVR9"));
        QTest::qWait(50);
        QCOMPARE(d_.ChipField("SFUVR"), 5);
    }

    void modeReferenceAndAccumulatorRefuseValuesBeyondTheirField() {
        QVERIFY(d_.SetField("SFUVR", 2));
        d_.bench().RunAndWait([](Bench& b) {
            b.core().chipModel().Field("SFUVR")->width = 3;
            b.PublishChipModel();
        });
        auto* mpn = static_cast<gui::TMPN*>(mpn_);
        QTRY_COMPARE(mpn->fields().Info("SFUVR").field.width, 3);
        auto* reference = d_.Control<QComboBox>(mpn_, "SFUVR");
        // 11 has no place in three bits: the entry is put back and 2 written again (a
        // value cut to its low bits would have written 3).
        const auto sent = d_.Sent([&] {
            PanelDriver::Choose(reference, 11);
            QTRY_COMPARE(reference->currentData().toInt(), 2);
            QTest::qWait(50);
        });
        QCOMPARE(d_.ChipField("SFUVR"), 2);
        QVERIFY(!PanelDriver::Writes(sent).empty());
    }

    void accumulatorSdioAndModeSwitches() {
        auto* acc = d_.Control<QComboBox>(mpn_, "ACC");
        QCOMPARE(acc->count(), 128);
        QCOMPARE(acc->itemText(127), QString("ACC<1111111>"));
        QVERIFY(Shown("ACCoff0") && Shown("ACCoff1"));
        PanelDriver::Choose(acc, 100);
        QTRY_COMPARE(d_.ChipField("ACC"), 100);
        QTRY_VERIFY(Shown("ACCon0") && Shown("ACCon1"));
        QVERIFY(!Shown("ACCoff0"));
        const int sdio = d_.ChipField("SDIO");
        PanelDriver::Click(d_.Control(mpn_, "SDIOoff"));
        QTRY_VERIFY(Shown("SDIOon"));
        PanelDriver::Click(d_.Control(mpn_, "SDIOon"));
        QTRY_VERIFY(Shown("SDIOoff"));
        QCOMPARE(d_.ChipField("SDIO"), sdio);
        // Two quick clicks on the same picture, before the first has come back: the bench
        // toggles what its image holds each time, so SDIO ends where it began.
        QVERIFY(d_.SetField("SDIO", 1));
        QTRY_VERIFY(Shown("SDIOon"));
        const auto sent = d_.Sent([&] {
            PanelDriver::Click(d_.Control(mpn_, "SDIOon"));
            PanelDriver::Click(d_.Control(mpn_, "SDIOon"));
            d_.Settle();
        });
        QCOMPARE(PanelDriver::Writes(sent).size(), size_t{2});
        QCOMPARE(d_.ChipField("SDIO"), 1);
        QTRY_VERIFY(Shown("SDIOon") && !Shown("SDIOoff"));
        QCOMPARE(d_.ChipField("ACC"), 100);  // the same register, kept
        PanelDriver::Click(d_.Control(mpn_, "SMODE5off"));
        QTRY_COMPARE(d_.ChipField("SMODE5"), 1);
        QTRY_VERIFY(Shown("SMODE5on") && Shown("SMODE4off"));
    }

    // The comparator's output level shows on the panel as the chip last reported it.
    void theComparatorsOutputLevelIsShown() {
        gui::BoundLabel* level = Label("LCPOLevel");
        for (bool high : {true, false, true}) {
            Comparator(high);
            d_.panel().MenuItem("Menu_ReadRAM")->trigger();
            QTRY_COMPARE(level->text(), QString(high ? "high" : "low"));
            QCOMPARE(PanelDriver::Chosen(level), high);
        }
    }

    // Each wire of the comparator's output routing carries one name, drawn or on a label:
    // the level DCPO, the rise latch FGRISE with its output ACPO.
    void eachOutputWireIsNamedOnce() {
        PaintedTexts painted(mpn_->size());
        mpn_->render(&painted);
        for (const char* name : {"ACPO", "DCPO", "FGRISE"})
            QVERIFY2(painted.texts.count(name) == 1, qPrintable(painted.texts.join('|')));
    }

    void comparatorSelectorsAndItsEnable() {
        PanelDriver::Click(Label("SCMPI2"));
        QTRY_COMPARE(d_.ChipField("S_CMPI"), 2);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SCMPI2")));
        auto* upper = d_.Control<QComboBox>(mpn_, "SCMPRH");
        QCOMPARE(upper->count(), 16);
        PanelDriver::Choose(upper, 9);
        QTRY_COMPARE(d_.ChipField("S_CMPRH"), 9);
        QTRY_VERIFY(PanelDriver::Chosen(Label("SCMPRH9")));
        // The description rebuilt the entries (the design-time misprint is gone).
        QCOMPARE(d_.Control<QComboBox>(mpn_, "SCMPRL")->itemText(2), QString("S_CMPRL<0010>"));
        QCOMPARE(Label("SCMPRL2")->text(), QString("VDSC<7>"));
        QTRY_VERIFY(PanelDriver::Chosen(Label("ENCMP")));
        PanelDriver::Click(Label("ENCMP"));
        QTRY_COMPARE(d_.ChipField("EN_CMP"), 0);
        QTRY_VERIFY(!PanelDriver::Chosen(Label("ENCMP")));
        QCOMPARE(Label("ENCMP")->Background(), gui::ButtonFaceColour());
    }
};

DMM_QTEST(SwitchNetworkPanelTest);

}  // namespace dmm::test

#include "switch_network_panel_test.moc"
