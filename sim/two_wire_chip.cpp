#include "sim/two_wire_chip.h"

#include "core/link/parallel_link.h"

namespace dmm::sim {

TwoWireChip::TwoWireChip(SimChip& chip, std::mutex& chipLock, Clock& clock)
    : chip_(chip), chipLock_(chipLock), clock_(clock) {}

void TwoWireChip::OnControl(uint8_t control) {
    const bool wasInFrame = !(control_ & kControlFrame);
    const bool inFrame = !(control & kControlFrame);
    const bool clockRose = (control & kControlClock) && !(control_ & kControlClock);
    control_ = control;
    if (inFrame && !wasInFrame) Begin();
    if (!inFrame && wasInFrame) End();
    if (inFrame && clockRose) ClockEdge(control & kControlDataOut);
}

void TwoWireChip::Begin() {
    phase_ = Phase::Command;
    bit_ = 0;
    shift_ = 0;
    dataOut_ = true;
    frame_ = {};
    ++frameCount_;
    std::lock_guard lock(chipLock_);
    chip_.AdvanceTo(clock_.NowMs());
}

void TwoWireChip::End() {
    phase_ = Phase::Idle;
    dataOut_ = true;
    frame_.ended = true;
}

void TwoWireChip::ClockEdge(bool dataIn) {
    switch (phase_) {
        case Phase::Idle:
        case Phase::Ignored:
            return;
        case Phase::ReadData:
            if (bit_ == 0) {
                std::lock_guard lock(chipLock_);
                outByte_ = chip_.Read(address_);
                frame_.sent.push_back(outByte_);
            }
            dataOut_ = (outByte_ & (0x80 >> bit_)) != 0;
            if (++bit_ == 8) {
                bit_ = 0;
                ++address_;
            }
            return;
        default:
            shift_ = static_cast<uint8_t>((shift_ << 1) | (dataIn ? 1 : 0));
            if (++bit_ == 8) {
                bit_ = 0;
                TakeByte(shift_);
            }
    }
}

void TwoWireChip::TakeByte(uint8_t byte) {
    frame_.received.push_back(byte);
    switch (phase_) {
        case Phase::Command:
            reading_ = byte == kParallelReadCommand;
            phase_ = reading_ || byte == kParallelWriteCommand ? Phase::AddressLow : Phase::Ignored;
            break;
        case Phase::AddressLow:
            address_ = byte;
            phase_ = Phase::AddressHigh;
            break;
        case Phase::AddressHigh:
            address_ = static_cast<uint16_t>(address_ | (byte << 8));
            phase_ = reading_ ? Phase::ReadData : Phase::WriteData;
            break;
        case Phase::WriteData: {
            std::lock_guard lock(chipLock_);
            chip_.Write(address_++, byte);
            break;
        }
        default:
            break;
    }
}

}  // namespace dmm::sim
