#pragma once

#include <functional>
#include <string>

#include "sim/sim_serial_device.h"

namespace dmm::sim {

// What the calibrator's output terminals carry.
struct CalibratorOutput {
    bool operate = false;    // OPER: the output is live; STBY: the terminals are open
    double volts = 0;        // DC level, or the RMS amplitude of an AC output
    double frequencyHz = 0;  // 0 for DC
    bool Ac() const { return frequencyHz > 0; }
};

// A multi-product calibrator (Fluke 5500A) on its serial line: it echoes every character
// (a carriage return as CR LF), then acts on the line. It takes "OUT <value> <unit>
// [, <frequency> Hz]" (V, mV, uV), "STBY", "OPER", "RANGELCK ON|OFF", and answers "*OPT"
// and "*IDN?". With the wrong-identity fault it is some other device: no echo, "?" for
// every line.
class SimCalibrator final : public SimSerialDevice {
  public:
    const CalibratorOutput& output() const { return output_; }
    bool rangeLocked() const { return rangeLocked_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // Told whenever the output changes (the serial bench puts it on the chip's input).
    std::function<void(const CalibratorOutput&)> onOutput;
    std::string Describe() const override { return "simulated calibrator (Fluke 5500A)"; }

    // "OUT 100 mV ,50 Hz" -> 0.1 V at 50 Hz. False for text that is no output command.
    static bool ParseOut(const std::string& line, double& volts, double& frequencyHz);

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override;

  private:
    void Execute(int64_t nowMs, const std::string& line);
    void Changed();

    std::string pending_;
    std::vector<std::string> lines_;
    CalibratorOutput output_;
    double setVolts_ = 0;
    double setFrequency_ = 0;
    bool rangeLocked_ = false;
};

}  // namespace dmm::sim
