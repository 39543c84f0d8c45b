// Closing the program with live instruments: the calibrator is left in standby and the
// power supply's output off, whatever the instruments were doing.
#include <QElapsedTimer>
#include <QTest>

#include <memory>

#include "sim/sim_calibrator.h"
#include "sim/sim_power_supply.h"
#include "support/qtest_registry.h"
#include "support/simulated_program.h"

namespace dmm::test {

class SafeCloseTest : public QObject {
    Q_OBJECT
  private:
    template <typename Work>
    bool OnInstrument(Bench& bench, InstrumentId id, Work work) {
        bool done = false, ok = false;
        bench.instrumentThreads().Call(id, std::move(work), this, [&](bool result) {
            ok = result;
            done = true;
        });
        return QTest::qWaitFor([&] { return done; }, 15000) && ok;
    }

  private slots:
    void closingTheProgramLeavesTheBenchSafe() {
        auto program = std::make_unique<SimulatedProgram>();
        Bench& bench = program->bench();
        sim::SimInstruments& sim = program->instruments();
        QVERIFY(OnInstrument(bench, InstrumentId::Calibrator, [](Instruments& i) {
            return i.calibrator().FlukeSelectClick(sim::SimInstruments::Calibrator) &&
                   i.calibrator().Command("OUT 1 V") == "OUT 1 V" && i.calibrator().Operate();
        }));
        QVERIFY(OnInstrument(bench, InstrumentId::PowerSupply, [](Instruments& i) {
            if (!i.power().PowerSelectClick(sim::SimInstruments::PowerSupply)) return false;
            i.power().StepCommand("VOLT 5");
            return true;
        }));
        {
            std::lock_guard lock(sim.mutex());
            QVERIFY(sim.calibrator().output().operate);
            QVERIFY(sim.power().outputOn());
        }
        // A meter read that will not be answered (2.5 s) is still running when the window
        // closes.
        {
            std::lock_guard lock(sim.mutex());
            sim.meter(0).faults().silent = true;
        }
        QTRY_VERIFY(bench.instrumentThreads().Pending(MeterId(0)) == 0);  // selected at start
        bench.instrumentThreads().Post(MeterId(0),
                                       [](Instruments& i) { i.meter(0).GetBryMenData(); });
        QTest::qWait(100);

        QElapsedTimer closing;
        closing.start();
        program->panel().close();
        // The meter's wait is cut short.
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString::number(closing.elapsed())));
        QTRY_VERIFY([&] {
            std::lock_guard lock(sim.mutex());
            return !sim.calibrator().output().operate && !sim.power().outputOn();
        }());
        std::lock_guard lock(sim.mutex());
        QCOMPARE(sim.calibrator().lines().back(), std::string("STBY"));
        QCOMPARE(sim.power().lines().back(), std::string("OUTP OFF"));
    }
};

DMM_QTEST(SafeCloseTest);

}  // namespace dmm::test

#include "safe_close_test.moc"
