#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sim/sim_serial_device.h"

namespace dmm::sim {

// A climate chamber's controller on its framed protocol (STX ... CR LF, "01WSD," writes
// and "01RSD," reads of 16-bit registers). Registers: 0x0001 the air temperature and
// 0x0002 its set point in use, 0x0005/0x0006 the same for humidity (tenths), 0x0010 the
// controller's model code, 0x0101 the command (1 run, 4 stop), 0x0102/0x0103 the set
// points, 0x0106/0x0107 the ramps in tenths per minute, 0x0200 the mode.
//
// While running, the set point in use moves to the set point at the ramp (at once when
// the ramp is 0) and the air follows it as a heated mass does: at most 3 degC a minute,
// slowing near the target, with a little overshoot and a little noise on every reading.
// Stopped, the air drifts back to the room's temperature. All on the bench clock, so an
// approach and a soak take the time they would on the bench.
class SimChamber final : public SimSerialDevice {
  public:
    explicit SimChamber(int64_t startMs);

    static constexpr double kRoomCelsius = 25.0;
    static constexpr double kMaxRatePerMinute = 3.0;
    static constexpr uint16_t kModelCode = 0x0540;

    void Advance(int64_t nowMs) override;
    double temperature() const { return temperature_; }
    double humidity() const { return humidity_; }
    bool running() const { return running_; }
    uint16_t Register(uint16_t address) const;
    // A controller that will not start: the run command is answered "NG".
    bool refuseRun = false;
    // Every write it took, in order: "0102=250,0" (address in hex, words in decimal).
    const std::vector<std::string>& writes() const { return writes_; }
    std::string Describe() const override { return "simulated climate chamber"; }
    // Sets the air temperature at once (a test's starting point).
    void SetTemperature(double celsius) {
        temperature_ = celsius;
        velocity_ = 0;
    }

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override;

  private:
    void Execute(int64_t nowMs, const std::string& frame);
    void Step(double seconds);
    double SetPoint(uint16_t address) const;

    std::string pending_;
    std::vector<std::string> writes_;
    std::map<uint16_t, uint16_t> registers_;
    int64_t lastMs_;
    bool running_ = false;
    double temperature_ = kRoomCelsius;
    double velocity_ = 0;  // degC per second
    double target_ = kRoomCelsius;
    double humidity_ = 50.0;
    std::mt19937 noiseEngine_{0xC11A};
    std::normal_distribution<double> noise_{0.0, 0.03};
};

}  // namespace dmm::sim
