#pragma once

#include <functional>
#include <span>
#include <vector>

#include "core/measure/spectral_window.h"

namespace dmm {

// The one-sided power spectrum of a block through a window, averaged over consecutive
// segments of the block (Bartlett: no overlap). Line k of a segment of L samples lies at
// k / L of the sample rate, k = 0..L/2.
//
// Normalisation: each line holds a mean square, corrected for the window's coherent
// gain, so a sine of amplitude A centred on a line reads A^2 / 2 whatever the window,
// and a DC level m reads m^2. White noise of variance s^2 spreads over the lines so that
// their sum is s^2 times the window's noise bandwidth: NoisePower() divides it back out.
struct PowerSpectrum {
    std::vector<double> power;  // lines 0..L/2
    int segmentLength = 0;      // L
    int segments = 0;
    double coherentGain = 1.0;
    double noiseBandwidth = 1.0;  // lines
    int lobeHalfWidth = 1;        // lines a tone's (and DC's) main lobe covers on each side

    bool empty() const { return power.empty(); }
    // The variance that lines from..L/2 carry, with the lines below from (DC's lobe)
    // counted at the average of the others, as white noise would fill them.
    double NoisePower(int from) const;
};

// Segments shorter than this make no useful spectrum; fewer segments are used instead.
inline constexpr int kMinSegmentLength = 16;

// segments is clamped to what the block can give (at least one segment of
// kMinSegmentLength samples, or the whole block when it is shorter).
PowerSpectrum ComputePowerSpectrum(std::span<const double> x, SpectrumWindow window, int segments);

// Writes samples first..first + samples.size() - 1 of a block into samples.
using BlockSamples = std::function<void(size_t first, std::span<double> samples)>;
// The same, of a block of total samples that fill writes a segment at a time: a block
// that is computed (a residual) need not be stored first.
PowerSpectrum ComputePowerSpectrum(size_t total, const BlockSamples& fill, SpectrumWindow window,
                                   int segments);

// A window's samples for one length and the sums the spectrum's scaling needs.
struct WindowTable {
    std::vector<double> samples;
    double sum = 0.0;
    double coherentGain = 0.0;
    double noiseBandwidth = 0.0;  // lines
};

// The table of a window for length n, computed once per window and length and kept.
const WindowTable& CachedWindow(SpectrumWindow window, int n);

}  // namespace dmm
