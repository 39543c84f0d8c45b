#pragma once

#include "core/chip/chip_model.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/serial_channel.h"
#include "core/link/board_link.h"
#include "core/link/chip_access.h"
#include "core/link/parallel_link.h"
#include "core/link/stnd.h"
#include "core/measure/adc_data.h"

namespace dmm {

// The core objects of one bench: the target record, the board link, the parallel-port
// link, the chip operations, the serial ports, the loaded chip description and the ADC
// sample buffers, wired together over a board bus, a clock and (when the bench has them)
// a parallel-port bus and a serial port opener that the caller owns.
// One thread uses a BenchCore at a time: the bench thread in the GUI, the main thread
// in the CLI and in tests.
class BenchCore {
  public:
    BenchCore(BoardBus& bus, Clock& clock, ParallelPortBus* parallelPorts = nullptr,
              SerialPortOpener* serialPorts = nullptr)
        : clock_(clock),
          link_(target_.devc, bus, clock),
          parallel_(parallelPorts),
          chip_(target_, link_, clock),
          serial_(serialPorts ? *serialPorts : noSerialPorts_),
          chipPort_(serial_) {
        chip_.SetParallelLink(&parallel_);
    }
    BenchCore(const BenchCore&) = delete;
    BenchCore& operator=(const BenchCore&) = delete;

    Clock& clock() { return clock_; }
    STND& target() { return target_; }
    BoardLink& link() { return link_; }
    ParallelLink& parallel() { return parallel_; }
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
    ParallelLink parallel_;
    ChipAccess chip_;
    NoSerialPorts noSerialPorts_;
    SerialChannel serial_;
    ChipPort chipPort_;
    AdcData adc_;
    TChipModel chipModel_;
};

}  // namespace dmm
