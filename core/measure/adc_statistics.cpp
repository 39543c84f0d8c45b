#include "core/measure/adc_statistics.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace dmm {
namespace {

constexpr double kDefaultReferenceVolts = 1.2;
constexpr double kNanovoltsPerVolt = 1e9;
// Where the peak search starts: beyond any 24-bit result, even times 64.
constexpr double kSearchStart = 800000000.0;

// Rounds to the nearest integer, ties to even, as a 64-bit integer.
int64_t RoundHalfEven(double x) {
    const double r = x - std::remainder(x, 1.0);
    return static_cast<int64_t>(r);
}

}  // namespace

AnalysisResults ComputeStatistics(const StatisticsInput& input) {
    AnalysisResults out;
    const size_t n = input.cells.size();
    out.mean = input.mean;

    double sigma = 0.0;
    if (n > 0) {
        double squares = 0.0;
        for (double c : input.cells) squares += (c - input.mean) * (c - input.mean);
        sigma = std::sqrt(squares / static_cast<double>(n));
    }
    int bits = input.analysisBits;
    out.rmsNoiseCounts = sigma;
    out.enob = sigma > 0.0 ? bits - std::log2(sigma) : bits;

    if (bits == 0) bits = 1;
    const double gain = input.gain > 0.0 && std::isfinite(input.gain) ? input.gain : 1.0;
    const double fullScale = gain * std::ldexp(1.0, bits - 1);
    const double volts = input.referenceVolts * kNanovoltsPerVolt;
    out.rmsNoiseNanovolts = volts * sigma / fullScale;

    // An empty block has no peaks: without this the search's start values would come out
    // as a peak-to-peak noise of 1.6e9 counts.
    int64_t peakToPeak = 0;
    if (!input.values.empty()) {
        double lowest = kSearchStart, highest = -kSearchStart;
        for (double v : input.values) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        const double divisor = input.divisor > 0 ? input.divisor : 1;
        peakToPeak = std::llabs(RoundHalfEven(highest / divisor) - RoundHalfEven(lowest / divisor));
    }
    out.vppCounts = static_cast<double>(peakToPeak);
    out.noiseFreeBits =
        sigma > 0.0 && peakToPeak > 0 ? bits - std::log2(static_cast<double>(peakToPeak)) : bits;
    out.vppNanovolts = volts * out.vppCounts / fullScale;
    return out;
}

double ParseReferenceVolts(const QString& text) {
    bool ok = false;
    const double volts = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || volts == 0.0 || !std::isfinite(volts)) return kDefaultReferenceVolts;
    return volts;
}

}  // namespace dmm
