#include "core/link/clock.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace dmm {

int64_t SystemClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::SleepMs(int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void DelayMs(Clock& clock, int64_t ms) {
    const int64_t start = clock.NowMs();
    for (int64_t elapsed = 0; elapsed < ms; elapsed = clock.NowMs() - start) {
        clock.SleepMs(ms - elapsed);
    }
}

void DelaySpan(Clock& clock, double spanDays) {
    constexpr double kMsPerDay = 86400000.0;
    if (!(spanDays >= 0.0)) return;
    // "not greater than span": the wait ends once strictly more than span has passed.
    const int64_t ms = static_cast<int64_t>(std::floor(spanDays * kMsPerDay)) + 1;
    DelayMs(clock, ms);
}

namespace {
int64_t SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

ScaledClock::ScaledClock(double speed)
    : speed_(speed > 0 ? speed : 1.0), originUs_(SteadyMicroseconds()) {}

int64_t ScaledClock::NowMs() const {
    return static_cast<int64_t>(static_cast<double>(SteadyMicroseconds() - originUs_) * speed_ /
                                1000.0);
}

void ScaledClock::SleepMs(int64_t ms) {
    if (ms <= 0) return;
    std::this_thread::sleep_for(
        std::chrono::microseconds(static_cast<int64_t>(static_cast<double>(ms) * 1000.0 / speed_)));
}

}  // namespace dmm
