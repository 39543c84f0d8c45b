#pragma once

#include "core/chip/chip_model.h"
#include "core/link/board_link.h"
#include "core/link/chip_access.h"
#include "core/link/stnd.h"
#include "core/measure/adc_data.h"

namespace dmm {

// The core objects of one bench: the target record, the board link, the chip
// operations, the loaded chip description and the ADC sample buffers, wired together
// over a board bus and a clock that the caller owns.
// One thread uses a BenchCore at a time: the bench thread in the GUI, the main thread
// in the CLI and in tests.
class BenchCore {
  public:
    BenchCore(BoardBus& bus, Clock& clock)
        : clock_(clock), link_(target_.devc, bus, clock), chip_(target_, link_, clock) {}
    BenchCore(const BenchCore&) = delete;
    BenchCore& operator=(const BenchCore&) = delete;

    Clock& clock() { return clock_; }
    STND& target() { return target_; }
    BoardLink& link() { return link_; }
    ChipAccess& chip() { return chip_; }
    AdcData& adc() { return adc_; }
    TChipModel& chipModel() { return chipModel_; }

  private:
    Clock& clock_;
    STND target_;
    BoardLink link_;
    ChipAccess chip_;
    AdcData adc_;
    TChipModel chipModel_;
};

}  // namespace dmm
