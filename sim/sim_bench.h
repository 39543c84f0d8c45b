#pragma once

#include "sim/sim_board.h"
#include "sim/sim_bus.h"
#include "sim/sim_chip.h"

namespace dmm::sim {

// A simulated bench as --sim builds it: one board with its chip, on the bus as bulk
// device 0 (or as HID device 0 when asked).
class SimBench {
public:
    enum class Personality { Bulk, Hid };

    SimBench(Clock& clock, Personality personality = Personality::Bulk)
        : board_(chip_, clock) {
        if (personality == Personality::Bulk) bus_.AddBulk(0, board_);
        else bus_.AddHid(0, board_);
    }

    SimChip& chip() { return chip_; }
    SimBoard& board() { return board_; }
    SimBus& bus() { return bus_; }

private:
    SimChip chip_;
    SimBoard board_;
    SimBus bus_;
};

}  // namespace dmm::sim
