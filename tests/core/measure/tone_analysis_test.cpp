// Tone figures against closed forms: a sine with known harmonics and white noise, through
// every window, on a line of the spectrum and between two lines.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "core/measure/tone_analysis.h"

namespace dmm {
namespace {

constexpr double kFullScale = 8388608.0;  // 2^23: a 24-bit converter
constexpr int kN = 16384;

struct Construction {
    double amplitude = 0.5 * kFullScale;
    double line = 331.0;  // periods in the block
    double phase = 0.7;
    std::array<double, 5> harmonicsDbc{-60, -70, -75, -80, -85};
    double noiseSigma = 0.0;
    double offset = 120000.0;

    // The block and the figures its construction gives, from the noise actually drawn.
    std::vector<double> block;
    double p1 = 0, harmonicPower = 0, noisePower = 0;

    void Build(unsigned seed = 1) {
        std::mt19937_64 random(seed);
        std::normal_distribution<double> normal(0.0, noiseSigma);
        std::vector<double> noise(kN);
        double mean = 0;
        for (double& v : noise) mean += (v = noiseSigma > 0 ? normal(random) : 0.0);
        mean /= kN;
        noisePower = 0;
        for (double v : noise) noisePower += (v - mean) * (v - mean);
        noisePower /= kN;
        block.assign(kN, 0.0);
        p1 = amplitude * amplitude / 2;
        harmonicPower = 0;
        for (int j = 0; j < kN; ++j) {
            const double w = 2 * std::numbers::pi * line * j / kN;
            double v = offset + amplitude * std::cos(w + phase) + noise[static_cast<size_t>(j)];
            for (size_t h = 0; h < harmonicsDbc.size(); ++h) {
                const double a = amplitude * std::pow(10.0, harmonicsDbc[h] / 20.0);
                v += a * std::sin(static_cast<double>(h + 2) * w + 0.3 * h + 0.5);
            }
            block[static_cast<size_t>(j)] = v;
        }
        for (double dbc : harmonicsDbc) harmonicPower += p1 * std::pow(10.0, dbc / 10.0);
    }
    double Snr() const { return 10 * std::log10(p1 / noisePower); }
    double Thd() const { return 10 * std::log10(harmonicPower / p1); }
    double Sinad() const { return 10 * std::log10(p1 / (noisePower + harmonicPower)); }
};

constexpr std::array<SpectrumWindow, 4> kWindows{SpectrumWindow::Rectangular, SpectrumWindow::Hann,
                                                 SpectrumWindow::BlackmanHarris4,
                                                 SpectrumWindow::FlatTop};

TEST(ToneAnalysis, FiguresMatchTheConstructionForEveryWindowOnAndBetweenLines) {
    for (double line : {331.0, 331.37}) {
        Construction c;
        c.line = line;
        c.noiseSigma = c.amplitude / std::sqrt(2.0) * std::pow(10.0, -80.0 / 20.0);
        c.Build();
        for (SpectrumWindow window : kWindows) {
            SCOPED_TRACE(testing::Message() << "line " << line << ", " << ShapeOf(window).name);
            const ToneFigures t = AnalyseTone(c.block, kFullScale, window, 1);
            ASSERT_TRUE(t.found);
            EXPECT_NEAR(t.fundamental.line, line, 1e-5);
            EXPECT_EQ(t.coherent, line == 331.0);
            EXPECT_NEAR(t.fundamentalDbfs, 20 * std::log10(0.5), 0.01);
            EXPECT_NEAR(t.snrDb, c.Snr(), 0.1);
            EXPECT_NEAR(t.thdDb, c.Thd(), 0.1);
            EXPECT_NEAR(t.sinadDb, c.Sinad(), 0.1);
            EXPECT_NEAR(t.sfdrDb, 60.0, 0.1);  // the 2nd harmonic is the largest spur
            EXPECT_NEAR(t.enobBits, (c.Sinad() - 1.76) / 6.02, 0.02);
            for (size_t h = 0; h < c.harmonicsDbc.size(); ++h) {
                const ToneComponent& got = t.harmonics[h];
                EXPECT_TRUE(got.resolved) << h + 2;
                // Each harmonic alone is known as well as it stands above the noise of its
                // lines: the -85 dBc one by about 0.3 dB.
                EXPECT_NEAR(10 * std::log10(got.power / t.fundamental.power), c.harmonicsDbc[h],
                            0.5)
                    << h + 2;
                EXPECT_NEAR(got.line, (h + 2) * line, 1e-4);
            }
        }
    }
}

TEST(ToneAnalysis, AveragedSpectraGiveTheSameNoiseAndHarmonicsThatFoldAreFound) {
    // Near the Nyquist frequency every harmonic folds back into the band.
    Construction c;
    c.line = 5000.3;
    c.harmonicsDbc = {-50, -62, -66, -70, -72};
    c.noiseSigma = c.amplitude / std::sqrt(2.0) * std::pow(10.0, -70.0 / 20.0);
    c.Build(7);
    for (int segments : {1, 4, 16}) {
        SCOPED_TRACE(segments);
        const ToneFigures t = AnalyseTone(c.block, kFullScale, SpectrumWindow::Hann, segments);
        ASSERT_TRUE(t.found);
        EXPECT_NEAR(t.snrDb, c.Snr(), 0.1);
        EXPECT_NEAR(t.thdDb, c.Thd(), 0.1);
        EXPECT_NEAR(t.sfdrDb, 50.0, 0.1);
        // 2f = 10000.6 shows at 16384 - 10000.6; 3f = 15000.9 at 16384 - 15000.9.
        EXPECT_NEAR(t.harmonics[0].line, 16384 - 10000.6, 1e-3);
        EXPECT_NEAR(t.harmonics[1].line, 16384 - 15000.9, 1e-3);
        EXPECT_NEAR(t.harmonics[2].line, 20001.2 - 16384, 1e-3);
    }
}

TEST(ToneAnalysis, HarmonicsOnDcOrTheFundamentalAreNotCounted) {
    // A quarter of the sample rate: the 3rd and 5th harmonics fold onto the fundamental,
    // the 4th onto DC, the 6th onto the 2nd, at half the sample rate, where a sine
    // a sin(pi j + 0.5) is a square wave of mean square a^2 sin^2 0.5.
    Construction c;
    c.line = kN / 4;
    c.harmonicsDbc = {-60, -200, -200, -200, -200};
    c.noiseSigma = 30.0;
    c.Build(3);
    const ToneFigures t = AnalyseTone(c.block, kFullScale, SpectrumWindow::BlackmanHarris4, 1);
    ASSERT_TRUE(t.found);
    EXPECT_TRUE(t.harmonics[0].resolved);
    EXPECT_NEAR(t.harmonics[0].line, kN / 2, 1e-6);
    const double expected = -60.0 + 10 * std::log10(2 * std::pow(std::sin(0.5), 2));
    EXPECT_NEAR(10 * std::log10(t.harmonics[0].power / t.fundamental.power), expected, 0.1);
    for (size_t h : {1u, 2u, 3u, 4u}) EXPECT_FALSE(t.harmonics[h].resolved) << h + 2;
    EXPECT_NEAR(t.thdDb, expected, 0.1);
}

TEST(ToneAnalysis, NoToneInNoiseOrInAShortBlock) {
    std::mt19937_64 random(11);
    std::normal_distribution<double> normal(1000.0, 5.0);
    std::vector<double> noise(kN);
    for (double& v : noise) v = normal(random);
    EXPECT_FALSE(AnalyseTone(noise, kFullScale, SpectrumWindow::Hann, 1).found);
    EXPECT_FALSE(
        AnalyseTone(std::vector<double>(kN, 5.0), kFullScale, SpectrumWindow::Hann, 1).found);

    Construction c;
    c.Build();
    EXPECT_FALSE(AnalyseTone(std::span(c.block).first(kMinToneBlock - 1), kFullScale,
                             SpectrumWindow::Rectangular, 1)
                     .found);
}

}  // namespace
}  // namespace dmm
