#pragma once

#include "core/chip/chip_model.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/serial_channel.h"
#include "core/link/board_link.h"
#include "core/link/chip_access.h"
#include "core/link/stnd.h"
#include "core/measure/adc_data.h"

namespace dmm {

// The core objects of one bench: the target record, the board link, the chip
// operations, the serial ports, the loaded chip description and the ADC sample buffers,
// wired together over a board bus, a serial port opener and a clock that the caller owns
// (without an opener the bench has no serial ports).
// One thread uses a BenchCore at a time: the bench thread in the GUI, the main thread
// in the CLI and in tests.
class BenchCore {
  public:
    BenchCore(BoardBus& bus, Clock& clock, SerialPortOpener* serialPorts = nullptr)
        : clock_(clock),
          link_(target_.devc, bus, clock),
          chip_(target_, link_, clock),
          serial_(serialPorts ? *serialPorts : noSerialPorts_),
          chipPort_(serial_) {}
    BenchCore(const BenchCore&) = delete;
    BenchCore& operator=(const BenchCore&) = delete;

    Clock& clock() { return clock_; }
    STND& target() { return target_; }
    BoardLink& link() { return link_; }
    ChipAccess& chip() { return chip_; }
    SerialChannel& serial() { return serial_; }
    // The chip link's serial port (interface kind RS232).
    ChipPort& chipPort() { return chipPort_; }
    AdcData& adc() { return adc_; }
    TChipModel& chipModel() { return chipModel_; }

  private:
    Clock& clock_;
    STND target_;
    BoardLink link_;
    ChipAccess chip_;
    NoSerialPorts noSerialPorts_;
    SerialChannel serial_;
    ChipPort chipPort_;
    AdcData adc_;
    TChipModel chipModel_;
};

}  // namespace dmm
