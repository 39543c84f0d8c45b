#include "cli/session.h"

#include <filesystem>
#include <iostream>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"

#include "cli/verb.h"
#include "core/link/number_text.h"
#include "platform/ppdev_port_bus.h"
#include "platform/system_board_bus.h"
#include "sim/bench_chips.h"
#include "sim/sim_bench.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_options.h"

namespace dmm::cli {

std::string HexBytes(const uint8_t* data, size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        if (i) text += ' ';
        text += HexStr(data[i], 2);
    }
    return text;
}

class Session::TracePrinter final : public PacketTrace {
  public:
    explicit TracePrinter(std::ostream& out) : out_(out) {}
    void OnPacket(bool outgoing, const uint8_t* data, size_t n) override {
        out_ << (outgoing ? "> " : "< ") << HexBytes(data, n) << '\n';
    }

  private:
    std::ostream& out_;
};

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err)
    : options_(options), out_(out), err_(err), clock_(std::make_unique<SystemClock>()) {
    const BenchDirectoryChoice dir =
        ResolveBenchDirectory(QString::fromStdString(options.dir), ExecutableDirectory());
    if (dir.error.isEmpty())
        benchDir_ = dir.path.toStdString();
    else
        err_ << "dmmctl: " << dir.error.toStdString() << '\n';
    if (!dir.notice.isEmpty()) err_ << "dmmctl: " << dir.notice.toStdString() << '\n';

    BoardBus* bus = nullptr;
    ParallelPortBus* ports = nullptr;
    if (options.sim) {
        // The simulated chip is laid out by the same description file the program loads.
        std::string why;
        auto chip = sim::MakeBenchChip(QString::fromStdString(benchDir_), options.simChip, &why);
        if (!why.empty()) err_ << "dmmctl: simulated chip is plain memory: " << why << '\n';
        simBench_ = std::make_unique<sim::SimBench>(
            *clock_, std::move(chip),
            options.hid ? sim::SimBench::Personality::Hid : sim::SimBench::Personality::Bulk);
        simBench_->UseRealisticLatency();
        // The options were checked when the command line was read.
        sim::SimBenchOptions extras;
        std::string error;
        if (!options.simTone.empty()) extras.tone = sim::ParseSimTone(options.simTone, error);
        if (!options.simHarmonics.empty())
            extras.harmonicsDbc = sim::ParseHarmonics(options.simHarmonics, error);
        if (!sim::ApplySimOptions(*simBench_, extras, error)) err_ << "dmmctl: " << error << '\n';
        bus = &simBench_->bus();
        ports = &simBench_->parallelPort();
    } else {
        systemBus_ = std::make_unique<platform::SystemBoardBus>();
        bus = systemBus_.get();
        systemPorts_ = std::make_unique<platform::PpdevPortBus>();
        ports = systemPorts_.get();
    }
    core_ = std::make_unique<BenchCore>(*bus, *clock_, ports);
    if (auto kind = InterfaceKindFromName(options.kind)) core_->target().interfaceKind = *kind;
    int64_t base = 0;
    if (ParseCliNumber(options.lpt, base) && IsLptPortBase(static_cast<uint16_t>(base)))
        core_->parallel().PortBase = static_cast<uint16_t>(base);
    core_->parallel().SetStatusHandler([this](const std::string& text, bool failure) {
        if (failure) err_ << "dmmctl: " << text << '\n';
    });
    core_->chip().Photo = options.photo;
    if (options.trace) {
        tracePrinter_ = std::make_unique<TracePrinter>(out_);
        core_->link().SetTrace(tracePrinter_.get());
        core_->parallel().SetTrace(tracePrinter_.get());
    }
}

Session::~Session() {
    // Leave the board as the GUI leaves it: out of DMM mode, connection given up.
    if (core_->target().devc.connected) {
        if (core_->target().interfaceKind == InterfaceKind::DMM) core_->link().SetDmmMode(false);
        core_->link().ReleaseBoard();
    }
}

bool Session::Fail(const std::string& message) {
    err_ << "dmmctl: " << message << '\n';
    return false;
}

bool Session::ChipFail(const std::string& what) {
    const std::string& why = core_->chip().LastFailure();
    if (!why.empty()) return Fail(what + ": " + why);
    if (!core_->target().devc.connected && UsesBoard(core_->target().interfaceKind))
        return Fail(what + ": the board link was lost");
    return Fail(what + ": the chip did not answer");
}

bool Session::LoadChip(int index) {
    core_->target().chipIndex = static_cast<uint16_t>(index);
    const QString include = IncludeDirectory(QString::fromStdString(benchDir_));
    if (GetSELUP(include, core_->chipModel(), core_->chip()) == 1) return true;
    return Fail("chip " + std::to_string(index) +
                ": nothing loaded (the chip list, its line for this chip or the description file "
                "is missing in " +
                include.toStdString() + ")");
}

bool Session::EnsureChip() {
    if (core_->chipModel().loadCount > 0) return true;
    return LoadChip(core_->target().chipIndex);
}

bool Session::EnsureChipLink() {
    if (core_->target().interfaceKind != InterfaceKind::Parallel) return EnsureBoard();
    ParallelLink& parallel = core_->parallel();
    return parallel.IsOpen() || parallel.ParInit();
}

bool Session::EnsureBoard() {
    if (core_->target().devc.connected) return true;
    uint8_t status = 0;
    if (core_->link().OpenBoard(status)) return true;
    if (core_->target().devc.connected) return Fail("the board answered with a wrong signature");
    return Fail(options_.sim ? "the simulated board did not answer"
                             : "no board found (bulk 0547:1004 or HID 04d8:2008); see README, "
                               "\"Using a real board\"");
}

}  // namespace dmm::cli
