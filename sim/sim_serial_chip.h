#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/sim_serial_device.h"

namespace dmm::sim {

// A chip on its own serial interface (the RS232 interface kind): it answers the sync
// byte 0x55 with 0xAA, a read frame C0 lo hi n with n bytes of its memory, and a write
// frame 40 lo hi n d... with 0xAA once the bytes are stored. It follows any speed.
class SimSerialChip final : public SimSerialDevice {
  public:
    SimSerialChip() { SetBaudRate(0); }

    // The chip's memory (the serial bench binds them to the board's chip).
    std::function<uint8_t(uint16_t)> read;
    std::function<void(uint16_t, uint8_t)> write;

    // Faults of the chip link itself.
    bool wrongSync = false;  // answers the sync byte with 0x00
    int shortReplies = 0;    // the next N read replies stop half-way
    std::string Describe() const override { return "simulated chip link (RS232)"; }

  protected:
    void OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) override;

  private:
    std::vector<uint8_t> frame_;
};

}  // namespace dmm::sim
