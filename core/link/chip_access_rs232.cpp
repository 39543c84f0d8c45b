// The RS232 interface kind of the chip operations: the frames travel over the chip
// link's serial port instead of the board.
#include "core/link/chip_access.h"

namespace dmm {

bool ChipAccess::ReadChipRs232(uint16_t address, int count) {
    if (count < 1 || count > 255) {
        return Fail("A count of " + std::to_string(count) +
                    " cannot be read: one frame carries 1 to 255 bytes");
    }
    if (rs232_.ReadChip(address, count)) return true;
    if (!rs232_.LastFailure().empty()) return Fail(rs232_.LastFailure());
    return false;
}

bool ChipAccess::WriteChipRs232(uint16_t address, int count) {
    if (count < 1 || count > 255) {
        return Fail("A count of " + std::to_string(count) +
                    " cannot be written: one frame carries 1 to 255 bytes");
    }
    return rs232_.WriteChip(address, count);
}

}  // namespace dmm
