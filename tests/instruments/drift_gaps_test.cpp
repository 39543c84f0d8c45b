// Drift runs whose links drop: the board, a meter, the chamber or the supply gone for a
// while, and the run that waits, measures the broken mode again and ends with the files of
// an unbroken run (or resumable, when the wait outlasts its limit).
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "drift_bench.h"

namespace dmm::test {
namespace {

struct GapRun {
    explicit GapRun(DriftBench& b) : b(b) {}
    bool Connect() {
        // Meters without noise: a mode measured again reads what it read the first time.
        for (int k = 0; k < SimInstruments::kMeterCount; ++k) b.serial.sim.meter(k).noise = false;
        return b.Connect(false, false) &&
               b.serial.instruments.meter(0).Select(SimInstruments::MeterCom(0)) &&
               b.serial.instruments.meter(1).Select(SimInstruments::MeterCom(1));
    }
    DriftSetup Setup() { return b.TwoModes(Plan({25, 30, 35}), 0); }
    QByteArray A() const { return b.File(kDriftAFileName); }
    QByteArray B() const { return b.File(kDriftBFileName); }
    QByteArray Meters() const { return b.File(kDriftMeterFileName); }
    // Faults from now on the bench clock.
    void Fault(sim::SimFaultKind kind, int device, int64_t forMs) {
        b.serial.sim.ScheduleFaults({{kind, device, b.serial.clock.NowMs(), forMs}});
    }
    DriftBench& b;
};

struct UnbrokenFiles {
    QByteArray a, bFile, meters;
};

UnbrokenFiles RunUnbroken() {
    DriftBench b;
    GapRun run(b);
    EXPECT_TRUE(run.Connect());
    b.drift.SetSetup(run.Setup());
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    EXPECT_TRUE(b.File(kDriftGapsFileName).isEmpty());
    return {run.A(), run.B(), run.Meters()};
}

TEST(DriftRun, GapsOfTheBoardAndAMeterAreWaitedForAndTheirModesMeasuredAgainFromTheStart) {
    const UnbrokenFiles unbroken = RunUnbroken();
    ASSERT_FALSE(unbroken.meters.isEmpty());

    DriftBench b;
    GapRun run(b);
    ASSERT_TRUE(run.Connect());
    b.drift.SetSetup(run.Setup());
    bool unplugged = false, cycled = false, vanished = false, waitedForMeter = false;
    // The board unplugged for 5 s in the middle of step 1's first capture.
    b.serial.hooks.onEvents = [&](int) {
        b.serial.clock.Advance(1);
        if (!unplugged && b.analysis.IsRunning()) {
            unplugged = true;
            run.Fault(sim::SimFaultKind::Unplug, -1, 5000);
        }
    };
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        // A power cycle of 3 s between step 1's modes, meter 2's adapter gone for 20 s
        // and back under another node as step 3 begins.
        if (v.phase == DriftPhase::Measuring && v.step == 1 && v.mode == 2 && !cycled) {
            cycled = true;
            run.Fault(sim::SimFaultKind::PowerCycle, -1, 3000);
        }
        if (v.phase == DriftPhase::Measuring && v.step == 3 && !vanished) {
            vanished = true;
            run.Fault(sim::SimFaultKind::Vanish, SimInstruments::MeterCom(1), 60000);
        }
        if (v.phase == DriftPhase::Waiting && v.waitingFor == "meter 2") waitedForMeter = true;
    });
    const std::string meterPath = b.serial.sim.port(SimInstruments::MeterCom(1)).path();
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    EXPECT_TRUE(unplugged && cycled && vanished && waitedForMeter);
    EXPECT_NE(b.serial.sim.port(SimInstruments::MeterCom(1)).path(), meterPath);

    EXPECT_EQ(run.A(), unbroken.a);
    EXPECT_EQ(run.B(), unbroken.bFile);
    EXPECT_EQ(run.Meters(), unbroken.meters);
    const QList<QByteArray> gaps = b.File(kDriftGapsFileName).split('\n');
    ASSERT_EQ(gaps.size(), 4) << b.File(kDriftGapsFileName).toStdString();
    EXPECT_TRUE(gaps[0].startsWith("step 1, mode 1: the board dropped out; waited 0:00:0"))
        << gaps[0].data();
    EXPECT_TRUE(gaps[1].startsWith("step 1, mode 2: the board dropped out; waited 0:00:0"))
        << gaps[1].data();
    EXPECT_TRUE(gaps[2].startsWith("step 3, mode 1: meter 2 dropped out; waited 0:00:"))
        << gaps[2].data();
    EXPECT_TRUE(gaps[2].contains("mode measured again"));
    EXPECT_TRUE(b.File(kDriftJournalName).isEmpty());
    EXPECT_TRUE(
        DriftOutcomeText(b.drift.outcome())
            .startsWith("Done: 3 steps of 2 modes; 3 link gaps, each mode one broke measured again"))
        << DriftOutcomeText(b.drift.outcome()).toStdString();
}

TEST(DriftRun, AGapBeyondTheLimitEndsResumableAndTheResumeWritesTheUnbrokenFiles) {
    const UnbrokenFiles unbroken = RunUnbroken();

    DriftBench b;
    GapRun run(b);
    ASSERT_TRUE(run.Connect());
    DriftSetup setup = run.Setup();
    setup.settings.reconnectWaitMinutes = 1;
    b.drift.SetSetup(setup);
    bool unplugged = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        if (v.phase == DriftPhase::Measuring && v.step == 2 && !unplugged) {
            unplugged = true;
            run.Fault(sim::SimFaultKind::Unplug, -1, 5 * 60 * 1000);
        }
    });
    const int64_t start = b.serial.clock.NowMs();
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::LinkLost);
    EXPECT_EQ(DriftOutcomeText(b.drift.outcome()),
              "Interrupted at step 2 of 3: the board did not come back within 1 minutes; 2 of 6 "
              "modes measured; the run can be resumed once it is back");
    EXPECT_LT(b.serial.Elapsed(start), 2 * 60 * 1000);
    EXPECT_EQ(b.serial.sim.calibrator().lines().back(), "STBY");
    EXPECT_TRUE(b.File(kDriftGapsFileName).contains("the board dropped out; waited 0:01:0"));
    EXPECT_TRUE(b.File(kDriftGapsFileName).contains("not back in time"));
    const auto journal = DriftTest::PendingJournal(b.dir.path());
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->step, 2);
    EXPECT_EQ(journal->nextMode, 1);
    ASSERT_EQ(journal->gaps.size(), 1u);
    EXPECT_FALSE(journal->gaps[0].recovered);

    b.serial.clock.Advance(5 * 60 * 1000);  // the board is back
    EXPECT_EQ(b.drift.Resume(*journal), DriftEnd::Finished);
    EXPECT_EQ(run.A(), unbroken.a);
    EXPECT_EQ(run.B(), unbroken.bFile);
    EXPECT_EQ(run.Meters(), unbroken.meters);
}

TEST(DriftRun, AChamberThatDropsOutIsWaitedForAndGetsItsSetPointAgainWithoutAStop) {
    DriftBench b;
    ASSERT_TRUE(b.Connect());
    b.drift.SetSetup(b.TwoModes(Plan({25, 30}), 1));
    bool vanished = false, waited = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        if (v.phase == DriftPhase::Soak && v.step == 2 && !vanished) {
            vanished = true;
            b.serial.sim.ScheduleFaults({{sim::SimFaultKind::Vanish, SimInstruments::Chamber,
                                          b.serial.clock.NowMs(), 30000}});
        }
        if (v.phase == DriftPhase::Waiting && v.waitingFor == "the chamber") waited = true;
    });
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::Finished);
    EXPECT_TRUE(vanished && waited);
    EXPECT_EQ(b.drift.outcome().measured, 4);
    const QByteArray gaps = b.File(kDriftGapsFileName);
    EXPECT_TRUE(gaps.startsWith("step 2, settling: the chamber dropped out; waited 0:00:3"))
        << gaps.toStdString();
    EXPECT_TRUE(gaps.contains("the soak went on"));
    // Never stopped until the run's end; its set point sent again once it was back.
    const std::vector<std::string>& writes = b.serial.sim.chamber().writes();
    EXPECT_EQ(std::count(writes.begin(), writes.end() - 1, "0101=4"), 0);
    EXPECT_EQ(writes.back(), "0101=4");
    EXPECT_EQ(std::count(writes.begin(), writes.end(), "0102=300,0"), 2);
}

TEST(DriftRun, AChamberThatLeftItsBandDuringAGapIsSoakedAgainBeforeTheModeIsMeasured) {
    DriftBench b;
    ASSERT_TRUE(b.Connect());
    b.drift.SetSetup(b.TwoModes(Plan({25}), 1));
    bool unplugged = false, waited = false, soakedAgain = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        if (v.phase == DriftPhase::Measuring && v.mode == 2 && !unplugged) {
            unplugged = true;
            b.serial.sim.ScheduleFaults(
                {{sim::SimFaultKind::Unplug, -1, b.serial.clock.NowMs(), 5000}});
            std::lock_guard lock(b.serial.sim.mutex());
            b.serial.sim.chamber().SetTemperature(35);
        }
        if (v.phase == DriftPhase::Waiting) waited = true;
        if (waited && v.phase == DriftPhase::Soak) soakedAgain = true;
    });
    const int64_t start = b.serial.clock.NowMs();
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::Finished);
    EXPECT_TRUE(unplugged && waited && soakedAgain);
    EXPECT_EQ(b.drift.outcome().measured, 2);
    // Back from 35 degC at 3 degC a minute, then a whole minute's soak.
    EXPECT_GT(b.serial.Elapsed(start), 4 * 60 * 1000);
    EXPECT_TRUE(b.File(kDriftGapsFileName).startsWith("step 1, mode 2: the board dropped out"));
}

TEST(DriftRun, ASupplyThatFallsSilentOnAnOpenPortIsAGapAndItsModeIsMeasuredAgain) {
    const UnbrokenFiles unbroken = RunUnbroken();
    DriftBench b;
    GapRun run(b);
    ASSERT_TRUE(run.Connect());
    b.drift.SetSetup(run.Setup());
    bool silenced = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        if (v.phase == DriftPhase::Measuring && v.step == 2 && !silenced) {
            silenced = true;
            run.Fault(sim::SimFaultKind::Silent, SimInstruments::PowerSupply, 30000);
        }
    });
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    EXPECT_TRUE(silenced);
    EXPECT_EQ(run.A(), unbroken.a);
    EXPECT_EQ(run.B(), unbroken.bFile);
    EXPECT_TRUE(b.File(kDriftGapsFileName).startsWith("step 2, mode 1: the power supply dropped out"))
        << b.File(kDriftGapsFileName).toStdString();
}

TEST(DriftRun, AMeterThatFallsSilentOnAnOpenPortIsAGapAndItsModeIsMeasuredAgain) {
    const UnbrokenFiles unbroken = RunUnbroken();
    DriftBench b;
    GapRun run(b);
    ASSERT_TRUE(run.Connect());
    DriftSetup setup = run.Setup();
    setup.settings.fullCaptures = true;
    b.drift.SetSetup(setup);
    bool silenced = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& v) {
        if (v.phase == DriftPhase::Measuring && v.step == 2 && !silenced) {
            silenced = true;
            run.Fault(sim::SimFaultKind::Silent, SimInstruments::MeterCom(1), 60000);
        }
    });
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    EXPECT_TRUE(silenced);
    EXPECT_EQ(run.A(), unbroken.a);
    EXPECT_EQ(run.B(), unbroken.bFile);
    EXPECT_EQ(run.Meters(), unbroken.meters);
    EXPECT_TRUE(b.File(kDriftGapsFileName).startsWith("step 2, mode 1: meter 2 dropped out"))
        << b.File(kDriftGapsFileName).toStdString();
    // The record of the capture measured again names the gap; the others name none.
    auto record = [&](int n) {
        return QJsonDocument::fromJson(
                   b.File(qPrintable(QStringLiteral("%1/VzTMP-%2.CSV.json")
                                         .arg(QString::fromLatin1(kDriftCaptureFolder))
                                         .arg(n))))
            .object();
    };
    const QJsonArray gaps = record(2)["gaps"].toArray();
    ASSERT_EQ(gaps.size(), 1);
    EXPECT_TRUE(gaps[0].toString().startsWith("step 2, mode 1: meter 2 dropped out"));
    EXPECT_FALSE(record(1).isEmpty());
    EXPECT_FALSE(record(1).contains("gaps"));
}

}  // namespace
}  // namespace dmm::test
