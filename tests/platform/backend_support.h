#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "core/link/board_transport.h"
#include "platform/hid_board_bus.h"
#include "platform/usb_board_bus.h"
#include "sim/sim_board.h"

namespace dmm::test {

// One real backend alone behind the seam, so that a test knows which path found the board.
class UsbOnlyBus final : public BoardBus {
  public:
    std::unique_ptr<BulkDevice> OpenBulk(int deviceNumber) override {
        return usb.OpenBulk(deviceNumber);
    }
    std::unique_ptr<HidDevice> OpenHid(int) override { return nullptr; }
    platform::UsbBoardBus usb;
};

class HidOnlyBus final : public BoardBus {
  public:
    std::unique_ptr<BulkDevice> OpenBulk(int) override { return nullptr; }
    std::unique_ptr<HidDevice> OpenHid(int index) override { return hid.OpenHid(index); }
    platform::HidBoardBus hid;
};

// The simulated board is also used from umockdev's thread: its lock guards every look
// and change from the test.
inline void FillChip(sim::SimBoard& board, uint16_t first, size_t count, uint8_t seed) {
    std::lock_guard lock(board.mutex());
    for (size_t i = 0; i < count; ++i) {
        board.chip().Write(static_cast<uint16_t>(first + i), static_cast<uint8_t>(seed + 7 * i));
    }
}

inline uint8_t PatternByte(uint8_t seed, size_t i) {
    return static_cast<uint8_t>(seed + 7 * i);
}

inline uint8_t ChipByte(sim::SimBoard& board, uint16_t address) {
    std::lock_guard lock(board.mutex());
    return board.chip().memory()[address];
}

inline void SetFaults(sim::SimBoard& board, const std::function<void(sim::BoardFaults&)>& change) {
    std::lock_guard lock(board.mutex());
    change(board.faults());
}

}  // namespace dmm::test
