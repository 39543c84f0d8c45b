#pragma once

#include <memory>

#include "sim/sim_board.h"
#include "sim/sim_bus.h"
#include "sim/sim_chip.h"
#include "sim/sim_parallel_port.h"

namespace dmm::sim {

// A simulated bench as --sim builds it: one board with its chip, on the bus as bulk
// device 0 (or as HID device 0 when asked), and a printer port whose two-wire line
// reaches the same chip (the Parallel interface kind).
class SimBench {
  public:
    enum class Personality { Bulk, Hid };

    // The board carries a plain 1024-byte memory chip: what link and protocol tests want.
    explicit SimBench(Clock& clock, Personality personality = Personality::Bulk)
        : SimBench(clock, std::make_unique<SimChip>(), personality) {}
    // The board carries the given chip (--sim uses the demo DMM chip, see MakeBenchChip).
    SimBench(Clock& clock, std::unique_ptr<SimChip> chip,
             Personality personality = Personality::Bulk)
        : chip_(chip ? std::move(chip) : std::make_unique<SimChip>()),
          board_(*chip_, clock),
          parallelPort_(*chip_, board_.mutex(), clock) {
        if (personality == Personality::Bulk)
            bus_.AddBulk(0, board_);
        else
            bus_.AddHid(0, board_);
    }

    // A full-speed USB board takes about a millisecond per exchange (one packet out, one
    // reply in). The programs' --sim bench answers at that pace, so that polling loops
    // wait on the board as they do on a real one instead of spinning a core.
    static constexpr int64_t kUsbExchangeMs = 1;
    void UseRealisticLatency() { board_.SetExchangeLatencyMs(kUsbExchangeMs); }

    SimChip& chip() { return *chip_; }
    SimBoard& board() { return board_; }
    SimBus& bus() { return bus_; }
    SimParallelPort& parallelPort() { return parallelPort_; }

  private:
    std::unique_ptr<SimChip> chip_;
    SimBoard board_;
    SimBus bus_;
    SimParallelPort parallelPort_;
};

}  // namespace dmm::sim
