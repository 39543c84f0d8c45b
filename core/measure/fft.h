#pragma once

#include <span>
#include <vector>

namespace dmm {

// In-place radix-2 decimation-in-time FFT of one power-of-two length, forward
// (X_k = sum x_j e^(-2 pi i jk/n)), without scaling. The twiddle factors and the
// bit-reversal permutation are computed once per length, each twiddle directly from
// cos/sin, so 65536-point transforms keep full double precision.
class Fft {
  public:
    // n must be a power of two (1 is allowed).
    explicit Fft(int n);

    int size() const { return n_; }
    // re and im hold at least size() values.
    void Transform(std::span<double> re, std::span<double> im) const;

    static bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }
    // The largest power of two not above n (0 for n < 1).
    static int FloorPowerOfTwo(int n);

  private:
    int n_;
    std::vector<double> cosTable_, sinTable_;  // e^(-2 pi i k/n) = cos - i sin, k < n/2
    std::vector<int> swaps_;                   // pairs (i, j), i < j, of the bit reversal
};

// Spectrum levels from a transformed block of n lines: level[k] = 20 log10(|X_k| / n) - L0
// with L0 = 20 log10(|X_0| / n) (0 when line 0 is empty), level[0] = 0. Each line's
// magnitude is used, so a tone's level does not depend on its phase. The first empty line
// ends the pass: it and the lines after it keep what levels already holds.
void SpectrumLevels(std::span<const double> re, std::span<const double> im,
                    std::span<double> levels);
// The same levels for the transform of a real block loaded as v - i v, whose line n - k has
// the magnitude of line k: the lower half is computed and the upper half copies it.
void MirroredSpectrumLevels(std::span<const double> re, std::span<const double> im,
                            std::span<double> levels);

}  // namespace dmm
