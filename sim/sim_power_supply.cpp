#include "sim/sim_power_supply.h"

#include <QString>

namespace dmm::sim {
namespace {

constexpr int64_t kAnswerMs = 20;

}  // namespace

void SimPowerSupply::OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) {
    if (dtr_ && !*dtr_) return;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            Execute(nowMs, pending_);
            pending_.clear();
        } else if (b != '\r') {
            pending_ += static_cast<char>(b);
        }
    }
}

void SimPowerSupply::Execute(int64_t nowMs, const std::string& raw) {
    const QString line = QString::fromStdString(raw).trimmed();
    if (line.isEmpty()) return;
    lines_.push_back(line.toStdString());
    const QString upper = line.toUpper();
    auto number = [&](int at) { return line.mid(at).trimmed().toDouble(); };
    if (upper == "*IDN?") {
        Reply(nowMs, kAnswerMs,
              std::string(faults().wrongIdentity ? "KEITHLEY INSTRUMENTS,2230-30-1,0,1.0"
                                                 : kIdentity) +
                  "\r\n");
    } else if (upper == "SYST:REM") {
        remote_ = true;
    } else if (upper == "VOLT?") {
        Reply(nowMs, kAnswerMs, QString::asprintf("%+.5E\r\n", volts_).toStdString());
    } else if (upper == "CURR?") {
        Reply(nowMs, kAnswerMs, QString::asprintf("%+.5E\r\n", amps_).toStdString());
    } else if (upper == "OUTP?") {
        Reply(nowMs, kAnswerMs, std::string(output_ ? "1\r\n" : "0\r\n"));
    } else if (upper.startsWith("VOLT ")) {
        volts_ = number(5);
    } else if (upper.startsWith("CURR ")) {
        amps_ = number(5);
    } else if (upper == "OUTP ON") {
        output_ = true;
    } else if (upper == "OUTP OFF") {
        output_ = false;
    }
}

}  // namespace dmm::sim
