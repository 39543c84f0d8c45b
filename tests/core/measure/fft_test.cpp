#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "core/measure/fft.h"
#include "core/measure/power_spectrum.h"
#include "core/measure/program_spectrum.h"
#include "core/measure/real_fft.h"

namespace dmm {
namespace {

using Complex = std::complex<double>;

// The definition, term by term: slow and obviously right.
std::vector<Complex> ReferenceDft(const std::vector<double>& re, const std::vector<double>& im) {
    const size_t n = re.size();
    std::vector<Complex> out(n);
    for (size_t k = 0; k < n; ++k) {
        Complex sum = 0.0;
        for (size_t j = 0; j < n; ++j) {
            const double angle =
                -2.0 * std::numbers::pi * static_cast<double>((j * k) % n) / static_cast<double>(n);
            sum += Complex(re[j], im[j]) * std::polar(1.0, angle);
        }
        out[k] = sum;
    }
    return out;
}

// A converter-like block: offset, two tones, noise; loaded as the capture loads it.
std::vector<double> TestSignal(int n) {
    std::mt19937 random(12345);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[static_cast<size_t>(i)] =
            250000.0 + 8000.0 * std::sin(2 * std::numbers::pi * 37 * i / n + 0.4) +
            500.0 * std::cos(2 * std::numbers::pi * 101 * i / n) + noise(random);
    }
    return v;
}

TEST(Fft, MatchesTheDefinitionWithinOnePartIn10To12) {
    for (int n : {1, 2, 8, 1024}) {
        SCOPED_TRACE(n);
        std::vector<double> re = TestSignal(n), im(re.size());
        for (size_t i = 0; i < re.size(); ++i) im[i] = -re[i];
        const std::vector<Complex> expected = ReferenceDft(re, im);
        Fft fft(n);
        fft.Transform(re, im);
        double largest = 0.0;
        for (const Complex& x : expected) largest = std::max(largest, std::abs(x));
        for (size_t k = 0; k < re.size(); ++k) {
            EXPECT_NEAR(re[k], expected[k].real(), largest * 1e-12) << k;
            EXPECT_NEAR(im[k], expected[k].imag(), largest * 1e-12) << k;
        }
    }
}

TEST(RealFft, MatchesTheDefinitionForAnyLength) {
    // Powers of two as captures give them, and other lengths (averaged blocks, segments).
    for (int n : {1, 2, 12, 64, 1000, 1024}) {
        SCOPED_TRACE(n);
        const std::vector<double> x = TestSignal(n);
        const std::vector<Complex> expected = ReferenceDft(x, std::vector<double>(x.size(), 0.0));
        const auto fft = RealFft::ForLength(n);
        ASSERT_EQ(fft->lines(), n / 2 + 1);
        std::vector<Complex> lines(static_cast<size_t>(fft->lines()));
        ASSERT_TRUE(fft->Forward(x, lines));
        double largest = 0.0;
        for (const Complex& v : expected) largest = std::max(largest, std::abs(v));
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_NEAR(lines[k].real(), expected[k].real(), largest * 1e-12) << k;
            EXPECT_NEAR(lines[k].imag(), expected[k].imag(), largest * 1e-12) << k;
        }
        // The plan is made once per length.
        EXPECT_EQ(RealFft::ForLength(n).get(), fft.get());
    }
    std::vector<Complex> tooShort(2);
    EXPECT_FALSE(RealFft::ForLength(8)->Forward(TestSignal(8), tooShort));
}

TEST(SpectralWindows, CoherentGainAndNoiseBandwidthAreThePublishedOnes) {
    struct Known {
        SpectrumWindow window;
        double gain, bandwidth;
    };
    for (const Known& k :
         {Known{SpectrumWindow::Rectangular, 1.0, 1.0}, Known{SpectrumWindow::Hann, 0.5, 1.5},
          Known{SpectrumWindow::BlackmanHarris4, 0.35875, 2.0044},
          Known{SpectrumWindow::FlatTop, 0.21557895, 3.7702}}) {
        SCOPED_TRACE(ShapeOf(k.window).name);
        const std::vector<double> w = WindowSamples(k.window, 4096);
        EXPECT_NEAR(CoherentGain(w), k.gain, 1e-6);
        EXPECT_NEAR(NoiseBandwidthLines(w), k.bandwidth, 1e-3);
        EXPECT_EQ(SpectrumWindowFromName(ShapeOf(k.window).name), k.window);
    }
    EXPECT_EQ(SpectrumWindowFromName("bh4"), SpectrumWindow::BlackmanHarris4);
    EXPECT_FALSE(SpectrumWindowFromName("kaiser"));
}

TEST(PowerSpectrum, ToneLevelsAndNoisePowerDoNotDependOnTheWindow) {
    constexpr int n = 8192;
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<double> tone(n), white(n);
    for (int i = 0; i < n; ++i) {
        tone[static_cast<size_t>(i)] = 40.0 + 1000.0 * std::cos(2 * std::numbers::pi * 200 * i / n);
        white[static_cast<size_t>(i)] = noise(random);
    }
    for (SpectrumWindow window : {SpectrumWindow::Rectangular, SpectrumWindow::Hann,
                                  SpectrumWindow::BlackmanHarris4, SpectrumWindow::FlatTop}) {
        SCOPED_TRACE(ShapeOf(window).name);
        const PowerSpectrum t = ComputePowerSpectrum(tone, window, 1);
        ASSERT_EQ(t.power.size(), static_cast<size_t>(n / 2 + 1));
        EXPECT_NEAR(t.power[200], 1000.0 * 1000.0 / 2, 1e-6);  // a line reads A^2 / 2
        EXPECT_NEAR(t.power[0], 40.0 * 40.0, 1e-6);            // DC reads its square
        for (int segments : {1, 8}) {
            const PowerSpectrum w = ComputePowerSpectrum(white, window, segments);
            EXPECT_EQ(w.segments, segments);
            EXPECT_EQ(w.segmentLength, n / segments);
            EXPECT_NEAR(w.NoisePower(w.lobeHalfWidth), 9.0, 9.0 * 0.05);
        }
    }
    // More segments than the block can give: segments of kMinSegmentLength.
    EXPECT_EQ(ComputePowerSpectrum(std::vector<double>(64, 1.0), SpectrumWindow::Hann, 16).segments,
              64 / kMinSegmentLength);
    EXPECT_TRUE(ComputePowerSpectrum(std::vector<double>(1, 1.0), SpectrumWindow::Hann, 1).empty());
}

std::vector<double> LevelsOf(std::vector<double> v) {
    std::vector<double> re = v, im(v.size()), levels(v.size());
    for (size_t i = 0; i < v.size(); ++i) im[i] = -v[i];
    Fft(static_cast<int>(v.size())).Transform(re, im);
    SpectrumLevels(re, im, levels);
    return levels;
}

TEST(SpectrumLevels, AToneHasTheSameLevelWhateverItsPhase) {
    constexpr int n = 256;
    // A whisper of noise keeps every line above zero, as on a real converter (an exactly
    // empty line would end the pass).
    std::mt19937 random(7);
    std::uniform_real_distribution<double> noise(-1e-3, 1e-3);
    std::vector<double> whisper(n);
    for (double& w : whisper) w = noise(random);
    for (double phase : {0.0, 0.3, std::numbers::pi / 4, std::numbers::pi / 2, 2.0}) {
        SCOPED_TRACE(phase);
        std::vector<double> v(n);
        for (int i = 0; i < n; ++i) {
            v[static_cast<size_t>(i)] = 1000.0 +
                                        100.0 * std::cos(2 * std::numbers::pi * 5 * i / n + phase) +
                                        whisper[static_cast<size_t>(i)];
        }
        const std::vector<double> levels = LevelsOf(v);
        // Line 5 holds half the amplitude (50) against the offset's 1000: -26.02 dB.
        EXPECT_NEAR(levels[5], 20.0 * std::log10(50.0 / 1000.0), 1e-4);
        EXPECT_LT(levels[6], -100.0);
        EXPECT_EQ(levels[0], 0.0);
    }
}

TEST(ProgramSpectrum, MirroredLevelsAreTheFullPassesOwnToTheLastBit) {
    for (int n : {2, 16, 4096}) {
        SCOPED_TRACE(n);
        std::vector<double> v = TestSignal(n);
        for (double& x : v) x += 5.0;
        std::vector<double> re(n + 1, 9.0), im(n + 1, 9.0), levels(n + 1, 9.0);
        ProgramSpectrum(v, re, im, levels);
        std::vector<double> full(n, 0.0);
        SpectrumLevels(std::span(re).first(n), std::span(im).first(n), full);
        for (int k = 0; k < n; ++k) ASSERT_EQ(levels[k], full[k]) << k;
        // Past the block nothing is touched.
        EXPECT_EQ(re[n], 9.0);
        EXPECT_EQ(levels[n], 9.0);
    }
    // The transform of a real block (line n - k the conjugate of line k) whose line 3 is
    // empty: both passes end there, and lines 3 on keep what they held.
    std::vector<double> re(16, 1.0), im(16, 0.5);
    re[3] = im[3] = re[13] = im[13] = 0.0;
    for (int k = 9; k < 16; ++k) im[k] = -im[16 - k];
    std::vector<double> mirrored(16, 7.0), full(16, 7.0);
    MirroredSpectrumLevels(re, im, mirrored);
    SpectrumLevels(re, im, full);
    EXPECT_EQ(mirrored, full);
    EXPECT_EQ(mirrored[3], 7.0);
    EXPECT_EQ(mirrored[15], 7.0);
    EXPECT_NE(mirrored[2], 7.0);
}

TEST(SpectrumLevels, AnEmptyLineEndsThePass) {
    // Line 1 is a tenth of line 0; line 2 is empty, so line 3 and on keep their levels.
    std::vector<double> re(16, 0.0), im(16, 0.0);
    re[0] = 160.0;
    re[1] = 16.0;
    re[3] = 8.0;
    std::vector<double> levels(16, 7.0);
    SpectrumLevels(re, im, levels);
    EXPECT_EQ(levels[0], 0.0);
    EXPECT_NEAR(levels[1], -20.0, 1e-12);
    EXPECT_EQ(levels[2], 7.0);
    EXPECT_EQ(levels[3], 7.0);

    // Without line 0 the levels are absolute: 20 log10(|X| / n).
    std::vector<double> re2(4, 0.0), im2(4, 0.0), levels2(4, 0.0);
    re2[1] = 3.0;
    im2[1] = 4.0;
    re2[2] = re2[3] = 4.0;
    SpectrumLevels(re2, im2, levels2);
    EXPECT_NEAR(levels2[1], 20.0 * std::log10(5.0 / 4.0), 1e-12);
    EXPECT_NEAR(levels2[2], 0.0, 1e-12);
}

}  // namespace
}  // namespace dmm
