// What a chip access over the printer port costs in port operations and in time: one
// register write with read-back (a write frame and a read frame) and one "Read RAM" block
// of 64 bytes, over the simulated port and its two-wire chip. The same register write
// over the simulated board (DMM kind) is the baseline. Simulated time: the 50 ms after
// each frame costs nothing here, so the figures are the host's own work per byte.
#include <benchmark/benchmark.h>

#include "core/app/bench_core.h"
#include "sim/sim_bench.h"

namespace {

struct Bench {
    explicit Bench(dmm::InterfaceKind kind) {
        core.target().interfaceKind = kind;
        uint8_t status = 0;
        if (kind != dmm::InterfaceKind::Parallel) core.link().OpenBoard(status);
    }
    dmm::VirtualClock clock;
    dmm::sim::SimBench sim{clock};
    dmm::BenchCore core{sim.bus(), clock, &sim.parallelPort()};
};

// Bytes clocked over the line: the command, two address bytes and the data bytes.
constexpr int kFrameHeader = 3;

void Report(benchmark::State& state, dmm::sim::SimParallelPort& port, int64_t bytesPerIteration) {
    const double bytes = static_cast<double>(bytesPerIteration * state.iterations());
    state.counters["port_ops_per_byte"] = static_cast<double>(port.Counts().Total()) / bytes;
    state.counters["time_per_byte"] =
        benchmark::Counter(bytes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ParallelRegisterWriteAndReadBack(benchmark::State& state) {
    Bench b(dmm::InterfaceKind::Parallel);
    b.core.parallel().ParInit();
    b.sim.parallelPort().ResetCounts();
    uint8_t value = 0;
    for (auto _ : state) {
        if (!b.core.chip().WriteRegister(0x2A, ++value)) state.SkipWithError("write failed");
    }
    Report(state, b.sim.parallelPort(), 2 * (kFrameHeader + 1));
}
BENCHMARK(BM_ParallelRegisterWriteAndReadBack)->Unit(benchmark::kMicrosecond);

void BM_ParallelReadRam64(benchmark::State& state) {
    Bench b(dmm::InterfaceKind::Parallel);
    b.core.parallel().ParInit();
    b.sim.parallelPort().ResetCounts();
    for (auto _ : state) {
        if (!b.core.chip().ReadChip(0, 64)) state.SkipWithError("read failed");
    }
    Report(state, b.sim.parallelPort(), kFrameHeader + 64);
}
BENCHMARK(BM_ParallelReadRam64)->Unit(benchmark::kMicrosecond);

void BM_BoardRegisterWriteAndReadBack(benchmark::State& state) {
    Bench b(dmm::InterfaceKind::DMM);
    uint8_t value = 0;
    for (auto _ : state) {
        if (!b.core.chip().WriteRegister(0x2A, ++value)) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_BoardRegisterWriteAndReadBack)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
