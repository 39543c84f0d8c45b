#include <qcustomplot.h>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <csignal>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/measure/drift_files.h"
#include "core/measure/drift_journal.h"
#include "gui/app/signal_close.h"
#include "gui/chip/t_option.h"
#include "gui/instruments/step_table_window.h"
#include "gui/measure/t_tmp.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// "Temperature Test" on the simulated bench through its controls and the File menu.
class TemperatureTestWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<SimulatedProgram> program_;
    gui::TTMP* window_ = nullptr;

    void Start(double speed = 1) {
        gui::BenchOptions options;
        options.simSpeed = speed;
        program_ = std::make_unique<SimulatedProgram>(options);
        window_ = qobject_cast<gui::TTMP*>(program_->panel().Child("TTMP"));
        QVERIFY(window_);
        program_->panel().MenuItem("Regist")->trigger();
        QVERIFY(window_->isVisible());
        QVERIFY(window_->Timer1->isActive());
    }
    void Write(const char* name, const QByteArray& bytes) {
        QFile file(program_->benchDir() + "/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Read(const char* name) {
        QFile file(program_->benchDir() + "/" + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString Cell(QTableWidget* grid, int r, int c) {
        return grid->item(r, c) ? grid->item(r, c)->text() : QString();
    }
    // Identifies the calibrator or the chamber on its simulated port, as Setup does.
    bool Identify(InstrumentId id) {
        bool done = false, ok = false;
        program_->bench().instrumentThreads().Call(
            id,
            [id](Instruments& i) {
                return id == InstrumentId::Chamber
                           ? i.chamber().ChamberSelectClick(sim::SimInstruments::Chamber)
                           : i.calibrator().FlukeSelectClick(sim::SimInstruments::Calibrator);
            },
            this,
            [&](bool result) {
                ok = result;
                done = true;
            });
        return QTest::qWaitFor([&] { return done; }, 15000) && ok;
    }
    // Two modes of ADC1 with their delays, references and calibrator steps, the board
    // connected, and a plan of `steps` temperatures from 25 degC by 5 with a minute's soak.
    void PrepareRun(int steps) {
        Write("Register.txt", "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n");
        Write("Delay.txt", "     1\r\n     1\r\n");
        Write("ACM.txt", "   1.2\r\n   1.2\r\n");
        Write("Fluke.txt", "   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n");
        program_->panel().MenuItem("USBScan")->trigger();
        program_->panel().MenuItem("DownloadReg1")->trigger();
        QTRY_COMPARE(Cell(window_->RegChg, 2, 1), QString("94"));
        program_->panel().MenuItem("DownLoadFluke1")->trigger();
        auto* fluke = qobject_cast<gui::TFLUKE*>(program_->panel().Child("TFLUKE"));
        QVERIFY(fluke);
        QTRY_COMPARE(Cell(fluke->FlukeGd(), 1, 2), QString("OUT 200 mV ,0 Hz"));
        window_->ETempCount->setText(QString::number(steps));
        window_->ETMPBG->setText("25");
        window_->ETMPScale->setText("5");
        window_->Edit2->setText("1");
        window_->TMPCNTSET->click();
    }

  private slots:
    void cleanup() { program_.reset(); }

    void controlsStartWithTheirDefaultsAndThePlanFollowsSet() {
        Start();
        QCOMPARE(window_->windowTitle(), QString("Temperature Test"));
        QCOMPARE(window_->ETempCount->text(), QString("5"));
        QCOMPARE(window_->ETMPBG->text(), QString("-40.0"));
        QCOMPARE(window_->Edit2->text(), QString("20"));
        QCOMPARE(window_->CADCBRY->currentText(), QString("ADC"));
        QCOMPARE(window_->TMPGrid->rowCount(), 6);
        QCOMPARE(Cell(window_->TMPGrid, 0, 1), QString("溫度"));
        QCOMPARE(Cell(window_->TMPGrid, 5, 1), QString("0.000000"));
        QCOMPARE(Cell(window_->TMPGrid, 5, 4), QString("5.000000"));
        QCOMPARE(Cell(window_->TMPData, 0, 1), QString("平均值"));
        QCOMPARE(Cell(window_->RegChg, 1000, 0), QString("Value-1000"));

        window_->ETempCount->setText("25");
        window_->TMPCNTSET->click();
        QCOMPARE(window_->ETempCount->text(), QString("20"));
        QCOMPARE(Cell(window_->TMPGrid, 20, 1), QString("150.000000"));
        // Entries that are no value in range keep the plan as it is and say which.
        window_->ETMPScale->setText("inf");
        window_->TMPCNTSET->click();
        QCOMPARE(window_->TMPGrid->rowCount(), 21);
        QCOMPARE(window_->ProgressLine->text(),
                 QString("輸入溫度隔數: inf is not a temperature step (-1000 ≤ step ≤ 1000 °C)"));

        window_->LK330mV->setChecked(true);
        window_->LK3V->setChecked(true);
        QVERIFY(!window_->LK330mV->isChecked());

        auto* fluke = qobject_cast<gui::TFLUKE*>(program_->panel().Child("TFLUKE"));
        QVERIFY(fluke);
        window_->EModenum->setText("0");
        QTest::keyClick(window_->EModenum, Qt::Key_Return);
        QCOMPARE(window_->EModenum->text(), QString("48"));
        QCOMPARE(window_->RegChg->rowCount(), 49);
        QCOMPARE(fluke->FlukeGd()->rowCount(), 48);
    }

    void fileMenuSavesAndLoadsTheStepTables() {
        Start();
        window_->RegChg->setItem(0, 1, new QTableWidgetItem("3A"));
        window_->RegChg->setItem(1, 1, new QTableWidgetItem("12"));
        window_->RegChg->setItem(1, 11, new QTableWidgetItem("5"));
        window_->RegChg->setItem(1, 12, new QTableWidgetItem("1.2"));
        // A value wider than its field in the file is refused as it is typed.
        window_->RegChg->item(1, 12)->setText("1.25");
        window_->RegChg->item(1, 12)->setText("1.23456789");
        QCOMPARE(Cell(window_->RegChg, 1, 12), QString("1.25"));
        QVERIFY(window_->ProgressLine->text().startsWith("Value-1, ACM: 1.23456789 is not"));
        program_->panel().MenuItem("SaveReg1")->trigger();
        QTRY_COMPARE(Read("Register.txt"),
                     QByteArray("  3A                                    \r\n"
                                "  12                                    \r\n"));
        QCOMPARE(Read("Delay.txt"), QByteArray("     5\r\n"));

        Write("Register.txt", "  30  31\r\n  01  02\r\n  03  04\r\n  05  06\r\n");
        Write("Fluke.txt", "   1OUT 1 V\r\n  00OUT 2 V\r\n   1STBY\r\n");
        program_->panel().MenuItem("DownloadReg1")->trigger();
        QTRY_COMPARE(Cell(window_->RegChg, 3, 2), QString("06"));
        QCOMPARE(Cell(window_->RegChg, 0, 1), QString("30"));
        QCOMPARE(window_->TMPData->columnCount(), 4);  // three used steps
        QCOMPARE(Cell(window_->TMPData, 0, 3), QString("D - 3"));
        program_->panel().MenuItem("DownLoadFluke1")->trigger();
        auto* fluke = qobject_cast<gui::TFLUKE*>(program_->panel().Child("TFLUKE"));
        QTRY_COMPARE(Cell(fluke->FlukeGd(), 1, 2), QString("STBY"));
        QCOMPARE(Cell(fluke->FlukeGd(), 0, 2), QString("OUT 1 V"));
    }

    void aRunKeepsTheWindowResponsiveAndFillsTheResults() {
        Start(20);
        Write("Register.txt", "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n");
        Write("Delay.txt", "     1\r\n     1\r\n");
        Write("ACM.txt", "   1.2\r\n   1.2\r\n");
        program_->panel().MenuItem("USBScan")->trigger();
        // The calibrator identified in Setup, as the user does before a run.
        program_->panel().MenuItem("SMenu_Option")->trigger();
        auto* option = qobject_cast<gui::TOption*>(program_->panel().Child("TOption"));
        QVERIFY(option);
        QTRY_VERIFY(option->isVisible());
        option->FlukeCOM->setCurrentIndex(sim::SimInstruments::Calibrator);
        option->FlukeSelect->click();
        QTRY_COMPARE_WITH_TIMEOUT(option->FlukeState->text(), QStringLiteral("identified on COM2"),
                                  10000);
        option->BtClose->click();
        program_->panel().MenuItem("DownloadReg1")->trigger();
        QTRY_COMPARE(Cell(window_->RegChg, 2, 1), QString("94"));
        window_->ETempCount->setText("2");
        window_->ETMPBG->setText("25");
        window_->TMPCNTSET->click();
        window_->TTest->click();
        QVERIFY(!window_->TTest->isEnabled());

        // Events posted to the window's thread during the run are handled at once.
        qint64 worstLatency = 0;
        QElapsedTimer overall;
        overall.start();
        while (!window_->TTest->isEnabled() && overall.elapsed() < 60000) {
            QElapsedTimer posted;
            posted.start();
            bool ran = false;
            QMetaObject::invokeMethod(
                this, [&] { ran = true; }, Qt::QueuedConnection);
            while (!ran) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            worstLatency = std::max(worstLatency, posted.elapsed());
            QTest::qWait(20);
        }
        QVERIFY(window_->TTest->isEnabled());
        // Below the run's one-second waits, yet above what a loaded machine's scheduler adds.
        QVERIFY2(worstLatency < 500, qPrintable(QString("worst latency %1 ms").arg(worstLatency)));
        QTRY_VERIFY(window_->ProgressLine->text().startsWith("Done: 2 steps of 2 modes"));
        QTRY_VERIFY(Cell(window_->TMPData, 2, 2).toDouble() > 1e6);
        QVERIFY(Read(kDriftAFileName).count("\r\n") == 2 + 4);
        // However the run ends, the calibrator is left in standby.
        std::vector<std::string> received;
        {
            std::lock_guard lock(program_->instruments().mutex());
            received = program_->instruments().calibrator().lines();
        }
        QVERIFY(!received.empty());
        QCOMPARE(received.back(), std::string("STBY"));
    }

    // The progress line says how a run ended, and the plot holds only what was measured:
    // a step never reached has no point (at 0 degC, -1,000,000 ppm).
    void aStoppedRunSaysSoAndPlotsOnlyWhatWasMeasured() {
        Start(100);
        PrepareRun(3);
        if (QTest::currentTestFailed()) return;
        QVERIFY(Identify(InstrumentId::Calibrator));
        window_->PlotFigure->setCurrentIndex(2);  // the drift in ppm
        window_->TTest->click();
        QTRY_VERIFY_WITH_TIMEOUT(window_->ProgressLine->text().startsWith("Step 2 of 3"), 30000);
        window_->Button2->click();
        QTRY_VERIFY_WITH_TIMEOUT(window_->TTest->isEnabled(), 30000);
        QTRY_VERIFY2(window_->ProgressLine->text().startsWith("Stopped at step 2 of 3: "),
                     qPrintable(window_->ProgressLine->text()));
        QCOMPARE(window_->DriftPlot->graphCount(), 2);
        // The plot repaints with the window's one-second timer.
        QTRY_VERIFY(window_->DriftPlot->graph(0)->dataCount() >= 1 &&
                    window_->DriftPlot->graph(1)->dataCount() >= 1);
        for (int g = 0; g < window_->DriftPlot->graphCount(); ++g) {
            const auto data = window_->DriftPlot->graph(g)->data();
            for (auto it = data->constBegin(); it != data->constEnd(); ++it) {
                QVERIFY2(it->key == 25 || it->key == 30, qPrintable(QString::number(it->key)));
                QVERIFY(std::abs(it->value) < 1000);
            }
        }
    }

    // SIGTERM mid-run closes the program through the window's close path: the run ends
    // first (its A file, the chamber stopped, the calibrator in standby), and only then
    // do the instruments shut down.
    void aSignalEndsTheRunThroughTheWindowsClosePath() {
        Start(10);
        PrepareRun(3);
        if (QTest::currentTestFailed()) return;
        window_->Edit2->setText("0");  // no soak
        QVERIFY(Identify(InstrumentId::Calibrator));
        QVERIFY(Identify(InstrumentId::Chamber));
        const gui::CloseOnSignals closeOnSignals(program_->panel(),
                                                 [this] { program_->bench().RequestShutdown(); });
        QVERIFY(closeOnSignals.ok());
        window_->TBg->click();
        // The mode's four seconds of settling, which a stop does not cut, are still to come.
        QTRY_VERIFY_WITH_TIMEOUT(
            window_->ProgressLine->text().startsWith("Step 1 of 3: measuring mode 1 of 2"), 30000);
        ::raise(SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!program_->panel().isVisible(), 30000);
        QCOMPARE(Read(kDriftAFileName).count("\r\n"), 2 + 3 * 2);
        sim::SimInstruments& sim = program_->instruments();
        std::lock_guard lock(sim.mutex());
        QCOMPARE(sim.calibrator().lines().back(), std::string("STBY"));
        QVERIFY(!sim.chamber().running());
        QCOMPARE(sim.chamber().writes().back(), std::string("0101=4"));
    }

    // A signal while the bench waits for the answer to a question (resume an interrupted
    // run?) answers it "No", starts nothing and closes the program.
    void aSignalWhileTheBenchWaitsForAnAnswerClosesTheProgram() {
        Start();
        DriftJournal journal;
        journal.setup.plan = {{25, 0, 0, 5}};
        journal.setup.modes = ModeTable(1);
        journal.setup.modes.SetCell(0, 1, "3C");
        journal.setup.modes.SetCell(1, 1, "84");
        journal.results.Resize(1, 1);
        Write(kDriftJournalName, DriftJournalBytes(journal));
        const gui::CloseOnSignals closeOnSignals(program_->panel(),
                                                 [this] { program_->bench().RequestShutdown(); });
        // Raised from within the question's own event loop.
        QTimer::singleShot(1000, [] { ::raise(SIGTERM); });
        window_->TTest->click();
        QTRY_VERIFY_WITH_TIMEOUT(!program_->panel().isVisible(), 30000);
        QVERIFY(program_->panel().findChildren<QMessageBox*>().isEmpty() ||
                !program_->panel().findChild<QMessageBox*>()->isVisible());
        QVERIFY(Read(kDriftAFileName).isEmpty());
        QCOMPARE(Read(kDriftJournalName), DriftJournalBytes(journal));
    }
};

DMM_QTEST(TemperatureTestWindowTest);

}  // namespace dmm::test

#include "temperature_test_window_test.moc"
