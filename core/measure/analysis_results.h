#pragma once

#include <array>

namespace dmm {

// The figures of the last ADC analysis, in the order the result files and the
// temperature drift test's tables keep them.
struct AnalysisResults {
    double mean = 0.0;               // "平均值": mean of the grid values
    double vppNanovolts = 0.0;       // "VPP(nV)"
    double rmsNoiseNanovolts = 0.0;  // "RMS Noise(nV)"
    double enob = 0.0;               // "Enob": effective number of bits
    double vppCounts = 0.0;          // "VPP(count)"
    double rmsNoiseCounts = 0.0;     // "RMS Noise(count)"
    double noiseFreeBits = 0.0;      // "Noise Free"

    std::array<double, 7> InOrder() const {
        return {mean,      vppNanovolts,   rmsNoiseNanovolts, enob,
                vppCounts, rmsNoiseCounts, noiseFreeBits};
    }
};

}  // namespace dmm
