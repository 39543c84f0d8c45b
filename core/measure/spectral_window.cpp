#include "core/measure/spectral_window.h"

#include <cctype>
#include <cmath>
#include <numbers>

namespace dmm {
namespace {

// Blackman-Harris: the 4-term, -92 dB version. Flat top: the 5-term window whose
// coherent gain varies by less than 0.01 dB across a line, so any tone reads its level.
constexpr std::array<WindowShape, kSpectrumWindowCount> kShapes{{
    {"Rectangular", {1.0, 0, 0, 0, 0}, 1, 1},
    {"Hann", {0.5, 0.5, 0, 0, 0}, 2, 2},
    {"Blackman-Harris", {0.35875, 0.48829, 0.14128, 0.01168, 0}, 4, 4},
    {"Flat top", {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368}, 5, 5},
}};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

const WindowShape& ShapeOf(SpectrumWindow window) {
    const int i = static_cast<int>(window);
    return kShapes[static_cast<size_t>(i >= 0 && i < kSpectrumWindowCount ? i : 0)];
}

std::optional<SpectrumWindow> SpectrumWindowFromName(std::string_view name) {
    static constexpr std::string_view kShort[] = {"rect", "hann", "bh4", "flattop"};
    for (int i = 0; i < kSpectrumWindowCount; ++i) {
        if (SameName(name, kShapes[static_cast<size_t>(i)].name) || SameName(name, kShort[i]))
            return static_cast<SpectrumWindow>(i);
    }
    return std::nullopt;
}

std::vector<double> WindowSamples(SpectrumWindow window, int n) {
    const WindowShape& shape = ShapeOf(window);
    std::vector<double> w(static_cast<size_t>(std::max(n, 0)));
    for (int i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int m = 0; m < shape.terms; ++m) {
            const double sign = (m % 2 == 0) ? 1.0 : -1.0;
            sum += sign * shape.cosines[static_cast<size_t>(m)] *
                   std::cos(2.0 * std::numbers::pi * m * i / n);
        }
        w[static_cast<size_t>(i)] = sum;
    }
    return w;
}

double CoherentGain(std::span<const double> samples) {
    if (samples.empty()) return 0.0;
    double sum = 0.0;
    for (double w : samples) sum += w;
    return sum / static_cast<double>(samples.size());
}

double NoiseBandwidthLines(std::span<const double> samples) {
    double sum = 0.0, squares = 0.0;
    for (double w : samples) {
        sum += w;
        squares += w * w;
    }
    return sum != 0.0 ? static_cast<double>(samples.size()) * squares / (sum * sum) : 0.0;
}

}  // namespace dmm
