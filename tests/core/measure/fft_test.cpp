#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "core/measure/fft.h"

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
