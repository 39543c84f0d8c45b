#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace dmm {

// The windows the spectrum can be taken through. Rectangular is the program's own
// spectrum; the others trade resolution for leakage.
enum class SpectrumWindow : int { Rectangular = 0, Hann = 1, BlackmanHarris4 = 2, FlatTop = 3 };

inline constexpr int kSpectrumWindowCount = 4;

// A window of the sum-of-cosines family, periodic (DFT-even) so that its transform is
// exact on the lines:  w_n = sum_m (-1)^m a_m cos(2 pi m n / N),  n = 0..N-1.
struct WindowShape {
    std::string_view name;          // as the window selector and the files show it
    std::array<double, 5> cosines;  // a_0..a_4
    int terms;                      // how many of them are used
    // Lines on each side of a tone that its main lobe covers: the band excluded around
    // DC and searched around a tone.
    int lobeHalfWidth;
};

const WindowShape& ShapeOf(SpectrumWindow window);
std::optional<SpectrumWindow> SpectrumWindowFromName(std::string_view name);

// The n samples of the window.
std::vector<double> WindowSamples(SpectrumWindow window, int n);

// Coherent gain: mean of the samples (a tone's line shrinks by it).
double CoherentGain(std::span<const double> samples);
// Equivalent noise bandwidth in lines: n * sum w^2 / (sum w)^2 (white noise spreads by it).
double NoiseBandwidthLines(std::span<const double> samples);

}  // namespace dmm
