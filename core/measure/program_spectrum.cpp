#include "core/measure/program_spectrum.h"

#include <complex>

#include "core/measure/fft.h"
#include "core/measure/real_fft.h"

namespace dmm {

void ProgramSpectrum(std::span<const double> values, std::span<double> re, std::span<double> im,
                     std::span<double> levels) {
    const size_t n = values.size();
    if (n == 0 || re.size() < n || im.size() < n || levels.size() < n) return;
    const auto fft = RealFft::ForLength(static_cast<int>(n));
    fft->Transform(values, {}, [&](std::span<const std::complex<double>> lines) {
        for (size_t k = 0; k < n; ++k) {
            const std::complex<double> r = k < lines.size() ? lines[k] : std::conj(lines[n - k]);
            re[k] = r.real() + r.imag();
            im[k] = r.imag() - r.real();
        }
    });
    MirroredSpectrumLevels(re.first(n), im.first(n), levels.first(n));
}

}  // namespace dmm
