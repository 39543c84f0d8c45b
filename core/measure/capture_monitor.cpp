#include "core/measure/capture_monitor.h"

#include <algorithm>

namespace dmm {

CaptureSnapshot CaptureMonitor::Latest() const {
    std::lock_guard lock(mutex_);
    return snapshot_;
}

std::shared_ptr<std::vector<double>> CaptureMonitor::Begin(CaptureSource source, int target,
                                                           int32_t divisor) {
    // A fresh array per capture: a chart still holding the previous one keeps it intact.
    auto samples =
        std::make_shared<std::vector<double>>(static_cast<size_t>(std::max(target, 0)), 0.0);
    std::lock_guard lock(mutex_);
    ++snapshot_.generation;
    snapshot_.running = true;
    snapshot_.source = source;
    snapshot_.count = 0;
    snapshot_.target = target;
    snapshot_.divisor = divisor;
    snapshot_.elapsedMs = 0;
    snapshot_.samples = samples;
    return samples;
}

void CaptureMonitor::Publish(int count, int64_t elapsedMs) {
    std::lock_guard lock(mutex_);
    snapshot_.count = count;
    snapshot_.elapsedMs = elapsedMs;
}

void CaptureMonitor::Finish(int count, int64_t elapsedMs) {
    std::lock_guard lock(mutex_);
    snapshot_.count = count;
    snapshot_.elapsedMs = elapsedMs;
    snapshot_.running = false;
}

}  // namespace dmm
