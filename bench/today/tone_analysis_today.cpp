// The tone analysis as it was before its fit evaluated the window's kernel a band at a
// time and before it stopped copying the block and its transform: kept, unchanged but for
// its namespace, as the baseline the benchmarks compare the program's own against.
#include "bench/today/tone_analysis_today.h"

#include "core/measure/real_fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

namespace dmm::today {
namespace {

// The whole block's windowed transform, copied out as the tone fit took it then.
std::vector<std::complex<double>> WindowedTransform(std::span<const double> x,
                                                    SpectrumWindow window) {
    const int n = static_cast<int>(x.size());
    if (n < 1) return {};
    const auto fft = RealFft::ForLength(n);
    std::vector<std::complex<double>> lines(static_cast<size_t>(fft->lines()));
    fft->Transform(x, CachedWindow(window, n).samples,
                   [&](std::span<const std::complex<double>> out) {
                       std::copy(out.begin(), out.end(), lines.begin());
                   });
    return lines;
}

using Complex = std::complex<double>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// The largest line must stand this far (30 dB) above the median line to count as a tone:
// the largest of 32768 lines of white noise stands about 12 dB above it.
constexpr double kTonePeakOverMedian = 1000.0;
constexpr double kRoundingResidue = 1e-20;
// Lines fitted on each side of a component, beyond its main lobe.
constexpr int kExtraFitLines = 3;
constexpr int kCoarseSteps = 40;    // the frequency search: a grid over +-1 line ...
constexpr int kGoldenSteps = 60;    // ... then a golden-section search around its best point
constexpr int kChunkSamples = 256;  // the fitted sines are subtracted in chunks this long

// sum_{j<n} e^(i theta j): the transform of a rectangular block of a complex sine.
Complex Dirichlet(double theta, int n) {
    const double t = std::remainder(theta, kTwoPi);
    if (std::abs(t) < 1e-13) return {static_cast<double>(n), 0.0};
    const double half = 0.5 * t;
    return std::polar(std::sin(n * half) / std::sin(half), half * (n - 1));
}

// The windowed block's spectrum of the components fitted so far, and the fit of one more.
class ToneFitter {
  public:
    ToneFitter(const std::vector<Complex>& lines, const WindowShape& shape, int n)
        : lines_(lines), shape_(shape), n_(n), last_(static_cast<int>(lines.size()) - 1) {
        // The kernel's terms j = -(terms - 1)..terms - 1: the window's coefficient of the
        // shift by j lines, and with it (-1)^j e^(i pi j (n - 1) / n) (see Kernel).
        for (int j = 1 - shape_.terms; j < shape_.terms; ++j) {
            const int m = std::abs(j);
            const double a = m == 0 ? shape_.cosines[0]
                                    : (m % 2 ? -0.5 : 0.5) * shape_.cosines[static_cast<size_t>(m)];
            const double sign = j % 2 == 0 ? 1.0 : -1.0;
            shifts_.push_back(
                {j, a, sign * a * std::polar(1.0, std::numbers::pi * j * (n_ - 1.0) / n_)});
        }
    }

    struct Fit {
        Complex alpha;  // the sine is 2 Re(alpha e^(i omega j)): amplitude 2 |alpha|
        double residual = 0.0;
    };
    struct Component {
        double omega;
        Complex alpha;
    };

    // Line k of the windowed transform of e^(i omega j). A sum-of-cosines window shifts
    // the sine by whole lines, so its transform is a sum of Dirichlet kernels D at
    // theta + j step (theta = omega - step k, step = 2 pi / n). Shifted by whole lines they
    // share their numerator and phase:
    //   D(theta + j step) = (-1)^j e^(i pi j (n-1)/n) e^(i theta (n-1)/2)
    //                       sin(n theta / 2) / sin(theta / 2 + pi j / n),
    // so a line costs three sines and a cosine whatever the window.
    Complex Kernel(double omega, int k) const {
        const double step = kTwoPi / n_;
        const double theta = std::remainder(omega - step * k, kTwoPi);
        const double half = 0.5 * theta;
        const double numerator = std::sin(n_ * half);
        Complex shared;
        double onLine = 0.0;  // terms whose kernel sits on its peak: D = n exactly
        for (const Shift& s : shifts_) {
            if (std::abs(theta + step * s.lines) < 1e-13) {
                onLine += s.coefficient * n_;
                continue;
            }
            shared += s.rotated * (numerator / std::sin(half + std::numbers::pi * s.lines / n_));
        }
        return shared * std::polar(1.0, half * (n_ - 1)) + onLine;
    }

    // The lines fitted around a component at the given line: its lobe and a few more,
    // never DC's lobe.
    std::pair<int, int> Band(double line) const {
        const int centre = static_cast<int>(std::lround(line));
        const int reach = shape_.lobeHalfWidth + kExtraFitLines;
        return {std::max(centre - reach, shape_.lobeHalfWidth), std::min(centre + reach, last_)};
    }

    // Least squares of one real sine at omega over the band, after what is fitted already.
    Fit FitAt(double omega, std::pair<int, int> band) const {
        double uu = 0, uv = 0, vv = 0, uy = 0, vy = 0;
        const int count = std::max(0, band.second - band.first + 1);
        std::vector<Complex> u(static_cast<size_t>(count)), v(u.size()), y(u.size());
        for (int k = band.first; k <= band.second; ++k) {
            const auto i = static_cast<size_t>(k - band.first);
            const Complex g = Kernel(omega, k), h = Kernel(-omega, k);
            u[i] = g + h;
            v[i] = Complex(0, 1) * (g - h);
            y[i] = lines_[static_cast<size_t>(k)] - FittedAt(k);
            uu += std::norm(u[i]);
            vv += std::norm(v[i]);
            uv += std::real(std::conj(u[i]) * v[i]);
            uy += std::real(std::conj(u[i]) * y[i]);
            vy += std::real(std::conj(v[i]) * y[i]);
        }
        Fit fit;
        double p = 0.0, q = 0.0;
        const double det = uu * vv - uv * uv;
        if (vv <= 1e-12 * uu) {
            // At DC and at half the sample rate a sine has no quadrature part: only the
            // real part of alpha can be told.
            if (!(uu > 0.0)) {
                fit.residual = std::numeric_limits<double>::infinity();
                return fit;
            }
            p = uy / uu;
        } else if (det > 1e-12 * uu * vv) {
            p = (uy * vv - vy * uv) / det;
            q = (vy * uu - uy * uv) / det;
        } else {
            fit.residual = std::numeric_limits<double>::infinity();
            return fit;
        }
        fit.alpha = {p, q};
        for (size_t i = 0; i < u.size(); ++i) fit.residual += std::norm(y[i] - p * u[i] - q * v[i]);
        return fit;
    }

    // The frequency (in lines) whose sine fits the band around `around` best.
    double SearchLine(double around) const {
        const std::pair<int, int> band = Band(around);
        auto cost = [&](double line) { return FitAt(kTwoPi * line / n_, band).residual; };
        double best = around, bestCost = cost(around);
        for (int s = 0; s <= kCoarseSteps; ++s) {
            const double line = around - 1.0 + 2.0 * s / kCoarseSteps;
            const double c = cost(line);
            if (c < bestCost) {
                best = line;
                bestCost = c;
            }
        }
        const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
        double lo = best - 2.0 / kCoarseSteps, hi = best + 2.0 / kCoarseSteps;
        double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
        double ca = cost(a), cb = cost(b);
        for (int s = 0; s < kGoldenSteps; ++s) {
            if (ca < cb) {
                hi = b;
                b = a;
                cb = ca;
                a = hi - ratio * (hi - lo);
                ca = cost(a);
            } else {
                lo = a;
                a = b;
                ca = cb;
                b = lo + ratio * (hi - lo);
                cb = cost(b);
            }
        }
        const double found = 0.5 * (lo + hi);
        return cost(found) <= bestCost ? found : best;
    }

    void Add(double omega, Complex alpha) { fitted_.push_back({omega, alpha}); }
    const std::vector<Component>& fitted() const { return fitted_; }

  private:
    Complex FittedAt(int k) const {
        Complex sum;
        for (const Component& c : fitted_)
            sum += c.alpha * Kernel(c.omega, k) + std::conj(c.alpha) * Kernel(-c.omega, k);
        return sum;
    }

    struct Shift {
        int lines;
        double coefficient;
        Complex rotated;  // coefficient (-1)^j e^(i pi j (n - 1) / n)
    };
    const std::vector<Complex>& lines_;
    const WindowShape& shape_;
    std::vector<Shift> shifts_;
    int n_;
    int last_;
    std::vector<Component> fitted_;
};

// Where a frequency of `line` lines shows in the one-sided spectrum of n lines.
double Folded(double line, int n) {
    double t = std::fmod(line, static_cast<double>(n));
    if (t < 0) t += n;
    return t > n / 2.0 ? n - t : t;
}

// Mean square over the block of the sine 2 Re(alpha e^(i omega j)): |alpha|^2 x 2 away from
// DC and half the sample rate, up to 4 |alpha|^2 at them.
double MeanSquare(Complex alpha, double omega, int n) {
    return 2.0 * std::norm(alpha) + 2.0 * std::real(alpha * alpha * Dirichlet(2.0 * omega, n)) / n;
}

double Db(double ratio) {
    return 10.0 * std::log10(ratio);
}

}  // namespace

ToneFigures AnalyseTone(std::span<const double> x, double fullScale, SpectrumWindow window,
                        int segments) {
    ToneFigures out;
    const int n = static_cast<int>(x.size());
    if (n < kMinToneBlock) return out;
    const WindowShape& shape = ShapeOf(window);
    const int lobe = shape.lobeHalfWidth;
    const std::vector<Complex> lines = WindowedTransform(x, window);
    const int last = static_cast<int>(lines.size()) - 1;
    if (last < 2 * lobe + 2) return out;

    // The fundamental: the largest line clear of DC's lobe, well above the median.
    double total = 0.0;
    for (const Complex& line : lines) total += std::norm(line);
    std::vector<double> power;
    power.reserve(lines.size());
    for (int k = lobe; k <= last; ++k) power.push_back(std::norm(lines[static_cast<size_t>(k)]));
    const auto peak = std::max_element(power.begin(), power.end());
    const int peakLine = lobe + static_cast<int>(peak - power.begin());
    const double peakPower = *peak;
    std::nth_element(power.begin(), power.begin() + static_cast<ptrdiff_t>(power.size() / 2),
                     power.end());
    const double median = power[power.size() / 2];
    // A flat block's lines beyond DC are rounding residue, 300 dB and more below it.
    if (peakLine <= lobe || !(peakPower > kTonePeakOverMedian * median) ||
        !(peakPower > kRoundingResidue * total))
        return out;

    ToneFitter fitter(lines, shape, n);
    const double fundamentalLine = fitter.SearchLine(peakLine);
    const double omega = kTwoPi * fundamentalLine / n;
    const ToneFitter::Fit first = fitter.FitAt(omega, fitter.Band(fundamentalLine));
    if (!std::isfinite(first.residual)) return out;
    fitter.Add(omega, first.alpha);
    out.found = true;
    out.coherent = std::abs(fundamentalLine - std::round(fundamentalLine)) < 1e-3;
    out.fundamental = {1, true, fundamentalLine, 2.0 * std::abs(first.alpha),
                       MeanSquare(first.alpha, omega, n)};

    std::vector<double> taken{fundamentalLine};
    std::vector<std::pair<int, Complex>> harmonicFits;  // order, alpha
    for (int i = 0; i < kHarmonicsCounted; ++i) {
        const int order = i + 2;
        ToneComponent& h = out.harmonics[static_cast<size_t>(i)];
        h.order = order;
        h.line = Folded(order * fundamentalLine, n);
        h.resolved = h.line >= lobe + 1 && std::all_of(taken.begin(), taken.end(), [&](double t) {
                         return std::abs(t - h.line) >= 2 * lobe + 1;
                     });
        if (!h.resolved) continue;
        const ToneFitter::Fit fit = fitter.FitAt(order * omega, fitter.Band(h.line));
        if (!std::isfinite(fit.residual)) {
            h.resolved = false;
            continue;
        }
        fitter.Add(order * omega, fit.alpha);
        harmonicFits.emplace_back(order, fit.alpha);
        taken.push_back(h.line);
        h.amplitude = 2.0 * std::abs(fit.alpha);
        h.power = MeanSquare(fit.alpha, order * omega, n);
    }

    // The block without the fitted sines. Each sine 2 Re(alpha e^(i w j)) is taken in
    // chunks: e^(i w j) = e^(i w start) e^(i w (j - start)), the second factor from one
    // table per sine, so every value is exact to a few roundings and the inner loop is
    // plain arithmetic the compiler can vectorise.
    std::vector<std::pair<double, Complex>> sines{{omega, first.alpha}};
    for (const auto& [order, alpha] : harmonicFits) sines.emplace_back(order * omega, alpha);
    std::vector<double> rest(x.begin(), x.end());
    std::array<double, kChunkSamples> tableRe{}, tableIm{};
    for (const auto& [w, alpha] : sines) {
        for (int j = 0; j < kChunkSamples; ++j) {
            tableRe[static_cast<size_t>(j)] = std::cos(w * j);
            tableIm[static_cast<size_t>(j)] = std::sin(w * j);
        }
        for (int start = 0; start < n; start += kChunkSamples) {
            const Complex beta = 2.0 * alpha * std::polar(1.0, w * start);
            const double betaRe = beta.real(), betaIm = beta.imag();
            double* out = rest.data() + start;
            const int length = std::min(kChunkSamples, n - start);
            for (int j = 0; j < length; ++j)
                out[j] -= betaRe * tableRe[static_cast<size_t>(j)] -
                          betaIm * tableIm[static_cast<size_t>(j)];
        }
    }
    const PowerSpectrum noise = ComputePowerSpectrum(rest, window, segments);
    out.noisePower = noise.NoisePower(lobe);
    for (int k = lobe; k < static_cast<int>(noise.power.size()); ++k) {
        if (noise.power[static_cast<size_t>(k)] > out.largestSpurPower) {
            out.largestSpurPower = noise.power[static_cast<size_t>(k)];
            out.largestSpurLine = static_cast<double>(k) * noise.segments;
        }
    }

    const double p1 = out.fundamental.power;
    double distortion = 0.0, largest = out.largestSpurPower;
    for (const ToneComponent& h : out.harmonics) {
        if (!h.resolved) continue;
        distortion += h.power;
        if (h.power > largest) {
            largest = h.power;
            out.largestSpurLine = h.line;
        }
    }
    const double inf = std::numeric_limits<double>::infinity();
    out.snrDb = out.noisePower > 0 ? Db(p1 / out.noisePower) : inf;
    out.thdDb = distortion > 0 ? Db(distortion / p1) : -inf;
    out.sinadDb = out.noisePower + distortion > 0 ? Db(p1 / (out.noisePower + distortion)) : inf;
    out.sfdrDb = largest > 0 ? Db(p1 / largest) : inf;
    out.enobBits = (out.sinadDb - 1.76) / 6.02;
    out.fundamentalDbfs = PowerDbfs(p1, fullScale);
    return out;
}

}  // namespace dmm::today
