#include "gui/app/bench_session.h"

#include "core/app/bench_directory.h"
#include "platform/system_board_bus.h"
#include "sim/sim_bench.h"

namespace dmm::gui {

BenchSession::BenchSession(const BenchOptions& options, const QString& executableDir) {
    const BenchDirectoryChoice dir = ResolveBenchDirectory(options.dir, executableDir);
    benchDir_ = dir.path;
    error_ = dir.error;

    BoardBus* bus = nullptr;
    if (options.sim || options.simHid) {
        simBench_ = std::make_unique<sim::SimBench>(
            clock_, options.simHid ? sim::SimBench::Personality::Hid : sim::SimBench::Personality::Bulk);
        bus = &simBench_->bus();
    } else {
        systemBus_ = std::make_unique<platform::SystemBoardBus>();
        bus = systemBus_.get();
    }
    bench_ = std::make_unique<Bench>(*bus, clock_, hooks_);
    thread_ = std::make_unique<BenchThread>(*bench_);
}

BenchSession::~BenchSession() { thread_->Stop(); }

}  // namespace dmm::gui
