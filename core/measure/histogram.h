#pragma once

#include <span>
#include <vector>

namespace dmm {

// A histogram of a block with the Gaussian of its measured mean and sigma over it.
struct BlockHistogram {
    double firstEdge = 0.0;  // lower edge of bin 0
    double binWidth = 1.0;
    std::vector<int> counts;             // they add up to the block's length
    std::vector<double> curveX, curveY;  // the Gaussian, in samples per bin
    double mean = 0.0;
    double sigma = 0.0;

    double Centre(size_t bin) const {
        return firstEdge + (static_cast<double>(bin) + 0.5) * binWidth;
    }
};

inline constexpr int kHistogramMaxBins = 100;

// Whole-number blocks (the grid's counts) get bins of a whole number of counts centred
// on the counts, so each count has one bin (or a few share one); other blocks (averages)
// get maxBins equal bins over their range. mean and sigma draw the Gaussian.
BlockHistogram BuildHistogram(std::span<const double> block, double mean, double sigma,
                              int maxBins = kHistogramMaxBins);

}  // namespace dmm
