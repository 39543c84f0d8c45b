#include "gui/app/bench_session.h"

#include "core/app/bench_directory.h"
#include "platform/ppdev_port_bus.h"
#include "platform/system_board_bus.h"
#include "sim/demo_step_tables.h"
#include "sim/simulated_bench.h"

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
        const QString demo = dir.filled && !options.dir.isEmpty()
                                 ? sim::ProvideDemoStepTables(benchDir_)
                                 : QString();
        if (!demo.isEmpty()) qInfo().noquote() << "dmmbench:" << demo;
        sim::SimulatedBenchRequest request;
        request.benchDir = benchDir_;
        request.chipName = options.simChip.toStdString();
        request.hid = options.simHid;
        request.extras = options.simExtras;
        std::vector<std::string> notes;
        sim_ = std::make_unique<sim::SimulatedBench>(static_cast<sim::SimBenchClock&>(*clock_),
                                                     request, notes);
        for (const std::string& note : notes) {
            const QString text = QString::fromStdString(note);
            qWarning().noquote() << "dmmbench:" << text;
            simNote_ += (simNote_.isEmpty() ? QString() : QStringLiteral("; ")) + text;
        }
        bus = &sim_->bench().bus();
        ports = &sim_->bench().parallelPort();
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
    if (sim_) {
        serial.SetPortSource([sim = &sim_->instruments()] {
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

sim::SimBench* BenchSession::simBench() {
    return sim_ ? &sim_->bench() : nullptr;
}

sim::SimInstruments* BenchSession::simInstruments() {
    return sim_ ? &sim_->instruments() : nullptr;
}

BenchSession::~BenchSession() {
    thread_->Stop();
}

void BenchSession::Start() {
    thread_->Start();
}

}  // namespace dmm::gui
