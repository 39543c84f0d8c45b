// Host-side costs of the ADC capture: link exchanges against the simulated board with
// no added latency (so the figures are this program's overhead, not the board's), a whole
// stream capture, and the analysis of a 65536-sample block.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "bench/today/tone_analysis_today.h"
#include "core/app/bench_core.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/adc_statistics.h"
#include "core/measure/block_figures.h"
#include "core/measure/fft.h"
#include "core/measure/program_spectrum.h"
#include "core/measure/real_fft.h"
#include "sim/sim_bench.h"
#include "sim/sim_board.h"
#include "sim/sim_bus.h"

namespace dmm {
namespace {

// A converter that always has 12 fresh results for the stream.
class EndlessChip final : public sim::SimChip {
  public:
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
        for (int k = 0; k < max; ++k) {
            const uint32_t raw = 0x123400 + static_cast<uint32_t>(next_++ & 0xFF);
            records[static_cast<size_t>(k)] = {static_cast<uint8_t>(raw),
                                               static_cast<uint8_t>(raw >> 8),
                                               static_cast<uint8_t>(raw >> 16), 0, 0};
        }
        return max;
    }

  private:
    uint32_t next_ = 0;
};

// One exchange per iteration: the Time column is the time per exchange, items_per_second
// the exchanges per second. A failed exchange would close the link and make later ones
// cheap, so the run fails instead.
void ReportExchanges(benchmark::State& state, int64_t failures) {
    if (failures > 0) state.SkipWithError("an exchange failed");
    state.SetItemsProcessed(state.iterations());
}

// One polling pass's first exchange: a one-byte chip read of the DMM kind.
void BM_LinkChipReadExchange(benchmark::State& state) {
    SystemClock clock;
    const auto personality =
        state.range(0) ? sim::SimBench::Personality::Hid : sim::SimBench::Personality::Bulk;
    sim::SimBench sim(clock, personality);
    BenchCore core(sim.bus(), clock);
    uint8_t status = 0;
    if (!core.link().OpenBoard(status)) {
        state.SkipWithError("the simulated board did not open");
        return;
    }
    int64_t failures = 0;
    for (auto _ : state) {
        if (!core.chip().ReadChip(0x0E, 1)) ++failures;
    }
    ReportExchanges(state, failures);
    state.SetLabel(personality == sim::SimBench::Personality::Hid ? "HID" : "bulk");
}
BENCHMARK(BM_LinkChipReadExchange)->Arg(0)->Arg(1);

// One stream pass: C3 01 and a 64-byte reply of 12 records.
void BM_LinkStreamReadExchange(benchmark::State& state) {
    SystemClock clock;
    EndlessChip chip;
    sim::SimBoard board(chip, clock);
    sim::SimBus bus;
    bus.AddBulk(0, board);
    BenchCore core(bus, clock);
    uint8_t status = 0;
    if (!core.link().OpenBoard(status) || !core.link().AdcStreamControl(false, true, 0x04)) {
        state.SkipWithError("the simulated board did not stream");
        return;
    }
    AdcStreamRecords records;
    int64_t failures = 0;
    for (auto _ : state) {
        if (core.link().AdcStreamRead(records) != 12) ++failures;
    }
    ReportExchanges(state, failures);
}
BENCHMARK(BM_LinkStreamReadExchange);

// A whole 65536-sample stream capture with its analysis (CatchACDCOM).
void BM_StreamCapture65536(benchmark::State& state) {
    SystemClock clock;
    EndlessChip chip;
    sim::SimBoard board(chip, clock);
    sim::SimBus bus;
    bus.AddBulk(0, board);
    BenchCore core(bus, clock);
    uint8_t status = 0;
    if (!core.link().OpenBoard(status)) {
        state.SkipWithError("the simulated board did not open");
        return;
    }
    StandaloneCaptureHost host;
    NullUiHooks ui;
    AdcAnalysis analysis(core, host, ui);
    CaptureSettings settings;
    settings.NPointIndex = 10;  // 65536
    settings.ENInterrupt = true;
    analysis.SetSettings(settings);
    for (auto _ : state) {
        analysis.CatchACDCOM("1.2", CaptureSource::ADCS);
        if (analysis.captureCount() != 65536) state.SkipWithError("the capture fell short");
    }
    state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_StreamCapture65536)->Unit(benchmark::kMillisecond);

std::vector<double> NoisyBlock(int n) {
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 12.0);
    std::vector<double> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[static_cast<size_t>(i)] = std::round(
            500000.0 + 3000.0 * std::sin(2 * std::numbers::pi * 50.0 * i / n) + noise(random));
    }
    return v;
}

// The program's own statistics and spectrum (load, transform, levels) of a 65536-sample
// block: with the radix-2 transform and full-length levels it started with (0), and as it
// takes them now, through FFTW's real-input transform with mirrored levels (1).
void BM_StatisticsAndSpectrum65536(benchmark::State& state) {
    constexpr int n = 65536;
    const bool fftw = state.range(0) != 0;
    const std::vector<double> block = NoisyBlock(n);
    std::vector<double> re(n), im(n), levels(n);
    const Fft fft(n);
    for (auto _ : state) {
        double sum = 0.0;
        for (double v : block) sum += v;
        StatisticsInput input{block, block, sum / n, 1, 24, 1.0, 1.2};
        benchmark::DoNotOptimize(ComputeStatistics(input));
        if (fftw) {
            ProgramSpectrum(block, re, im, levels);
        } else {
            for (size_t k = 0; k < n; ++k) {
                re[k] = block[k];
                im[k] = -block[k];
            }
            fft.Transform(re, im);
            SpectrumLevels(re, im, levels);
        }
        benchmark::DoNotOptimize(levels.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.SetLabel(fftw ? "FFTW, real input" : "radix 2");
}
BENCHMARK(BM_StatisticsAndSpectrum65536)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The transform alone: the hand-written radix-2 one the program started with, FFTW on
// the same complex block, and FFTW's real-input transform that the spectrum now uses.
void BM_Fft65536(benchmark::State& state) {
    constexpr int n = 65536;
    const std::vector<double> block = NoisyBlock(n);
    std::vector<double> re(n), im(n);
    const Fft fft(n);
    for (auto _ : state) {
        // Fresh input each time: transforming the output again would overflow to infinities.
        state.PauseTiming();
        re = block;
        std::fill(im.begin(), im.end(), 0.0);
        state.ResumeTiming();
        fft.Transform(re, im);
        benchmark::DoNotOptimize(re.data());
    }
    state.SetLabel("radix 2, complex");
}
BENCHMARK(BM_Fft65536)->Unit(benchmark::kMillisecond);

void BM_FftwComplex65536(benchmark::State& state) {
    constexpr int n = 65536;
    const std::vector<double> block = NoisyBlock(n);
    fftw_complex* in = fftw_alloc_complex(n);
    fftw_complex* out = fftw_alloc_complex(n);
    const fftw_plan plan = fftw_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_ESTIMATE);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < n; ++i) {
            in[i][0] = block[static_cast<size_t>(i)];
            in[i][1] = -block[static_cast<size_t>(i)];
        }
        state.ResumeTiming();
        fftw_execute(plan);
        benchmark::DoNotOptimize(out[1][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    state.SetLabel("FFTW, complex");
}
BENCHMARK(BM_FftwComplex65536)->Unit(benchmark::kMillisecond);

void BM_FftwReal65536(benchmark::State& state) {
    constexpr int n = 65536;
    const std::vector<double> block = NoisyBlock(n);
    const auto fft = RealFft::ForLength(n);
    std::vector<std::complex<double>> lines(static_cast<size_t>(fft->lines()));
    for (auto _ : state) {
        fft->Forward(block, lines);  // copies the block in: counted, as the program pays it
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetLabel("FFTW, real input");
}
BENCHMARK(BM_FftwReal65536)->Unit(benchmark::kMillisecond);

// A converter that streams a tone between two lines of a 65536-sample block, with its
// 2nd to 4th harmonics (-70, -80, -90 dBc) and white noise (sigma 20 counts).
class ToneChip final : public sim::SimChip {
  public:
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
        for (int k = 0; k < max; ++k) {
            const double w = 2 * std::numbers::pi * 1000.37 * next_++ / 65536;
            const double x = 150000.0 + 2e6 * (std::sin(w) + 3.16e-4 * std::sin(2 * w) +
                                               1e-4 * std::sin(3 * w) + 3.16e-5 * std::sin(4 * w));
            const auto raw = static_cast<uint32_t>(std::lround(x + noise_(random_))) & 0xFFFFFF;
            records[static_cast<size_t>(k)] = {static_cast<uint8_t>(raw),
                                               static_cast<uint8_t>(raw >> 8),
                                               static_cast<uint8_t>(raw >> 16), 0, 0};
        }
        return max;
    }

  private:
    int64_t next_ = 0;
    std::mt19937_64 random_{1};
    std::normal_distribution<double> noise_{0.0, 20.0};
};

// Everything a 65536-sample capture is analysed with, as the analysis window runs it when
// the analysis is taken again (ReCalADC): the program's statistics and spectrum, and the
// added noise figures, windowed spectrum and tone figures. The capture itself is not timed.
void BM_StatisticsSpectrumAndToneFigures65536(benchmark::State& state) {
    SystemClock clock;
    ToneChip chip;
    sim::SimBoard board(chip, clock);
    sim::SimBus bus;
    bus.AddBulk(0, board);
    BenchCore core(bus, clock);
    uint8_t status = 0;
    if (!core.link().OpenBoard(status)) {
        state.SkipWithError("the simulated board did not open");
        return;
    }
    StandaloneCaptureHost host;
    NullUiHooks ui;
    AdcAnalysis analysis(core, host, ui);
    CaptureSettings settings;
    settings.NPointIndex = 10;  // 65536
    settings.ENInterrupt = true;
    settings.spectrumWindow = static_cast<SpectrumWindow>(state.range(0));
    analysis.SetSettings(settings);
    analysis.CatchACDCOM("1.2", CaptureSource::ADCS);
    if (analysis.captureCount() != 65536) {
        state.SkipWithError("the capture fell short");
        return;
    }
    bool found = true;
    for (auto _ : state) {
        analysis.ReCalADC();
        found = found && analysis.figures().tone.found;
    }
    if (!found) state.SkipWithError("the tone was not found");
    state.SetLabel(std::string(ShapeOf(settings.spectrumWindow).name));
    state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_StatisticsSpectrumAndToneFigures65536)
    ->DenseRange(0, kSpectrumWindowCount - 1)
    ->Unit(benchmark::kMillisecond);

// The block ToneChip streams, as the analysis takes it (counts of scale 24).
std::vector<double> ToneBlock() {
    ToneChip chip;
    std::array<std::array<uint8_t, 5>, 12> records{};
    std::vector<double> block;
    block.reserve(65536);
    while (block.size() < 65536) {
        chip.TakeStreamRecords(records, 1);
        const auto& r = records[0];
        const int32_t raw = r[0] | (r[1] << 8) | (r[2] << 16);
        block.push_back(raw >= 0x800000 ? raw - 0x1000000 : raw);
    }
    return block;
}

enum Implementation { kToday = 0, kNow = 1 };
// Today's: the saved copy under bench/today/ (the tone analysis before it was made
// faster); now: the program's own.
ToneAnalyser AnalyserOf(int implementation) {
    return implementation == kToday ? today::AnalyseTone : AnalyseTone;
}
const char* ImplementationName(int implementation) {
    return implementation == kToday ? "today" : "now";
}

// A faster implementation must find the same figures: the runs stop when they differ by
// more than a hundredth of a decibel.
bool SameToneFigures(std::span<const double> block, SpectrumWindow window) {
    const double fullScale = 8388608.0;
    const ToneFigures a = today::AnalyseTone(block, fullScale, window, 1);
    const ToneFigures b = AnalyseTone(block, fullScale, window, 1);
    if (!a.found || !b.found) return false;
    const double tolerance = 0.01;
    bool same =
        std::abs(a.fundamental.line - b.fundamental.line) < 1e-6 &&
        std::abs(a.snrDb - b.snrDb) < tolerance && std::abs(a.thdDb - b.thdDb) < tolerance &&
        std::abs(a.sinadDb - b.sinadDb) < tolerance && std::abs(a.sfdrDb - b.sfdrDb) < tolerance &&
        std::abs(a.fundamentalDbfs - b.fundamentalDbfs) < tolerance;
    for (size_t h = 0; h < a.harmonics.size(); ++h)
        same = same && a.harmonics[h].resolved == b.harmonics[h].resolved &&
               std::abs(PowerDbfs(a.harmonics[h].power, fullScale) -
                        PowerDbfs(b.harmonics[h].power, fullScale)) < tolerance;
    return same;
}

// The tone figures alone: today's and the program's, by window.
void BM_ToneFigures65536(benchmark::State& state) {
    const std::vector<double> block = ToneBlock();
    const auto window = static_cast<SpectrumWindow>(state.range(0));
    const ToneAnalyser analyse = AnalyserOf(static_cast<int>(state.range(1)));
    if (!SameToneFigures(block, window)) {
        state.SkipWithError("today's and the program's tone figures differ");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(analyse(block, 8388608.0, window, 1));
    state.SetLabel(std::string(ShapeOf(window).name) + ", " +
                   ImplementationName(static_cast<int>(state.range(1))));
    state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_ToneFigures65536)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kSpectrumWindowCount - 1, 1), {kToday, kNow}})
    ->Unit(benchmark::kMillisecond);

// The whole analysis of a 65536-sample block, step by step as ReCalADC runs it (averaging
// factor 1: grid, statistics, the added figures with spectrum and tone, the program's
// spectrum) through the same functions, with today's tone figures and with the program's:
// the two side by side. BM_StatisticsSpectrumAndToneFigures65536 times ReCalADC itself.
void BM_AnalysisWithToneFigures65536(benchmark::State& state) {
    constexpr size_t n = 65536;
    const std::vector<double> block = ToneBlock();
    const auto window = static_cast<SpectrumWindow>(state.range(0));
    const ToneAnalyser analyse = AnalyserOf(static_cast<int>(state.range(1)));
    std::vector<double> values(n), re(n), im(n), levels(n), cells(n), scaled(n);
    BlockInput input;
    input.window = window;
    bool found = true;
    for (auto _ : state) {
        double sum = 0.0;
        long double squares = 0.0L;
        for (size_t j = 0; j < n; ++j) {
            const double a = block[j];
            values[j] = a;
            re[j] = a;
            im[j] = -a;
            sum += a;
            squares += static_cast<long double>(a) * a;
            cells[j] = std::floor(a);
        }
        benchmark::DoNotOptimize(squares);
        const double mean = sum / n;
        input.original = ComputeStatistics({cells, values, mean, 1, 24, 1.0, 1.2});
        for (size_t j = 0; j < n; ++j) scaled[j] = values[j] / 1;
        input.x = scaled;
        input.raw = values;
        const BlockFigures figures = ComputeBlockFigures(input, analyse);
        found = found && figures.tone.found;
        ProgramSpectrum(values, re, im, levels);
        benchmark::DoNotOptimize(levels.data());
    }
    if (!found) state.SkipWithError("the tone was not found");
    state.SetLabel(std::string(ShapeOf(window).name) + ", " +
                   ImplementationName(static_cast<int>(state.range(1))));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(BM_AnalysisWithToneFigures65536)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kSpectrumWindowCount - 1, 1), {kToday, kNow}})
    ->Unit(benchmark::kMillisecond);

// Building the 65536-point plan (twiddles and bit reversal), done once per length.
void BM_FftPlan65536(benchmark::State& state) {
    for (auto _ : state) {
        Fft fft(65536);
        benchmark::DoNotOptimize(&fft);
    }
}
BENCHMARK(BM_FftPlan65536)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace dmm

BENCHMARK_MAIN();
