#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/sim_serial_device.h"

namespace dmm::sim {

// A SCPI power supply (HP E3631A) on 9600 8N2: lines end with LF (a CR before it is
// dropped); it takes "SYST:REM", "VOLT <v>", "CURR <a>", "OUTP ON|OFF" and answers
// "*IDN?", "VOLT?", "CURR?", "OUTP?". It listens only while DTR is set; where the line has
// no modem lines (a pseudo-terminal) the test bench says nothing about DTR and it listens.
class SimPowerSupply final : public SimSerialDevice {
  public:
    static constexpr char kIdentity[] = "HEWLETT-PACKARD,E3631A,0,2.1-5.0-1.0";

    bool remote() const { return remote_; }
    double volts() const { return volts_; }
    double amps() const { return amps_; }
    bool outputOn() const { return output_; }
    const std::vector<std::string>& lines() const { return lines_; }
    // The DTR line as a device emulation sees it.
    void SetDtr(std::optional<bool> dtr) { dtr_ = dtr; }
    std::string Describe() const override { return "simulated power supply (HP E3631A)"; }

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override;

  private:
    void Execute(int64_t nowMs, const std::string& line);

    std::optional<bool> dtr_;
    std::string pending_;
    std::vector<std::string> lines_;
    bool remote_ = false;
    double volts_ = 0;
    double amps_ = 0;
    bool output_ = false;
};

}  // namespace dmm::sim
