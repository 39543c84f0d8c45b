#include "core/measure/block_figures.h"

#include <algorithm>
#include <cmath>

namespace dmm {
namespace {

constexpr double kFullScale24 = 8388608.0;  // 2^23
constexpr double kCoarseStep = 64.0;        // ADCF and AVG results are multiplied by it
constexpr double kPeakToPeakSigmas = 6.6;

}  // namespace

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
                "results were missed (they came slower than the converter makes them): the "
                "samples are not evenly spaced and the spectrum is smeared; capture with "
                "Interrupt");
        case FigureWarning::ToneInNoise:
            return QStringLiteral(
                "the block carries a tone: sigma and the noise figures count it as noise; the "
                "tone figures (SNR, SINAD, ENOB from SINAD) separate them");
    }
    return {};
}

bool IsSevere(FigureWarning warning) {
    return warning == FigureWarning::NoSamples || warning == FigureWarning::Saturated ||
           warning == FigureWarning::NoNoise;
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
    if (f.rateFromFields && in.measuredRateHz > 0 &&
        in.measuredRateHz < kMinRateShare * f.outputRateHz)
        warn(FigureWarning::MissedConversions);
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
