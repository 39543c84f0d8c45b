// How long a chip load takes: parsing the demo DMM description alone, reloading it over
// a loaded model, and the whole GetSELUP with its file look-ups and reads.
#include <benchmark/benchmark.h>

#include "core/app/bench_core.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/link/clock.h"
#include "sim/sim_bench.h"

namespace {

std::string DemoText() {
    const QString include = dmm::IncludeDirectory(dmm::ShippedDataDirectory());
    return dmm::ReadWholeFile(dmm::FindFileCaseInsensitive(include, "VZ6401.INC"))
        .value_or(std::string());
}

void ParseIntoFreshModel(benchmark::State& state) {
    const std::string text = DemoText();
    if (text.empty()) state.SkipWithError("demo description not found");
    for (auto _ : state) {
        dmm::TChipModel model;
        dmm::ReadChipDescription(text, model);
        benchmark::DoNotOptimize(model.loadCount);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(ParseIntoFreshModel);

void ReloadOverLoadedModel(benchmark::State& state) {
    const std::string text = DemoText();
    if (text.empty()) state.SkipWithError("demo description not found");
    dmm::TChipModel model;
    dmm::ReadChipDescription(text, model);
    for (auto _ : state) {
        dmm::ReadChipDescription(text, model);
        benchmark::DoNotOptimize(model.loadCount);
    }
}
BENCHMARK(ReloadOverLoadedModel);

void GetSelupFromBenchDirectory(benchmark::State& state) {
    dmm::VirtualClock clock;
    dmm::sim::SimBench sim(clock);
    dmm::BenchCore core(sim.bus(), clock);
    const QString include = dmm::IncludeDirectory(dmm::ShippedDataDirectory());
    for (auto _ : state) {
        if (dmm::GetSELUP(include, core.chipModel(), core.chip()) != 1) {
            state.SkipWithError("demo chip did not load");
            break;
        }
    }
}
BENCHMARK(GetSelupFromBenchDirectory);

}  // namespace

BENCHMARK_MAIN();
