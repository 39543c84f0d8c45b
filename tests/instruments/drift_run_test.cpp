// Whole drift runs on the simulated serial bench: a chamber, a calibrator, a power
// supply and meters behind pseudo-terminals, the demo DMM chip on the simulated board,
// all on stepped virtual time. What each instrument received, the result files byte for
// byte, and the chip's drift as the files show it.
#include "drift_bench.h"

namespace dmm::test {
namespace {

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
