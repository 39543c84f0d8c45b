#pragma once

#include <atomic>
#include <cstdint>

namespace dmm {

// Monotonic time source behind every timed wait of the program.
// Waits never use the wall clock: changing the system time must not stretch or cut a wait.
// Thread: a clock may be shared between threads; implementations are thread-safe.
class Clock {
  public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary, fixed origin; never goes backwards.
    virtual int64_t NowMs() const = 0;
    // Blocks the calling thread for at least ms milliseconds.
    virtual void SleepMs(int64_t ms) = 0;
};

// The real, steady clock of the machine.
class SystemClock final : public Clock {
  public:
    int64_t NowMs() const override;
    void SleepMs(int64_t ms) override;
};

// The machine's steady clock run speed times faster: the simulated bench's clock with
// --sim-speed, so that a night's drift run can be watched in minutes.
class ScaledClock final : public Clock {
  public:
    explicit ScaledClock(double speed);
    int64_t NowMs() const override;
    void SleepMs(int64_t ms) override;

  private:
    double speed_;
    int64_t originUs_;
};

// Simulated time: a sleep advances the clock at once, so a 20 s time-out costs nothing.
class VirtualClock final : public Clock {
  public:
    int64_t NowMs() const override { return now_.load(); }
    void SleepMs(int64_t ms) override { Advance(ms); }
    void Advance(int64_t ms) {
        if (ms > 0) now_ += ms;
    }

  private:
    std::atomic<int64_t> now_{0};
};

// Waits until at least ms milliseconds have passed on the clock.
void DelayMs(Clock& clock, int64_t ms);

// Waits while the elapsed time, measured in days, is not greater than span.
// Kept for callers that express their waits as fractions of a day.
void DelaySpan(Clock& clock, double spanDays);

}  // namespace dmm
