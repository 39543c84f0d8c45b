// Captures of the simulated demo DMM chip through the program's own analysis: the
// figures mean what they say whatever register path sets the converter up.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "capture_bench.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/link/number_text.h"
#include "core/measure/capture_chip_layout.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_options.h"
#include "support/demo_chip_bench.h"

namespace dmm {
namespace {

class DemoChipCapture : public ::testing::Test {
  protected:
    DemoChipCapture() : f(test::MakeDemoChip()), analysis(f.core, host, ui) {}

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
    AnalysisResults Capture(int points = 2048, bool stream = false) {
        CaptureSettings s;
        ApplyChipLayout(f.core.chipModel(), s);
        s.NPointIndex = SamplePointItemOf(points);
        s.EREFV = "1.2";
        s.ENInterrupt = stream;
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

TEST_F(DemoChipCapture, AToneThroughTheChipShowsTheHarmonicsTheSimulatorWasGiven) {
    // 50 Hz, 0.1 V peak, from a source with -60/-70/-75 dBc distortion, on SENSE.
    sim::SimBenchOptions options;
    std::string error;
    options.tone = sim::ParseSimTone("0.1,50", error);
    options.harmonicsDbc = sim::ParseHarmonics("-60,-70,-75", error);
    // The -75 dBc harmonic stands little above the noise of its lines: it reads within
    // 0.3 dB for most draws of the noise, not for all, so the draw is fixed.
    options.seed = 1;
    ASSERT_TRUE(sim::ApplySimOptions(f.sim, options, error)) << error;
    Capture(4096);
    const BlockFigures& figures = analysis.figures();
    const ToneFigures& tone = figures.tone;
    ASSERT_TRUE(tone.found);
    // ADC1 at 640 results a second: 50 Hz is 320 periods of the 4096 samples.
    EXPECT_TRUE(figures.noise.rateFromFields);
    EXPECT_DOUBLE_EQ(figures.noise.outputRateHz, 640.0);
    EXPECT_NEAR(tone.fundamental.line, 320.0, 1e-3);
    EXPECT_NEAR(tone.fundamental.line * analysis.lineSpacingHz(), 50.0, 1.0);
    // 0.1 V against the 1.2 V reference: 20 log10(0.1 / 1.2) dBFS.
    EXPECT_NEAR(tone.fundamentalDbfs, 20 * std::log10(0.1 / 1.2), 0.05);
    const double given[] = {-60, -70, -75};
    double distortion = 0;
    for (int h = 0; h < 3; ++h) {
        const ToneComponent& c = tone.harmonics[static_cast<size_t>(h)];
        ASSERT_TRUE(c.resolved);
        EXPECT_NEAR(10 * std::log10(c.power / tone.fundamental.power), given[h], 0.3) << h + 2;
        distortion += std::pow(10.0, given[h] / 10);
    }
    EXPECT_NEAR(tone.thdDb, 10 * std::log10(distortion), 0.2);
    EXPECT_NEAR(tone.sfdrDb, 60.0, 0.2);
    // What is left is the converter's own noise, as the simulator makes it.
    const double noiseCounts = chip().State(sim::SimDmmChip::Converter::Adc1).noiseCounts;
    EXPECT_NEAR(tone.snrDb,
                20 * std::log10(tone.fundamental.amplitude / std::sqrt(2.0) / noiseCounts), 0.3);
}

// Polling over a link slower than the converter (a millisecond an exchange, as USB takes)
// misses results: the tone's figures are withheld and the block fails --strict. The
// board's stream takes every result of the same converter, and its tone figures stand.
TEST_F(DemoChipCapture, APolledToneOnASlowLinkHasNoSpectrumFiguresAndTheStreamHasThem) {
    sim::SimBenchOptions options;
    std::string error;
    options.tone = sim::ParseSimTone("0.5,50", error);
    ASSERT_TRUE(sim::ApplySimOptions(f.sim, options, error)) << error;
    f.sim.board().SetExchangeLatencyMs(1);
    auto snr = [](const CaptureOutcome& o) {
        for (const FigureRow& row : o.added)
            if (row.key == "SNR (dB)") return row;
        return FigureRow{};
    };

    Capture(1024);
    const CaptureOutcome polled = analysis.Outcome();
    ASSERT_TRUE(polled.Complete());
    EXPECT_EQ(polled.SevereWarning(), FigureWarning::MissedConversions);
    EXPECT_FALSE(snr(polled).value);
    EXPECT_EQ(snr(polled).withheld, MissedResultsReason());

    Capture(1024, true);
    const CaptureOutcome streamed = analysis.Outcome();
    EXPECT_FALSE(streamed.SevereWarning());
    ASSERT_TRUE(snr(streamed).value);
    EXPECT_GT(*snr(streamed).value, 60.0);
}

// The record's registers are what the chip held as the capture began, not the program's
// copy of what this run happened to write: bytes outside the description's register
// areas were not read and say so.
TEST_F(DemoChipCapture, TheRecordHoldsTheChipsRegistersNotTheProgramsCopy) {
    chip().Write(0x34, 0x08);  // set on the chip behind the program's back
    const uint8_t held = chip().Read(0x34);
    ASSERT_NE(held, f.core.chip().GetRegImage(0x34));
    Capture(64);
    const QJsonObject root = QJsonDocument::fromJson(analysis.ProvenanceJson({})).object();
    const QJsonArray image = root["registerImage"].toArray();
    ASSERT_EQ(image.size(), 64);
    const QStringList row3 = image[3].toString().split(' ');  // "030: ..."
    EXPECT_EQ(row3[0], "030:");
    EXPECT_EQ(row3[1 + 4], QString::fromStdString(HexStr(held, 2)));
    EXPECT_EQ(image[5].toString().split(' ')[1 + 0xF], "--");  // 0x5F: user RAM, not read
    EXPECT_EQ(root["registerImageRead"].toArray(), QJsonArray{"0x000-0x048"});
    // Reading the flags for the record took none away from the capture.
    EXPECT_TRUE(analysis.Outcome().Complete());
}

}  // namespace
}  // namespace dmm
