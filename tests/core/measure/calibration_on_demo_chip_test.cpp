#include <gtest/gtest.h>

#include <cmath>

#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"
#include "sim/divider_network.h"
#include "support/demo_chip_bench.h"
#include "support/scripted_divider_chip.h"

namespace dmm {
namespace {

using sim::DividerNetwork;

// The demo chip with ADC1 running against VREF - FB (1.2 V), chopped, at a moderate
// rate, its noise on: the bench an engineer calibrates on.
struct DemoCalibrationBench {
    DemoCalibrationBench()
        : up(b.access(), hooks),
          cal(b.access(), up, hooks, b.f.clock),
          meter(b.access(), up, hooks, b.f.clock, [this] { return cal.voltsPerCount; }) {
        up.FieldLookup = [this](std::string_view name) { return b.f.core.chipModel().Field(name); };
        b.chip().nodes().noise = true;
        b.Set("S_AD1RH", 2);  // VREF
        b.Set("S_AD1RL", 0);  // FB
        b.Set("AD1CHO", 1);
        b.Set("AD1OSR", 3);
        b.Set("ENAD_S", 1);
        up.SetIntfReading(true);
    }
    // The live display after enough fresh results to fill its history.
    void RunLive(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            up.Timer1Timer();
            meter.Timer1Timer();
            cal.Timer1Timer();
            b.f.clock.Advance(10);
        }
    }
    test::TestApplication application;
    test::DemoChipBench b;
    test::KeptUiHooks hooks;
    TVz_UP up;
    ResistorCalibration cal;
    ResistanceMeter meter;
};

TEST(DemoChipCalibration, AutoRecoversEveryDividerResistor) {
    DemoCalibrationBench d;
    ASSERT_TRUE(d.cal.PAUTOClick()) << d.hooks.Last(1).toStdString();
    const double truth[] = {DividerNetwork::k1MOhms, DividerNetwork::k100KOhms,
                            DividerNetwork::k10KOhms, DividerNetwork::k1KOhms};
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(d.cal.resistors[static_cast<size_t>(k)] / truth[k], 1.0, 0.001)
            << "step " << k + 1;
        // The tolerances are large enough that the nominal value would fail.
        EXPECT_GT(std::abs(truth[k] / std::pow(10.0, 6 - k) - 1.0), 0.002);
    }
}

TEST(DemoChipCalibration, VoltmeterReadsTheCalibratorInEveryRange) {
    DemoCalibrationBench d;
    ASSERT_TRUE(d.cal.PAUTOClick());
    d.b.chip().nodes().adc1Input = 0.3;  // the calibrator's output on the meter input
    ASSERT_TRUE(d.cal.PCALVOLClick("0.30000"));
    const double applied[] = {0.9, 9.0, 90.0, 900.0};
    for (int r = 0; r < 4; ++r) {
        d.b.chip().nodes().adc1Input = applied[r];
        ASSERT_TRUE(d.cal.SelectRange(r, "8000"));
        d.RunLive(400);
        EXPECT_NEAR(d.cal.lastVolts / applied[r], 1.0, 0.002) << "range " << r;
    }
}

TEST(DemoChipCalibration, TheProposedCalibrationVoltageIsTheSimulatedInput) {
    DemoCalibrationBench d;  // the meter input as the simulated bench starts
    ASSERT_TRUE(d.cal.PAUTOClick());
    ASSERT_TRUE(d.cal.PCALVOLClick(ResistorCalibration::kDefaultAppliedVolts));
    ASSERT_TRUE(d.cal.SelectRange(0, "8000"));
    d.RunLive(400);
    EXPECT_NEAR(d.cal.lastVolts / d.b.chip().nodes().adc1Input, 1.0, 0.002);
}

TEST(DemoChipCalibration, CalibratedOhmsRangeReadsAnotherResistor) {
    DemoCalibrationBench d;
    d.b.chip().nodes().externalOhms = 10000.0;
    ASSERT_TRUE(d.meter.RangeClick(4));  // "5K", against the 10 kΩ reference
    ASSERT_TRUE(d.meter.CalibrateClick(4, "10000"));
    d.b.chip().nodes().externalOhms = 4700.0;
    d.RunLive(400);
    EXPECT_NEAR(d.meter.lastOhms, 4700.0, 4.7);

    // A high range reads in volts, so it needs the volts per count first.
    d.b.chip().nodes().adc1Input = 0.3;
    ASSERT_TRUE(d.cal.PCALVOLClick("0.3"));
    d.b.chip().nodes().externalOhms = 2.0e6;
    ASSERT_TRUE(d.meter.RangeClick(1));  // "5M"
    ASSERT_TRUE(d.meter.CalibrateClick(1, "2000000"));
    d.b.chip().nodes().externalOhms = 3.3e6;
    d.RunLive(400);
    EXPECT_NEAR(d.meter.lastOhms / 3.3e6, 1.0, 0.002);
}

}  // namespace
}  // namespace dmm
