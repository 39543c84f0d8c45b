#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "sim/sim_serial_device.h"

namespace dmm::sim {

// What a simulated meter measures.
enum class MeterFunction { DcVolts, AcVolts, Ohms, Celsius, Hertz, DcAmps };

// A handheld reference meter (BryMen) behind its optical serial cable. It answers the
// 8-byte request with a 22-byte frame: the function's flag bytes, the reading as five
// digits with a point and a sign, and a decimal exponent. The reading is the source's
// value with the meter's own small gain and offset error and a little noise; a source
// that gives nothing (an open input on ohms) reads "OL".
class SimMeter final : public SimSerialDevice {
  public:
    SimMeter(int channel, MeterFunction function);

    void SetFunction(MeterFunction function) { function_ = function; }
    MeterFunction function() const { return function_; }
    // The true value at the meter's input, in the function's unit (NaN: overload).
    std::function<double()> source;
    // Readings without noise (--sim-noiseless): a mode measured again reads the same.
    bool noise = true;
    int requests() const { return requests_; }
    std::string Describe() const override;

    // The frame a meter in this function sends for a value (NaN: "OL"): pure, for tests.
    static std::vector<uint8_t> Frame(MeterFunction function, double value);

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override;

  private:
    double Measured();

    int channel_;
    MeterFunction function_;
    std::vector<uint8_t> pending_;
    int requests_ = 0;
    double gainError_;
    double offset_;
    std::mt19937 noiseEngine_;
    std::normal_distribution<double> noise_{0.0, 1.0};
};

}  // namespace dmm::sim
