#include "core/instruments/chamber.h"

#include "core/instruments/chamber_frames.h"
#include "core/instruments/serial_line.h"

namespace dmm {

bool Chamber::ChamberSelectClick(int comIndex) {
    bool done = false;
    if (!StartIdentification(comIndex, "Chamber", done)) return done;
    SerialSettings previous;
    const bool hadSettings = record_.handle->ReadSettings(previous);
    std::string identity;
    if (record_.handle->Configure(kSettings) && Reidentify(identity)) {
        record_.Store(kSettings);
        return Identified("Chamber", identity);
    }
    // Another device's port is left as it was set.
    if (hadSettings) record_.handle->Configure(previous);
    return NotIdentified("Chamber", QStringLiteral("此通道連接的不是溫控廂!!"));
}

bool Chamber::Reidentify(std::string& identity) {
    if (!ChamberRead(kChamberIdentity, 1) || !ChamberReplyOk(reply_.data(), reply_.size()))
        return false;
    identity = "answers the chamber's identity register";
    return true;
}

bool Chamber::ChamberWrite(uint16_t address, const std::vector<uint16_t>& words) {
    if (words.empty() || words.size() > kChamberMaxWords) return false;
    const std::string frame = ChamberWriteFrame(address, words);
    DiscardInput(record_);
    if (!WriteBytes(record_, reinterpret_cast<const uint8_t*>(frame.data()), frame.size()))
        return false;
    WaitForWaiting(record_, clock_, 11, kReplyWaitMs);
    reply_ = ReadWaiting(record_);
    return ChamberReplyOk(reply_.data(), reply_.size());
}

bool Chamber::ChamberRead(uint16_t address, int count, std::vector<uint16_t>* words) {
    if (count < 1 || count > kChamberMaxWords) return false;
    const std::string frame = ChamberReadFrame(address, count);
    DiscardInput(record_);
    if (!WriteBytes(record_, reinterpret_cast<const uint8_t*>(frame.data()), frame.size()))
        return false;
    WaitForWaiting(record_, clock_, ChamberReadReplySize(count), kReplyWaitMs);
    reply_ = ReadWaiting(record_);
    const auto parsed = ParseChamberReadReply(reply_.data(), reply_.size(), count);
    if (!parsed) return false;
    if (words) *words = *parsed;
    return true;
}

bool Chamber::ChamberRun() {
    ChamberWrite(kChamberMode, {0x0000});
    return ChamberWrite(kChamberCommand, {kChamberRunCode});
}

bool Chamber::ChamberStop() {
    return ChamberWrite(kChamberCommand, {kChamberStopCode});
}

bool Chamber::WriteWithRetry(uint16_t address, const std::vector<uint16_t>& words) {
    if (ChamberWrite(address, words)) return true;
    if (!record_.Open()) return false;
    DelayMs(clock_, kRetryWaitMs);
    return ChamberWrite(address, words);
}

bool Chamber::LoadSetPoints(double temperature, double humidity, double temperatureRamp,
                            double humidityRamp) {
    // A value the frame cannot carry would reach the chamber as another set point.
    const std::string refusal =
        ChamberSetPointRefusal({temperature, humidity, temperatureRamp, humidityRamp});
    if (!refusal.empty()) {
        Status(QString::fromStdString(refusal));
        return false;
    }
    if (!WriteWithRetry(kChamberSetPoint,
                        {ChamberSetPointWord(temperature), ChamberSetPointWord(humidity)}))
        return false;
    return WriteWithRetry(
        kChamberRamp, {ChamberSetPointWord(temperatureRamp), ChamberSetPointWord(humidityRamp)});
}

bool Chamber::ReadPair(uint16_t address, uint16_t& first, uint16_t& second) {
    std::vector<uint16_t> words;
    if (!ChamberRead(address, 2, &words)) {
        if (!record_.Open()) return false;
        DelayMs(clock_, kRetryWaitMs);
        if (!ChamberRead(address, 2, &words)) return false;
    }
    first = words[0];
    second = words[1];
    return true;
}

bool Chamber::ReadTemperature(uint16_t& first, uint16_t& second) {
    return ReadPair(kChamberTemperature, first, second);
}

bool Chamber::ReadHumidity(uint16_t& first, uint16_t& second) {
    return ReadPair(kChamberHumidity, first, second);
}

}  // namespace dmm
