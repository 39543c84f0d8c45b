#include "headless/headless_bench.h"

#include "core/app/user_numbers.h"

#include "core/app/bench_directory.h"
#include "core/app/bench_settings.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/chip_port.h"
#include "headless/calibration_operations.h"
#include "headless/counter_operation.h"
#include "headless/number_rules.h"
#include "platform/ppdev_port_bus.h"
#include "platform/system_board_bus.h"
#include "platform/termios_serial_port.h"
#include "sim/bench_chips.h"
#include "sim/demo_step_tables.h"
#include "sim/sim_bench_clock.h"
#include "sim/sim_options.h"
#include "sim/simulated_bench.h"

namespace dmm::headless {
namespace {

// The settings the options give; without a settings file to fall back on, the options'
// defaults too.
CommandLineSettings GivenSettings(const BenchOptions& options, bool defaultsToo) {
    CommandLineSettings given;
    if (options.kindGiven || defaultsToo) given.interfaceKind = static_cast<int>(options.kind);
    if ((options.lptGiven || defaultsToo) && IsLptPortBase(options.lptBase))
        given.CLPT = LptItemIndex(options.lptBase);
    if (options.photoGiven || defaultsToo) given.Photo = options.photo;
    given.serialPortIndex = ComIndexFromName(options.com);
    if ((options.baudGiven || defaultsToo) && BaudIndexOf(options.baud) >= 0)
        given.serialBaudIndex = BaudIndexOf(options.baud);
    if (options.parityGiven || defaultsToo) given.serialParityIndex = options.parityIndex;
    return given;
}

// The simulated bench's options beyond --sim, read from their texts.
sim::SimBenchOptions SimExtras(const BenchOptions& options, std::string& error) {
    sim::SimBenchOptions extras;
    if (!options.simTone.empty()) extras.tone = sim::ParseSimTone(options.simTone, error);
    if (!options.simHarmonics.empty())
        extras.harmonicsDbc = sim::ParseHarmonics(options.simHarmonics, error);
    if (!options.simRx.empty()) extras.externalOhms = sim::ParseSimResistor(options.simRx, error);
    extras.noiseless = options.simNoiseless;
    if (!options.simSeed.empty()) extras.seed = sim::ParseSimSeed(options.simSeed, error);
    for (const std::string& fault : options.simFaults) sim::ParseSimFault(fault, extras, error);
    return extras;
}

}  // namespace

std::optional<int> ParityIndexFromName(const std::string& name) {
    if (name == "none") return 0;
    if (name == "even") return 1;
    if (name == "odd") return 2;
    return std::nullopt;
}

Result<InterfaceKind> InterfaceKindNamed(const std::string& name) {
    if (const auto kind = InterfaceKindFromName(name)) return *kind;
    return Refused("no interface kind " + name + " (rs232, spi, special, parallel, uart or dmm)");
}

Result<int> ParityNamed(const std::string& name) {
    if (const auto parity = ParityIndexFromName(name)) return *parity;
    return Refused("no parity " + name + " (none, even or odd)");
}

Result<uint16_t> LptBaseOf(int64_t base) {
    if (base >= 0 && base <= 0xFFFF && IsLptPortBase(static_cast<uint16_t>(base)))
        return static_cast<uint16_t>(base);
    return Refused("the parallel port base must be 0x378, 0x278 or 0x3BC");
}

Done CheckBenchOptions(const BenchOptions& options) {
    if (!(options.simSpeed >= 1 && options.simSpeed <= kMaxSimSpeed))
        return Refused("the simulated bench's speed must be from 1 to 1000, not " +
                       QString::number(options.simSpeed).toStdString());
    if (!sim::IsSimulatedChipName(options.simChip))
        return Refused("no simulated chip " + options.simChip + " (VZ6401 or RX405)");
    if (!IsLptPortBase(options.lptBase))
        return Refused("the parallel port base must be 0x378, 0x278 or 0x3BC");
    if (options.parityIndex < 0 || options.parityIndex > 2)
        return Refused("the parity must be none, even or odd");
    if (BaudIndexOf(options.baud) < 0)
        return Refused("no such baud rate on the chip link: " + std::to_string(options.baud));
    if (options.simLatencyMs && (*options.simLatencyMs < kSimLatencyRule.low ||
                                 *options.simLatencyMs > kSimLatencyRule.high))
        return Refused("the simulated board's latency must be from 0 to 1000 ms");
    std::string refusal;
    if (!options.com.empty() && !ReadComIndex(options.com, &refusal)) return Refused(refusal);
    std::string error;
    SimExtras(options, error);
    if (!error.empty()) return Refused(error);
    return {};
}

HeadlessBench::HeadlessBench(const BenchOptions& options, RunHooks& hooks,
                             const QString& programDir, const QString& shippedData)
    : options_(options),
      hooks_(hooks),
      clock_(options.sim
                 ? std::unique_ptr<Clock>(std::make_unique<sim::SimBenchClock>(options.simSpeed))
                 : std::make_unique<SystemClock>()),
      serialOpener_(std::make_unique<platform::SystemSerialPorts>()) {
    const BenchDirectoryChoice dir =
        ResolveBenchDirectory(QString::fromStdString(options.dir), programDir,
                              shippedData.isEmpty() ? ShippedDataDirectory() : shippedData);
    if (dir.error.isEmpty()) {
        benchDir_ = dir.path.toStdString();
    } else {
        dirError_ = dir.error.toStdString();
        hooks_.Say(dirError_);
    }
    if (!dir.notice.isEmpty()) hooks_.Say(dir.notice.toStdString());

    BoardBus* bus = nullptr;
    ParallelPortBus* ports = nullptr;
    if (options.sim) {
        // Only a bench directory named and filled just now gets the demo step tables: one
        // the user set up keeps its quiet start.
        const QString demo = dir.filled && !options.dir.empty()
                                 ? sim::ProvideDemoStepTables(QString::fromStdString(benchDir_))
                                 : QString();
        if (!demo.isEmpty()) hooks_.Say(demo.toStdString());
        // The front end checked the options (CheckBenchOptions).
        std::string error;
        sim::SimulatedBenchRequest request{QString::fromStdString(benchDir_), options.simChip,
                                           options.hid, options.simLatencyMs,
                                           SimExtras(options, error), options.simLog};
        std::vector<std::string> notes;
        sim_ = std::make_unique<sim::SimulatedBench>(static_cast<sim::SimBenchClock&>(*clock_),
                                                     request, notes);
        for (const std::string& note : notes) hooks_.Say(note);
        bus = &sim_->bench().bus();
        ports = &sim_->bench().parallelPort();
    } else {
        systemBus_ = std::make_unique<platform::SystemBoardBus>();
        bus = systemBus_.get();
        systemPorts_ = std::make_unique<platform::PpdevPortBus>();
        ports = systemPorts_.get();
    }
    core_ = std::make_unique<BenchCore>(*bus, *clock_, ports, serialOpener_.get());
    core_->serial().SetMap(ComPortMap::Build(SerialPorts(), LoadComChoices()));
    // A port that vanished is looked for again in a fresh listing.
    core_->serial().SetPortSource([this] {
        return SerialChannel::PortListing{SerialPorts(), LoadComChoices()};
    });
    instruments_ = std::make_unique<Instruments>(core_->serial(), *clock_, hooks_);
    core_->chip().rs232().OnStatus = [this](const std::string& text) {
        if (!text.empty()) hooks_.Say("chip link: " + text);
    };
    // The settings the GUI left, then what the caller says on top of them.
    if (!benchDir_.empty()) settings_ = ReadBenchSettings(QString::fromStdString(benchDir_));
    VzAdcConfig bench;
    if (settings_)
        bench = *settings_;
    else
        TakeBenchSettings(*core_, bench);
    OverrideByCommandLine(bench, GivenSettings(options, !settings_));
    ApplyBenchSettings(*core_, bench);
    core_->parallel().SetStatusHandler([this](const std::string& text, bool failure) {
        if (failure) hooks_.Say(text);
    });
}

sim::SimBench* HeadlessBench::simBench() {
    return sim_ ? &sim_->bench() : nullptr;
}

sim::SimInstruments* HeadlessBench::simInstruments() {
    return sim_ ? &sim_->instruments() : nullptr;
}

HeadlessBench::~HeadlessBench() {
    calibration.reset();
    counter.reset();
    // The instruments stay as the operations left them: a script drives them step by step
    // over several runs.
    instruments_.reset();
    // Leave the board as the GUI leaves it: out of DMM mode, connection given up.
    if (core_->target().devc.connected) {
        if (core_->target().interfaceKind == InterfaceKind::DMM) core_->link().SetDmmMode(false);
        core_->link().ReleaseBoard();
    }
}

void HeadlessBench::SetTrace(PacketTrace* trace) {
    core_->link().SetTrace(trace);
    core_->parallel().SetTrace(trace);
}

QString HeadlessBench::SettingsPath() const {
    return benchDir_.empty() ? QString() : SettingsFilePath(QString::fromStdString(benchDir_));
}

Failure HeadlessBench::ChipFailure(const std::string& what) {
    const std::string& why = core_->chip().LastFailure();
    if (!why.empty()) return LinkFailure(what + ": " + why);
    if (!core_->target().devc.connected && UsesBoard(core_->target().interfaceKind))
        return LinkFailure(what + ": the board link was lost");
    return LinkFailure(what + ": the chip did not answer");
}

Done HeadlessBench::LoadChip(int index) {
    if (index < 0 || index > 0xFFFF) return Refused("INDEX must be 0..65535");
    core_->target().chipIndex = static_cast<uint16_t>(index);
    const QString include = IncludeDirectory(QString::fromStdString(benchDir_));
    if (GetSELUP(include, core_->chipModel(), core_->chip()) == 1) return {};
    return Failure{FailureKind::Failed,
                   "chip " + std::to_string(index) +
                       ": nothing loaded (the chip list, its line for this chip or the "
                       "description file is missing in " +
                       include.toStdString() + ")"};
}

Done HeadlessBench::EnsureChip() {
    if (core_->chipModel().loadCount > 0) return {};
    return LoadChip(core_->target().chipIndex);
}

std::vector<SerialPortInfo> HeadlessBench::SerialPorts() const {
    if (sim_) return sim_->instruments().Ports();
    return platform::ListSystemSerialPorts();
}

ComPortChoices HeadlessBench::LoadComChoices() const {
    if (sim_) return sim_->instruments().Choices();
    std::vector<std::string> problems;
    ComPortChoices choices = ReadComPortChoices(QString::fromStdString(benchDir_), &problems);
    for (const std::string& p : problems) hooks_.Say(std::string(kComPortFileName) + ": " + p);
    return choices;
}

Done HeadlessBench::SaveComChoices(const ComPortChoices& choices) {
    if (sim_) return Refused("the simulated bench's ports cannot be moved");
    if (benchDir_.empty())
        return Failure{FailureKind::Failed, "no bench directory to keep the COM assignments in"};
    QString error;
    if (!WriteComPortChoices(QString::fromStdString(benchDir_), choices, error))
        return Failure{FailureKind::Failed, error.toStdString()};
    core_->serial().SetMap(ComPortMap::Build(SerialPorts(), choices));
    return {};
}

Result<int> HeadlessBench::ComIndex(const std::string& text, InstrumentId instrument) {
    if (!text.empty()) {
        std::string refusal;
        const auto index = ReadComIndex(text, &refusal);
        if (!index) return Refused(refusal);
        return *index;
    }
    if (sim_) {
        const int id = static_cast<int>(instrument);
        return id < static_cast<int>(InstrumentId::FirstMeter)
                   ? sim::SimInstruments::ComIndexOf(id + sim::SimInstruments::Calibrator)
                   : sim::SimInstruments::MeterCom(id - static_cast<int>(InstrumentId::FirstMeter));
    }
    return Refused("say which port: --com COMn (dmmctl ports lists them)");
}

Done HeadlessBench::EnsureChipPort() {
    STND& target = core_->target();
    if (target.rs232.connected && target.rs232.Open()) return {};
    // The port, baud rate and parity: the caller's, else the settings file's, else (port
    // only) the simulated bench's chip link.
    std::optional<int> index;
    if (!options_.com.empty())
        index = ComIndexFromName(options_.com);
    else if (settings_)
        index = target.serialPortIndex;
    else if (sim_)
        index = sim::SimInstruments::ComIndexOf(sim::SimInstruments::ChipLink);
    if (!index)
        return Refused("--kind rs232 needs --com COMn for the chip's serial port (COM1 to COM16)");
    target.serialPortIndex = *index;
    if (!settings_ || options_.baudGiven) {
        const int baud = BaudIndexOf(options_.baud);
        if (baud < 0)
            return Refused("no such baud rate on the chip link: " + std::to_string(options_.baud));
        target.serialBaudIndex = baud;
    }

    if (core_->chipPort().OpenChipPort(target, hooks_)) return {};
    return LinkFailure(hooks_.Status(0) + ": " + hooks_.Status(1));
}

Done HeadlessBench::EnsureChipLink() {
    if (core_->target().interfaceKind == InterfaceKind::RS232) return EnsureChipPort();
    if (core_->target().interfaceKind != InterfaceKind::Parallel) return EnsureBoard();
    ParallelLink& parallel = core_->parallel();
    if (parallel.IsOpen() || parallel.ParInit()) return {};
    // The port's own failure was said as it happened.
    return Failure{FailureKind::Link, "the parallel port could not be opened", true};
}

Done HeadlessBench::EnsureBoard() {
    if (core_->target().devc.connected) return {};
    uint8_t status = 0;
    if (core_->link().OpenBoard(status)) return {};
    if (core_->target().devc.connected)
        return LinkFailure("the board answered with a wrong signature");
    return LinkFailure(options_.sim ? "the simulated board did not answer"
                                    : "no board found (bulk 0547:1004 or HID 04d8:2008); see "
                                      "README, \"Using a real board\"");
}

}  // namespace dmm::headless
