#pragma once

#include <QString>

#include <optional>
#include <span>
#include <vector>

#include "core/measure/analysis_results.h"
#include "core/measure/capture_source.h"
#include "core/measure/power_spectrum.h"
#include "core/measure/tone_analysis.h"

namespace dmm {

// Why a figure of a block means little or nothing.
enum class FigureWarning {
    NoSamples,            // nothing was captured: no figure is computed
    Saturated,            // a result sits at the converter's full scale
    NoNoise,              // sigma is 0: the input or the scale hides the noise
    QuantisationLimited,  // sigma below 0.5 LSB: the noise figures measure the quantiser
    EnobAboveBits,        // an ENOB above B: the noise is below one count
    ShortForNoise,        // fewer than kMinNoiseSamples
    ShortForPeakToPeak,   // fewer than kMinPeakToPeakSamples: peaks read low
    ShortForSpectrum,     // fewer than kMinSpectrumSamples
    MissedConversions,    // polling the flags missed results: the block has no time axis
    StreamFellBehind,     // the board's stream lost results: the block has no time axis
    ToneInNoise,          // the block carries a tone, which sigma counts as noise
};

inline constexpr int kMinNoiseSamples = 16;
// Gaussian noise reaches its 6.6 sigma (99.9 %) peak-to-peak in about a thousand samples.
inline constexpr int kMinPeakToPeakSamples = 1000;
inline constexpr int kMinSpectrumSamples = 64;

QString WarningText(FigureWarning warning);
// Warnings that make the block unfit for its figures: a script's --strict fails on them.
bool IsSevere(FigureWarning warning);
// Why a figure that needs evenly spaced samples is withheld from a block with missed results.
QString MissedResultsReason();

// The noise figures beside the program's own seven, over the block in counts of the
// chosen scale (the results divided by D, before the grid's truncation).
struct NoiseFigures {
    int count = 0;
    double mean = 0.0;
    double sigma = 0.0;        // RMS deviation from the mean, dividing by N
    double peakToPeak = 0.0;   // max - min
    double enobIeee = 0.0;     // log2(FSR / (sigma sqrt 12)), FSR = 2^B counts
    double noiseFree66 = 0.0;  // B - log2(6.6 sigma)
    double lsbVolts = 0.0;     // one count at the input: Vref / (gain 2^(B-1))
    double microvoltsRms = 0.0;
    double microvoltsPeakToPeak = 0.0;
    double outputRateHz = 0.0;
    bool rateFromFields = false;      // false: measured (samples over the capture time)
    double nanovoltsPerRootHz = 0.0;  // sigma in volts / sqrt(rate / 2)
};

// What the extra figures are computed from.
struct BlockInput {
    std::span<const double> x;    // the block, counts of the chosen scale
    std::span<const double> raw;  // the stored results (unscaled), for the full-scale check
    CaptureSource source = CaptureSource::ADCS;
    int analysisBits = 24;  // B
    double gain = 1.0;
    double referenceVolts = 1.2;
    std::optional<double> fieldRateHz;  // from the converter's rate fields
    double measuredRateHz = 0.0;
    // How the samples arrived, to tell whether the reader kept up with the converter.
    bool stream = false;        // through the board's stream (else by polling the flags)
    double sampleSpanMs = 0.0;  // from the fetch of the first sample to that of the last
    // Some fetch between the first and the last sample came back short (no flag up, or
    // a stream reply with room to spare): the reader had caught up with the converter.
    bool readerWaited = true;
    SpectrumWindow window = SpectrumWindow::Rectangular;
    int spectrumAverages = 1;
    AnalysisResults original;  // the program's own figures of the same block
};

struct BlockFigures {
    NoiseFigures noise;
    ToneFigures tone;
    PowerSpectrum spectrum;  // of the block, through the chosen window and averaging
    double fullScale = 0.0;  // amplitude of a full-scale sine in counts: 2^(B-1)
    int analysisBits = 24;
    SpectrumWindow window = SpectrumWindow::Rectangular;
    int spectrumAverages = 1;
    std::vector<FigureWarning> warnings;

    bool HasSamples() const { return noise.count > 0; }
    bool Has(FigureWarning w) const;
    // Results were lost between the samples: nothing that needs their spacing holds.
    bool MissedResults() const {
        return Has(FigureWarning::MissedConversions) || Has(FigureWarning::StreamFellBehind);
    }
};

// How the tone figures are found: AnalyseTone, or another implementation to compare it with.
using ToneAnalyser = ToneFigures (*)(std::span<const double> x, double fullScale,
                                     SpectrumWindow window, int segments);
BlockFigures ComputeBlockFigures(const BlockInput& input, ToneAnalyser analyseTone = AnalyseTone);

// A result at the top or bottom of the 24-bit range (ADCF and AVG results reach it 64
// counts early: they are 6 bits coarser). The RMS accumulator has no full scale here.
bool AtFullScale(double raw, CaptureSource source);

}  // namespace dmm
