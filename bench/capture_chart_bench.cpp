// Does drawing slow a capture? The analysis window captures 65536 samples through the
// board's ADC stream, once with the chart shown (it follows the capture at display rate)
// and once with the grid shown. The simulated converter delivers 16384 results a second,
// so a capture takes about four seconds, as on a real chip, and the chart redraws
// throughout it: the ratio of the two times is what drawing costs the capture, and
// "redraws" counts how often the chart was drawn.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <chrono>
#include <random>

#include "core/app/bench.h"
#include "gui/app/bench_session.h"
#include "gui/app/t_main_panel.h"
#include "gui/measure/adc_chart_view.h"
#include "gui/measure/t_anx_adc.h"
#include "qcustomplot.h"
#include "sim/sim_bench.h"
#include "sim/sim_chip.h"

namespace {

// A converter that delivers noise around a level at a fixed rate of results per second.
class PacedStreamChip final : public dmm::sim::SimChip {
  public:
    static constexpr double kResultsPerSecond = 16384.0;

    void SetStream(bool enabled, uint8_t) override {
        if (enabled) start_ = std::chrono::steady_clock::now(), delivered_ = 0;
    }
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const auto due = static_cast<int64_t>(seconds * kResultsPerSecond);
        const int n = static_cast<int>(std::min<int64_t>(max, due - delivered_));
        delivered_ += n;
        std::normal_distribution<double> noise(1000.0, 3.0);
        for (int k = 0; k < n; ++k) {
            const auto v = static_cast<int32_t>(noise(random_));
            records[static_cast<size_t>(k)] = {static_cast<uint8_t>(v),
                                               static_cast<uint8_t>(v >> 8),
                                               static_cast<uint8_t>(v >> 16), 0, 0};
        }
        return n;
    }

  private:
    std::mt19937 random_{7};
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    int64_t delivered_ = 0;
};

void CaptureWithChart(benchmark::State& state, bool chartShown) {
    dmm::SystemClock clock;
    dmm::sim::SimBench simBench(clock, std::make_unique<PacedStreamChip>());
    dmm::NullUiHooks hooks;
    dmm::Bench bench(simBench.bus(), clock, hooks);
    dmm::BenchThread thread(bench);
    thread.Start();
    {
        dmm::gui::TMainPanel panel(bench);
        auto* window = new dmm::gui::TAnxADC(bench, panel);
        panel.SetChild("TAnxADC", window);
        panel.show();
        panel.ShowChild(window, 7, true);
        window->NPointIndex->setCurrentIndex(10);  // 65536
        window->ENInterrupt->setChecked(true);
        if (chartShown) window->ShowChartClick();
        int redraws = 0;
        QObject::connect(window->Chart1->plot(), &QCustomPlot::afterReplot, [&] { ++redraws; });
        bench.RunAndWait([](dmm::Bench& b) {
            uint8_t status = 0;
            b.link().OpenBoard(status);
        });
        for (auto _ : state) {
            bool done = false;
            QObject::connect(
                window, &dmm::gui::TAnxADC::CaptureFinished, window, [&] { done = true; },
                Qt::SingleShotConnection);
            QElapsedTimer timer;
            timer.start();
            window->CatchADC1Click();
            while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
            state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        }
        state.counters["samples/s"] =
            benchmark::Counter(65536.0 * state.iterations(), benchmark::Counter::kIsRate);
        state.counters["redraws"] = benchmark::Counter(redraws, benchmark::Counter::kAvgIterations);
        panel.close();
    }
    thread.Stop();
}

void BM_StreamCapture65536_ChartShown(benchmark::State& state) {
    CaptureWithChart(state, true);
}
void BM_StreamCapture65536_GridShown(benchmark::State& state) {
    CaptureWithChart(state, false);
}
BENCHMARK(BM_StreamCapture65536_ChartShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_StreamCapture65536_GridShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
