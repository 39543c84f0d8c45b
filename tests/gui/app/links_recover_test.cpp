#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "core/analog/block_field_ops.h"
#include "core/link/processor_centre.h"
#include "gui/analog/segment_display.h"
#include "gui/analog/t_meter.h"
#include "gui/chip/t_option.h"
#include "gui/instruments/step_table_window.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

// The board, a meter's adapter and the calibrator's adapter unplugged and plugged back
// while the ADC1 live reading, the meter window, the calibrator's step table and the setup
// dialog run, in the whole program on the simulated bench:
// each shows the loss, both links come back by themselves, and the GUI thread answers
// throughout.
class LinksRecoverTest : public QObject {
    Q_OBJECT
  private slots:
    void theBoardAMeterAndTheCalibratorComeBackWhileTheGuiAnswers() {
        SimulatedProgram program;
        gui::TMainPanel& panel = program.panel();
        QTRY_COMPARE(panel.StatusText(0), QString("USB On Line"));

        // How late the GUI thread runs a 10 ms timer, over the whole test.
        QElapsedTimer sinceTick;
        qint64 worstGap = 0;
        QTimer pulse;
        pulse.setInterval(10);
        connect(&pulse, &QTimer::timeout, this,
                [&] { worstGap = std::max(worstGap, sinceTick.restart()); });
        sinceTick.start();
        pulse.start();

        int adc1Results = 0;
        connect(&program.bench().up(), &TVz_UP::Adc1Display, this, [&](qint64) { ++adc1Results; });
        bool enabled = false;
        program.bench().RunAndWait([&](Bench& b) {
            enabled = WriteFieldValue(b.chip(), *b.core().chipModel().Field("ENAD_S"), 1);
        });
        QVERIFY(enabled);
        panel.MenuItem("Menu_INTF")->trigger();
        panel.MenuItem("DMMADS")->trigger();
        auto* read = panel.Child("TADS")->findChild<QPushButton*>("BSAMPLEADC");
        QVERIFY(read);
        QTest::mouseClick(read, Qt::LeftButton);
        QTRY_COMPARE(read->text(), QString("Reading"));
        panel.MenuItem("BryMenShow1")->trigger();
        auto* meter = qobject_cast<gui::TMeter*>(panel.Child("TMeter"));
        QVERIFY(meter);
        QTRY_VERIFY(meter->CheckBox[5]->isEnabled());
        QTest::mouseClick(meter->RDandStop, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(meter->RowHasReading(0) && !meter->RowStale(0), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(adc1Results > 3, 5000);
        // The setup dialog open beside them, its meter section on meter 1.
        panel.MenuItem("SMenu_Option")->trigger();
        auto* option = qobject_cast<gui::TOption*>(panel.Child("TOption"));
        QVERIFY(option);
        QTRY_VERIFY(option->isVisible());
        option->BryMemChannel->setCurrentIndex(0);
        option->FlukeCOM->setCurrentIndex(sim::SimInstruments::Calibrator);
        option->FlukeSelect->click();
        QTRY_VERIFY_WITH_TIMEOUT(option->FlukeState->text().startsWith("identified on "), 5000);
        panel.MenuItem("Fluke1")->trigger();
        auto* steps = qobject_cast<gui::TFLUKE*>(panel.Child("TFLUKE"));
        QVERIFY(steps);
        QVERIFY(steps->LinkState()->isHidden());
        // What the calibrator's two labels said, in order, looked at every 10 ms: its loss
        // may be shown and over before the board's and the meter's checks are done.
        QStringList said;
        connect(&pulse, &QTimer::timeout, this, [&] {
            for (const QString& text : {option->FlukeState->text(), steps->LinkState()->text()})
                if (!said.contains(text)) said << text;
        });

        constexpr int64_t kAwayMs = 3000;
        const int64_t now = program.bench().core().clock().NowMs();
        program.instruments().ScheduleFaults(
            {{sim::SimFaultKind::Unplug, -1, now, kAwayMs},
             {sim::SimFaultKind::Vanish, sim::SimInstruments::MeterCom(0), now, kAwayMs},
             {sim::SimFaultKind::Vanish, sim::SimInstruments::Calibrator, now, kAwayMs}});
        QElapsedTimer away;
        away.start();
        QTRY_COMPARE_WITH_TIMEOUT(panel.StatusText(0), QString("USB not Connect !!!"), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(meter->RowLost(0), 2000);
        QVERIFY(meter->RowStale(0));
        QCOMPARE(meter->MUnit[0]->text(), QString("lost"));
        QTRY_COMPARE(option->BryMemState->text(), QString("meter 1 lost: its port went away"));
        const int duringLoss = adc1Results;
        QTest::qWait(500);
        QVERIFY2(adc1Results - duringLoss <= 1, "readings went on without the board");

        // Back within a second of the re-plug (each link is looked for once a second).
        QTRY_COMPARE_WITH_TIMEOUT(panel.StatusText(0), QString("USB On Line"), kAwayMs + 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!meter->RowLost(0) && !meter->RowStale(0), kAwayMs + 3000);
        QCOMPARE(meter->MUnit[0]->text(), QString("DC mV"));
        QTRY_VERIFY2(option->BryMemState->text().startsWith("meter 1 back on "),
                     qPrintable(option->BryMemState->text()));
        // Nothing talks to the calibrator: the watch of the idle instruments found the loss
        // and brought it back.
        QTRY_VERIFY_WITH_TIMEOUT(option->FlukeState->text().startsWith("back on "), 5000);
        QTRY_VERIFY(steps->LinkState()->text().startsWith("The calibrator back on "));
        QVERIFY(steps->LinkState()->isVisible());
        const auto at = [&](const QString& start) {
            for (qsizetype k = 0; k < said.size(); ++k)
                if (said[k].startsWith(start)) return k;
            return qsizetype{-1};
        };
        QVERIFY2(at("lost: ") >= 0 && at("lost: ") < at("back on "), qPrintable(said.join(" | ")));
        QVERIFY2(at("The calibrator lost: ") >= 0 &&
                     at("The calibrator lost: ") < at("The calibrator back on "),
                 qPrintable(said.join(" | ")));
        qInfo("every link back %lld ms after they went away",
              static_cast<long long>(away.elapsed()));
        const int afterReturn = adc1Results;
        QTRY_VERIFY_WITH_TIMEOUT(adc1Results > afterReturn + 3, 3000);
        QCOMPARE(read->text(), QString("Reading"));
        QCOMPARE(meter->RDandStop->text(), QString("Reading"));

        pulse.stop();
        // A window that waited on a vanished link would stall for seconds.
        QVERIFY2(worstGap < 500, qPrintable(QString("GUI thread late by %1 ms").arg(worstGap)));
    }
};

DMM_QTEST(LinksRecoverTest);

}  // namespace dmm::test

#include "links_recover_test.moc"
