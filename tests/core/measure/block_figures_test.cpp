// The figures beside the program's own: white noise of known sigma, a tone, and the
// blocks whose figures mean nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "core/measure/adc_statistics.h"
#include "core/measure/block_figures.h"
#include "core/measure/converter_rate.h"
#include "core/measure/figure_table.h"
#include "core/measure/histogram.h"

namespace dmm {
namespace {

std::vector<double> WhiteNoise(int n, double mean, double sigma, unsigned seed = 1) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(mean, sigma);
    std::vector<double> v(static_cast<size_t>(n));
    for (double& x : v) x = normal(random);
    return v;
}

// The program's own figures of a block, as the analysis hands them over.
AnalysisResults Original(const std::vector<double>& block, int bits) {
    double mean = 0;
    for (double v : block) mean += v;
    if (!block.empty()) mean /= static_cast<double>(block.size());
    return ComputeStatistics({block, block, mean, 1, bits, 1.0, 1.2});
}

BlockFigures Figures(const std::vector<double>& block, int bits = 24,
                     CaptureSource source = CaptureSource::ADCS) {
    BlockInput in;
    in.x = block;
    in.raw = block;
    in.source = source;
    in.analysisBits = bits;
    in.original = Original(block, bits);
    in.measuredRateHz = 100.0;
    return ComputeBlockFigures(in);
}

TEST(NoiseFigures, WhiteNoiseOfKnownSigmaGivesTheStatedEnobs) {
    constexpr double sigma = 8.0;
    const std::vector<double> block = WhiteNoise(65536, 250000.0, sigma);
    BlockInput in;
    in.x = in.raw = block;
    in.analysisBits = 24;
    in.gain = 2.0;
    in.referenceVolts = 1.2;
    in.fieldRateHz = 640.0;
    in.original = Original(block, 24);
    const BlockFigures f = ComputeBlockFigures(in);

    EXPECT_NEAR(in.original.enob, 24 - std::log2(sigma), 0.05);  // B - log2 s
    EXPECT_NEAR(f.noise.enobIeee, std::log2(std::ldexp(1.0, 24) / (sigma * std::sqrt(12.0))),
                0.05);  // IEEE 1241
    EXPECT_NEAR(f.noise.noiseFree66, 24 - std::log2(6.6 * sigma), 0.05);
    // One count is 1.2 V / (2 x 2^23); the density spreads sigma over 0..320 Hz.
    const double lsb = 1.2 / (2.0 * std::ldexp(1.0, 23));
    EXPECT_NEAR(f.noise.lsbVolts, lsb, 1e-18);
    EXPECT_NEAR(f.noise.microvoltsRms, sigma * lsb * 1e6, sigma * lsb * 1e6 * 0.01);
    EXPECT_TRUE(f.noise.rateFromFields);
    EXPECT_NEAR(f.noise.nanovoltsPerRootHz, sigma * lsb * 1e9 / std::sqrt(320.0),
                sigma * lsb * 1e9 / std::sqrt(320.0) * 0.01);
    EXPECT_NEAR(f.noise.microvoltsPeakToPeak / f.noise.microvoltsRms,
                f.noise.peakToPeak / f.noise.sigma, 1e-9);
    EXPECT_FALSE(f.tone.found);
    EXPECT_TRUE(f.warnings.empty());
}

TEST(NoiseFigures, EnobFromSinadOfAToneInKnownNoise) {
    constexpr double amplitude = 2000000.0, sigma = 40.0;
    std::vector<double> block = WhiteNoise(16384, 1000.0, sigma, 4);
    for (size_t j = 0; j < block.size(); ++j)
        block[j] +=
            amplitude * std::sin(2 * std::numbers::pi * 123.45 * static_cast<double>(j) / 16384);
    const BlockFigures f = Figures(block);
    ASSERT_TRUE(f.tone.found);
    EXPECT_TRUE(f.Has(FigureWarning::ToneInNoise));
    const double sinad = 10 * std::log10(amplitude * amplitude / 2 / (sigma * sigma));
    EXPECT_NEAR(f.tone.enobBits, (sinad - 1.76) / 6.02, 0.05);
}

TEST(NoiseFigures, BlocksWhoseFiguresMeanNothingAreFlagged) {
    // Nothing captured: no figure at all, in either table.
    const BlockFigures none = Figures({});
    EXPECT_FALSE(none.HasSamples());
    EXPECT_EQ(none.warnings, std::vector<FigureWarning>{FigureWarning::NoSamples});
    for (const FigureRow& row : OriginalFigureRows(Original({}, 24), none.HasSamples())) {
        EXPECT_FALSE(row.value) << row.key;
        EXPECT_EQ(FigureText(row), "----");
    }
    for (const FigureRow& row : ExtraFigureRows(none, 1.0)) EXPECT_FALSE(row.value) << row.key;

    // A converter stuck at full scale (0x7FFFFF), and the negative end that reads +8388608.
    for (double code : {8388607.0, 8388608.0, -8388607.0}) {
        const BlockFigures stuck = Figures(std::vector<double>(64, code));
        EXPECT_TRUE(stuck.Has(FigureWarning::Saturated)) << code;
        EXPECT_TRUE(stuck.Has(FigureWarning::NoNoise));
        EXPECT_TRUE(IsSevere(FigureWarning::Saturated));
    }
    EXPECT_EQ(WarningText(FigureWarning::Saturated), "saturated at full scale");
    EXPECT_EQ(WarningText(FigureWarning::NoNoise), "no noise: check the input and the scale");
    // ADCF results are 64 times an 18-bit code: its full scale is 131071 x 64.
    EXPECT_TRUE(AtFullScale(131071.0 * 64, CaptureSource::ADCF));
    EXPECT_FALSE(AtFullScale(131070.0 * 64, CaptureSource::AVG));
    EXPECT_FALSE(AtFullScale(8388606.0, CaptureSource::ADCS));
    EXPECT_FALSE(AtFullScale(1e12, CaptureSource::RMS));

    // Noise of a third of a count: the quantiser, not the converter, is measured.
    std::vector<double> quiet(2048, 100.0);
    for (size_t i = 0; i < quiet.size(); i += 9) quiet[i] = 101.0;
    const BlockFigures q = Figures(quiet);
    EXPECT_TRUE(q.Has(FigureWarning::QuantisationLimited));
    EXPECT_TRUE(q.Has(FigureWarning::EnobAboveBits));
    EXPECT_FALSE(q.Has(FigureWarning::NoNoise));
    EXPECT_FALSE(IsSevere(FigureWarning::QuantisationLimited));

    // Ten samples: too short for noise, peaks and a spectrum (none is taken).
    const BlockFigures shortBlock = Figures(WhiteNoise(10, 0.0, 50.0));
    for (FigureWarning w : {FigureWarning::ShortForNoise, FigureWarning::ShortForPeakToPeak,
                            FigureWarning::ShortForSpectrum})
        EXPECT_TRUE(shortBlock.Has(w)) << WarningText(w).toStdString();
    EXPECT_TRUE(shortBlock.spectrum.empty());
    EXPECT_FALSE(shortBlock.Has(FigureWarning::NoNoise));

    // Polling too slowly for the converter: its 2048 samples took as long as 4370 results.
    BlockInput slow;
    const std::vector<double> noise = WhiteNoise(2048, 0.0, 50.0);
    slow.x = slow.raw = noise;
    slow.original = Original(noise, 24);
    slow.fieldRateHz = 640.0;
    slow.sampleSpanMs = 2047 / 300.0 * 1000;
    EXPECT_TRUE(ComputeBlockFigures(slow).Has(FigureWarning::MissedConversions));
    // Every result taken, the span within a millisecond of the converter's.
    slow.sampleSpanMs = 2047 / 640.0 * 1000 + 1;
    EXPECT_FALSE(ComputeBlockFigures(slow).MissedResults());
}

// A block that lost results between its samples has no time axis: what its spectrum
// gives is withheld with the reason, --strict refuses it, and the advice fits the way it
// was taken.
TEST(NoiseFigures, ABlockWithMissedResultsHasNoSpectrumFigures) {
    constexpr int n = 4096;
    std::vector<double> block = WhiteNoise(n, 0.0, 30.0, 5);
    for (int j = 0; j < n; ++j)
        block[static_cast<size_t>(j)] += 3e6 * std::sin(2 * std::numbers::pi * 320.0 * j / n);
    BlockInput in;
    in.x = in.raw = block;
    in.original = Original(block, 24);
    in.fieldRateHz = 640.0;
    in.sampleSpanMs = (n - 1) / 640.0 * 1000;
    auto value = [](const std::vector<FigureRow>& rows, const std::string& key) {
        for (const FigureRow& r : rows)
            if (r.key == key) return r;
        return FigureRow{};
    };
    const BlockFigures whole = ComputeBlockFigures(in);
    ASSERT_FALSE(whole.MissedResults());
    EXPECT_TRUE(value(ExtraFigureRows(whole, 1.0), "SNR (dB)").value);

    // Polled on a link slower than the converter: 4096 samples over 9.1 s of results.
    in.sampleSpanMs = 9100;
    const BlockFigures polled = ComputeBlockFigures(in);
    ASSERT_TRUE(polled.Has(FigureWarning::MissedConversions));
    EXPECT_TRUE(IsSevere(FigureWarning::MissedConversions));
    const std::vector<FigureRow> rows = ExtraFigureRows(polled, 1.0);
    for (const char* key :
         {"SNR (dB)", "SINAD (dB)", "THD (dBc)", "SFDR (dBc)", "ENOB from SINAD",
          "Fundamental (dBFS)", "Fundamental (Hz)", "H2 (dBc)", "Noise density (nV/rtHz)"}) {
        const FigureRow row = value(rows, key);
        EXPECT_FALSE(row.value) << key;
        EXPECT_EQ(row.withheld, MissedResultsReason()) << key;
    }
    // The noise of the samples themselves still stands, and the converter's rate.
    EXPECT_TRUE(value(rows, "ENOB IEEE 1241").value);
    EXPECT_TRUE(value(rows, "Output rate (Hz)").value);
    EXPECT_TRUE(WarningText(FigureWarning::MissedConversions).contains("board's stream"));

    // Through the stream, with no rate from the fields: every reply came full, so the
    // reader never caught up with the converter.
    in.fieldRateHz.reset();
    in.stream = true;
    in.sampleSpanMs = 50;
    in.readerWaited = false;
    const BlockFigures behind = ComputeBlockFigures(in);
    ASSERT_TRUE(behind.Has(FigureWarning::StreamFellBehind));
    EXPECT_FALSE(value(ExtraFigureRows(behind, 1.0), "Output rate (Hz)").value);
    EXPECT_TRUE(IsSevere(FigureWarning::StreamFellBehind));
    const QString advice = WarningText(FigureWarning::StreamFellBehind);
    EXPECT_FALSE(advice.contains("Interrupt")) << advice.toStdString();
    EXPECT_TRUE(advice.contains("oversampling")) << advice.toStdString();
}

TEST(NoiseFigures, ToneRowsAppearOnlyWithATone) {
    std::vector<double> block = WhiteNoise(4096, 0.0, 20.0, 9);
    const size_t noiseRows = ExtraFigureRows(Figures(block), 1.0).size();
    for (size_t j = 0; j < block.size(); ++j)
        block[j] += 1e6 * std::cos(2 * std::numbers::pi * 64 * static_cast<double>(j) / 4096);
    const std::vector<FigureRow> rows = ExtraFigureRows(Figures(block), 0.5);
    EXPECT_EQ(rows.size(), noiseRows + 7 + kHarmonicsCounted);
    const auto hz = std::find_if(rows.begin(), rows.end(),
                                 [](const FigureRow& r) { return r.key == "Fundamental (Hz)"; });
    ASSERT_NE(hz, rows.end());
    EXPECT_NEAR(*hz->value, 32.0, 1e-6);  // line 64 at 0.5 Hz a line

    // With the converter's rate from its fields, the tone sits at line x rate / N, whatever
    // the capture's own time says; with results missed, it has no frequency at all.
    auto fundamentalHz = [&](bool readerWaited) {
        BlockInput in;
        in.x = in.raw = block;
        in.original = Original(block, 24);
        in.fieldRateHz = 640.0;
        in.measuredRateHz = 630.0;
        in.readerWaited = readerWaited;
        for (const FigureRow& row : ExtraFigureRows(ComputeBlockFigures(in), 0.5))
            if (row.key == "Fundamental (Hz)") return row.value.value_or(std::nan(""));
        return std::nan("");
    };
    EXPECT_NEAR(fundamentalHz(true), 64 * 640.0 / 4096, 1e-6);
    EXPECT_TRUE(std::isnan(fundamentalHz(false)));
}

TEST(ConverterRate, FollowsTheClockAndOversamplingFields) {
    RateFields f;
    f.ENI_XI = 0;
    f.AD1OSR = 0;
    EXPECT_DOUBLE_EQ(*OutputRateHz(CaptureSource::ADCS, f), 4915200.0 / 30 / 256);  // 640 Hz
    f.AD1OSR = 3;
    EXPECT_DOUBLE_EQ(*OutputRateHz(CaptureSource::ADCS, f), 80.0);
    EXPECT_FALSE(OutputRateHz(CaptureSource::ADCF, f));  // the fast converter's fields missing
    f.FCLK_SEL = 1;
    f.AD2OSR = 7;  // stops doubling at 1024
    EXPECT_DOUBLE_EQ(*OutputRateHz(CaptureSource::ADCF, f), 4915200.0 / 4 / 1024);
    f.SELAVG = 2;
    EXPECT_DOUBLE_EQ(*OutputRateHz(CaptureSource::AVG, f), 4915200.0 / 4 / 1024 / 256);
    EXPECT_DOUBLE_EQ(*OutputRateHz(CaptureSource::RMS, f), 4915200.0 / 4 / 1024 / 256);
    f.ENI_XI = 1;  // the external clock's frequency is not known
    EXPECT_FALSE(OutputRateHz(CaptureSource::ADCS, f));
}

TEST(Histogram, CountsAddUpToTheBlockAndTheGaussianCarriesItsArea) {
    const std::vector<double> noise = WhiteNoise(5000, 300.0, 6.0, 2);
    std::vector<double> counts;
    for (double v : noise) counts.push_back(std::round(v));
    double mean = 0, squares = 0;
    for (double v : counts) mean += v / counts.size();
    for (double v : counts) squares += (v - mean) * (v - mean);
    const double sigma = std::sqrt(squares / counts.size());

    const BlockHistogram h = BuildHistogram(counts, mean, sigma);
    int total = 0;
    for (int c : h.counts) total += c;
    EXPECT_EQ(total, 5000);
    // Whole counts in a narrow range: one bin per count, centred on it.
    EXPECT_EQ(h.binWidth, 1.0);
    const double lowest = *std::min_element(counts.begin(), counts.end());
    EXPECT_EQ(h.Centre(0), lowest);
    EXPECT_EQ(h.counts[static_cast<size_t>(std::round(mean) - lowest)],
              std::count(counts.begin(), counts.end(), std::round(mean)));
    double area = 0;
    for (size_t i = 1; i < h.curveX.size(); ++i)
        area += (h.curveX[i] - h.curveX[i - 1]) * (h.curveY[i] + h.curveY[i - 1]) / 2;
    EXPECT_NEAR(area / h.binWidth, 5000.0, 5000.0 * 0.01);

    // Averages (not whole numbers) and a wide range: kHistogramMaxBins bins.
    const BlockHistogram wide = BuildHistogram(WhiteNoise(777, 0.0, 1e4, 3), 0.0, 1e4);
    EXPECT_EQ(wide.counts.size(), static_cast<size_t>(kHistogramMaxBins));
    total = 0;
    for (int c : wide.counts) total += c;
    EXPECT_EQ(total, 777);
    const BlockHistogram flat = BuildHistogram(std::vector<double>(9, 4.0), 4.0, 0.0);
    EXPECT_EQ(flat.counts, std::vector<int>{9});
    EXPECT_TRUE(flat.curveX.empty());
}

}  // namespace
}  // namespace dmm
