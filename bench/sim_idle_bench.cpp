// What the simulated bench costs while nothing happens on it: the serial instruments'
// thread waiting for the program. Each iteration waits 100 ms of real time; the CPU column
// is the whole process's CPU time in that wait (a millisecond per iteration is 1 % of a
// core).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "core/link/clock.h"
#include "sim/sim_instruments.h"

namespace {

void BM_SimInstrumentsIdle(benchmark::State& state) {
    dmm::SystemClock clock;
    dmm::sim::SimInstruments instruments(clock, nullptr);
    if (!instruments.ok()) {
        state.SkipWithError("no pseudo-terminals for the simulated instruments");
        return;
    }
    instruments.Start();
    for (auto _ : state) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    instruments.Stop();
}
BENCHMARK(BM_SimInstrumentsIdle)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
