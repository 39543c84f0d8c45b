#include "core/measure/power_spectrum.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/measure/real_fft.h"

namespace dmm {

std::span<const double> CachedWindow(SpectrumWindow window, int n) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::unique_ptr<const std::vector<double>>> cache;
    std::lock_guard lock(mutex);
    auto& entry = cache[{static_cast<int>(window), n}];
    if (!entry) entry = std::make_unique<const std::vector<double>>(WindowSamples(window, n));
    return *entry;
}

double PowerSpectrum::NoisePower(int from) const {
    const int n = segmentLength;
    const int last = static_cast<int>(power.size()) - 1;
    if (n < 2 || last < 1) return 0.0;
    from = std::clamp(from, 0, last);
    // Line 0 and (for even n) line n/2 stand for one frequency each, the others for two:
    // the weights below add up to n.
    double sum = 0.0, weight = 0.0;
    for (int k = from; k <= last; ++k) {
        sum += power[static_cast<size_t>(k)];
        weight += (k == 0 || (n % 2 == 0 && k == n / 2)) ? 1.0 : 2.0;
    }
    if (weight <= 0.0 || noiseBandwidth <= 0.0) return 0.0;
    return sum / noiseBandwidth * (static_cast<double>(n) / weight);
}

PowerSpectrum ComputePowerSpectrum(std::span<const double> x, SpectrumWindow window, int segments) {
    PowerSpectrum out;
    const int total = static_cast<int>(x.size());
    if (total < 2) return out;
    segments = std::clamp(segments, 1, std::max(1, total / kMinSegmentLength));
    const int n = total / segments;
    const std::span<const double> w = CachedWindow(window, n);
    const auto fft = RealFft::ForLength(n);
    out.segmentLength = n;
    out.segments = segments;
    out.coherentGain = CoherentGain(w);
    out.noiseBandwidth = NoiseBandwidthLines(w);
    out.lobeHalfWidth = ShapeOf(window).lobeHalfWidth;
    out.power.assign(static_cast<size_t>(fft->lines()), 0.0);

    double windowSum = 0.0;
    for (double v : w) windowSum += v;
    const double scale = 1.0 / (windowSum * windowSum * segments);
    std::vector<double> segment(static_cast<size_t>(n));
    std::vector<std::complex<double>> lines(static_cast<size_t>(fft->lines()));
    for (int s = 0; s < segments; ++s) {
        const double* first = x.data() + static_cast<ptrdiff_t>(s) * n;
        for (int i = 0; i < n; ++i)
            segment[static_cast<size_t>(i)] = first[i] * w[static_cast<size_t>(i)];
        fft->Forward(segment, lines);
        for (int k = 0; k < fft->lines(); ++k) {
            const bool single = k == 0 || (n % 2 == 0 && k == n / 2);
            out.power[static_cast<size_t>(k)] +=
                (single ? 1.0 : 2.0) * std::norm(lines[static_cast<size_t>(k)]) * scale;
        }
    }
    return out;
}

std::vector<std::complex<double>> WindowedTransform(std::span<const double> x,
                                                    SpectrumWindow window) {
    const int n = static_cast<int>(x.size());
    if (n < 1) return {};
    const std::span<const double> w = CachedWindow(window, n);
    std::vector<double> windowed(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        windowed[static_cast<size_t>(i)] = x[static_cast<size_t>(i)] * w[static_cast<size_t>(i)];
    const auto fft = RealFft::ForLength(n);
    std::vector<std::complex<double>> lines(static_cast<size_t>(fft->lines()));
    fft->Forward(windowed, lines);
    return lines;
}

}  // namespace dmm
