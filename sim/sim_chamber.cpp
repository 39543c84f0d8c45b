#include "sim/sim_chamber.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include "core/instruments/chamber_frames.h"

namespace dmm::sim {
namespace {

constexpr int64_t kAnswerMs = 40;
constexpr double kStepSeconds = 0.1;
// The air's approach: the speed it is driven at is the distance left over 60 s, at most
// the chamber's rate; its heated mass takes 40 s to follow (a damping of about 0.6).
constexpr double kApproachSeconds = 60.0;
constexpr double kInertiaSeconds = 40.0;
constexpr double kIdleRatePerMinute = 0.5;

std::string Hex4(uint16_t v) {
    return QString::asprintf("%04X", v).toStdString();
}

}  // namespace

SimChamber::SimChamber(int64_t startMs) : lastMs_(startMs) {
    registers_[kChamberIdentity] = kModelCode;
}

double SimChamber::SetPoint(uint16_t address) const {
    return static_cast<int16_t>(Register(address)) / 10.0;
}

uint16_t SimChamber::Register(uint16_t address) const {
    const auto it = registers_.find(address);
    return it == registers_.end() ? 0 : it->second;
}

void SimChamber::Step(double dt) {
    const double wanted = running_ ? SetPoint(kChamberSetPoint) : kRoomCelsius;
    const double rampPerMinute = running_ ? SetPoint(kChamberRamp) : kIdleRatePerMinute;
    // The set point in use walks to the set point at the ramp.
    if (rampPerMinute > 0) {
        const double stepMax = rampPerMinute / 60.0 * dt;
        target_ += std::clamp(wanted - target_, -stepMax, stepMax);
    } else {
        target_ = wanted;
    }
    const double maxRate = (running_ ? kMaxRatePerMinute : kIdleRatePerMinute) / 60.0;
    const double drive = std::clamp((target_ - temperature_) / kApproachSeconds, -maxRate, maxRate);
    velocity_ += (drive - velocity_) * dt / kInertiaSeconds;
    temperature_ += velocity_ * dt;

    const double wantedHumidity = running_ ? SetPoint(kChamberSetPoint + 1) : 50.0;
    humidity_ += (wantedHumidity - humidity_) * dt / 120.0;
}

void SimChamber::Advance(int64_t nowMs) {
    // A long jump of virtual time is walked in 100 ms steps, as the controller would.
    while (nowMs - lastMs_ >= 100) {
        Step(kStepSeconds);
        lastMs_ += 100;
    }
    auto tenths = [](double v) {
        return static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 10.0)));
    };
    registers_[kChamberTemperature] = tenths(temperature_ + noise_(noiseEngine_));
    registers_[kChamberTemperature + 1] = tenths(target_);
    registers_[kChamberHumidity] = tenths(humidity_);
    registers_[kChamberHumidity + 1] = tenths(running_ ? SetPoint(kChamberSetPoint + 1) : 50.0);
}

void SimChamber::OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        pending_ += static_cast<char>(b);
        if (pending_.size() >= 2 && pending_.compare(pending_.size() - 2, 2, "\r\n") == 0) {
            Execute(nowMs, pending_.substr(0, pending_.size() - 2));
            pending_.clear();
        }
        if (pending_.size() > 600) pending_.clear();
    }
}

void SimChamber::Execute(int64_t nowMs, const std::string& raw) {
    if (faults().wrongIdentity) {
        Reply(nowMs, kAnswerMs, std::string("ERR\r\n"));
        return;
    }
    const size_t stx = raw.rfind(kChamberStx);
    if (stx == std::string::npos) return;
    const QString frame = QString::fromStdString(raw.substr(stx + 1));
    const QStringList parts = frame.split(',');
    const bool write = frame.startsWith("01WSD");
    const bool read = frame.startsWith("01RSD");
    const std::string head = std::string(1, kChamberStx) + (write ? "01WSD," : "01RSD,");
    auto refuse = [&] { Reply(nowMs, kAnswerMs, head + "NG,01\r\n"); };
    if ((!write && !read) || parts.size() < 3) return refuse();
    bool ok = false;
    const int count = parts[1].toInt(&ok);
    const uint16_t address = static_cast<uint16_t>(parts[2].toUInt(&ok, 16));
    if (!ok || count < 1 || count > kChamberMaxWords) return refuse();
    Advance(nowMs);
    if (write) {
        if (parts.size() != 3 + count) return refuse();
        for (int k = 0; k < count; ++k) {
            const uint16_t word = static_cast<uint16_t>(parts[3 + k].toUInt(&ok, 16));
            if (!ok) return refuse();
            registers_[static_cast<uint16_t>(address + k)] = word;
        }
        std::string logged = QString("%1=").arg(address, 4, 16, QChar('0')).toUpper().toStdString();
        for (int k = 0; k < count; ++k) {
            if (k) logged += ',';
            logged += std::to_string(Register(static_cast<uint16_t>(address + k)));
        }
        writes_.push_back(logged);
        if (address <= kChamberCommand && kChamberCommand < address + count) {
            const uint16_t command = Register(kChamberCommand);
            if (command == kChamberRunCode && refuseRun) return refuse();
            if (command == kChamberRunCode) running_ = true;
            if (command == kChamberStopCode) running_ = false;
        }
        Reply(nowMs, kAnswerMs, head + "OK\r\n");
        return;
    }
    if (parts.size() != 3) return refuse();
    std::string reply = head + "OK";
    for (int k = 0; k < count; ++k)
        reply += "," + Hex4(Register(static_cast<uint16_t>(address + k)));
    Reply(nowMs, kAnswerMs, reply + "\r\n");
}

}  // namespace dmm::sim
