#pragma once

#include <QString>

#include <cstdint>
#include <span>

#include "core/measure/analysis_results.h"

namespace dmm {

// What the noise figures are computed from.
struct StatisticsInput {
    std::span<const double> cells;   // the grid values c_i (scaled counts, roots or averages)
    std::span<const double> values;  // the stored values v_i (unscaled)
    double mean = 0.0;               // mean of the cells
    int32_t divisor = 1;             // D: peak-to-peak divides the unscaled values by it
    int analysisBits = 24;           // B
    double gain = 1.0;               // front-end gain of the source
    double referenceVolts = 1.2;
};

// Noise figures of a block:
//   sigma = RMS deviation of the cells from the mean; ENOB = B - log2(sigma)
//   P = |round(max v / D) - round(min v / D)| (ties to even); noise-free = B - log2(P)
//   noise voltage = Vref * 1e9 * counts / (gain * 2^(B - 1)) nanovolts
// A flat block (sigma or P zero) keeps B bits. An empty block has no noise at all.
AnalysisResults ComputeStatistics(const StatisticsInput& input);

// The reference voltage field as a number of volts; 1.2 when it is 0, empty, not a
// number or not finite. Read without the locale: "1.25" is 1.25 everywhere.
double ParseReferenceVolts(const QString& text);

}  // namespace dmm
