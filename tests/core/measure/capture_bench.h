#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "core/app/bench_core.h"
#include "core/measure/adc_analysis.h"
#include "scripted_adc_chip.h"
#include "sim/sim_board.h"
#include "sim/sim_bus.h"
#include "support/recording_ui_hooks.h"
#include "support/sim_fixture.h"

namespace dmm::test {

inline constexpr uint16_t kFlagRegister = 0x0E;

// A bench on the simulated board with a scripted converter, on virtual time, and the
// analysis on top of it. The board is open and the interface kind is DMM.
struct CaptureBench {
    explicit CaptureBench(CaptureSource source, InterfaceKind kind = InterfaceKind::DMM)
        : chip(kFlagRegister, source),
          board(chip, clock),
          core(BusWith(bus, board), clock),
          analysis(core, host, ui) {
        core.target().interfaceKind = kind;
        uint8_t status = 0;
        core.link().OpenBoard(status);
        core.link().SetTrace(&trace);
        CaptureSettings s;
        s.flags.address = kFlagRegister;
        Apply(s);
    }

    // Applies settings, keeping the flag register of the scripted chip.
    void Apply(CaptureSettings s) {
        s.flags.address = kFlagRegister;
        analysis.SetSettings(s);
    }
    CaptureSettings Settings(int pointIndex, int scaleItem, bool stream) const {
        CaptureSettings s = analysis.settings();
        s.NPointIndex = pointIndex;
        s.TXScale = scaleItem;
        s.ENInterrupt = stream;
        return s;
    }
    std::vector<double> Cells() const {
        std::vector<double> out;
        for (int i = 0; i < analysis.cellCount(); ++i) out.push_back(analysis.Cell(i));
        return out;
    }

    static sim::SimBus& BusWith(sim::SimBus& bus, sim::SimBoard& board) {
        bus.AddBulk(0, board);
        return bus;
    }

    VirtualClock clock;
    ScriptedAdcChip chip;
    sim::SimBoard board;
    sim::SimBus bus;
    BenchCore core;
    RecordingTrace trace;
    StandaloneCaptureHost host;
    RecordingUiHooks ui;
    AdcAnalysis analysis;
};

// Six results the converter sends before the ones a test cares about.
inline std::vector<uint64_t> WithSettlingResults(const std::vector<uint64_t>& raws) {
    std::vector<uint64_t> out(6, 0x7FFFFF);
    out.insert(out.end(), raws.begin(), raws.end());
    return out;
}

}  // namespace dmm::test
