#pragma once

#include <array>
#include <cstdint>

#include "core/app/ui_hooks.h"
#include "core/instruments/serial_channel.h"
#include "core/link/stnd.h"

namespace dmm {

// The baud selector's values, by item index.
inline constexpr std::array<int32_t, 10> kChipBaudRates = {300,  600,   1200,  2400,  4800,
                                                           9600, 19200, 38400, 57600, 115200};
// The parity selector's items: 0 "None", 1 "Even", 2 "Odd".
SerialParity ParityOfIndex(int32_t index);
// The baud index of a rate, or -1.
int BaudIndexOf(int32_t baudRate);

// The chip link's serial port. Every COM index it opened stays open for the run (choosing
// another index and coming back reconfigures the port already open), and the target
// record's port is the one of the chosen index.
// Thread: the bench thread.
class ChipPort {
  public:
    explicit ChipPort(SerialChannel& channel) : channel_(channel) {}

    // Opens (once) and configures the port the target's serial indexes choose and makes
    // it the chip link's; says so in status panel 0 ("Uart  not  found" when it cannot).
    bool OpenChipPort(STND& target, UiHooks& hooks);
    // Closes every port it opened (the setup dialog starts with none).
    void Forget(STND& target);

  private:
    SerialChannel& channel_;
    std::array<DevcRS232, kComPortCount> opened_{};
};

}  // namespace dmm
