#include "core/measure/histogram.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace dmm {
namespace {

constexpr int kCurvePoints = 201;

}  // namespace

BlockHistogram BuildHistogram(std::span<const double> block, double mean, double sigma,
                              int maxBins) {
    BlockHistogram h;
    h.mean = mean;
    h.sigma = sigma;
    maxBins = std::max(maxBins, 1);
    if (block.empty()) return h;
    const auto [lowIt, highIt] = std::minmax_element(block.begin(), block.end());
    const double low = *lowIt, high = *highIt;
    const bool whole =
        std::all_of(block.begin(), block.end(), [](double v) { return v == std::floor(v); });
    int bins = 1;
    if (whole) {
        const double span = high - low + 1.0;
        h.binWidth = std::max(1.0, std::ceil(span / maxBins));
        h.firstEdge = low - 0.5;
        bins = static_cast<int>(std::ceil(span / h.binWidth));
    } else if (high > low) {
        h.binWidth = (high - low) / maxBins;
        h.firstEdge = low;
        bins = maxBins;
    } else {
        h.firstEdge = low - 0.5;
    }
    h.counts.assign(static_cast<size_t>(std::max(bins, 1)), 0);
    for (double v : block) {
        const auto bin = static_cast<long>(std::floor((v - h.firstEdge) / h.binWidth));
        // The top edge belongs to the last bin.
        ++h.counts[static_cast<size_t>(
            std::clamp<long>(bin, 0, static_cast<long>(h.counts.size()) - 1))];
    }
    if (sigma > 0.0) {
        const double from = std::min(h.firstEdge, mean - 4.0 * sigma);
        const double to = std::max(h.firstEdge + h.binWidth * static_cast<double>(h.counts.size()),
                                   mean + 4.0 * sigma);
        const double scale = static_cast<double>(block.size()) * h.binWidth /
                             (sigma * std::sqrt(2.0 * std::numbers::pi));
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = from + (to - from) * i / (kCurvePoints - 1);
            const double z = (x - mean) / sigma;
            h.curveX.push_back(x);
            h.curveY.push_back(scale * std::exp(-0.5 * z * z));
        }
    }
    return h;
}

}  // namespace dmm
