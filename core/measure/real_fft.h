#pragma once

#include <algorithm>
#include <complex>
#include <memory>
#include <mutex>
#include <span>
#include <utility>

namespace dmm {

// The forward transform of a real block with FFTW, in double precision:
//   X_k = sum_j x_j e^(-2 pi i jk/n), k = 0..n/2 (the other half is the complex conjugate).
// A real-input transform does half the work of a complex one of the same length.
//
// Thread: FFTW's planner is not reentrant, so plans are made and destroyed under one
// program-wide lock; Forward() may be called from any thread (each transform keeps its
// own aligned buffers behind its own lock).
class RealFft {
  public:
    // Any length from 1 on.
    explicit RealFft(int n);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    int size() const { return n_; }
    int lines() const { return n_ / 2 + 1; }
    // in holds at least size() values, out at least lines(). Returns false (and leaves
    // out untouched) when they are shorter.
    bool Forward(std::span<const double> in, std::span<std::complex<double>> out) const;

    // The transform of in, multiplied sample by sample by window when one is given (it
    // then holds at least size() values), handed to use(lines) as the lines() lines in
    // the transform's own buffer, valid during the call. Nothing is allocated, which
    // matters at half a megabyte a 65536-point block. False, without calling use, when
    // in or window is too short.
    template <class Use>
    bool Transform(std::span<const double> in, std::span<const double> window, Use&& use) const {
        if (in.size() < static_cast<size_t>(n_)) return false;
        return TransformOf(
            [&](std::span<double> buffer) {
                std::copy_n(in.begin(), buffer.size(), buffer.begin());
            },
            window, std::forward<Use>(use));
    }

    // The same, of the size() values fill(buffer) writes into the transform's own input
    // buffer: a block that is computed (a residual, say) need not be stored first. fill
    // runs under the transform's lock and must not use this transform.
    template <class Fill, class Use>
    bool TransformOf(Fill&& fill, std::span<const double> window, Use&& use) const {
        const auto n = static_cast<size_t>(n_);
        if ((!window.empty() && window.size() < n) || !Planned()) return false;
        std::lock_guard lock(mutex_);
        double* buffer = Input();
        fill(std::span<double>(buffer, n));
        if (!window.empty()) {
            for (size_t i = 0; i < n; ++i) buffer[i] *= window[i];
        }
        Execute();
        use(std::span<const std::complex<double>>(Output(), static_cast<size_t>(lines())));
        return true;
    }

    // The transform of length n, planned once and kept for the rest of the run: a
    // capture's length seldom changes, and planning costs far more than a transform.
    static std::shared_ptr<const RealFft> ForLength(int n);

  private:
    struct Plan;
    bool Planned() const;
    double* Input() const;
    const std::complex<double>* Output() const;
    void Execute() const;

    int n_;
    std::unique_ptr<Plan> plan_;
    mutable std::mutex mutex_;
};

}  // namespace dmm
