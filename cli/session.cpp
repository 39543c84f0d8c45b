#include "cli/session.h"

#include <filesystem>
#include <iostream>

#include "core/app/bench_directory.h"
#include "core/app/bench_settings.h"
#include "core/chip/chip_loader.h"
#include "core/instruments/chip_port.h"

#include "cli/verb.h"
#include "core/link/number_text.h"
#include "platform/ppdev_port_bus.h"
#include "platform/system_board_bus.h"
#include "platform/termios_serial_port.h"
#include "sim/bench_chips.h"
#include "sim/demo_step_tables.h"
#include "sim/sim_bench.h"
#include "sim/sim_bench_clock.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_instruments.h"
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

namespace {

// The settings the options give; without a settings file to fall back on, the options'
// defaults too.
CommandLineSettings GivenSettings(const GlobalOptions& options, bool defaultsToo) {
    CommandLineSettings given;
    if (options.kindGiven || defaultsToo) {
        if (auto kind = InterfaceKindFromName(options.kind))
            given.interfaceKind = static_cast<int>(*kind);
    }
    // Checked when the command line was read.
    const auto base = ReadWhole(options.lpt, {"a port base", 0, 0xFFFF});
    if ((options.lptGiven || defaultsToo) && base && IsLptPortBase(static_cast<uint16_t>(*base)))
        given.CLPT = LptItemIndex(static_cast<uint16_t>(*base));
    if (options.photoGiven || defaultsToo) given.Photo = options.photo;
    given.serialPortIndex = ComIndexFromName(options.com);
    if ((options.baudGiven || defaultsToo) && BaudIndexOf(options.baud) >= 0)
        given.serialBaudIndex = BaudIndexOf(options.baud);
    if (options.parityGiven || defaultsToo) given.serialParityIndex = ParityIndexOf(options.parity);
    return given;
}

}  // namespace

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
    : options_(options),
      out_(out),
      err_(err),
      clock_(options.sim
                 ? std::unique_ptr<Clock>(std::make_unique<sim::SimBenchClock>(options.simSpeed))
                 : std::make_unique<SystemClock>()),
      serialOpener_(std::make_unique<platform::SystemSerialPorts>()),
      hooks_(err) {
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
        const QString demo = dir.filled && !options.dir.empty()
                                 ? sim::ProvideDemoStepTables(QString::fromStdString(benchDir_))
                                 : QString();
        if (!demo.isEmpty()) err_ << "dmmctl: " << demo.toStdString() << '\n';
        // The simulators live on the bench's own time; the program reads the clock that
        // makes them answer.
        auto& benchClock = static_cast<sim::SimBenchClock&>(*clock_);
        simBench_ = std::make_unique<sim::SimBench>(
            benchClock.bench(), std::move(chip),
            options.hid ? sim::SimBench::Personality::Hid : sim::SimBench::Personality::Bulk);
        simBench_->UseRealisticLatency();
        // The options were checked when the command line was read.
        sim::SimBenchOptions extras;
        std::string error;
        if (!options.simTone.empty()) extras.tone = sim::ParseSimTone(options.simTone, error);
        if (!options.simHarmonics.empty())
            extras.harmonicsDbc = sim::ParseHarmonics(options.simHarmonics, error);
        if (!options.simRx.empty())
            extras.externalOhms = sim::ParseSimResistor(options.simRx, error);
        extras.noiseless = options.simNoiseless;
        if (!options.simSeed.empty()) extras.seed = sim::ParseSimSeed(options.simSeed, error);
        for (const std::string& fault : options.simFaults) sim::ParseSimFault(fault, extras, error);
        if (!sim::ApplySimOptions(*simBench_, extras, error)) err_ << "dmmctl: " << error << '\n';
        bus = &simBench_->bus();
        ports = &simBench_->parallelPort();
        simInstruments_ =
            std::make_unique<sim::SimInstruments>(benchClock.bench(), &simBench_->board());
        if (!simInstruments_->ok())
            err_ << "dmmctl: no simulated instruments: " << simInstruments_->error() << '\n';
        if (!options.simLog.empty() && !simInstruments_->LogTo(options.simLog, error))
            err_ << "dmmctl: --sim-log: " << error << '\n';
        simInstruments_->ScheduleFaults(extras.timedFaults);
        for (int k = 0; k < sim::SimInstruments::kMeterCount && options.simNoiseless; ++k)
            simInstruments_->meter(k).noise = false;
        sim::RunOnClock(*simInstruments_, benchClock);
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
        if (!text.empty()) err_ << "dmmctl: chip link: " << text << '\n';
    };
    // The settings the GUI left, then what the command line says on top of them.
    if (!benchDir_.empty()) settings_ = ReadBenchSettings(QString::fromStdString(benchDir_));
    VzAdcConfig bench;
    if (settings_)
        bench = *settings_;
    else
        TakeBenchSettings(*core_, bench);
    OverrideByCommandLine(bench, GivenSettings(options, !settings_));
    ApplyBenchSettings(*core_, bench);
    core_->parallel().SetStatusHandler([this](const std::string& text, bool failure) {
        if (failure) err_ << "dmmctl: " << text << '\n';
    });
    if (options.trace) {
        tracePrinter_ = std::make_unique<TracePrinter>(out_);
        core_->link().SetTrace(tracePrinter_.get());
        core_->parallel().SetTrace(tracePrinter_.get());
    }
}

Session::~Session() {
    counterState.reset();
    sharedState.reset();
    // The instruments stay as the verbs left them: a script drives them step by step over
    // several runs.
    instruments_.reset();
    // Leave the board as the GUI leaves it: out of DMM mode, connection given up.
    if (core_->target().devc.connected) {
        if (core_->target().interfaceKind == InterfaceKind::DMM) core_->link().SetDmmMode(false);
        core_->link().ReleaseBoard();
    }
    if (simInstruments_) sim::StopRunningOnClock(*simInstruments_, *clock_);
}

int ParityIndexOf(const std::string& name) {
    return name == "even" ? 1 : name == "odd" ? 2 : 0;
}

QString Session::SettingsPath() const {
    return benchDir_.empty() ? QString() : SettingsFilePath(QString::fromStdString(benchDir_));
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

std::vector<SerialPortInfo> Session::SerialPorts() const {
    if (simInstruments_) return simInstruments_->Ports();
    return platform::ListSystemSerialPorts();
}

ComPortChoices Session::LoadComChoices() const {
    if (simInstruments_) return simInstruments_->Choices();
    std::vector<std::string> problems;
    ComPortChoices choices = ReadComPortChoices(QString::fromStdString(benchDir_), &problems);
    for (const std::string& p : problems)
        err_ << "dmmctl: " << kComPortFileName << ": " << p << '\n';
    return choices;
}

bool Session::SaveComChoices(const ComPortChoices& choices) {
    if (simInstruments_) return Fail("the simulated bench's ports cannot be moved");
    if (benchDir_.empty()) return Fail("no bench directory to keep the COM assignments in");
    QString error;
    if (!WriteComPortChoices(QString::fromStdString(benchDir_), choices, error))
        return Fail(error.toStdString());
    core_->serial().SetMap(ComPortMap::Build(SerialPorts(), choices));
    return true;
}

std::optional<int> Session::ComIndex(const std::string& text, InstrumentId instrument) {
    if (!text.empty()) {
        std::string refusal;
        const auto index = ReadComIndex(text, &refusal);
        if (!index) Fail(refusal);
        return index;
    }
    if (simInstruments_) {
        const int id = static_cast<int>(instrument);
        return id < static_cast<int>(InstrumentId::FirstMeter)
                   ? sim::SimInstruments::ComIndexOf(id + sim::SimInstruments::Calibrator)
                   : sim::SimInstruments::MeterCom(id - static_cast<int>(InstrumentId::FirstMeter));
    }
    Fail("say which port: --com COMn (dmmctl ports lists them)");
    return std::nullopt;
}

bool Session::EnsureChipPort() {
    STND& target = core_->target();
    if (target.rs232.connected && target.rs232.Open()) return true;
    // The port, baud rate and parity: the command line's, else the settings file's, else
    // (port only) the simulated bench's chip link.
    std::optional<int> index;
    if (!options_.com.empty())
        index = ComIndexFromName(options_.com);
    else if (settings_)
        index = target.serialPortIndex;
    else if (simInstruments_)
        index = sim::SimInstruments::ComIndexOf(sim::SimInstruments::ChipLink);
    if (!index)
        return Fail("--kind rs232 needs --com COMn for the chip's serial port (COM1 to COM16)");
    target.serialPortIndex = *index;
    if (!settings_ || options_.baudGiven) {
        const int baud = BaudIndexOf(options_.baud);
        if (baud < 0)
            return Fail("no such baud rate on the chip link: " + std::to_string(options_.baud));
        target.serialBaudIndex = baud;
    }

    if (core_->chipPort().OpenChipPort(target, hooks_)) return true;
    return Fail(hooks_.Status(0) + ": " + hooks_.Status(1));
}

bool Session::EnsureChipLink() {
    if (core_->target().interfaceKind == InterfaceKind::RS232) return EnsureChipPort();
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
