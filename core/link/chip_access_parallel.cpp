// The chip read and write of the Parallel interface kind: frames clocked over the
// selected printer port instead of packets to the board.
#include "core/link/chip_access.h"

namespace dmm {

// A port that cannot be had or is lost is the link's state, as a silent board is: the
// parallel link reports it (status panel 0, the CLI's stderr) and LastFailure stays empty.
bool ChipAccess::ReadChipParallel(uint16_t address, int count) {
    if (!Acceptable(true, address, count, {}) || !parallel_) return false;
    if (!parallel_->ReadChipFrame(address, count, link_.buffer().data())) return false;
    WaitAfterFrame();
    return true;
}

std::string ChipAccess::FailureReason() const {
    if (!lastFailure_.empty()) return lastFailure_;
    if (target_.interfaceKind == InterfaceKind::Parallel && parallel_)
        return parallel_->LastError();
    return {};
}

bool ChipAccess::WriteChipParallel(uint16_t address, int count) {
    if (!Acceptable(false, address, count, {}) || !parallel_) return false;
    const uint8_t* data = link_.buffer().data() + WriteDataOffset(InterfaceKind::Parallel);
    if (!parallel_->WriteChipFrame(address, count, data)) return false;
    WaitAfterFrame();
    return true;
}

}  // namespace dmm
