// The chip read and write of the Parallel interface kind: frames clocked over the
// selected printer port instead of packets to the board.
#include "core/link/chip_access.h"

namespace dmm {

bool ChipAccess::ReadChipParallel(uint16_t address, int count) {
    if (!parallel_ || count < 1 || count > 255) return false;
    if (!parallel_->ReadChipFrame(address, count, link_.buffer().data())) return false;
    WaitAfterFrame();
    return true;
}

bool ChipAccess::WriteChipParallel(uint16_t address, int count) {
    if (!parallel_ || count < 1 || count > 255) return false;
    const uint8_t* data = link_.buffer().data() + WriteDataOffset(InterfaceKind::Parallel);
    if (!parallel_->WriteChipFrame(address, count, data)) return false;
    WaitAfterFrame();
    return true;
}

}  // namespace dmm
