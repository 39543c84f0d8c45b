#include "sim/simulated_bench.h"

#include "sim/bench_chips.h"

namespace dmm::sim {

SimulatedBench::SimulatedBench(SimBenchClock& clock, const SimulatedBenchRequest& request,
                               std::vector<std::string>& notes)
    : clock_(clock) {
    // The simulated chip is laid out by the same description file the program loads.
    std::string why;
    auto chip = MakeBenchChip(request.benchDir, request.chipName, &why);
    if (!why.empty()) notes.push_back("simulated chip is plain memory: " + why);
    // The simulators live on the bench's own time; the program reads the clock that makes
    // them answer.
    bench_ = std::make_unique<SimBench>(
        clock.bench(), std::move(chip),
        request.hid ? SimBench::Personality::Hid : SimBench::Personality::Bulk);
    if (request.latencyMs)
        bench_->board().SetExchangeLatencyMs(*request.latencyMs);
    else
        bench_->UseRealisticLatency();
    std::string error;
    if (!ApplySimOptions(*bench_, request.extras, error)) notes.push_back(error);
    instruments_ = std::make_unique<SimInstruments>(clock.bench(), &bench_->board());
    if (!instruments_->ok()) notes.push_back("no simulated instruments: " + instruments_->error());
    if (!request.logPath.empty() && !instruments_->LogTo(request.logPath, error))
        notes.push_back("--sim-log: " + error);
    instruments_->ScheduleFaults(request.extras.timedFaults);
    // Noiseless converters come with noiseless meters: two runs write the same files.
    for (int k = 0; k < SimInstruments::kMeterCount && request.extras.noiseless; ++k)
        instruments_->meter(k).noise = false;
    RunOnClock(*instruments_, clock);
}

SimulatedBench::~SimulatedBench() {
    StopRunningOnClock(*instruments_, clock_);
}

}  // namespace dmm::sim
