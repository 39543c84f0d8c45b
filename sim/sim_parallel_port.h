#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/link/clock.h"
#include "core/link/parallel_port.h"
#include "sim/two_wire_chip.h"

namespace dmm::sim {

// Faults the simulated port can be told to show.
struct PortFaults {
    std::string openError;       // opening fails with this reason
    int failAfterAccesses = -1;  // after this many more register accesses the port is gone
};

// Register accesses through the seam, per register (PortRegister order).
struct PortAccessCounts {
    std::array<uint64_t, 4> reads{};
    std::array<uint64_t, 4> writes{};
    uint64_t Total() const;
};

// A printer port with the chip's two-wire line on it: the data, status, control and
// extended control registers as the hardware answers them, the chip behind the control
// and status lines. It opens at whatever base is asked for, so the simulated chip hangs
// on every port of the setup list.
// Thread-safe: device emulation drives the registers from its own thread.
class SimParallelPort final : public ParallelPortBus {
  public:
    SimParallelPort(SimChip& chip, std::mutex& chipLock, Clock& clock);

    std::unique_ptr<ParallelPort> Open(uint16_t base, std::string& why) override;

    // The registers themselves. Writes to the status register are ignored; the data
    // register reads the bus (0xFF, nothing drives it) while control bit 5 turns the data
    // lines around.
    uint8_t ReadRegister(PortRegister reg);
    void WriteRegister(PortRegister reg, uint8_t value);

    void SetFaults(const PortFaults& faults);
    PortAccessCounts Counts() const;
    void ResetCounts();
    // Records every value written to the control register while on.
    void LogControlWrites(bool on);
    std::vector<uint8_t> ControlLog() const;
    TwoWireChip::Frame LastFrame() const;
    // The base the last Open asked for (0 before any).
    uint16_t OpenedBase() const;
    int OpenCount() const;

  private:
    class Handle;
    bool Access(bool write, PortRegister reg, uint8_t& value, std::string& why);
    uint8_t ReadLocked(PortRegister reg) const;
    void WriteLocked(PortRegister reg, uint8_t value);

    mutable std::mutex mutex_;
    TwoWireChip twoWire_;
    uint8_t data_ = 0;
    uint8_t control_ = 0x0C;          // as a PC leaves its port: initialise and select lines high
    uint8_t extendedControl_ = 0x15;  // standard mode, FIFO empty
    PortFaults faults_;
    PortAccessCounts counts_;
    bool logging_ = false;
    std::vector<uint8_t> controlLog_;
    uint16_t openedBase_ = 0;
    int openCount_ = 0;
};

}  // namespace dmm::sim
