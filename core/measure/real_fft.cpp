#include "core/measure/real_fft.h"

#include <fftw3.h>

#include <algorithm>
#include <map>

namespace dmm {
namespace {

std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

struct RealFft::Plan {
    double* in = nullptr;
    fftw_complex* out = nullptr;
    fftw_plan plan = nullptr;
};

RealFft::RealFft(int n) : n_(std::max(n, 1)), plan_(std::make_unique<Plan>()) {
    std::lock_guard lock(PlannerMutex());
    plan_->in = fftw_alloc_real(static_cast<size_t>(n_));
    plan_->out = fftw_alloc_complex(static_cast<size_t>(lines()));
    // FFTW_ESTIMATE plans without running trial transforms: the first capture of a new
    // length is not held up, and the plan is still several times faster than radix 2.
    plan_->plan = fftw_plan_dft_r2c_1d(n_, plan_->in, plan_->out, FFTW_ESTIMATE);
}

RealFft::~RealFft() {
    std::lock_guard lock(PlannerMutex());
    if (plan_->plan) fftw_destroy_plan(plan_->plan);
    fftw_free(plan_->in);
    fftw_free(plan_->out);
}

bool RealFft::Planned() const {
    return plan_->plan != nullptr;
}

double* RealFft::Input() const {
    return plan_->in;
}

// fftw_complex is double[2], laid out as std::complex<double> is.
const std::complex<double>* RealFft::Output() const {
    return reinterpret_cast<const std::complex<double>*>(plan_->out);
}

void RealFft::Execute() const {
    fftw_execute(plan_->plan);
}

bool RealFft::Forward(std::span<const double> in, std::span<std::complex<double>> out) const {
    if (out.size() < static_cast<size_t>(lines())) return false;
    return Transform(in, {}, [&](std::span<const std::complex<double>> lines) {
        std::copy(lines.begin(), lines.end(), out.begin());
    });
}

std::shared_ptr<const RealFft> RealFft::ForLength(int n) {
    // The planner's lock must outlive the cache, whose plans it guards when they are
    // destroyed at exit: statics end in the reverse order of their construction.
    PlannerMutex();
    static std::mutex cacheMutex;
    static std::map<int, std::shared_ptr<const RealFft>> cache;
    std::lock_guard lock(cacheMutex);
    std::shared_ptr<const RealFft>& entry = cache[std::max(n, 1)];
    if (!entry) entry = std::make_shared<const RealFft>(n);
    return entry;
}

}  // namespace dmm
