#pragma once

#include <cstdint>
#include <vector>

#include "core/instruments/serial_instrument.h"

namespace dmm {

// The climate chamber's controller on 9600 8N1.
class Chamber final : public SerialInstrument {
  public:
    Chamber(SerialChannel& channel, Clock& clock, UiHooks& hooks)
        : SerialInstrument(channel, clock, hooks, "the chamber") {}

    static constexpr SerialSettings kSettings{9600, 8, SerialParity::None, 0};
    static constexpr int64_t kReplyWaitMs = 1000;
    static constexpr int64_t kRetryWaitMs = 1000;

    bool ChamberSelectClick(int comIndex);

    // One write frame; true when the controller answered "OK".
    bool ChamberWrite(uint16_t address, const std::vector<uint16_t>& words);
    // One read frame; true when the reply carried all count words (then in words).
    bool ChamberRead(uint16_t address, int count, std::vector<uint16_t>* words = nullptr);
    // The bytes of the last reply, as they came.
    const std::vector<uint8_t>& lastReply() const { return reply_; }

    bool ChamberRun();
    bool ChamberStop();
    // Set points and ramps (each rounded down, in tenths); each write is tried again
    // after a second when it fails. Values the chamber cannot take are refused before
    // anything is sent (status panel 1 says which).
    bool LoadSetPoints(double temperature, double humidity, double temperatureRamp,
                       double humidityRamp);
    // The two words at the temperature (or humidity) registers; tried again after a
    // second when the read fails. The first word is the present value in tenths.
    bool ReadTemperature(uint16_t& first, uint16_t& second);
    bool ReadHumidity(uint16_t& first, uint16_t& second);

    bool Reidentify(std::string& identity) override;

  private:
    bool WriteWithRetry(uint16_t address, const std::vector<uint16_t>& words);
    bool ReadPair(uint16_t address, uint16_t& first, uint16_t& second);

    std::vector<uint8_t> reply_;
};

}  // namespace dmm
