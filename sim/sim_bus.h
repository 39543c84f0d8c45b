#pragma once

#include <map>
#include <memory>

#include "core/link/board_transport.h"
#include "sim/sim_board.h"

namespace dmm::sim {

// Device identity a bus slot reports; lets tests plant foreign devices on the bus.
struct SlotIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;
};

// A BoardBus whose devices are simulated boards. A slot may hold a board in its bulk
// personality (device numbers 0..31) or its HID personality (indexes 0..127).
class SimBus final : public BoardBus {
  public:
    // Puts the board on the bus as bulk device `number` (VID 0x0547 PID 0x1004 by default).
    void AddBulk(int number, SimBoard& board, SlotIdentity identity = {0x0547, 0x1004, 0x0100});
    // Puts the board on the bus as HID device `index` (VID 0x04D8 PID 0x2008 rel 0x0727).
    void AddHid(int index, SimBoard& board, SlotIdentity identity = {0x04D8, 0x2008, 0x0727});
    void RemoveAll();

    std::unique_ptr<BulkDevice> OpenBulk(int deviceNumber) override;
    std::unique_ptr<HidDevice> OpenHid(int index) override;

    int bulkOpenAttempts() const { return bulkOpenAttempts_; }
    int hidOpenAttempts() const { return hidOpenAttempts_; }

  private:
    struct Slot {
        SimBoard* board;
        SlotIdentity identity;
    };
    std::map<int, Slot> bulk_;
    std::map<int, Slot> hid_;
    int bulkOpenAttempts_ = 0;
    int hidOpenAttempts_ = 0;
};

// The standard 18-byte USB device descriptor of a board, zero-padded to the block size.
DeviceDescriptorBlock MakeDeviceDescriptor(uint16_t vendorId, uint16_t productId, uint16_t release);

// The board's two bulk pipes: entry 0 IN 0x81, entry 1 OUT 0x01, 64-byte packets.
std::vector<PipeInfo> BoardPipes();

}  // namespace dmm::sim
