#include "sim/sim_bench_clock.h"

#include <algorithm>

#include "sim/sim_instruments.h"

namespace dmm::sim {

void SimBenchClock::SetSimulators(Simulators simulators) {
    std::lock_guard lock(mutex_);
    simulators_ = std::move(simulators);
}

int64_t SimBenchClock::NowMs() const {
    std::lock_guard lock(mutex_);
    int64_t now = std::max(last_, bench_.NowMs());
    if (simulators_) {
        // What the program sent after the last time read was sent no earlier than that.
        const int64_t firstDue = simulators_(last_, now);
        if (firstDue >= 0) now = std::max(last_, std::min(now, firstDue));
    }
    last_ = now;
    return now;
}

void RunOnClock(SimInstruments& instruments, SimBenchClock& clock) {
    clock.SetSimulators(
        [&instruments](int64_t stamp, int64_t now) { return instruments.PumpAt(stamp, now); });
    instruments.Start([&clock] { clock.NowMs(); });
}

void StopRunningOnClock(SimInstruments& instruments, Clock& clock) {
    instruments.Stop();
    auto* simClock = dynamic_cast<SimBenchClock*>(&clock);
    if (!simClock) return;
    // A last pass takes what the program sent last (a standby on its way out).
    simClock->NowMs();
    simClock->SetSimulators({});
}

}  // namespace dmm::sim
