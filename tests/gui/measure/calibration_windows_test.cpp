#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "core/analog/block_field_ops.h"
#include "gui/calsets/t_setdmm.h"
#include "gui/measure/t_dmm_resister.h"
#include "gui/measure/t_rescala.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The three calibration windows in the whole program on the simulated bench, ADC1
// converting against VREF - FB.
class CalibrationWindowsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;

    template <typename T>
    T* Control(QWidget* window, const QString& name) {
        T* control = window->findChild<T*>(name);
        if (!control) qFatal("no control %s", qPrintable(name));
        return control;
    }
    void Trigger(const char* item) {
        QAction* action = program_->panel().MenuItem(item);
        QVERIFY(action);
        action->trigger();
    }
    QString Text(QWidget* window, const char* name) {
        return Control<QLabel>(window, name)->text();
    }

  private slots:
    void initTestCase() {
        program_ = std::make_unique<SimulatedProgram>();
        Trigger("USBScan");
        bool ok = false;
        QTRY_VERIFY([&] {
            program_->bench().RunAndWait([&](Bench& b) {
                ok = b.target().devc.connected && b.core().chipModel().Field("ENAD_S");
                if (!ok) return;
                for (auto [name, value] : {std::pair{"S_AD1RH", 2}, {"AD1CHO", 1}, {"ENAD_S", 1}})
                    ok = ok && WriteFieldValue(b.chip(), *b.core().chipModel().Field(name), value);
                b.up().SetIntfReading(true);
            });
            return ok;
        }());
    }

    void autoFillsTheChainAndLeavesTheWindowEnabled() {
        auto* window = qobject_cast<gui::TRESCALA*>(program_->panel().Child("TRESCALA"));
        QVERIFY(window);
        Trigger("ResistorCAL1");
        QCOMPARE(window->windowTitle(), QString("Resistor Calibration"));
        QTest::mouseClick(Control<QPushButton>(window, "PAUTO"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Text(window, "R1K") != "------" && window->isEnabled(), 10000);
        QVERIFY(Text(window, "R1M0").startsWith("1.00"));
        QCOMPARE(Text(window, "R1M1"), Text(window, "R1M0"));
        QVERIFY(Text(window, "R10K0").startsWith("10.0"));
        QCOMPARE(program_->panel().StatusText(1), QString("Get value  OK"));
        // The voltmeter: a range key chosen, the display with three decimals.
        QTest::mouseClick(Control<QPushButton>(window, "PDCV10V"), Qt::LeftButton);
        QTRY_VERIFY(Control<QPushButton>(window, "PDCV10V")->property("chosen").toBool());
        QVERIFY(!Control<QPushButton>(window, "PDCV1V")->property("chosen").toBool());
        QTRY_COMPARE(Control<gui::TLcdArray>(window, "SADCLCD")->DotCount(), 3);
    }

    void rangesMoveTheDisplayAndACalibratedRangeReadsTheResistor() {
        auto* window = qobject_cast<gui::TDMMResister*>(program_->panel().Child("TDMMResister"));
        QVERIFY(window);
        Trigger("SMenu_LCDPANEL");
        QWidget* display = Control<QWidget>(window, "Panel1");
        QTest::mouseClick(Control<QPushButton>(window, "B10M"), Qt::LeftButton);
        QTRY_COMPARE(display->x(), 288);
        QCOMPARE(Text(window, "LRx0"), QStringLiteral("5M~50MΩ"));
        QVERIFY(!Control<QLabel>(window, "Panel2")->isHidden());
        QTest::mouseClick(Control<QPushButton>(window, "B1M"), Qt::LeftButton);
        QTRY_VERIFY(Control<QLabel>(window, "Panel2")->isHidden());
        QTest::mouseClick(Control<QPushButton>(window, "B1K"), Qt::LeftButton);
        QTRY_COMPARE(display->x(), 0);
        QCOMPARE(Text(window, "LRF"), QStringLiteral("10KΩ"));
        QTest::mouseClick(Control<QPushButton>(window, "BC5K"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(program_->panel().StatusText(1), QString("Calibration OK!"),
                                  10000);
        // The simulated resistor is 10 kΩ, the one calibrated against.
        QTRY_VERIFY([&] {
            const int ohms = Control<gui::TLcdArray>(window, "SADCLCD")->Caption().toInt();
            return ohms > 9980 && ohms < 10020;
        }());
    }

    void setdmmOpensOnTheBenchFolderAndSavesASet() {
        auto* window = qobject_cast<gui::TSETDMM*>(program_->panel().Child("TSETDMM"));
        QVERIFY(window);
        Trigger("SETDMM1");
        QCOMPARE(window->windowTitle(), QString("Calibration Segment - 0"));
        QCOMPARE(window->folder(), program_->benchDir());
        QTRY_COMPARE(Control<QPushButton>(window, "Panel1")->text(), QString("NO FILE"));
        QTest::mouseClick(Control<QPushButton>(window, "Button1"), Qt::LeftButton);
        QTRY_COMPARE(Control<QPushButton>(window, "Panel1")->text(), QString("~KV"));
        QVERIFY(QFile::exists(QDir(program_->benchDir()).filePath("VZCONFIG-0.txt")));
        // Without a selection (the new set is selected: clear it first) measuring refuses.
        QTest::mouseClick(Control<QPushButton>(window, "Panel2"), Qt::LeftButton);
        QTest::mouseClick(Control<QPushButton>(window, "BSave"), Qt::LeftButton);
        int selected = 0;
        QTRY_VERIFY([&] {
            program_->bench().RunAndWait([&](Bench& b) { selected = b.calSets().selectedSlot(); });
            return selected == -1;
        }());
    }

    // AUTO clicked while the board is unplugged: the chain ends with its step's failure (it
    // used to end silently), the window takes clicks, and once the board is back a click works.
    void aLostBoardEndsTheCalibrationAndTheWindowTakesClicksAgain() {
        auto* window = qobject_cast<gui::TRESCALA*>(program_->panel().Child("TRESCALA"));
        QVERIFY(window);
        Trigger("ResistorCAL1");
        program_->panel().SetStatusText(1, QString());
        constexpr int64_t kAwayMs = 3000;
        program_->instruments().ScheduleFaults(
            {{sim::SimFaultKind::Unplug, -1, program_->bench().core().clock().NowMs(), kAwayMs}});
        QTRY_COMPARE(program_->panel().StatusText(0), QString("USB not Connect !!!"));
        QTest::mouseClick(Control<QPushButton>(window, "PAUTO"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(program_->panel().StatusText(1), QString("Get value false!!!!!"),
                                  kAwayMs + 5000);
        QTRY_VERIFY(window->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(program_->panel().StatusText(0), QString("USB On Line"),
                                  kAwayMs + 5000);
        QTest::mouseClick(Control<QPushButton>(window, "PAUTO"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(program_->panel().StatusText(1), QString("Get value  OK"),
                                  10000);
        QTRY_VERIFY(window->isEnabled());
    }

    void cleanupTestCase() { program_.reset(); }
};

DMM_QTEST(CalibrationWindowsTest);

}  // namespace dmm::test

#include "calibration_windows_test.moc"
