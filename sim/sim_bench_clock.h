#pragma once

#include <functional>
#include <mutex>

#include "core/link/clock.h"

namespace dmm::sim {

// The clock of the programs' simulated bench: the machine's steady clock run speed times
// faster, on which the simulated instruments answer. Whoever reads the time first lets
// the simulators take what the program sent and hand over every reply due by then, and
// the time read stops at a reply handed over in that read, so that a caller that polled
// for it just before still finds it within its time-out. An instrument so keeps its reply
// time at any speed, however long a busy machine keeps a thread waiting: at 1000x a
// chamber's 1000 ms time-out is one real millisecond.
//
// Thread-safe. The simulators run under the clock's lock and read bench() (never this
// clock), so they do not call back into it.
class SimBenchClock final : public Clock {
  public:
    explicit SimBenchClock(double speed = 1) : bench_(speed) {}

    // stamp: the time the bytes the program sent since the last read are taken in at (the
    // last time read before them); now: the time read. Returns when the earliest reply
    // handed over in this pass was due (-1 when none was).
    using Simulators = std::function<int64_t(int64_t stamp, int64_t now)>;
    void SetSimulators(Simulators simulators);
    // The bench's own time, for the simulators themselves: reading it runs nothing.
    Clock& bench() { return bench_; }

    int64_t NowMs() const override;
    void SleepMs(int64_t ms) override { bench_.SleepMs(ms); }

  private:
    ScaledClock bench_;
    mutable std::mutex mutex_;
    mutable int64_t last_ = 0;
    Simulators simulators_;
};

class SimInstruments;

// The simulated instruments answer on the clock (pumped whenever it is read) and move on
// by themselves while the program is quiet (their thread, reading the clock). They must
// have been made on clock.bench().
void RunOnClock(SimInstruments& instruments, SimBenchClock& clock);
// Undoes RunOnClock; before the instruments go. clock may be any clock (nothing to undo
// on others).
void StopRunningOnClock(SimInstruments& instruments, Clock& clock);

}  // namespace dmm::sim
