#pragma once

#include <cstdint>

namespace dmm::sim {

// A fault the simulated bench shows at a time on its clock (from the program's start),
// for a while or (forMs < 0) to the end.
enum class SimFaultKind {
    Unplug,      // the board leaves the bus
    PowerCycle,  // the board leaves the bus and comes back with its chip reset
    Silent,      // a serial device takes everything and answers nothing
    Garbage,     // noise in front of every reply
    Split,       // every reply in two parts, a while apart
    Slow,        // every reply seconds late
    Vanish,      // the device node goes away, and comes back as another node
};

struct TimedSimFault {
    SimFaultKind kind = SimFaultKind::Unplug;
    int device = -1;  // the serial device (SimInstruments::Device); -1: the board
    int64_t atMs = 0;
    int64_t forMs = -1;
};

}  // namespace dmm::sim
