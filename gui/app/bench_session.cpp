#include "gui/app/bench_session.h"

#include "core/app/bench_directory.h"
#include "platform/ppdev_port_bus.h"
#include "platform/system_board_bus.h"
#include "sim/bench_chips.h"
#include "sim/demo_step_tables.h"
#include "sim/sim_bench.h"
#include "sim/sim_bench_clock.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_instruments.h"

#include <QDebug>

namespace dmm::gui {

BenchSession::BenchSession(const BenchOptions& options, const QString& executableDir)
    : clock_(options.sim || options.simHid
                 ? std::unique_ptr<Clock>(std::make_unique<sim::SimBenchClock>(options.simSpeed))
                 : std::make_unique<SystemClock>()) {
    const BenchDirectoryChoice dir = ResolveBenchDirectory(options.dir, executableDir);
    benchDir_ = dir.path;
    error_ = dir.error;

    BoardBus* bus = nullptr;
    ParallelPortBus* ports = nullptr;
    if (options.sim || options.simHid) {
        // The simulated chip is laid out by the same description file the program loads.
        std::string why;
        auto chip = sim::MakeBenchChip(benchDir_, options.simChip.toStdString(), &why);
        if (!why.empty())
            simNote_ = QString::fromStdString("simulated chip is plain memory: " + why);
        const QString demo = dir.filled && !options.dir.isEmpty()
                                 ? sim::ProvideDemoStepTables(benchDir_)
                                 : QString();
        if (!demo.isEmpty()) qInfo().noquote() << "dmmbench:" << demo;
        // The simulators live on the bench's own time; the program reads the clock that
        // makes them answer.
        auto& benchClock = static_cast<sim::SimBenchClock&>(*clock_);
        simBench_ = std::make_unique<sim::SimBench>(
            benchClock.bench(), std::move(chip),
            options.simHid ? sim::SimBench::Personality::Hid : sim::SimBench::Personality::Bulk);
        simBench_->UseRealisticLatency();
        std::string error;
        if (!sim::ApplySimOptions(*simBench_, options.simExtras, error))
            simNote_ = QString::fromStdString(error);
        bus = &simBench_->bus();
        ports = &simBench_->parallelPort();
        simInstruments_ =
            std::make_unique<sim::SimInstruments>(benchClock.bench(), &simBench_->board());
        if (!simInstruments_->ok())
            simNote_ =
                QString::fromStdString("no simulated instruments: " + simInstruments_->error());
        simInstruments_->ScheduleFaults(options.simExtras.timedFaults);
        sim::RunOnClock(*simInstruments_, benchClock);
    } else {
        systemBus_ = std::make_unique<platform::SystemBoardBus>();
        bus = systemBus_.get();
        systemPorts_ = std::make_unique<platform::PpdevPortBus>();
        ports = systemPorts_.get();
    }
    bench_ = std::make_unique<Bench>(*bus, *clock_, hooks_, ports, &serialPorts_);
    bench_->benchDir = benchDir_;
    if (options.kind) {
        bench_->commandLine.interfaceKind = static_cast<int>(*options.kind);
        bench_->target().interfaceKind = *options.kind;
        bench_->analysis().TXScaleChange();  // its bit count depends on the kind
    }
    // The setup dialog lists the ports again whenever it opens.
    SerialChannel& serial = bench_->core().serial();
    if (simInstruments_) {
        serial.SetPortSource([sim = simInstruments_.get()] {
            return SerialChannel::PortListing{sim->Ports(), sim->Choices()};
        });
        serial.Rescan();
        // The simulated meters are in use from the start, as if the setup dialog had
        // selected their ports, each at its own scan period (100 ms for the first, 5 s for
        // the sixth).
        bench_->Post([](Bench& b) {
            for (int k = 0; k < kMeterChannelCount; ++k) {
                b.meterScan().SetScanPeriod(k, k);
                b.meterScan().Select(k, sim::SimInstruments::MeterCom(k));
            }
        });
    } else {
        serial.SetPortSource([dir = benchDir_] {
            return SerialChannel::PortListing{platform::ListSystemSerialPorts(),
                                              ReadComPortChoices(dir, nullptr)};
        });
        serial.Rescan();
    }
    thread_ = std::make_unique<BenchThread>(*bench_);
}

BenchSession::~BenchSession() {
    thread_->Stop();
    if (simInstruments_) sim::StopRunningOnClock(*simInstruments_, *clock_);
}

void BenchSession::Start() {
    thread_->Start();
}

}  // namespace dmm::gui
