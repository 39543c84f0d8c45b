#pragma once

#include <QTemporaryDir>

#include <memory>

#include "gui/app/bench_session.h"
#include "gui/app/t_main_panel.h"
#include "gui/app/tool_windows.h"
#include "sim/sim_bench.h"
#include "sim/sim_instruments.h"

namespace dmm::test {

// The options of a program started on a bench directory that an earlier run may have
// left settings and window places in.
inline gui::BenchOptions OnBenchDirectory(const QString& dir) {
    gui::BenchOptions options;
    options.dir = dir;
    return options;
}

// The whole program on the simulated bench, as main() starts it: a fresh bench
// directory, the main window with every tool window, the bench thread running and the
// activation step done (the demo DMM chip loaded). Closed cleanly when destroyed.
class SimulatedProgram {
  public:
    SimulatedProgram() : SimulatedProgram(gui::BenchOptions{}) {}
    // The same with options of its own (the simulated chip, the interface kind); without
    // a dir, a fresh one; with one, the program again on what an earlier run left there.
    explicit SimulatedProgram(gui::BenchOptions options) {
        options.sim = true;
        if (options.dir.isEmpty()) options.dir = dir_.path();
        benchDir_ = options.dir;
        session_ = std::make_unique<gui::BenchSession>(options, QString());
        panel_ = std::make_unique<gui::TMainPanel>(session_->bench());
        session_->hooks().SetMainPanel(panel_.get());
        gui::InstallToolWindows(*panel_, session_->bench());
        session_->Start();
        panel_->show();
        panel_->FormActivate();
    }
    ~SimulatedProgram() {
        panel_->close();
        session_->Stop();
    }
    SimulatedProgram(const SimulatedProgram&) = delete;
    SimulatedProgram& operator=(const SimulatedProgram&) = delete;

    Bench& bench() { return session_->bench(); }
    sim::SimBench& sim() { return *session_->simBench(); }
    sim::SimInstruments& instruments() { return *session_->simInstruments(); }
    gui::TMainPanel& panel() { return *panel_; }
    QString benchDir() const { return benchDir_; }

  private:
    QTemporaryDir dir_;
    QString benchDir_;
    std::unique_ptr<gui::BenchSession> session_;
    std::unique_ptr<gui::TMainPanel> panel_;
};

}  // namespace dmm::test
