#include "sim/sim_instruments.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "sim/sim_dmm_chip.h"

namespace dmm::sim {
namespace {

// While a device has a reply scheduled the thread looks every 2 ms (the bench clock may
// run faster than real time, so the reply's due time says little of the wait); with none,
// only what the program sends, or the chamber's slow drift, needs it: bytes arriving wake
// it at once.
constexpr int kPollMs = 2;
constexpr int kIdlePollMs = 20;
// The current the sixth meter shows: a little, flowing backwards.
constexpr double kMeterCurrentAmps = -0.012345;

double& NodeLevel(AnalogNodes& nodes, const std::string& node) {
    if (node == "SENSE") return nodes.adc1Input;
    if (node == "OP1O") return nodes.adc2Input;
    return nodes.pinned[node];
}

}  // namespace

SimInstruments::SimInstruments(Clock& clock, SimBoard* board)
    : clock_(clock),
      board_(board),
      chip_(std::make_unique<SimSerialChip>()),
      calibrator_(std::make_unique<SimCalibrator>()),
      power_(std::make_unique<SimPowerSupply>()),
      chamber_(std::make_unique<SimChamber>(clock.NowMs())) {
    static constexpr MeterFunction kFunctions[kMeterCount] = {
        MeterFunction::DcVolts, MeterFunction::AcVolts, MeterFunction::Ohms,
        MeterFunction::Celsius, MeterFunction::Hertz,   MeterFunction::DcAmps};
    for (int k = 0; k < kMeterCount; ++k) {
        meters_[static_cast<size_t>(k)] = std::make_unique<SimMeter>(k, kFunctions[k]);
    }
    devices_ = {chip_.get(),      calibrator_.get(), power_.get(),     chamber_.get(),
                meters_[0].get(), meters_[1].get(),  meters_[2].get(), meters_[3].get(),
                meters_[4].get(), meters_[5].get()};
    for (auto& port : ports_) {
        port = std::make_unique<PtyPort>();
        if (!port->ok() && error_.empty()) error_ = port->error();
    }

    if (board_) {
        chip_->read = [this](uint16_t address) {
            std::lock_guard lock(board_->mutex());
            board_->chip().AdvanceTo(clock_.NowMs());
            return board_->chip().Read(address);
        };
        chip_->write = [this](uint16_t address, uint8_t value) {
            std::lock_guard lock(board_->mutex());
            board_->chip().AdvanceTo(clock_.NowMs());
            board_->chip().Write(address, value);
        };
    }
    calibrator_->onOutput = [this](const CalibratorOutput& output) { ApplyCalibrator(output); };

    auto volts = [this](bool ac) {
        const CalibratorOutput& out = calibrator_->output();
        if (out.operate) return out.Ac() == ac ? out.volts : 0.0;
        return ac ? 0.0 : NodeVolts();
    };
    meter(0).source = [volts] { return volts(false); };
    meter(1).source = [volts] { return volts(true); };
    meter(2).source = [] { return std::numeric_limits<double>::quiet_NaN(); };
    meter(3).source = [this] { return chamber_->temperature(); };
    meter(4).source = [this] {
        const CalibratorOutput& out = calibrator_->output();
        return out.operate ? out.frequencyHz : 0.0;
    };
    meter(5).source = [] { return kMeterCurrentAmps; };
}

SimInstruments::~SimInstruments() {
    Stop();
    if (logFd_ >= 0) ::close(logFd_);
}

std::vector<SerialPortInfo> SimInstruments::Ports() const {
    std::vector<SerialPortInfo> ports;
    for (int d = 0; d < kDeviceCount; ++d) {
        const PtyPort& pty = *ports_[static_cast<size_t>(d)];
        if (!pty.ok()) continue;  // unplugged
        SerialPortInfo info;
        info.path = pty.path();
        info.name = info.path.substr(info.path.find_last_of('/') + 1);
        info.name = "pts" + info.name;
        info.stableKey = "sim-" + std::to_string(d);
        info.description = devices_[static_cast<size_t>(d)]->Describe();
        ports.push_back(info);
    }
    return ports;
}

ComPortChoices SimInstruments::Choices() const {
    ComPortChoices choices;
    for (int d = 0; d < kDeviceCount; ++d)
        choices.pinned[ComIndexOf(d)] = "sim-" + std::to_string(d);
    return choices;
}

void SimInstruments::Pump() {
    const int64_t now = clock_.NowMs();
    PumpAt(now, now);
}

int64_t SimInstruments::PumpAt(int64_t stampMs, int64_t nowMs) {
    std::lock_guard lock(mutex_);
    const size_t calibratorLines = calibrator_->lines().size();
    const size_t powerLines = power_->lines().size();
    const size_t chamberWrites = chamber_->writes().size();
    ApplyDueFaults(nowMs);
    int64_t firstDue = -1;
    for (int d = 0; d < kDeviceCount; ++d) {
        PtyPort& pty = *ports_[static_cast<size_t>(d)];
        SimSerialDevice& device = *devices_[static_cast<size_t>(d)];
        if (!pty.ok()) continue;
        const std::vector<uint8_t> input = pty.TakeInput();
        if (!input.empty()) device.Receive(stampMs, input, pty.Line());
        device.Advance(nowMs);
        const int64_t due = device.NextDueMs();
        if (due >= 0 && due <= nowMs && (firstDue < 0 || due < firstDue)) firstDue = due;
        const std::vector<uint8_t> bytes = device.TakeDue(nowMs);
        if (!bytes.empty()) pty.Send(bytes);
    }
    FollowChamber();
    if (logFd_ >= 0) LogNew(nowMs, calibratorLines, powerLines, chamberWrites);
    return firstDue;
}

bool SimInstruments::LogTo(const std::string& path, std::string& error) {
    std::lock_guard lock(mutex_);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (logFd_ >= 0) ::close(logFd_);
    logFd_ = fd;
    return true;
}

void SimInstruments::LogNew(int64_t nowMs, size_t calibratorLines, size_t powerLines,
                            size_t chamberWrites) {
    std::string text;
    auto add = [&](const char* who, const std::vector<std::string>& lines, size_t from) {
        for (size_t i = from; i < lines.size(); ++i)
            text += std::to_string(nowMs) + ' ' + who + ' ' + lines[i] + '\n';
    };
    add("calibrator", calibrator_->lines(), calibratorLines);
    add("power-supply", power_->lines(), powerLines);
    add("chamber", chamber_->writes(), chamberWrites);
    // One write a pass, straight to the file: a program killed a moment later leaves it
    // whole up to there.
    if (!text.empty() && ::write(logFd_, text.data(), text.size()) < 0) {
        ::close(logFd_);
        logFd_ = -1;
    }
}

void SimInstruments::FollowChamber() {
    auto* dmm = board_ ? dynamic_cast<SimDmmChip*>(&board_->chip()) : nullptr;
    if (!dmm) return;
    const double celsius = chamber_->temperature();
    std::lock_guard lock(board_->mutex());
    if (dmm->nodes().celsius == celsius) return;
    dmm->AdvanceTo(clock_.NowMs());
    dmm->nodes().celsius = celsius;
}

void SimInstruments::ScheduleFaults(std::vector<TimedSimFault> faults) {
    std::lock_guard lock(mutex_);
    for (TimedSimFault& fault : faults) faults_.push_back({fault});
    // A fault due already (from the start) is there before the program's first request,
    // not from the pump's next pass.
    ApplyDueFaults(clock_.NowMs());
}

void SimInstruments::ApplyDueFaults(int64_t nowMs) {
    for (Scheduled& s : faults_) {
        if (!s.started && nowMs >= s.fault.atMs) {
            s.started = true;
            SetFault(s.fault, true);
        }
        if (s.started && !s.ended && s.fault.forMs >= 0 && nowMs >= s.fault.atMs + s.fault.forMs) {
            s.ended = true;
            SetFault(s.fault, false);
        }
    }
}

void SimInstruments::SetFault(const TimedSimFault& fault, bool on) {
    // A slow instrument answers later than any of the program's reply waits.
    constexpr int64_t kSlowReplyMs = 3000;
    constexpr int kGarbageBytes = 7;
    if (fault.device < 0) {
        if (!board_) return;
        // Power comes back with the chip in its reset state.
        if (fault.kind == SimFaultKind::PowerCycle && !on) board_->PowerCycle();
        std::lock_guard lock(board_->mutex());
        board_->faults().disconnected = on;
        return;
    }
    if (fault.device >= kDeviceCount) return;
    const auto d = static_cast<size_t>(fault.device);
    SerialFaults& f = devices_[d]->faults();
    switch (fault.kind) {
        case SimFaultKind::Silent:
            f.silent = on;
            break;
        case SimFaultKind::Garbage:
            f.garbageBytes = on ? kGarbageBytes : 0;
            break;
        case SimFaultKind::Split:
            f.splitReplies = on;
            break;
        case SimFaultKind::Slow:
            f.extraDelayMs = on ? kSlowReplyMs : 0;
            break;
        case SimFaultKind::Vanish:
            if (on) {
                // The node it comes back as is made while the old one is still there, so
                // that it is another one, as a re-plugged adapter held open gets.
                returning_[d] = std::make_unique<PtyPort>();
                ports_[d]->Vanish();
            } else if (returning_[d]) {
                ports_[d] = std::move(returning_[d]);
            }
            break;
        default:
            break;
    }
}

void SimInstruments::Start(std::function<void()> pass) {
    if (running_.exchange(true)) return;
    if (!pass) pass = [this] { Pump(); };
    thread_ = std::thread([this, pass = std::move(pass)] {
        while (running_) {
            std::vector<pollfd> fds;
            bool replying = false;
            {
                std::lock_guard lock(mutex_);
                for (const auto& pty : ports_) {
                    if (pty->ok()) fds.push_back({pty->fd(), POLLIN, 0});
                }
                for (const SimSerialDevice* device : devices_)
                    replying = replying || device->NextDueMs() >= 0;
            }
            ::poll(fds.data(), fds.size(), replying ? kPollMs : kIdlePollMs);
            pass();
        }
    });
}

void SimInstruments::Stop() {
    if (!running_.exchange(false)) return;
    thread_.join();
}

void SimInstruments::SetCalibratorNode(std::string node) {
    std::lock_guard lock(mutex_);
    calibratorNode_ = std::move(node);
}

void SimInstruments::SetCalibratorHarmonics(std::vector<double> harmonicsDbc) {
    std::lock_guard lock(mutex_);
    harmonicsDbc_ = std::move(harmonicsDbc);
    ApplyCalibrator(calibrator_->output());
}

double SimInstruments::NodeVolts() {
    auto* dmm = board_ ? dynamic_cast<SimDmmChip*>(&board_->chip()) : nullptr;
    if (!dmm) return 0;
    std::lock_guard lock(board_->mutex());
    return NodeLevel(dmm->nodes(), calibratorNode_);
}

// In OPER the calibrator drives its node; in STBY its terminals are open and the node
// goes back to what drove it before.
void SimInstruments::ApplyCalibrator(const CalibratorOutput& output) {
    auto* dmm = board_ ? dynamic_cast<SimDmmChip*>(&board_->chip()) : nullptr;
    if (!dmm) return;
    std::lock_guard lock(board_->mutex());
    // Conversions already due see the node as it was.
    dmm->AdvanceTo(clock_.NowMs());
    AnalogNodes& nodes = dmm->nodes();
    double& level = NodeLevel(nodes, calibratorNode_);
    if (!output.operate) {
        if (driving_) level = levelBefore_;
        driving_ = false;
        nodes.tones.erase(calibratorNode_);
        return;
    }
    if (!driving_) levelBefore_ = level;
    driving_ = true;
    if (output.Ac()) {
        level = 0;
        nodes.tones[calibratorNode_] =
            Tone{output.volts * std::sqrt(2.0), output.frequencyHz, harmonicsDbc_};
    } else {
        level = output.volts;
        nodes.tones.erase(calibratorNode_);
    }
}

}  // namespace dmm::sim
