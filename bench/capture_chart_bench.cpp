// Does drawing slow a capture? The analysis window captures 65536 samples through the
// board's ADC stream, once with the chart shown (it follows the capture at display rate)
// and once with the grid shown. The chip answers every stream read with a full reply, so
// the figure is the host's own capture rate.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <random>

#include "core/app/bench.h"
#include "gui/app/bench_session.h"
#include "gui/app/t_main_panel.h"
#include "gui/measure/t_anx_adc.h"
#include "sim/sim_bench.h"
#include "sim/sim_chip.h"

namespace {

// A converter that always has twelve fresh samples of noise around a level.
class InstantStreamChip final : public dmm::sim::SimChip {
  public:
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
        std::normal_distribution<double> noise(1000.0, 3.0);
        for (int k = 0; k < max; ++k) {
            const auto v = static_cast<int32_t>(noise(random_));
            records[static_cast<size_t>(k)] = {static_cast<uint8_t>(v),
                                               static_cast<uint8_t>(v >> 8),
                                               static_cast<uint8_t>(v >> 16), 0, 0};
        }
        return max;
    }

  private:
    std::mt19937 random_{7};
};

void CaptureWithChart(benchmark::State& state, bool chartShown) {
    dmm::SystemClock clock;
    dmm::sim::SimBench simBench(clock, std::make_unique<InstantStreamChip>());
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
    ->Iterations(3);
BENCHMARK(BM_StreamCapture65536_GridShown)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
