#include "core/measure/power_spectrum.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/measure/real_fft.h"

namespace dmm {

const WindowTable& CachedWindow(SpectrumWindow window, int n) {
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::unique_ptr<const WindowTable>> cache;
    std::lock_guard lock(mutex);
    auto& entry = cache[{static_cast<int>(window), n}];
    if (!entry) {
        auto table = std::make_unique<WindowTable>();
        table->samples = WindowSamples(window, n);
        for (double v : table->samples) table->sum += v;
        table->coherentGain = CoherentGain(table->samples);
        table->noiseBandwidth = NoiseBandwidthLines(table->samples);
        entry = std::move(table);
    }
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
    return ComputePowerSpectrum(
        x.size(),
        [x](size_t first, std::span<double> samples) {
            std::copy_n(x.begin() + static_cast<ptrdiff_t>(first), samples.size(), samples.begin());
        },
        window, segments);
}

PowerSpectrum ComputePowerSpectrum(size_t total, const BlockSamples& fill, SpectrumWindow window,
                                   int segments) {
    PowerSpectrum out;
    const int count = static_cast<int>(std::min<size_t>(total, std::numeric_limits<int>::max()));
    if (count < 2) return out;
    segments = std::clamp(segments, 1, std::max(1, count / kMinSegmentLength));
    const int n = count / segments;
    const WindowTable& w = CachedWindow(window, n);
    const auto fft = RealFft::ForLength(n);
    out.segmentLength = n;
    out.segments = segments;
    out.coherentGain = w.coherentGain;
    out.noiseBandwidth = w.noiseBandwidth;
    out.lobeHalfWidth = ShapeOf(window).lobeHalfWidth;
    out.power.assign(static_cast<size_t>(fft->lines()), 0.0);

    const double scale = 1.0 / (w.sum * w.sum * segments);
    // Line 0 and (for even n) line n/2 stand for one frequency each, the others for two.
    const size_t last = out.power.size() - 1;
    const bool lastSingle = n % 2 == 0;
    const auto length = static_cast<size_t>(n);
    for (size_t s = 0; s < static_cast<size_t>(segments); ++s) {
        fft->TransformOf([&](std::span<double> buffer) { fill(s * length, buffer); }, w.samples,
                         [&](std::span<const std::complex<double>> lines) {
                             out.power[0] += std::norm(lines[0]) * scale;
                             for (size_t k = 1; k < last; ++k)
                                 out.power[k] += 2.0 * std::norm(lines[k]) * scale;
                             if (last > 0)
                                 out.power[last] +=
                                     (lastSingle ? 1.0 : 2.0) * std::norm(lines[last]) * scale;
                         });
    }
    return out;
}

}  // namespace dmm
