// Whole drift runs on the simulated serial bench: a chamber, a calibrator, a power
// supply and meters behind pseudo-terminals, the demo DMM chip on the simulated board,
// all on stepped virtual time. What each instrument received, the result files byte for
// byte, and the chip's drift as the files show it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "core/app/bench_core.h"
#include "core/chip/chip_loader.h"
#include "core/link/number_text.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_journal.h"
#include "core/measure/drift_outcome.h"
#include "core/measure/drift_test.h"
#include "serial_bench.h"

namespace dmm::test {
namespace {

using sim::SimInstruments;

struct DriftBench {
    DriftBench()
        : core(serial.board.bus(), serial.clock),
          analysis(core, host, serial.hooks),
          access(serial.instruments),
          drift(core, analysis, access, serial.hooks) {
        drift.folder = dir.path();
        // The capture loop moves on a millisecond with every pass.
        serial.hooks.onEvents = [this](int) { serial.clock.Advance(1); };
    }

    bool Connect(bool chamber = true, bool meters = true) {
        Instruments& i = serial.instruments;
        if (!i.calibrator().FlukeSelectClick(SimInstruments::Calibrator)) return false;
        if (!i.power().PowerSelectClick(SimInstruments::PowerSupply)) return false;
        if (chamber && !i.chamber().ChamberSelectClick(SimInstruments::Chamber)) return false;
        if (meters) {
            if (!i.meter(0).Select(SimInstruments::MeterCom(0))) return false;
            if (!i.meter(3).Select(SimInstruments::MeterCom(3))) return false;
        }
        uint8_t status = 0;
        if (!core.link().OpenBoard(status)) return false;
        if (GetSELUP(IncludeDirectory(ShippedDataDirectory()), core.chipModel(), core.chip()) != 1)
            return false;
        CaptureSettings s;
        ApplyChipLayout(core.chipModel(), s);
        s.NPointIndex = SamplePointItemOf(256);
        analysis.SetSettings(s);
        return true;
    }

    // Register bytes that set ADC1 up on SENSE against the 1.2 V reference, with the
    // given oversampling; a reset before every mode clears whatever was there.
    std::map<uint16_t, uint8_t> Adc1Setup(int osr) {
        std::map<uint16_t, uint8_t> bytes;
        for (auto [name, value] : {std::pair{"S_AD1IP", 0},
                                   {"S_AD1IN", 3},
                                   {"S_AD1RH", 2},
                                   {"S_AD1RL", 0},
                                   {"AD1CHO", 1},
                                   {"AD1OSR", osr},
                                   {"ENAD_S", 1}}) {
            const TRegField& field = *core.chipModel().Field(name);
            const auto address = static_cast<uint16_t>(field.registerIndex);
            if (!bytes.count(address)) bytes[address] = core.target().RegisterImage[address];
            bytes[address] = static_cast<uint8_t>(field.Insert(bytes[address], value));
        }
        return bytes;
    }

    // Two modes: 100 mV and 200 mV from the calibrator, the supply on then off.
    DriftSetup TwoModes(std::vector<PlanRow> plan, int soakMinutes) {
        DriftSetup setup;
        setup.plan = std::move(plan);
        setup.modes = ModeTable(4);
        int column = 1;
        const auto first = Adc1Setup(0);
        const auto second = Adc1Setup(1);
        for (const auto& [address, value] : first) {
            setup.modes.SetCell(0, column, HexStr(address, 2));
            setup.modes.SetCell(1, column, HexStr(value, 2));
            setup.modes.SetCell(2, column, HexStr(second.at(address), 2));
            ++column;
        }
        for (int m = 1; m <= 2; ++m) {
            setup.modes.SetCell(m, ModeTable::kDelayColumn, "1");
            setup.modes.SetCell(m, ModeTable::kAcmColumn, "1.2");
        }
        setup.fluke.INI(4);
        setup.fluke.SetStep(1, {"1", "OUT 100 mV ,0 Hz"});
        setup.fluke.SetStep(2, {"1", "OUT 200 mV ,0 Hz"});
        setup.power.INI(4);
        setup.power.SetStep(1, {"1", "VOLT 3.3"});
        setup.power.SetStep(2, {"1", "outp off"});
        setup.settings.soakMinutes = soakMinutes;
        setup.settings.powerDelayMs = 500;
        setup.settings.measure = DriftMeasure::AdcAndMeters;
        return setup;
    }

    QByteArray File(const char* name) const {
        QFile f(QDir(dir.path()).filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    SerialBench serial;
    BenchCore core;
    StandaloneCaptureHost host;
    AdcAnalysis analysis;
    DirectInstrumentAccess access;
    DriftTest drift;
    QTemporaryDir dir;
};

std::vector<PlanRow> Plan(std::initializer_list<double> temperatures) {
    std::vector<PlanRow> plan;
    for (double t : temperatures) plan.push_back({t, 0, 0, 5});
    return plan;
}

std::vector<std::string> After(const std::vector<std::string>& lines, size_t from) {
    return {lines.begin() + static_cast<long>(std::min(from, lines.size())), lines.end()};
}

TEST(DriftRun, ThreeTemperaturesTwoModesDriveEveryInstrumentInOrderAndFileEveryFigure) {
    DriftBench b;
    ASSERT_TRUE(b.Connect());
    b.drift.SetSetup(b.TwoModes(Plan({15, 25, 35}), 2));
    const size_t calibratorBefore = b.serial.sim.calibrator().lines().size();
    const size_t powerBefore = b.serial.sim.power().lines().size();
    const int meter0Before = b.serial.sim.meter(0).requests();

    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::Finished);

    // The calibrator: standby, the step and OPER for every mode, standby at the end.
    std::vector<std::string> calibrator;
    for (int s = 0; s < 3; ++s) {
        for (const char* out : {"OUT 100 mV ,0 Hz", "OUT 200 mV ,0 Hz"}) {
            calibrator.insert(calibrator.end(), {"STBY", out, "OPER"});
        }
    }
    calibrator.push_back("STBY");
    EXPECT_EQ(After(b.serial.sim.calibrator().lines(), calibratorBefore), calibrator);
    EXPECT_FALSE(b.serial.sim.calibrator().output().operate);

    // The supply: "OUTP ON" after its step, but never after one that switches it off.
    // Set commands get no reply, so each is sent a second time; its output's state, asked
    // after each step, shows that it heard.
    std::vector<std::string> power;
    for (int s = 0; s < 3; ++s) {
        power.insert(power.end(), {"VOLT 3.3", "VOLT 3.3", "OUTP ON", "OUTP ON", "OUTP?",
                                   "outp off", "outp off", "OUTP?"});
    }
    EXPECT_EQ(After(b.serial.sim.power().lines(), powerBefore), power);

    // The chamber: set point and ramps of step 1, run, then each next step's, then stop.
    const std::vector<std::string> chamber{"0102=150,0", "0106=0,50",  "0200=0",
                                           "0101=1",     "0102=250,0", "0106=0,50",
                                           "0102=350,0", "0106=0,50",  "0101=4"};
    EXPECT_EQ(b.serial.sim.chamber().writes(), chamber);
    EXPECT_FALSE(b.serial.sim.chamber().running());

    // Four readings per mode from each meter in use.
    EXPECT_EQ(b.serial.sim.meter(0).requests() - meter0Before, 3 * 2 * 4);

    // The files hold exactly the tables, step by step and mode by mode.
    const DriftResults& r = b.drift.results();
    EXPECT_EQ(b.File(kDriftAFileName),
              DriftAFileBytes(r, QStringLiteral("溫度"), QStringLiteral("濕度")));
    EXPECT_EQ(b.File(kDriftBFileName), DriftBFileBytes(r));
    EXPECT_EQ(b.File(kDriftMeterFileName), DriftMeterFileBytes(r));
    EXPECT_EQ(b.File(kDriftAFileName).count("\r\n"), 2 + 3 * 2);
    EXPECT_TRUE(b.File(kDriftAFileName).contains("\r\n25.000000, 0.000000, 2, "));

    // 200 mV reads twice 100 mV, and the meters saw the calibrator's output in volts.
    for (int s = 1; s <= 3; ++s) {
        EXPECT_NEAR(r.Figures(s, 2).mean / r.Figures(s, 1).mean, 2.0, 0.01) << s;
        EXPECT_NEAR(r.Meter(0, s, 2).value, 0.2, 0.002);
        EXPECT_EQ(r.Meter(0, s, 2).unit, "DC V");
        EXPECT_NEAR(r.Meter(3, s, 1).value, r.Conditions(s).temperature, 1.6);
    }
    // The chip drifts by 50 ppm/K in gain and 2 uV/K in offset: at 200 mV the mean moves
    // by 60 ppm/K of itself.
    const double slope =
        (r.Figures(3, 2).mean - r.Figures(1, 2).mean) / 20.0 / r.Figures(2, 2).mean;
    EXPECT_NEAR(slope, 60e-6, 12e-6);
}

TEST(DriftRun, ChamberThatDoesNotStartSaysSoAndEndsTheRunNormally) {
    DriftBench b;
    ASSERT_TRUE(b.Connect());
    b.drift.SetSetup(b.TwoModes(Plan({25}), 1));
    b.serial.sim.chamber().faults().wrongIdentity = true;  // answers nothing but "ERR"
    const size_t before = b.serial.sim.calibrator().lines().size();
    // The set point fails first: the run ends without a box.
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::ChamberFailed);
    EXPECT_TRUE(b.serial.hooks.messages.empty());
    EXPECT_EQ(After(b.serial.sim.calibrator().lines(), before), std::vector<std::string>{"STBY"});
    EXPECT_FALSE(b.File(kDriftAFileName).isEmpty());
}

TEST(DriftRun, ChamberThatRefusesToRunShowsTheRunErrorAfterItsRetry) {
    DriftBench b;
    ASSERT_TRUE(b.Connect());
    b.drift.SetSetup(b.TwoModes(Plan({25}), 1));
    b.serial.sim.chamber().refuseRun = true;
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::ChamberStartFailed);
    ASSERT_EQ(b.serial.hooks.messages.size(), 1u);
    EXPECT_EQ(b.serial.hooks.messages[0], QString::fromUtf8(kChamberRunErrorText));
    // Set point and ramp, two tries at the start, then the end of the run's stop.
    const std::vector<std::string> chamber{"0102=250,0", "0106=0,50", "0200=0", "0101=1",
                                           "0200=0",     "0101=1",    "0101=4"};
    EXPECT_EQ(b.serial.sim.chamber().writes(), chamber);
    EXPECT_EQ(b.serial.sim.calibrator().lines().back(), "STBY");
    EXPECT_EQ(b.File(kDriftAFileName).count("\r\n"), 2 + 2);
}

TEST(DriftRun, StopDuringTheSoakEndsTheRunWithinASecond) {
    DriftBench b;
    ASSERT_TRUE(b.Connect(true, false));
    b.drift.SetSetup(b.TwoModes(Plan({25, 35}), 20));
    b.serial.sim.chamber().SetTemperature(25.0);
    int64_t stoppedAt = -1;
    b.serial.hooks.onEvents = [&](int) {
        b.serial.clock.Advance(1);
        if (stoppedAt < 0 && b.drift.View().phase == DriftPhase::Soak &&
            b.drift.View().soakLeftMs < 10 * 60 * 1000) {
            stoppedAt = b.serial.clock.NowMs();
            b.drift.Button2Click();
        }
    };
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::Stopped);
    ASSERT_GE(stoppedAt, 0);
    // The soak's next pass sees the stop; the chamber's stop and the calibrator's standby
    // (half a second for its reply) make the rest.
    EXPECT_LT(b.serial.clock.NowMs() - stoppedAt, 1000 + 500 + 1000);
    EXPECT_FALSE(b.serial.sim.chamber().running());
    EXPECT_EQ(b.serial.sim.calibrator().lines().back(), "STBY");
    // Nothing was measured, the A file is there with its zeros.
    EXPECT_EQ(b.File(kDriftAFileName).count("\r\n"), 2 + 2 * 2);
    EXPECT_EQ(b.File(kDriftBFileName), QByteArray());
}

TEST(DriftRun, WithoutChamberEveryStepRunsAndTheKeptCalibratorGetsNoStandbyBetweenModes) {
    DriftBench b;
    ASSERT_TRUE(b.Connect(false, false));
    DriftSetup setup = b.TwoModes(Plan({25, 30}), 0);
    setup.settings.keepCalibratorOn = true;
    setup.settings.measure = DriftMeasure::Adc;
    setup.modes.SetCell(1, ModeTable::kDelayColumn, "5");
    b.drift.SetSetup(setup);
    const size_t before = b.serial.sim.calibrator().lines().size();
    const int64_t start = b.serial.clock.NowMs();
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    std::vector<std::string> expected;
    for (int s = 0; s < 2; ++s) {
        expected.insert(expected.end(), {"OUT 100 mV ,0 Hz", "OPER", "OUT 200 mV ,0 Hz", "OPER"});
    }
    expected.push_back("STBY");
    EXPECT_EQ(After(b.serial.sim.calibrator().lines(), before), expected);
    // Mode 1 waits twice its 5 s delay, mode 2 twice 1 s, each after the 4 s settling.
    EXPECT_GE(b.serial.clock.NowMs() - start, 2 * (4000 + 10000 + 4000 + 2000));
    EXPECT_TRUE(b.serial.sim.chamber().writes().empty());
    EXPECT_EQ(b.File(kDriftMeterFileName), QByteArray());  // meters were not asked for
    EXPECT_GT(b.drift.results().Figures(2, 2).mean, 0);
}

// Three temperatures of two modes with the calibrator, the supply and meters 1 and 2,
// without the chamber (so that timing moves no figure): the files and the gap record.
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

TEST(DriftRun, AStopBeforeAModeIsMeasuredLeavesThatModeToTheResumedRun) {
    DriftBench b;
    ASSERT_TRUE(b.Connect(false, false));
    DriftSetup setup = b.TwoModes(Plan({25, 30}), 0);
    setup.settings.measure = DriftMeasure::Adc;
    b.drift.SetSetup(setup);
    bool stopped = false;
    QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& view) {
        if (!stopped && view.step == 1 && view.mode == 2 && view.phase == DriftPhase::Measuring) {
            stopped = true;
            b.drift.Button2Click();
        }
    });
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Stopped);
    const auto journal = ParseDriftJournal(b.File(kDriftJournalName));
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->step, 1);
    EXPECT_EQ(journal->nextMode, 2);
}

TEST(DriftRun, RunResumedFromTheJournalOfACrashWritesTheFilesOfAnUnbrokenRun) {
    QByteArray crashJournal;
    QByteArray unbrokenA, unbrokenB;
    {
        DriftBench b;
        ASSERT_TRUE(b.Connect(false, false));
        DriftSetup setup = b.TwoModes(Plan({25, 30, 35}), 0);
        setup.settings.measure = DriftMeasure::Adc;
        b.drift.SetSetup(setup);
        // What a crash during step 2's second mode would leave behind.
        QObject::connect(&b.drift, &DriftTest::Changed, [&](const DriftView& view) {
            if (view.step == 2 && view.mode == 2 && crashJournal.isEmpty())
                crashJournal = b.File(kDriftJournalName);
        });
        EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
        unbrokenA = b.File(kDriftAFileName);
        unbrokenB = b.File(kDriftBFileName);
        EXPECT_TRUE(b.File(kDriftJournalName).isEmpty());  // a finished run leaves none
    }
    const auto journal = ParseDriftJournal(crashJournal);
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->step, 2);
    EXPECT_EQ(journal->nextMode, 2);
    EXPECT_FALSE(journal->withChamber);

    DriftBench resumed;
    ASSERT_TRUE(resumed.Connect(false, false));
    QFile file(QDir(resumed.dir.path()).filePath(kDriftJournalName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(crashJournal);
    file.close();
    const auto pending = DriftTest::PendingJournal(resumed.dir.path());
    ASSERT_TRUE(pending);
    const size_t before = resumed.serial.sim.calibrator().lines().size();
    EXPECT_EQ(resumed.drift.Resume(*pending), DriftEnd::Finished);
    // It measured only what was left: step 2's second mode and step 3.
    EXPECT_EQ(After(resumed.serial.sim.calibrator().lines(), before).size(), 3u * 3 + 1);
    EXPECT_EQ(resumed.File(kDriftAFileName), unbrokenA);
    EXPECT_EQ(resumed.File(kDriftBFileName), unbrokenB);
}

TEST(DriftRun, ARunThatCannotStartSaysWhyAndTouchesNeitherInstrumentsNorFiles) {
    DriftBench b;
    ASSERT_TRUE(b.Connect(false, false));  // no chamber
    const size_t before = b.serial.sim.calibrator().lines().size();

    b.drift.SetSetup(b.TwoModes(Plan({25}), 0));
    EXPECT_EQ(b.drift.TBgClick(), DriftEnd::NoChamber);
    DriftSetup garbage = b.TwoModes(Plan({25}), 0);
    for (int c = 1; c <= ModeTable::kRegisterColumns; ++c) garbage.modes.SetCell(1, c, "zz");
    b.drift.SetSetup(garbage);
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::NoModes);
    // A plan row the chamber cannot take stops the run before its first step.
    b.drift.SetSetup(b.TwoModes(Plan({25, std::nan("")}), 0));
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::BadPlan);

    ASSERT_EQ(b.serial.hooks.messages.size(), 3u);
    EXPECT_EQ(b.serial.hooks.messages[2],
              "Not started: plan row 2: temperature: nan is not a chamber temperature (-3276 "
              "\u2264 T \u2264 3276 \u00B0C)");
    EXPECT_EQ(b.serial.hooks.messages[0],
              "Not started: no chamber is identified (Setup); T-Test runs without one");
    EXPECT_EQ(b.serial.hooks.messages[1],
              "Not started: the mode table has no mode (its first row holds no register value)");
    EXPECT_EQ(DriftOutcomeText(b.drift.View().outcome), b.serial.hooks.messages[2]);
    EXPECT_EQ(b.serial.sim.calibrator().lines().size(), before);
    EXPECT_TRUE(QDir(b.dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(DriftRun, WarnsBeforeARunWhatItWillLeaveOut) {
    DriftBench b;                                         // no instrument identified
    b.serial.board.board().faults().disconnected = true;  // nor a board: the modes only wait
    DriftSetup setup = b.TwoModes(Plan({25}), 0);
    for (int m = 1; m <= 2; ++m) {
        setup.modes.SetCell(m, ModeTable::kDelayColumn, "");  // as without Delay.txt
        setup.modes.SetCell(m, ModeTable::kAcmColumn, "");    // and without ACM.txt
    }
    b.drift.SetSetup(setup);
    b.drift.TTestClick();
    ASSERT_FALSE(b.serial.hooks.messages.empty());
    EXPECT_EQ(b.serial.hooks.messages[0],
              "No calibrator identified: the calibrator steps of modes 1, 2 are left out\n"
              "No power supply identified: the power-supply steps of modes 1, 2 are left out\n"
              "No meter identified: no meter figures are taken\n"
              "No delay for modes 1, 2 (is Delay.txt missing?): they wait 0 s\n"
              "No reference voltage for modes 1, 2 (is ACM.txt missing?): the analysis takes "
              "its default reference");
}

// What the run says it wrote is what is on disk, under the names the files have.
TEST(DriftRun, TheOutcomeNamesTheResultFilesOnDiskAndFailsWithoutThem) {
    DriftBench b;
    ASSERT_TRUE(b.Connect(false, false));
    DriftSetup setup = b.TwoModes(Plan({25}), 0);
    setup.settings.measure = DriftMeasure::Adc;
    b.drift.SetSetup(setup);
    ASSERT_TRUE(QDir(b.dir.path()).mkdir(kDriftBFileName));  // in the way of the B file
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    DriftOutcome o = b.drift.outcome();
    EXPECT_EQ(o.written, QStringList({kDriftAFileName, kDriftBOverName}));
    EXPECT_TRUE(o.Succeeded());
    EXPECT_EQ(DriftOutcomeText(o), "Done: 1 steps of 2 modes");
    EXPECT_EQ(b.File(kDriftBOverName), DriftBFileBytes(b.drift.results()));

    for (const char* name : {kDriftAFileName, kDriftBOverName}) {
        QFile::remove(QDir(b.dir.path()).filePath(name));
        ASSERT_TRUE(QDir(b.dir.path()).mkdir(name));
    }
    EXPECT_EQ(b.drift.TTestClick(), DriftEnd::Finished);
    o = b.drift.outcome();
    EXPECT_TRUE(o.written.isEmpty());
    EXPECT_EQ(o.notWritten.size(), 2);
    EXPECT_FALSE(o.Succeeded());
    EXPECT_TRUE(DriftOutcomeText(o).startsWith(
        "Failed: 1 steps of 2 modes ran, 2 of 2 modes measured, results not on disk; not "
        "written: VzTEMPA.CSV: "))
        << DriftOutcomeText(o).toStdString();
    // The figures are not lost: the journal stays for a resume that writes them.
    EXPECT_TRUE(DriftTest::PendingJournal(b.dir.path()));
}

TEST(DriftJournalFile, KeepsWhichCellsWereMeasured) {
    DriftJournal j;
    j.setup.plan = Plan({25, 30});
    j.setup.modes = ModeTable(2);
    j.step = 2;
    j.nextMode = 1;
    j.results.Resize(2, 2);
    j.results.SetFigures(1, 2, {1, 0, 0, 0, 0, 0, 0});  // mode 1 of step 1 gave nothing
    j.results.SetMeter(0, 1, 1, {0.5, QStringLiteral("DC V")});
    const auto back = ParseDriftJournal(DriftJournalBytes(j));
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->results.HasFigures(1, 1));
    EXPECT_TRUE(back->results.HasMeters(1, 1));
    EXPECT_TRUE(back->results.HasFigures(1, 2));
    EXPECT_FALSE(back->results.HasMeters(1, 2));
    EXPECT_FALSE(back->results.HasFigures(2, 1));
    EXPECT_EQ(back->results.MeasuredCount(), 2);
}

TEST(DriftJournalFile, KeepsEveryInputAndFigureAndRefusesWhatDoesNotFit) {
    DriftJournal j;
    j.setup.plan = Plan({-40, 25.7});
    j.setup.modes = ModeTable(3);
    j.setup.modes.SetCell(0, 1, "3C");
    j.setup.modes.SetCell(2, 12, "1.2");
    j.setup.fluke.INI(3);
    j.setup.fluke.SetStep(2, {"1", "OUT 1 V"});
    j.setup.settings.measure = DriftMeasure::Meters;
    j.setup.settings.soakMinutes = 7;
    j.step = 2;
    j.nextMode = 3;
    j.fileCounter = 4;
    j.results.Resize(2, 3);
    j.results.SetFigures(1, 3, {0.1 + 0.2, 1e-17, -3, 4, 5, 6, 7});
    j.results.SetMeter(5, 2, 1, {-0.5, QStringLiteral("Ω")});
    j.results.SetConditions(2, {25.7, 3});
    const auto back = ParseDriftJournal(DriftJournalBytes(j));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->setup.modes.Cell(0, 1), "3C");
    EXPECT_EQ(back->setup.modes.Cell(2, 12), "1.2");
    EXPECT_EQ(back->setup.fluke.Step(2).command, "OUT 1 V");
    EXPECT_EQ(back->setup.settings.measure, DriftMeasure::Meters);
    EXPECT_EQ(back->setup.settings.soakMinutes, 7);
    EXPECT_EQ(back->fileCounter, 4);
    EXPECT_EQ(back->results.Figures(1, 3).mean, 0.1 + 0.2);  // exactly the same double
    EXPECT_EQ(back->results.Figures(1, 3).vppNanovolts, 1e-17);
    EXPECT_EQ(back->results.Meter(5, 2, 1).unit, "Ω");
    EXPECT_EQ(DriftBFileBytes(back->results), DriftBFileBytes(j.results));
    EXPECT_EQ(DriftMeterFileBytes(back->results), DriftMeterFileBytes(j.results));

    EXPECT_FALSE(ParseDriftJournal("not a journal"));
    EXPECT_FALSE(ParseDriftJournal(""));
    QByteArray cut = DriftJournalBytes(j);
    cut.chop(20);
    EXPECT_FALSE(ParseDriftJournal(cut));
}

}  // namespace
}  // namespace dmm::test
