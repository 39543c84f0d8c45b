#include <gtest/gtest.h>

#include "core/link/clock.h"

namespace dmm {
namespace {

// A clock that moves in coarse steps, as a real timer does: the waits must not stop early.
class CoarseClock final : public Clock {
  public:
    int64_t NowMs() const override { return now; }
    void SleepMs(int64_t ms) override { now += std::max<int64_t>(1, ms / 3); }
    int64_t now = 1000;
};

TEST(Clock, DelayMsWaitsAtLeastTheGivenTime) {
    VirtualClock clock;
    DelayMs(clock, 2000);
    EXPECT_EQ(clock.NowMs(), 2000);
    CoarseClock coarse;
    DelayMs(coarse, 100);
    EXPECT_GE(coarse.now - 1000, 100);
    DelayMs(clock, 0);
    DelayMs(clock, -5);
    EXPECT_EQ(clock.NowMs(), 2000);
}

TEST(Clock, DelaySpanWaitsUntilMoreThanTheSpanHasPassed) {
    VirtualClock clock;
    DelaySpan(clock, 1.0 / 86400.0);  // one second
    EXPECT_GT(clock.NowMs(), 1000);
    EXPECT_LE(clock.NowMs(), 1001);
}

TEST(Clock, SystemClockIsMonotonic) {
    SystemClock clock;
    const int64_t a = clock.NowMs();
    DelayMs(clock, 5);
    EXPECT_GE(clock.NowMs() - a, 5);
}

}  // namespace
}  // namespace dmm
