#pragma once

#include <functional>
#include <mutex>

#include "core/link/clock.h"

namespace dmm::sim {

// Virtual time for a bench whose simulators sit behind real device files: before and
// after time moves on, every sleep lets the simulators take what the program sent and
// answer what is due (the serial bench's Pump). The program and its instruments then
// take turns in the same order on every run, and a 5 s time-out costs no real time.
class SteppedClock final : public Clock {
  public:
    int64_t NowMs() const override { return clock_.NowMs(); }
    void SleepMs(int64_t ms) override {
        Step();
        clock_.Advance(ms);
        Step();
    }
    void Advance(int64_t ms) { SleepMs(ms); }
    // What runs at every step (set before the bench runs, cleared before it goes).
    void SetStep(std::function<void()> step) {
        std::lock_guard lock(mutex_);
        step_ = std::move(step);
    }

  private:
    void Step() {
        std::lock_guard lock(mutex_);
        if (step_) step_();
    }
    VirtualClock clock_;
    std::recursive_mutex mutex_;
    std::function<void()> step_;
};

}  // namespace dmm::sim
