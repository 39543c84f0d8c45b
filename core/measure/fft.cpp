#include "core/measure/fft.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace dmm {

int Fft::FloorPowerOfTwo(int n) {
    if (n < 1) return 0;
    int p = 1;
    while (p <= n / 2) p *= 2;
    return p;
}

Fft::Fft(int n) : n_(IsPowerOfTwo(n) ? n : FloorPowerOfTwo(n)) {
    const int half = n_ / 2;
    cosTable_.resize(static_cast<size_t>(half));
    sinTable_.resize(static_cast<size_t>(half));
    for (int k = 0; k < half; ++k) {
        const double angle = 2.0 * std::numbers::pi * k / n_;
        cosTable_[static_cast<size_t>(k)] = std::cos(angle);
        sinTable_[static_cast<size_t>(k)] = std::sin(angle);
    }
    int bits = 0;
    while ((1 << bits) < n_) ++bits;
    for (int i = 0; i < n_; ++i) {
        int reversed = 0;
        for (int b = 0; b < bits; ++b) reversed |= ((i >> b) & 1) << (bits - 1 - b);
        if (i < reversed) {
            swaps_.push_back(i);
            swaps_.push_back(reversed);
        }
    }
}

void Fft::Transform(std::span<double> re, std::span<double> im) const {
    if (re.size() < static_cast<size_t>(n_) || im.size() < static_cast<size_t>(n_)) return;
    for (size_t s = 0; s < swaps_.size(); s += 2) {
        const auto i = static_cast<size_t>(swaps_[s]), j = static_cast<size_t>(swaps_[s + 1]);
        std::swap(re[i], re[j]);
        std::swap(im[i], im[j]);
    }
    for (int span = 2; span <= n_; span *= 2) {
        const int half = span / 2;
        const int stride = n_ / span;  // twiddle k of this stage is table entry k * stride
        // Groups outside, butterflies inside: the data is walked in order, which keeps a
        // 65536-point transform in the cache instead of striding over it once per twiddle.
        for (int g = 0; g < n_; g += span) {
            for (int k = 0; k < half; ++k) {
                const double wr = cosTable_[static_cast<size_t>(k * stride)];
                const double wi = -sinTable_[static_cast<size_t>(k * stride)];
                const auto a = static_cast<size_t>(g + k), b = static_cast<size_t>(g + k + half);
                const double tr = wr * re[b] - wi * im[b];
                const double ti = wr * im[b] + wi * re[b];
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] += tr;
                im[a] += ti;
            }
        }
    }
}

namespace {

// Levels of lines 1..end-1 of a transform of n lines; returns the first empty line, or end.
size_t FillLevels(std::span<const double> re, std::span<const double> im, std::span<double> levels,
                  size_t n, size_t end) {
    const double lines = static_cast<double>(n);
    const double zero = std::hypot(re[0], im[0]);
    const double reference = zero != 0.0 ? 20.0 * std::log10(zero / lines) : 0.0;
    // 20 log10(|X| / n) is 10 log10(|X|^2) less 20 log10 n: no square root, division or
    // hypot a line. Only where the square under- or overflows is |X| taken as hypot.
    const double offset = 20.0 * std::log10(lines) + reference;
    for (size_t k = 1; k < end; ++k) {
        const double square = re[k] * re[k] + im[k] * im[k];
        if (square >= std::numeric_limits<double>::min() &&
            square <= std::numeric_limits<double>::max()) {
            levels[k] = 10.0 * std::log10(square) - offset;
            continue;
        }
        const double magnitude = std::hypot(re[k], im[k]);
        if (magnitude == 0.0) return k;
        levels[k] = 20.0 * std::log10(magnitude / lines) - reference;
    }
    return end;
}

}  // namespace

void SpectrumLevels(std::span<const double> re, std::span<const double> im,
                    std::span<double> levels) {
    const size_t n = std::min({re.size(), im.size(), levels.size()});
    if (n == 0) return;
    FillLevels(re, im, levels, n, n);
    levels[0] = 0.0;
}

void MirroredSpectrumLevels(std::span<const double> re, std::span<const double> im,
                            std::span<double> levels) {
    const size_t n = std::min({re.size(), im.size(), levels.size()});
    if (n == 0) return;
    const size_t half = n / 2 + 1;
    // An empty line in the lower half ends the pass there, as it would in SpectrumLevels;
    // without one, the upper half has no empty line either.
    if (FillLevels(re, im, levels, n, half) == half) {
        for (size_t k = half; k < n; ++k) levels[k] = levels[n - k];
    }
    levels[0] = 0.0;
}

}  // namespace dmm
