#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <cmath>
#include <memory>

#include "gui/analog/segment_glyphs.h"
#include "gui/analog/t_meter.h"
#include "gui/chip/t_option.h"
#include "gui/instruments/step_table_window.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The meter window and the two step-table windows in the whole program on the simulated
// bench: six simulated meters on their serial ports, each read at its own scan period.
// Every test starts its own program.
class MeterWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TMeter* meter_ = nullptr;

    template <typename T>
    T* Control(QWidget* window, const QString& name) {
        T* control = window->findChild<T*>(name);
        if (!control) qFatal("no control %s", qPrintable(name));
        return control;
    }
    int Requests(int channel) {
        std::lock_guard lock(program_->instruments().mutex());
        return program_->instruments().meter(channel).requests();
    }
    void Show(const char* item) {
        QAction* action = program_->panel().MenuItem(item);
        QVERIFY(action);
        action->trigger();
    }
    void StartReading() {
        QTest::mouseClick(meter_->RDandStop, Qt::LeftButton);
        QTRY_COMPARE(meter_->RDandStop->text(), QString("Reading"));
    }
    void SetSilent(int channel, bool silent) {
        std::lock_guard lock(program_->instruments().mutex());
        program_->instruments().meter(channel).faults().silent = silent;
    }

  private slots:
    // The window shown, its rows enabled: the simulated meters are selected at start, at
    // 100 ms .. 5 s.
    void init() {
        program_ = std::make_unique<SimulatedProgram>();
        meter_ = qobject_cast<gui::TMeter*>(program_->panel().Child("TMeter"));
        QVERIFY(meter_);
        Show("BryMenShow1");
        QTRY_VERIFY(Control<QCheckBox>(meter_, "CheckBox6")->isEnabled());
    }
    void cleanup() {
        meter_ = nullptr;
        program_.reset();
    }

    void rowsOfMetersInUseAreEnabledWithTheirScanPeriods() {
        QCOMPARE(meter_->windowTitle(), QString("Meter"));
        for (int k = 1; k <= 6; ++k) {
            const QString n = QString::number(k);
            QVERIFY(Control<QComboBox>(meter_, "ComboBox" + n)->isEnabled());
            QCOMPARE(Control<QComboBox>(meter_, "ComboBox" + n)->currentIndex(), k - 1);
            QVERIFY(Control<gui::TLedArray>(meter_, "LedArray" + n)->isVisible());
            QCOMPARE(Control<QCheckBox>(meter_, "CheckBox" + n)->text(),
                     QStringLiteral("連續儲存第 ") + n + QStringLiteral(" 電表值"));
        }
        QCOMPARE(Control<QComboBox>(meter_, "ComboBox1")->itemText(5), QString("5s"));
        QCOMPARE(meter_->RDandStop->text(), QString("Stop"));
    }

    void readingShowsEachMeterWithUnitSignAndOl() {
        const int before[3] = {Requests(0), Requests(3), Requests(5)};
        StartReading();
        // The 5 s meter is read on tick 50 (each row shows its meter's answer to Select
        // from the start).
        QTRY_VERIFY_WITH_TIMEOUT(Requests(5) > before[2], 15000);
        QTRY_COMPARE(meter_->MUnit[5]->text(), QString("DC mA"));
        QCOMPARE(meter_->MUnit[0]->text(), QString("DC mV"));
        QCOMPARE(meter_->MUnit[1]->text(), QString("AC V"));
        QCOMPARE(meter_->MUnit[2]->text(), QStringLiteral("Ω"));
        QCOMPARE(meter_->MUnit[3]->text(), QStringLiteral("℃"));
        QCOMPARE(meter_->MUnit[4]->text(), QString("Hz"));
        // 0.3 V at the meter input: about 300.00 mV, the point after the third digit.
        const QString millivolts = meter_->LedArray[0]->Caption();
        QCOMPARE(millivolts.indexOf('.'), 3);
        QVERIFY2(std::abs(millivolts.toDouble() - 300.0) < 0.05, qPrintable(millivolts));
        QCOMPARE(meter_->LedArray[0]->DotCount(), 3);
        QCOMPARE(meter_->LedArray[0]->PointCell(), 2);
        QCOMPARE(meter_->LedArray[2]->Caption(), QString("OL"));
        QVERIFY(meter_->Panel[5]->isVisible());  // -12.3 mA
        QCOMPARE(meter_->LedArray[5]->Caption(), QString("12.343"));
        QVERIFY(!meter_->Panel[0]->isVisible());
        // Each at its own pace: the 100 ms meter up to ten times as often as the 1 s one. A
        // meter is not asked again before its last read came back, and a read takes a good
        // part of the 100 ms at 9600 baud: on a loaded machine the fast meter skips ticks.
        const int fast = Requests(0) - before[0], slow = Requests(3) - before[1];
        QVERIFY2(slow >= 4 && fast >= 3 * slow, qPrintable(QString("%1 / %2").arg(fast).arg(slow)));
    }

    void aMeterThatStopsAnsweringShowsItsLastReadingAsOld() {
        StartReading();
        QTRY_VERIFY(meter_->RowHasReading(0) && !meter_->RowStale(0));
        QString lastShown;
        SetSilent(0, true);
        // Whatever was shown when the meter went silent stays, dimmed.
        QTRY_VERIFY_WITH_TIMEOUT((lastShown = meter_->LedArray[0]->Caption(), meter_->RowStale(0)),
                                 5000);
        QTest::qWait(300);
        QCOMPARE(meter_->LedArray[0]->Caption(), lastShown);
        QVERIFY(meter_->LedArray[0]->OnColor() != meter_->LedArray[1]->OnColor());
        QVERIFY(!meter_->LedArray[0]->toolTip().isEmpty());
        SetSilent(0, false);
        QTRY_VERIFY_WITH_TIMEOUT(!meter_->RowStale(0), 5000);
        QCOMPARE(meter_->LedArray[0]->OnColor(), meter_->LedArray[1]->OnColor());
    }

    // Select where no meter answers: the setup dialog says so, and the row shows no digits
    // and no unit however often the meter is read.
    void aMeterThatNeverAnsweredShowsNoReading() {
        SetSilent(0, true);
        Show("SMenu_Option");
        auto* option = qobject_cast<gui::TOption*>(program_->panel().Child("TOption"));
        QVERIFY(option);
        QTRY_VERIFY(option->isVisible());
        option->BryMemChannel->setCurrentIndex(0);
        option->BryMemCom->setCurrentIndex(sim::SimInstruments::MeterCom(0));
        option->BryMemButtom->click();
        QTRY_COMPARE_WITH_TIMEOUT(option->BryMemState->text(),
                                  QString("meter 1 on COM5: no answer"), 8000);
        QTRY_COMPARE(program_->panel().StatusText(1), QString("BryMen 1 In COM5: no answer"));
        option->BtClose->click();
        StartReading();
        const int before = Requests(0);
        QTRY_VERIFY_WITH_TIMEOUT(Requests(0) > before + 2, 8000);  // a read given up on
        QVERIFY(!meter_->RowHasReading(0));
        QCOMPARE(meter_->LedArray[0]->Glyphs(), std::vector<int>(5, gui::kGlyphBlank));
        QCOMPARE(meter_->LedArray[0]->PointCell(), -1);
        QCOMPARE(meter_->MUnit[0]->text(), QString());
        QVERIFY(!meter_->Panel[0]->isVisible());
        // Once it answers, it shows its reading.
        SetSilent(0, false);
        QTRY_COMPARE_WITH_TIMEOUT(meter_->MUnit[0]->text(), QString("DC mV"), 8000);
        QVERIFY(meter_->RowHasReading(0));
    }

    void storeFlagsAndScanPeriodsReachTheBench() {
        Control<QCheckBox>(meter_, "CheckBox2")->setChecked(true);
        Control<QComboBox>(meter_, "ComboBox2")->setCurrentIndex(4);
        MeterChannelStates states{};
        QTRY_VERIFY([&] {
            program_->bench().RunAndWait([&](Bench& b) { states = b.meterScan().CkSel(); });
            return states[1].store && states[1].scanPeriodIndex == 4;
        }());
    }

    void closingTheWindowStopsReading() {
        StartReading();
        auto* sub = qobject_cast<QMdiSubWindow*>(meter_->parentWidget());
        QVERIFY(sub);
        sub->close();
        QTRY_COMPARE(meter_->RDandStop->text(), QString("Stop"));
        bool reading = true;
        program_->bench().RunAndWait([&](Bench& b) { reading = b.meterScan().Reading(); });
        QVERIFY(!reading);
        QTest::qWait(200);  // a read in flight finishes
        const int stopped = Requests(0);
        QTest::qWait(500);
        QCOMPARE(Requests(0), stopped);
    }

    void stepTablesHaveFortyEightNumberedStepsAndReachTheBench() {
        Show("Fluke1");
        auto* fluke = qobject_cast<gui::TFLUKE*>(program_->panel().Child("TFLUKE"));
        QVERIFY(fluke);
        QCOMPARE(fluke->windowTitle(), QString("FLUKE-5500"));
        QTableWidget* grid = Control<QTableWidget>(fluke, "FlukeGd");
        QCOMPARE(grid->rowCount(), 48);
        QCOMPARE(grid->columnCount(), 3);
        QCOMPARE(grid->horizontalHeaderItem(0)->text(), QStringLiteral("序號"));
        QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Step"));
        QCOMPARE(grid->horizontalHeaderItem(2)->text(), QStringLiteral("輸入值"));
        // At least the designed widths, and wide enough for their titles.
        for (int c : {0, 1}) {
            QVERIFY(grid->columnWidth(c) >= (c == 0 ? 28 : 30));
            QVERIFY(grid->columnWidth(c) >= grid->horizontalHeader()->sectionSizeHint(c));
        }
        QCOMPARE(grid->size(), QSize(338, 622));
        QCOMPARE(grid->item(47, 0)->text(), QString("48"));
        QVERIFY(!(grid->item(0, 0)->flags() & Qt::ItemIsEditable));

        grid->item(2, 1)->setText("1");
        grid->item(2, 2)->setText("OUT 1 V");
        StepRow row;
        QTRY_VERIFY([&] {
            program_->bench().RunAndWait([&](Bench& b) { row = b.flukeSteps().Step(3); });
            return row.command == "OUT 1 V";
        }());
        QCOMPARE(row.active, std::string("1"));

        fluke->INI(10);
        QCOMPARE(grid->rowCount(), 10);
        QCOMPARE(grid->item(9, 0)->text(), QString("10"));
        QCOMPARE(grid->item(2, 2)->text(), QString("OUT 1 V"));  // kept
        int steps = 0;
        QTRY_VERIFY([&] {
            program_->bench().RunAndWait([&](Bench& b) { steps = b.flukeSteps().StepCount(); });
            return steps == 10;
        }());

        auto* power = qobject_cast<gui::TFPower*>(program_->panel().Child("TFPower"));
        QVERIFY(power);
        QCOMPARE(power->windowTitle(), QString("Power Supply"));
        QCOMPARE(Control<QTableWidget>(power, "PowerGd")->rowCount(), 48);
    }
};

DMM_QTEST(MeterWindowTest);

}  // namespace dmm::test

#include "meter_window_test.moc"
