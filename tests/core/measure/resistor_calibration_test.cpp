#include <gtest/gtest.h>

#include <vector>

#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"
#include "support/scripted_divider_chip.h"

namespace dmm {
namespace {

using test::Bytes;
using test::ScriptedDividerBench;

Bytes Block(const DividerBlock& b) {
    return Bytes(b.begin(), b.end());
}

TEST(DividerBlocks, CarryTheFixedAndTheVariableBytesOfEachUse) {
    // Addresses 30..50; the variable ones are 36, 42..46 and 49.
    EXPECT_EQ(Block(ResistorStepBlock(1, StepReading::Reference)),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x11, 0x54, 0x00, 0x0A, 0x39,
                     0x68, 0x80, 0x80, 0x20, 0x20, 0x95, 0x00, 0xC5, 0xDD, 0x13}));
    EXPECT_EQ(Block(ResistorStepBlock(3, StepReading::Test)),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x02, 0x54, 0x00, 0x0A, 0x39,
                     0x68, 0x10, 0x10, 0x08, 0x08, 0x95, 0x00, 0xC5, 0xDD, 0x13}));
    EXPECT_EQ(Block(ResistorStepBlock(4, StepReading::Reference))[12], 0x08);
    EXPECT_EQ(Block(ResistorStepBlock(4, StepReading::Reference))[14], 0x04);
    EXPECT_EQ(Block(VoltageCalibrationBlock()),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x59, 0x54, 0x00, 0x0A, 0x39,
                     0x68, 0x80, 0x80, 0x20, 0x20, 0x95, 0x00, 0xC5, 0xD0, 0x13}));
    EXPECT_EQ(Block(VoltmeterRangeBlock(0)),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x10, 0x54, 0x00, 0x0A, 0x39,
                     0x68, 0xA0, 0x00, 0x00, 0x20, 0xB0, 0x00, 0xC5, 0xD0, 0x13}));
    EXPECT_EQ(Block(VoltmeterRangeBlock(3))[12], 0x84);
    EXPECT_EQ(Block(VoltmeterRangeBlock(3))[15], 0x04);
    // The ohmmeter's blocks: 36..37, 42..46 and 48 vary; 49 is D0.
    EXPECT_EQ(Block(ResistanceRangeBlock(0)),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x58, 0x14, 0x00, 0x0A, 0x39,
                     0x68, 0x00, 0x00, 0x01, 0x00, 0x86, 0x00, 0xC1, 0xD0, 0x13}));
    EXPECT_EQ(Block(ResistanceRangeBlock(4)),
              (Bytes{0x04, 0x08, 0x00, 0x00, 0x17, 0x83, 0x58, 0x00, 0x00, 0x0A, 0x39,
                     0x68, 0x8A, 0x08, 0x00, 0x00, 0x94, 0x00, 0xC2, 0xD0, 0x13}));
    EXPECT_EQ(Block(ResistanceRangeBlock(1))[14], 0x21);
    EXPECT_EQ(Block(ResistanceRangeBlock(2))[14], 0x11);
    EXPECT_EQ(Block(ResistanceRangeBlock(5))[12], 0x86);
    EXPECT_EQ(Block(ResistanceRangeBlock(3))[13], 0x10);
}

TEST(AveragedReading, DropsTheExtremesAndRoundsHalfToEven) {
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{10, 11, 12, 13, 100}), 12);
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{10, 50, 20, 40, 30}), 30);
    // Unsorted (a measurement that ran out of time): the first and last are left out.
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{10, 50, 20, 40, 30}, false), 37);
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{10, 11, 12, 13}), 12);  // 11.5
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{10, 12, 13, 20}), 12);  // 12.5
    EXPECT_EQ(MeanWithoutExtremes(std::vector<double>{5, 6}), 0);
}

struct CalibrationRig : ScriptedDividerBench {
    CalibrationRig() : cal(f.core.chip(), up, hooks, f.clock) {
        QObject::connect(&cal, &ResistorCalibration::LabelShown,
                         [this](const QString& name, const QString& text) { labels[name] = text; });
        QObject::connect(&cal, &ResistorCalibration::StepRunning,
                         [this](int step) { running.push_back(step); });
        QObject::connect(&cal, &ResistorCalibration::VoltmeterShown,
                         [this](const VoltmeterFigure& v) { shown.push_back(v); });
    }
    ResistorCalibration cal;
    std::map<QString, QString> labels;
    std::vector<int> running;
    std::vector<VoltmeterFigure> shown;
};

TEST(ResistorCalibration, StepOneScalesTheTenMegohmReference) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    // Four discarded and five kept for each reading.
    r.Queue({1, 1, 1, 1, 3999990, 4000000, 4000010, 3000000, 5000000,  //
             2, 2, 2, 2, 400000, 400000, 400000, 399999, 400001});
    r.up.StartHeartbeat();
    ASSERT_TRUE(r.cal.ResistorStep(1));
    EXPECT_DOUBLE_EQ(r.cal.resistors[0], 1000000.0);
    EXPECT_EQ(r.labels["ADC10M"], "4000000");
    EXPECT_EQ(r.labels["ADC1M0"], "400000");
    EXPECT_EQ(r.labels["R1M0"], "1.000000");
    EXPECT_EQ(r.labels["R1M1"], "1.000000");
    EXPECT_EQ(r.hooks.Statuses(1), (std::vector<QString>{"Calibration 1M", "Get value  OK"}));
    EXPECT_EQ(r.running, (std::vector<int>{1, 0}));
    // The heartbeat ran before and runs again; the reading switches stay on.
    EXPECT_TRUE(r.up.HeartbeatRunning());
    EXPECT_TRUE(r.up.IntfReading());
    EXPECT_TRUE(r.up.Adc1DisplayOn);
    // The reference block, then the test block, each followed by "Read RAM".
    const std::vector<Bytes> writes = r.DividerWrites();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], Block(ResistorStepBlock(1, StepReading::Reference)));
    EXPECT_EQ(writes[1], Block(ResistorStepBlock(1, StepReading::Test)));
    EXPECT_EQ(r.f.core.chip().GetRegImage(36), 0x02);
}

TEST(ResistorCalibration, LaterStepsScaleThePreviousResultAndFormatTheirUnit) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    r.cal.resistors[0] = 1000000.0;
    r.Queue({0, 0, 0, 0, 5000, 5000, 5000, 5000, 5000, 0, 0, 0, 0, 500, 500, 500, 500, 500});
    ASSERT_TRUE(r.cal.ResistorStep(2));
    EXPECT_DOUBLE_EQ(r.cal.resistors[1], 100000.0);
    EXPECT_EQ(r.labels["ADC1M1"], "5000");
    EXPECT_EQ(r.labels["ADC100K0"], "500");
    EXPECT_EQ(r.labels["R100K0"], "100.000");
    EXPECT_EQ(r.labels["R100K1"], "100.000");
    EXPECT_EQ(ResistorText(3, 10012.34), "10.0123");
    EXPECT_EQ(ResistorText(4, 999.5), "0.99950");
}

TEST(ResistorCalibration, AutoStopsAtTheFirstFailureAndEnablesTheWindowAgain) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    // Step 1 reads; step 2's test reading never comes.
    r.chip().adc1 = [](uint8_t ad1is, uint8_t bankP) -> std::optional<int32_t> {
        if (bankP == 0x20 && ad1is == 0x02) return std::nullopt;
        return ad1is == 0x11 ? 4000000 : 400000;
    };
    r.cal.resistors = {7, 7, 7, 7};
    const int64_t start = r.f.clock.NowMs();
    EXPECT_FALSE(r.cal.PAUTOClick());
    EXPECT_GE(r.f.clock.NowMs() - start, kReadingGapMs);
    EXPECT_EQ(r.labels["R1M0"], "1.000000");
    EXPECT_EQ(r.labels["ADC1M1"], "4000000");  // step 2's reference came
    for (const char* name : {"ADC100K0", "R100K0", "R100K1", "ADC10K1", "R10K0", "ADC1K", "R1K"})
        EXPECT_EQ(r.labels[name], "------") << name;
    EXPECT_EQ(r.hooks.Last(1), "Get value false!!!!!");
    // Earlier results stay; steps 3 and 4 never switched the divider.
    EXPECT_DOUBLE_EQ(r.cal.resistors[1], 7.0);
    EXPECT_EQ(r.DividerWrites().size(), 4u);
    EXPECT_EQ(r.running, (std::vector<int>{5, 1, 0, 2, 0, 0}));
}

TEST(ResistorCalibration, ABoardLostDuringAReadingFailsTheStepAtOnceAndEnablesTheWindowAgain) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    int results = 0;
    r.chip().adc1 = [&](uint8_t, uint8_t) -> std::optional<int32_t> {
        // Unplugged after the reference reading's third result.
        if (++results == 3) r.f.sim.board().faults().disconnected = true;
        return 4000000;
    };
    const int64_t start = r.f.clock.NowMs();
    EXPECT_FALSE(r.cal.ResistorStep(1));
    EXPECT_LT(r.f.clock.NowMs() - start, 2000);
    EXPECT_EQ(r.hooks.Last(1), "Get value false!!!!!");
    EXPECT_EQ(r.hooks.Last(2), "the board link was lost");
    EXPECT_EQ(r.labels["ADC10M"], "------");
    EXPECT_DOUBLE_EQ(r.cal.resistors[0], 0.0);
    EXPECT_EQ(r.running, (std::vector<int>{1, 0}));
}

TEST(ResistorCalibration, DoesNothingWithoutABoard) {
    CalibrationRig r;
    r.Queue({1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_FALSE(r.cal.ResistorStep(1));
    EXPECT_FALSE(r.cal.PAUTOClick());
    EXPECT_TRUE(r.f.trace.Sent().empty());
    EXPECT_TRUE(r.labels.empty());
}

TEST(ResistorCalibration, VoltageCalibrationSetsVoltsPerCountOrKeepsIt) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    r.Queue({0, 0, 0, 0, 4000000, 4000000, 4000000, 4000000, 4000000});
    ASSERT_TRUE(r.cal.PCALVOLClick("0.30000"));
    EXPECT_DOUBLE_EQ(r.cal.voltsPerCount, 0.3 / 4000000);
    EXPECT_EQ(r.hooks.Statuses(1),
              (std::vector<QString>{"Calibration voltage .......", "Calibration voltage OK !"}));
    EXPECT_EQ(r.DividerWrites().back(), Block(VoltageCalibrationBlock()));
    // A reading that never comes keeps the value.
    r.hooks.statuses.clear();
    EXPECT_FALSE(r.cal.PCALVOLClick("0.5"));
    EXPECT_DOUBLE_EQ(r.cal.voltsPerCount, 0.3 / 4000000);
    EXPECT_EQ(r.hooks.Last(1), "Calibration voltage Fail !");
}

TEST(ResistorCalibration, VoltmeterScalesWithTheRangeResistor) {
    CalibrationRig r;
    ASSERT_TRUE(r.f.Open());
    // Nothing measured: K is 0 and the display shows 0.
    ASSERT_TRUE(r.cal.SelectRange(0, "8000"));
    EXPECT_EQ(r.cal.rangeFactor, 0.0);
    EXPECT_TRUE(r.cal.TimerRunning());
    r.Queue({1000000});
    r.up.Timer1Timer();
    r.cal.Timer1Timer();
    ASSERT_EQ(r.shown.size(), 1u);
    EXPECT_EQ(r.shown[0].caption, 0);
    EXPECT_EQ(r.shown[0].decimals, 4);

    r.cal.resistors = {1000000, 100000, 10000, 1000};
    r.cal.voltsPerCount = 1e-7;
    ASSERT_TRUE(r.cal.SelectRange(1, "8000"));
    EXPECT_DOUBLE_EQ(r.cal.rangeFactor, (100000 + (10000000 - 8000.0)) * 1e-7 / 100000);
    EXPECT_EQ(r.DividerWrites().back(), Block(VoltmeterRangeBlock(1)));
    // The display averages the latest four readings (the first of them still the old one).
    for (int32_t v : {-400000, -400000, -400000}) {
        r.Queue({v});
        r.up.Timer1Timer();
        r.cal.Timer1Timer();
    }
    const double a = (1000000 - 3 * 400000) / 4.0;
    EXPECT_NEAR(r.cal.lastVolts, r.cal.rangeFactor * a, 1e-12);
    const VoltmeterFigure last = r.shown.back();
    EXPECT_EQ(last.decimals, 3);
    EXPECT_TRUE(last.leadingZeros);
    EXPECT_EQ(last.caption, std::llround(r.cal.rangeFactor * a * 1000));
    // No fresh reading: nothing shown.
    const size_t before = r.shown.size();
    r.cal.Timer1Timer();
    EXPECT_EQ(r.shown.size(), before);
    EXPECT_EQ(VoltmeterFigureOf(12.34567, 2).caption, 1235);
    EXPECT_FALSE(VoltmeterFigureOf(12.34567, 2).leadingZeros);
    EXPECT_EQ(VoltmeterFigureOf(999.94, 3).caption, 9999);
}

struct MeterRig : ScriptedDividerBench {
    MeterRig() : meter(f.core.chip(), up, hooks, f.clock, [this] { return voltsPerCount; }) {
        QObject::connect(&meter, &ResistanceMeter::ResistanceShown,
                         [this](qint64 ohms) { shown.push_back(ohms); });
    }
    void Feed(int32_t value, int times) {
        for (int i = 0; i < times; ++i) {
            Queue({value});
            up.Timer1Timer();
            meter.Timer1Timer();
        }
    }
    double voltsPerCount = ResistorCalibration::kInitialVoltsPerCount;
    ResistanceMeter meter;
    std::vector<qint64> shown;
};

TEST(ResistanceMeter, CalibratedRangeScalesTheAverage) {
    MeterRig r;
    ASSERT_TRUE(r.f.Open());
    for (double factor : r.up.RangeFactors) EXPECT_EQ(factor, 100000.0);
    ASSERT_TRUE(r.meter.RangeClick(4));  // "5K"
    EXPECT_EQ(r.DividerWrites().back(), Block(ResistanceRangeBlock(4)));
    EXPECT_EQ(r.up.ResistanceRange, 4);
    r.Queue({0, 0, 0, 0, 4000000, 4000000, 4000000, 4000000, 4000000});
    ASSERT_TRUE(r.meter.CalibrateClick(4, "10000"));
    EXPECT_NEAR(r.up.RangeFactors[4], 20971.5175, 1e-4);
    EXPECT_NEAR(r.meter.currentFactor, 20971.5175, 1e-4);
    EXPECT_EQ(r.hooks.Statuses(1),
              (std::vector<QString>{QStringLiteral("Calibration 5KΩ ......."), "Calibration OK!"}));
    r.Feed(2000000, 4);
    EXPECT_EQ(r.shown.back(), 5000);
    // The heartbeat's resistance display reads the same factor, in the range's unit.
    EXPECT_EQ(TVz_UP::DisplayIndexOfRange(4), 1);
    EXPECT_EQ(TVz_UP::ResistanceText(4700.0, 1), "4.7000 K ohm");
    EXPECT_EQ(TVz_UP::ResistanceText(12345678.0, 5), "12.346 M ohm");
}

TEST(ResistanceMeter, UncalibratedAndVoltRangesAndFailures) {
    MeterRig r;
    ASSERT_TRUE(r.f.Open());
    ASSERT_TRUE(r.meter.RangeClick(5));  // "500"
    r.Feed(8388607, 4);
    EXPECT_EQ(r.shown.back(), 100000);

    // A volt range: factor in ohms per volt.
    ASSERT_TRUE(r.meter.RangeClick(1));
    r.voltsPerCount = 1e-7;
    r.Queue({0, 0, 0, 0, 1000000, 1000000, 1000000, 1000000, 1000000});
    ASSERT_TRUE(r.meter.CalibrateClick(1, "2000000"));
    EXPECT_DOUBLE_EQ(r.up.RangeFactors[1], 2000000 / (1000000 * 1e-7));
    EXPECT_DOUBLE_EQ(RangeResistance(1, r.up.RangeFactors[1], 500000, 1e-7), 1000000.0);
    // A count of 0 leaves the range uncalibrated.
    EXPECT_EQ(CalibratedRangeFactor(3, 10000, 0, 1e-7), 100000.0);

    // A reading that never comes keeps the factor.
    r.hooks.statuses.clear();
    EXPECT_FALSE(r.meter.CalibrateClick(1, "10"));
    EXPECT_DOUBLE_EQ(r.up.RangeFactors[1], 2000000 / (1000000 * 1e-7));
    EXPECT_EQ(r.hooks.Last(1), "Calibration Fail!!!!!");
}

// A resistor beyond the range drives the converter to the end of its scale, where the
// count says nothing about the ohms: the reading is over range ("OL") while such a sample
// is in its mean.
TEST(ResistanceMeter, AReadingAtTheConvertersLimitIsOverRange) {
    MeterRig r;
    ASSERT_TRUE(r.f.Open());
    ASSERT_TRUE(r.meter.RangeClick(4));  // "5K"
    r.Feed(2000000, 4);
    EXPECT_FALSE(r.meter.lastOverRange);
    r.Feed(8388607, 1);
    EXPECT_TRUE(r.meter.lastOverRange);
    r.Feed(2000000, 3);
    EXPECT_TRUE(r.meter.lastOverRange);
    r.Feed(2000000, 1);
    EXPECT_FALSE(r.meter.lastOverRange);
    r.Feed(-8388608, 1);
    EXPECT_TRUE(r.meter.lastOverRange);
}

}  // namespace
}  // namespace dmm
