#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "core/app/bench.h"
#include "core/link/clock.h"
#include "core/link/interface_kind.h"
#include "gui/app/gui_ui_hooks.h"
#include "sim/sim_options.h"

#include "platform/termios_serial_port.h"

namespace dmm::sim {
class SimBench;
class SimInstruments;
class SimulatedBench;
}  // namespace dmm::sim

namespace dmm::gui {

struct BenchOptions {
    bool sim = false;
    bool simHid = false;
    QString dir;
    // The chip on the simulated board (sim::MakeBenchChip's names; empty: the demo DMM chip).
    QString simChip;
    // The interface kind of this run: over the settings file's, until the setup dialog
    // chooses another.
    std::optional<InterfaceKind> kind;
    sim::SimBenchOptions simExtras;  // a tone and harmonics on the simulated bench
    double simSpeed = 1;             // the simulated bench's clock this many times faster
};

// Everything one run of dmmbench works with: the bench directory, the clock, the board
// bus and the parallel ports (real or simulated), the bench and its thread.
class BenchSession {
  public:
    BenchSession(const BenchOptions& options, const QString& executableDir);
    ~BenchSession();

    Bench& bench() { return *bench_; }
    GuiUiHooks& hooks() { return hooks_; }
    const QString& benchDir() const { return benchDir_; }
    const QString& error() const { return error_; }
    // What of the simulated bench did not come out as asked (the chip laid out as plain
    // memory, no instruments, ...); empty when all did.
    const QString& simNote() const { return simNote_; }
    // The simulated board and instruments; null without --sim.
    sim::SimBench* simBench();
    sim::SimInstruments* simInstruments();

    // Starts the bench thread; on the simulated bench the instruments are identified at
    // their simulated ports, as a bench that was set up before.
    void Start();
    void Stop() { thread_->Stop(); }

  private:
    QString benchDir_;
    QString error_;
    QString simNote_;
    std::unique_ptr<Clock> clock_;
    GuiUiHooks hooks_;
    std::unique_ptr<sim::SimulatedBench> sim_;
    std::unique_ptr<BoardBus> systemBus_;
    platform::SystemSerialPorts serialPorts_;
    std::unique_ptr<ParallelPortBus> systemPorts_;
    std::unique_ptr<Bench> bench_;
    std::unique_ptr<BenchThread> thread_;
};

}  // namespace dmm::gui
