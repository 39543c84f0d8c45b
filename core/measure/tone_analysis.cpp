#include "core/measure/tone_analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "core/measure/real_fft.h"

namespace dmm {
namespace {

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
    ToneFitter(std::span<const Complex> lines, const WindowShape& shape, int n)
        : lines_(lines), shape_(shape), n_(n), last_(static_cast<int>(lines.size()) - 1) {
        // The kernel's terms j = -(terms - 1)..terms - 1: the window's coefficient of the
        // shift by j lines, and with it (-1)^j e^(i pi j (n - 1) / n) (see KernelBand).
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
    using Band = std::pair<int, int>;

    // Lines band.first..band.second of the windowed transform of e^(i omega j), into out.
    // A sum-of-cosines window shifts the sine by whole lines, so line k is a sum of
    // Dirichlet kernels D at theta_k + j step (theta_k = omega - step k, step = 2 pi / n).
    // Shifted by whole lines they share their numerator and phase:
    //   D(theta + j step) = (-1)^j e^(i pi j (n-1)/n) e^(i theta (n-1)/2)
    //                       sin(n theta / 2) / sin(theta / 2 + pi j / n).
    // Measured from the line c nearest to omega (delta = omega - step c), the numerator of
    // line k is (-1)^(k-c) sin(n delta / 2) and its denominators sin(delta / 2 - pi q / n)
    // with q = k - c - j, shared by neighbouring lines: a band costs about one sine a line,
    // not one for every line and window term. Every small angle is taken from delta itself,
    // as precise as omega is.
    void KernelBand(double omega, Band band, std::vector<Complex>& out) {
        const int count = band.second - band.first + 1;
        out.assign(static_cast<size_t>(std::max(count, 0)), Complex());
        if (count <= 0) return;
        const double step = kTwoPi / n_;
        const double w = std::remainder(omega, kTwoPi);
        const long nearest = std::lround(w / step);
        const double half = 0.5 * (w - step * static_cast<double>(nearest));
        const double numerator = std::sin(n_ * half);
        const bool onLine = std::abs(2.0 * half) < 1e-13;
        const int reach = shape_.terms - 1;
        const long firstQ = band.first - nearest - reach;
        denominators_.resize(static_cast<size_t>(count + 2 * reach));
        for (size_t i = 0; i < denominators_.size(); ++i)
            denominators_[i] = Denominator(half, firstQ + static_cast<long>(i));
        // e^(i (n-1) (delta / 2 - pi (k - c) / n)), one rotation a line.
        const long firstOffset = band.first - nearest;
        Complex phase = std::polar(
            1.0, (n_ - 1.0) * (half - std::numbers::pi * static_cast<double>(firstOffset) / n_));
        const Complex turn = std::polar(1.0, -std::numbers::pi * (n_ - 1.0) / n_);
        for (int i = 0; i < count; ++i) {
            const long offset = firstOffset + i;
            const double lineNumerator = offset % 2 == 0 ? numerator : -numerator;
            Complex shared;
            double exact = 0.0;  // terms whose kernel sits on its peak: D = n exactly
            for (const Shift& s : shifts_) {
                const long q = offset - s.lines;
                if (onLine && q % n_ == 0) {
                    exact += s.coefficient * n_;
                    continue;
                }
                shared +=
                    s.rotated * (lineNumerator / denominators_[static_cast<size_t>(q - firstQ)]);
            }
            out[static_cast<size_t>(i)] = shared * phase + exact;
            phase *= turn;
        }
    }

    // The lines fitted around a component at the given line: its lobe and a few more,
    // never DC's lobe.
    Band BandAround(double line) const {
        const int centre = static_cast<int>(std::lround(line));
        const int reach = shape_.lobeHalfWidth + kExtraFitLines;
        return {std::max(centre - reach, shape_.lobeHalfWidth), std::min(centre + reach, last_)};
    }

    // The band's lines less the components fitted so far: what the next fit works on.
    void Remaining(Band band, std::vector<Complex>& y) {
        y.assign(lines_.begin() + std::max(band.first, 0),
                 lines_.begin() + std::max(band.second + 1, band.first));
        for (const Component& c : fitted_) {
            KernelBand(c.omega, band, g_);
            KernelBand(-c.omega, band, h_);
            for (size_t i = 0; i < y.size(); ++i)
                y[i] -= c.alpha * g_[i] + std::conj(c.alpha) * h_[i];
        }
    }

    // Least squares of one real sine at omega over the band, against y (Remaining).
    Fit FitAt(double omega, Band band, const std::vector<Complex>& y) {
        KernelBand(omega, band, g_);
        KernelBand(-omega, band, h_);
        double uu = 0, uv = 0, vv = 0, uy = 0, vy = 0;
        for (size_t i = 0; i < y.size(); ++i) {
            const Complex u = g_[i] + h_[i];
            const Complex v = Complex(0, 1) * (g_[i] - h_[i]);
            uu += std::norm(u);
            vv += std::norm(v);
            uv += std::real(std::conj(u) * v);
            uy += std::real(std::conj(u) * y[i]);
            vy += std::real(std::conj(v) * y[i]);
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
        for (size_t i = 0; i < y.size(); ++i) {
            const Complex u = g_[i] + h_[i];
            const Complex v = Complex(0, 1) * (g_[i] - h_[i]);
            fit.residual += std::norm(y[i] - p * u - q * v);
        }
        return fit;
    }
    Fit FitAt(double omega, Band band) {
        std::vector<Complex> y;
        Remaining(band, y);
        return FitAt(omega, band, y);
    }

    // The frequency (in lines) whose sine fits the band around `around` best.
    double SearchLine(double around) {
        const Band band = BandAround(around);
        std::vector<Complex> y;
        Remaining(band, y);
        auto cost = [&](double line) { return FitAt(kTwoPi * line / n_, band, y).residual; };
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
    // sin(delta / 2 - pi q / n), with q taken to the nearest multiple of n first so that
    // the angle that vanishes on a line is computed small.
    double Denominator(double half, long q) const {
        const long wraps = q >= 0 ? (q + n_ / 2) / n_ : -((-q + n_ / 2) / n_);
        const double value =
            std::sin(half - std::numbers::pi * static_cast<double>(q - wraps * n_) / n_);
        return wraps % 2 == 0 ? value : -value;
    }

    struct Shift {
        int lines;
        double coefficient;
        Complex rotated;  // coefficient (-1)^j e^(i pi j (n - 1) / n)
    };
    std::span<const Complex> lines_;
    const WindowShape& shape_;
    std::vector<Shift> shifts_;
    int n_;
    int last_;
    std::vector<Component> fitted_;
    std::vector<Complex> g_, h_;  // kernel bands at +omega and -omega
    std::vector<double> denominators_;
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

struct FittedSine {
    double omega;
    Complex alpha;
};

// Finds the tone in the windowed block's lines and fits its fundamental and harmonics
// into out (found stays false without one); returns the fitted sines.
std::vector<FittedSine> FitTone(std::span<const Complex> lines, const WindowShape& shape, int n,
                                ToneFigures& out) {
    const int lobe = shape.lobeHalfWidth;
    const int last = static_cast<int>(lines.size()) - 1;

    // The fundamental: the largest line clear of DC's lobe, well above the median. The
    // median's test needs no sorting: the peak stands that far above the median when it
    // does above more than half of the lines.
    double total = 0.0, peakPower = -1.0;
    int peakLine = lobe;
    for (int k = 0; k <= last; ++k) {
        const double p = std::norm(lines[static_cast<size_t>(k)]);
        total += p;
        if (k >= lobe && p > peakPower) {
            peakPower = p;
            peakLine = k;
        }
    }
    size_t below = 0;
    for (int k = lobe; k <= last; ++k)
        below += peakPower > kTonePeakOverMedian * std::norm(lines[static_cast<size_t>(k)]);
    const auto count = static_cast<size_t>(last - lobe + 1);
    // A flat block's lines beyond DC are rounding residue, 300 dB and more below it.
    if (peakLine <= lobe || below <= count / 2 || !(peakPower > kRoundingResidue * total))
        return {};

    ToneFitter fitter(lines, shape, n);
    const double fundamentalLine = fitter.SearchLine(peakLine);
    const double omega = kTwoPi * fundamentalLine / n;
    const ToneFitter::Fit first = fitter.FitAt(omega, fitter.BandAround(fundamentalLine));
    if (!std::isfinite(first.residual)) return {};
    fitter.Add(omega, first.alpha);
    out.found = true;
    out.coherent = std::abs(fundamentalLine - std::round(fundamentalLine)) < 1e-3;
    out.fundamental = {1, true, fundamentalLine, 2.0 * std::abs(first.alpha),
                       MeanSquare(first.alpha, omega, n)};

    std::vector<FittedSine> sines{{omega, first.alpha}};
    std::vector<double> taken{fundamentalLine};
    for (int i = 0; i < kHarmonicsCounted; ++i) {
        const int order = i + 2;
        ToneComponent& h = out.harmonics[static_cast<size_t>(i)];
        h.order = order;
        h.line = Folded(order * fundamentalLine, n);
        h.resolved = h.line >= lobe + 1 && std::all_of(taken.begin(), taken.end(), [&](double t) {
                         return std::abs(t - h.line) >= 2 * lobe + 1;
                     });
        if (!h.resolved) continue;
        const ToneFitter::Fit fit = fitter.FitAt(order * omega, fitter.BandAround(h.line));
        if (!std::isfinite(fit.residual)) {
            h.resolved = false;
            continue;
        }
        fitter.Add(order * omega, fit.alpha);
        sines.push_back({order * omega, fit.alpha});
        taken.push_back(h.line);
        h.amplitude = 2.0 * std::abs(fit.alpha);
        h.power = MeanSquare(fit.alpha, order * omega, n);
    }
    return sines;
}

}  // namespace

double PowerDbfs(double power, double fullScale) {
    const double fullScalePower = fullScale * fullScale / 2.0;
    return fullScalePower > 0 ? Db(power / fullScalePower) : 0.0;
}

ToneFigures AnalyseTone(std::span<const double> x, double fullScale, SpectrumWindow window,
                        int segments) {
    ToneFigures out;
    const int n = static_cast<int>(x.size());
    if (n < kMinToneBlock) return out;
    const WindowShape& shape = ShapeOf(window);
    const int lobe = shape.lobeHalfWidth;
    if (n / 2 < 2 * lobe + 2) return out;

    // The fit works on the transform in place: a 65536-sample block's lines are half a
    // megabyte that need not be copied.
    std::vector<FittedSine> sines;
    const auto fft = RealFft::ForLength(n);
    fft->Transform(x, CachedWindow(window, n).samples,
                   [&](std::span<const Complex> lines) { sines = FitTone(lines, shape, n, out); });
    if (!out.found) return out;

    // The block without the fitted sines, made a segment at a time in the transform's own
    // buffer. Each sine 2 Re(alpha e^(i w j)) is taken in chunks: e^(i w j) =
    // e^(i w start) e^(i w (j - start)), the second factor from one table per sine, so
    // every value is exact to a few roundings and the inner loop is plain arithmetic the
    // compiler can vectorise.
    std::vector<std::array<double, 2 * kChunkSamples>> tables(sines.size());
    for (size_t s = 0; s < sines.size(); ++s) {
        for (int j = 0; j < kChunkSamples; ++j) {
            tables[s][static_cast<size_t>(j)] = std::cos(sines[s].omega * j);
            tables[s][static_cast<size_t>(kChunkSamples + j)] = std::sin(sines[s].omega * j);
        }
    }
    const auto residual = [&](size_t first, std::span<double> samples) {
        std::copy_n(x.begin() + static_cast<ptrdiff_t>(first), samples.size(), samples.begin());
        for (size_t s = 0; s < sines.size(); ++s) {
            const double* tableRe = tables[s].data();
            const double* tableIm = tableRe + kChunkSamples;
            for (size_t done = 0; done < samples.size(); done += kChunkSamples) {
                const Complex beta =
                    2.0 * sines[s].alpha *
                    std::polar(1.0, sines[s].omega * static_cast<double>(first + done));
                const double betaRe = beta.real(), betaIm = beta.imag();
                double* rest = samples.data() + done;
                const size_t length = std::min<size_t>(kChunkSamples, samples.size() - done);
                for (size_t j = 0; j < length; ++j)
                    rest[j] -= betaRe * tableRe[j] - betaIm * tableIm[j];
            }
        }
    };
    const PowerSpectrum noise = ComputePowerSpectrum(x.size(), residual, window, segments);
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

}  // namespace dmm
