#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "core/link/clock.h"
#include "sim/sim_chip.h"

namespace dmm::sim {

// The target chip's two-wire serial interface, wired to a printer port: it watches the
// port's control lines and drives one status line.
//
// A frame runs while control bit 1 is low. On each rising edge of the clock (control bit
// 3) the chip takes the data line (control bit 0), most significant bit first: the
// command byte (C0 read, 40 write; anything else makes the chip ignore the frame), the
// address low and high bytes, then for a write the data bytes, each stored at the next
// address. In a read frame the chip answers instead: each rising edge puts the next bit
// of the byte at the next address on its output (status bit 6). The line is high while
// the chip does not drive it.
//
// The bytes live in the same simulated chip the board reaches; every look at them is
// made with the board's lock held. Thread: one caller at a time (the port's lock).
class TwoWireChip {
  public:
    TwoWireChip(SimChip& chip, std::mutex& chipLock, Clock& clock);

    // The port's control register was written.
    void OnControl(uint8_t control);
    // The chip's output line.
    bool DataOut() const { return dataOut_; }

    // What the chip made of the last frame it saw, as a logic analyser would show it.
    struct Frame {
        std::vector<uint8_t> received;  // bytes clocked in: command, address, data
        std::vector<uint8_t> sent;      // bytes clocked out in a read frame
        bool ended = false;             // the frame line went high again
    };
    const Frame& LastFrame() const { return frame_; }
    uint64_t FrameCount() const { return frameCount_; }

  private:
    enum class Phase { Idle, Command, AddressLow, AddressHigh, ReadData, WriteData, Ignored };

    void Begin();
    void End();
    void ClockEdge(bool dataIn);
    void TakeByte(uint8_t byte);

    SimChip& chip_;
    std::mutex& chipLock_;
    Clock& clock_;
    uint8_t control_ = 0x02;  // frame line high: no frame
    Phase phase_ = Phase::Idle;
    bool reading_ = false;
    uint16_t address_ = 0;
    uint8_t shift_ = 0;
    int bit_ = 0;
    uint8_t outByte_ = 0;
    bool dataOut_ = true;
    Frame frame_;
    uint64_t frameCount_ = 0;
};

}  // namespace dmm::sim
