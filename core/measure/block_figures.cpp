#include "core/measure/block_figures.h"

#include <algorithm>
#include <cmath>

namespace dmm {
namespace {

constexpr double kFullScale24 = 8388608.0;  // 2^23
constexpr double kCoarseStep = 64.0;        // ADCF and AVG results are multiplied by it
constexpr double kPeakToPeakSigmas = 6.6;
constexpr int kStreamRecordsPerFetch = 12;
// A rate from the crystal's fields is exact to far better than this.
constexpr double kRateTolerance = 0.005;

// Whether the converter made more results between the first and the last sample than
// the block holds. A fetch's time is late by up to one fetch's load and the clock
// counts whole milliseconds: only results beyond that slack count as missed.
bool ResultsMissed(const BlockInput& in, const NoiseFigures& f) {
    if (f.count < 2) return false;
    if (!in.readerWaited) return true;  // always a result waiting: the converter was ahead
    if (!f.rateFromFields || in.sampleSpanMs <= 0.0) return false;
    const double made = in.sampleSpanMs / 1000.0 * f.outputRateHz;
    const double load = in.stream ? kStreamRecordsPerFetch : 1;
    const double slack = 2.0 * load + 2.0 * f.outputRateHz / 1000.0 + kRateTolerance * made;
    return made - (f.count - 1) > slack;
}

}  // namespace

QString MissedResultsReason() {
    return QStringLiteral("results were missed: the samples have no common time axis");
}

QString WarningText(FigureWarning warning) {
    switch (warning) {
        case FigureWarning::NoSamples:
            return QStringLiteral("no samples: nothing to compute the figures from");
        case FigureWarning::Saturated:
            return QStringLiteral("saturated at full scale");
        case FigureWarning::NoNoise:
            return QStringLiteral("no noise: check the input and the scale");
        case FigureWarning::QuantisationLimited:
            return QStringLiteral(
                "sigma below 0.5 LSB: quantisation-limited, the ENOBs saturate at B");
        case FigureWarning::EnobAboveBits:
            return QStringLiteral("ENOB above B: the noise is below one count at this scale");
        case FigureWarning::ShortForNoise:
            return QStringLiteral("fewer than %1 samples: too short for noise figures")
                .arg(kMinNoiseSamples);
        case FigureWarning::ShortForPeakToPeak:
            return QStringLiteral(
                       "fewer than %1 samples: peak-to-peak and noise-free bits read optimistic")
                .arg(kMinPeakToPeakSamples);
        case FigureWarning::ShortForSpectrum:
            return QStringLiteral("fewer than %1 samples: too short for a spectrum")
                .arg(kMinSpectrumSamples);
        case FigureWarning::MissedConversions:
            return QStringLiteral(
                "results were missed: polling the interrupt flags is slower than the converter, "
                "so the samples have no common time axis and the figures of the spectrum are "
                "withheld; capture through the board's stream instead (Interrupt; dmmctl "
                "capture without --poll)");
        case FigureWarning::StreamFellBehind:
            return QStringLiteral(
                "results were missed: the board's stream fell behind the converter, so the "
                "samples have no common time axis and the figures of the spectrum are "
                "withheld; slow the converter down (a larger oversampling) to capture every "
                "result");
        case FigureWarning::ToneInNoise:
            return QStringLiteral(
                "the block carries a tone: sigma and the noise figures count it as noise; the "
                "tone figures (SNR, SINAD, ENOB from SINAD) separate them");
    }
    return {};
}

bool IsSevere(FigureWarning warning) {
    return warning == FigureWarning::NoSamples || warning == FigureWarning::Saturated ||
           warning == FigureWarning::NoNoise || warning == FigureWarning::MissedConversions ||
           warning == FigureWarning::StreamFellBehind;
}

bool BlockFigures::Has(FigureWarning w) const {
    return std::find(warnings.begin(), warnings.end(), w) != warnings.end();
}

bool AtFullScale(double raw, CaptureSource source) {
    switch (source) {
        case CaptureSource::ADCS:
            // 0x800000 reads as +8388608: the negative end shows there too.
            return std::abs(raw) >= kFullScale24 - 1.0;
        case CaptureSource::ADCF:
        case CaptureSource::AVG:
            return std::abs(raw) >= kFullScale24 - kCoarseStep;
        case CaptureSource::RMS:
            return false;
    }
    return false;
}

BlockFigures ComputeBlockFigures(const BlockInput& in, ToneAnalyser analyseTone) {
    BlockFigures out;
    const int bits = std::max(in.analysisBits, 1);
    out.analysisBits = bits;
    out.fullScale = std::ldexp(1.0, bits - 1);
    out.window = in.window;
    out.spectrumAverages = std::max(in.spectrumAverages, 1);
    NoiseFigures& f = out.noise;
    f.count = static_cast<int>(in.x.size());
    auto warn = [&](FigureWarning w) { out.warnings.push_back(w); };
    if (f.count == 0) {
        warn(FigureWarning::NoSamples);
        return out;
    }

    double sum = 0.0, lowest = in.x[0], highest = in.x[0];
    for (double v : in.x) {
        sum += v;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    f.mean = sum / f.count;
    double squares = 0.0;
    for (double v : in.x) squares += (v - f.mean) * (v - f.mean);
    f.sigma = std::sqrt(squares / f.count);
    f.peakToPeak = highest - lowest;

    const double gain = in.gain > 0.0 && std::isfinite(in.gain) ? in.gain : 1.0;
    f.lsbVolts = in.referenceVolts / (gain * out.fullScale);
    f.microvoltsRms = f.sigma * f.lsbVolts * 1e6;
    f.microvoltsPeakToPeak = f.peakToPeak * f.lsbVolts * 1e6;
    f.rateFromFields = in.fieldRateHz.has_value() && *in.fieldRateHz > 0.0;
    f.outputRateHz = f.rateFromFields ? *in.fieldRateHz : in.measuredRateHz;
    f.nanovoltsPerRootHz =
        f.outputRateHz > 0.0 ? f.sigma * f.lsbVolts * 1e9 / std::sqrt(f.outputRateHz / 2.0) : 0.0;
    // A flat block keeps all its bits, as the program's own ENOB does.
    f.enobIeee = f.sigma > 0.0 ? bits - std::log2(f.sigma * std::sqrt(12.0)) : bits;
    f.noiseFree66 = f.sigma > 0.0 ? bits - std::log2(kPeakToPeakSigmas * f.sigma) : bits;

    if (std::any_of(in.raw.begin(), in.raw.end(),
                    [&](double v) { return AtFullScale(v, in.source); }))
        warn(FigureWarning::Saturated);
    if (f.sigma == 0.0 || in.original.rmsNoiseCounts == 0.0) warn(FigureWarning::NoNoise);
    if (f.sigma > 0.0 && f.sigma < 0.5) warn(FigureWarning::QuantisationLimited);
    if (in.original.enob > bits || f.enobIeee > bits) warn(FigureWarning::EnobAboveBits);
    if (ResultsMissed(in, f))
        warn(in.stream ? FigureWarning::StreamFellBehind : FigureWarning::MissedConversions);
    if (f.count < kMinNoiseSamples) warn(FigureWarning::ShortForNoise);
    if (f.count < kMinPeakToPeakSamples) warn(FigureWarning::ShortForPeakToPeak);
    if (f.count < kMinSpectrumSamples) {
        warn(FigureWarning::ShortForSpectrum);
        return out;
    }
    out.spectrum = ComputePowerSpectrum(in.x, in.window, out.spectrumAverages);
    out.tone = analyseTone(in.x, out.fullScale, in.window, out.spectrumAverages);
    if (out.tone.found) warn(FigureWarning::ToneInNoise);
    return out;
}

}  // namespace dmm
