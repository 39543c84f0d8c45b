#pragma once

#include <array>
#include <span>

#include "core/measure/power_spectrum.h"
#include "core/measure/spectral_window.h"

namespace dmm {

// One sinusoidal component of a tone: the fundamental (order 1) or a harmonic.
struct ToneComponent {
    int order = 1;
    // False for a harmonic that folds onto DC, the fundamental or an earlier harmonic:
    // it cannot be told apart there, and is neither fitted nor counted as distortion.
    bool resolved = false;
    double line = 0.0;       // where it lies in the whole block's spectrum, after folding
    double amplitude = 0.0;  // peak, in the block's units
    double power = 0.0;      // mean square, amplitude^2 / 2
};

inline constexpr int kHarmonicsCounted = 5;  // the 2nd to the 6th

// Figures of a block that carries a tone (a sine and its harmonics, plus noise).
//
// How they are found: the largest line of the windowed spectrum (DC's lobe left out) is
// the fundamental. Its frequency, amplitude and phase are fitted to the lines around it
// with the window's exact transform of a sine, so a tone between two lines is measured
// as well as one on a line; each harmonic is fitted the same way at its (folded)
// frequency. The fitted sines are then subtracted from the block, and the rest, through
// the same window and spectrum averaging, is the noise (its power corrected for the
// window's noise bandwidth) and holds the largest spur.
//   SNR   = 10 log10(P1 / Pnoise)              THD = 10 log10(sum Ph / P1), h = 2..6
//   SINAD = 10 log10(P1 / (Pnoise + sum Ph))   SFDR = 10 log10(P1 / largest other line)
//   ENOB  = (SINAD - 1.76) / 6.02              level = 20 log10(A1 / full-scale amplitude) dBFS
struct ToneFigures {
    bool found = false;
    ToneComponent fundamental;
    std::array<ToneComponent, kHarmonicsCounted> harmonics{};
    double noisePower = 0.0;
    double largestSpurPower = 0.0;  // the largest line left after the fit (amplitude-corrected)
    double largestSpurLine = 0.0;
    double snrDb = 0.0;
    double sinadDb = 0.0;
    double thdDb = 0.0;
    double sfdrDb = 0.0;
    double enobBits = 0.0;
    double fundamentalDbfs = 0.0;
    // The tone lies on a line of the block's spectrum (a whole number of periods).
    bool coherent = false;
};

// A block needs this many samples before its tone is looked for.
inline constexpr int kMinToneBlock = 64;

// x: the block; fullScale: the amplitude of a full-scale sine in the same units.
// window and segments shape the noise spectrum (segments as ComputePowerSpectrum
// takes them); the fit always uses the whole block.
ToneFigures AnalyseTone(std::span<const double> x, double fullScale, SpectrumWindow window,
                        int segments);

// Level of a power relative to a full-scale sine of amplitude fullScale, in dBFS.
double PowerDbfs(double power, double fullScale);

}  // namespace dmm
