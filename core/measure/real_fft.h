#pragma once

#include <complex>
#include <memory>
#include <mutex>
#include <span>

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

    // The transform of length n, planned once and kept for the rest of the run: a
    // capture's length seldom changes, and planning costs far more than a transform.
    static std::shared_ptr<const RealFft> ForLength(int n);

  private:
    struct Plan;
    int n_;
    std::unique_ptr<Plan> plan_;
    mutable std::mutex mutex_;
};

}  // namespace dmm
