// Captures of the simulated demo DMM chip through the program's own analysis: the
// figures mean what they say whatever register path sets the converter up.
#include <gtest/gtest.h>

#include "capture_bench.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/measure/capture_chip_layout.h"
#include "sim/sim_dmm_chip.h"

namespace dmm {
namespace {

class DemoChipCapture : public ::testing::Test {
  protected:
    DemoChipCapture() : f(MakeChip()), analysis(f.core, host, ui) {}

    static std::unique_ptr<sim::SimChip> MakeChip() {
        std::string error;
        auto chip = sim::SimDmmChip::FromDescriptionFile(
            FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()),
                                    sim::kDemoDmmDescription),
            &error);
        EXPECT_NE(chip, nullptr) << error;
        return chip;
    }

    void SetUp() override {
        // Virtual time moves a millisecond with every pass of the capture loop.
        ui.onEvents = [this](int) { f.clock.Advance(1); };
        ASSERT_TRUE(f.Open());
        ASSERT_EQ(
            GetSELUP(IncludeDirectory(ShippedDataDirectory()), f.core.chipModel(), f.core.chip()),
            1);
        chip().nodes().adc1Input = 0.05;
        // ADC1: SENSE against AGND, VREF against FB (1.2 V), chopper on, fastest rate.
        for (auto [name, value] : {std::pair{"S_AD1IP", 0},
                                   {"S_AD1IN", 3},
                                   {"S_AD1RH", 2},
                                   {"S_AD1RL", 0},
                                   {"AD1CHO", 1},
                                   {"AD1OSR", 0},
                                   {"ENAD_S", 1}})
            SetField(name, value);
    }

    sim::SimDmmChip& chip() { return static_cast<sim::SimDmmChip&>(f.sim.chip()); }
    void SetField(const char* name, int value) {
        const TRegField& field = *f.core.chipModel().Field(name);
        const auto address = static_cast<uint16_t>(field.registerIndex);
        ASSERT_TRUE(f.core.chip().ReadChip(address, 1));
        ASSERT_TRUE(
            f.core.chip().WriteRegister(address, field.Insert(f.core.chip().buffer()[0], value)));
    }
    AnalysisResults Capture() {
        CaptureSettings s;
        ApplyChipLayout(f.core.chipModel(), s);
        s.NPointIndex = SamplePointItemOf(2048);
        s.EREFV = "1.2";
        analysis.SetSettings(s);
        EXPECT_TRUE(analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
        EXPECT_EQ(analysis.lastEnd(), CaptureEnd::Complete);
        return analysis.data().results;
    }

    test::SimFixture f;
    StandaloneCaptureHost host;
    test::RecordingUiHooks ui;
    AdcAnalysis analysis;
};

TEST_F(DemoChipCapture, NoiseVoltageIsInputReferredWhetherTheGainComesFromThePgaOrTheReference) {
    SetField("AD1GN", 1);  // x2 in the PGA
    const AnalysisResults pga = Capture();
    SetField("AD1GN", 0);
    SetField("VRGNAD1", 1);  // the reference halved
    const AnalysisResults reference = Capture();

    // Both double the counts of the same input noise...
    EXPECT_NEAR(reference.rmsNoiseCounts / pga.rmsNoiseCounts, 1.0, 0.1);
    EXPECT_NEAR(reference.mean / pga.mean, 1.0, 0.01);
    // ...and both give the same input-referred noise voltage, about 19.7 uV here.
    EXPECT_NEAR(reference.rmsNoiseNanovolts / pga.rmsNoiseNanovolts, 1.0, 0.1);
    EXPECT_GT(pga.rmsNoiseNanovolts, 15000);
    EXPECT_LT(pga.rmsNoiseNanovolts, 25000);
}

}  // namespace
}  // namespace dmm
