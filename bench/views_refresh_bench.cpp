// How long do the register and RAM panels take to take in a new register image and
// repaint? "Read RAM" changes the first 64 bytes of the image: every cell of the RAM
// panel's first four rows and most registers of the demo DMM chip change at once, and
// both panels redraw what changed. A single register write changes one byte. The panels
// run offscreen with the demo chip loaded; the figure includes painting.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "core/app/bench.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/views/panel_chip.h"
#include "core/views/ram_panel_state.h"
#include "core/views/register_panel_state.h"
#include "gui/views/t_vz_ram.h"
#include "gui/views/t_vz_reg2.h"
#include "sim/sim_bench.h"

namespace {

struct Panels {
    dmm::SystemClock clock;
    dmm::sim::SimBench simBench{clock};
    dmm::NullUiHooks hooks;
    dmm::Bench bench{simBench.bus(), clock, hooks};
    dmm::gui::TVz_RAM ram{bench};
    dmm::gui::TVz_Reg2 reg{bench};

    Panels() {
        // The bench object stays on this thread: its signals reach the panels directly.
        bench.benchDir = dmm::ShippedDataDirectory();
        bench.LoadSelectedChip();  // the demo DMM chip
        ram.show();
        reg.show();
        QCoreApplication::processEvents();
    }
    // Delivers an image the way the bench publishes it, then lets the panels paint.
    void Publish(const dmm::RegisterImageSnapshot& image) {
        emit bench.RegisterImageChanged(image);
        QCoreApplication::processEvents();
    }
};

void BM_ReadRamRefreshOfBothPanels(benchmark::State& state) {
    Panels panels;
    dmm::RegisterImageSnapshot image;
    uint8_t value = 0;
    for (auto _ : state) {
        ++value;
        for (int a = 0; a < 64; ++a)
            image.bytes[static_cast<size_t>(a)] = static_cast<uint8_t>(value + a);
        panels.Publish(image);
    }
}
BENCHMARK(BM_ReadRamRefreshOfBothPanels)->Unit(benchmark::kMicrosecond);

void BM_OneRegisterWriteRefreshOfBothPanels(benchmark::State& state) {
    Panels panels;
    dmm::RegisterImageSnapshot image;
    for (auto _ : state) {
        ++image.bytes[0x22];
        panels.Publish(image);
    }
}
BENCHMARK(BM_OneRegisterWriteRefreshOfBothPanels)->Unit(benchmark::kMicrosecond);

// The same Read RAM refresh without widgets: what the panels compute before they paint.
void BM_ReadRamPanelStatesOnly(benchmark::State& state) {
    dmm::TChipModel model;
    if (!dmm::LoadChipDescriptionFile(dmm::ShippedDataDirectory() + "/INCLUDE/VZ6401.INC", model)) {
        state.SkipWithError("no demo chip description");
        return;
    }
    const auto chip = dmm::PanelChip::FromModel(model);
    dmm::RegisterPanelState reg;
    dmm::RamPanelState ram;
    reg.SetChip(chip);
    ram.SetChip(chip);
    dmm::RegisterImageBytes image{};
    uint8_t value = 0;
    for (auto _ : state) {
        ++value;
        for (int a = 0; a < 64; ++a)
            image[static_cast<size_t>(a)] = static_cast<uint8_t>(value + a);
        benchmark::DoNotOptimize(ram.Refresh(image, false));
        reg.Refresh(image, false);
    }
}
BENCHMARK(BM_ReadRamPanelStatesOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
