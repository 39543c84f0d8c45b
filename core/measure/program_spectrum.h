#pragma once

#include <span>

namespace dmm {

// The program's own spectrum of a block v of n values, as the chart and the result files
// show it: the block is loaded as v - i v and transformed, re and im receive the n lines
// of that transform, levels their SpectrumLevels. It is taken through FFTW's real-input
// transform R of v: line k is (1 - i) R_k, and R_(n-k) is the conjugate of R_k, so only
// the lower half is transformed and its levels mirrored.
// re, im and levels hold at least n values; the lines beyond n are left alone.
void ProgramSpectrum(std::span<const double> values, std::span<double> re, std::span<double> im,
                     std::span<double> levels);

}  // namespace dmm
