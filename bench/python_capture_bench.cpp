// What the Python module adds to the bench it binds: a 65536-sample stream capture on the
// simulated bench, its board answering at once, taken through headless/ on the calling
// thread as dmmctl takes it and through dmmbench.Bench.capture (the same operation on the
// bench's own thread, the caller waiting); one call's own cost (a one-byte chip read both
// ways); and the hand-over of a block's samples to numpy, which must be a view, not a
// copy. Both captures make the block's record (the module always does, dmmctl with
// --json). After the table the module's overhead is printed, for each of two captures at
// the simulated clock's fastest:
//   0  ADC1 at 640 S/s (640 kS/s at that speed): the converter paces the capture, 102 ms
//      of results plus the analysis, as a user's capture goes;
//   1  ADC2 at 2400 S/s (2.4 MS/s): the board's stream falls behind the converter, so the
//      capture takes what reading the stream costs the host and the simulator (which
//      makes more results for each read the longer a read takes: noisy on a busy machine).
#include <benchmark/benchmark.h>
#include <pybind11/embed.h>

#include <unistd.h>
#include <QTemporaryDir>

#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/app/bench_directory.h"
#include "headless/capture_operation.h"
#include "headless/chip_operations.h"
#include "headless/headless_bench.h"
#include "headless/link_operations.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace dmm {
namespace {

constexpr int kPoints = 65536;
constexpr double kSimSpeed = 1000;

struct CaptureSetup {
    const char* name;
    const char* source;
    std::vector<std::pair<std::string, int>> fields;
};
const CaptureSetup kSetups[] = {
    // ADC1 at its fastest rate, its reference from FB to VREF: samples with real noise.
    {"ADC1, converter-paced", "adcs", {{"ENAD_S", 1}, {"S_AD1RL", 2}, {"AD1OSR", 0}}},
    {"ADC2, host-paced", "adcf", {{"ENAD_F", 1}, {"AD2OSR", 5}}},
};

class QuietHooks final : public headless::RunHooks {
  public:
    bool StopWanted() const override { return false; }
    std::string StopName() const override { return "a stop request"; }

  protected:
    void SayLine(const std::string&) override {}
};

// A simulated bench as dmmctl builds it, at zero board latency, in a folder of dir.
std::unique_ptr<headless::HeadlessBench> OpenCppBench(const QTemporaryDir& dir,
                                                      headless::RunHooks& hooks) {
    headless::BenchOptions options;
    options.sim = true;
    options.simSpeed = kSimSpeed;
    options.simLatencyMs = 0;
    options.dir = (dir.path() + "/bench").toStdString();
    return std::make_unique<headless::HeadlessBench>(options, hooks, QString(),
                                                     ShippedDataDirectory());
}

void BM_StreamCapture65536_Cpp(benchmark::State& state) {
    const CaptureSetup& setup = kSetups[state.range(0)];
    state.SetLabel(setup.name);
    QTemporaryDir dir;
    QuietHooks hooks;
    const auto opened = OpenCppBench(dir, hooks);
    headless::HeadlessBench& bench = *opened;
    for (const auto& [name, value] : setup.fields) {
        if (!headless::AccessField(bench, name, value)) {
            state.SkipWithError("the simulated chip refused its setup");
            return;
        }
    }
    headless::CaptureRequest request;
    request.source = setup.source;
    request.points = kPoints;
    request.scaleBits = 24;
    request.withRecord = true;
    for (auto _ : state) {
        const auto block = headless::Capture(bench, request);
        if (!block || block->failure || block->outcome.captured != kPoints) {
            state.SkipWithError("the capture fell short");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_StreamCapture65536_Cpp)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// A simulated bench opened from Python as a script opens it, at zero board latency.
py::object OpenModuleBench(const QTemporaryDir& dir, const CaptureSetup& setup) {
    py::object bench =
        py::module_::import("dmmbench")
            .attr("open")("sim"_a = true, "dir"_a = (dir.path() + "/bench").toStdString(),
                          "sim_speed"_a = kSimSpeed, "sim_latency_ms"_a = 0);
    py::object fields = bench.attr("fields");
    for (const auto& [name, value] : setup.fields) fields[py::str(name)] = value;
    return bench;
}

void BM_StreamCapture65536_Python(benchmark::State& state) {
    const CaptureSetup& setup = kSetups[state.range(0)];
    state.SetLabel(setup.name);
    try {
        QTemporaryDir dir;
        py::object bench = OpenModuleBench(dir, setup);
        py::object capture = bench.attr("capture");
        for (auto _ : state) {
            py::object block = capture("points"_a = kPoints, "source"_a = setup.source,
                                       "stream"_a = true, "scale"_a = 24);
            if (py::len(block) != kPoints) {
                state.SkipWithError("the capture fell short");
                break;
            }
        }
        bench.attr("close")();
    } catch (const py::error_already_set& e) {
        state.SkipWithError(e.what());
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_StreamCapture65536_Python)
    ->Arg(0)
    ->Arg(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One call's own cost: a one-byte chip read (one exchange with the board) through
// headless/ and through Bench.read. The difference is what the module adds to every call,
// a capture included: the hand-over to the bench's thread and back.
void BM_ChipRead_Cpp(benchmark::State& state) {
    QTemporaryDir dir;
    QuietHooks hooks;
    const auto bench = OpenCppBench(dir, hooks);
    for (auto _ : state) {
        if (!headless::ReadChipBytes(*bench, 0x40, 1)) {
            state.SkipWithError("the read failed");
            break;
        }
    }
}
BENCHMARK(BM_ChipRead_Cpp)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_ChipRead_Python(benchmark::State& state) {
    try {
        QTemporaryDir dir;
        py::object bench = OpenModuleBench(dir, kSetups[0]);
        py::object read = bench.attr("read");
        for (auto _ : state) benchmark::DoNotOptimize(read(0x40, 1).ptr());
        bench.attr("close")();
    } catch (const py::error_already_set& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_ChipRead_Python)->UseRealTime()->Unit(benchmark::kMicrosecond);

// block.samples for a block of range(0) samples: the same time at 4096 and 65536, and the
// label says whether two hand-overs share the block's memory (no copy was made).
void BM_BlockSamplesToNumpy(benchmark::State& state) {
    try {
        QTemporaryDir dir;
        py::object bench = OpenModuleBench(dir, kSetups[0]);
        py::object block = bench.attr("capture")("points"_a = state.range(0), "scale"_a = 24);
        bench.attr("close")();
        for (auto _ : state) {
            py::object samples = block.attr("samples");
            benchmark::DoNotOptimize(samples.ptr());
        }
        py::object first = block.attr("samples");
        py::object second = block.attr("samples");
        const bool shared =
            py::module_::import("numpy").attr("shares_memory")(first, second).cast<bool>();
        const bool view = !first.attr("flags").attr("owndata").cast<bool>() &&
                          py::object(first.attr("base")).is(block);
        state.SetLabel(shared && view ? "a view of the block's samples"
                                      : "a copy of the block's samples");
    } catch (const py::error_already_set& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_BlockSamplesToNumpy)->Arg(4096)->Arg(kPoints)->Unit(benchmark::kNanosecond);

// The console table, and each benchmark's time per iteration kept for the overhead line:
// the median of the repetitions when there are several (a machine shared with other work
// gives outliers), else the mean of the runs.
class OverheadReporter final : public benchmark::ConsoleReporter {
  public:
    OverheadReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string key = run.run_name.function_name + "/" + run.run_name.args;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians_[key] = run.GetAdjustedRealTime();
            } else if (run.run_type == Run::RT_Iteration) {
                auto& [sum, count] = sums_[key];
                sum += run.GetAdjustedRealTime();
                ++count;
            }
        }
    }
    // The time per iteration in the benchmark's unit; 0 when it did not run.
    double Time(const std::string& name) const {
        if (const auto median = medians_.find(name); median != medians_.end())
            return median->second;
        const auto sum = sums_.find(name);
        return sum == sums_.end() ? 0.0 : sum->second.first / sum->second.second;
    }

  private:
    std::map<std::string, double> medians_;
    std::map<std::string, std::pair<double, int>> sums_;
};

}  // namespace
}  // namespace dmm

int main(int argc, char** argv) {
    py::scoped_interpreter interpreter;
    // The module of this build, not one installed on the machine.
    py::module_::import("sys").attr("path").attr("insert")(0, DMM_PYTHON_BUILD_DIR);
    // What a fresh bench directory says about itself is no figure.
    py::module_::import("warnings")
        .attr("simplefilter")("ignore", py::module_::import("dmmbench").attr("BenchWarning"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    dmm::OverheadReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (size_t k = 0; k < std::size(dmm::kSetups); ++k) {
        const std::string arg = "/" + std::to_string(k);
        const double cpp = reporter.Time("BM_StreamCapture65536_Cpp" + arg);
        const double python = reporter.Time("BM_StreamCapture65536_Python" + arg);
        if (cpp > 0 && python > 0) {
            std::printf(
                "65536-sample stream capture, %s: C++ %.1f ms, Python %.1f ms; the "
                "module adds %+.1f %%\n",
                dmm::kSetups[k].name, cpp, python, 100.0 * (python - cpp) / cpp);
        }
    }
    const double cppCall = reporter.Time("BM_ChipRead_Cpp/");
    const double pythonCall = reporter.Time("BM_ChipRead_Python/");
    const double paced = reporter.Time("BM_StreamCapture65536_Cpp/0");
    if (cppCall > 0 && pythonCall > 0) {
        std::printf(
            "one call (a one-byte chip read): C++ %.1f us, Python %.1f us; the module "
            "adds %.1f us per call",
            cppCall, pythonCall, pythonCall - cppCall);
        if (paced > 0)
            std::printf(", %.3f %% of the %s capture", 0.1 * (pythonCall - cppCall) / paced,
                        dmm::kSetups[0].name);
        std::printf("\n");
    }
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
