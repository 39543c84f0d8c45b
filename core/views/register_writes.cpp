#include "core/views/register_writes.h"

namespace dmm {

bool WriteRegisters(ChipAccess& chip, const std::vector<RegisterWrite>& writes) {
    for (const RegisterWrite& w : writes) {
        if (!chip.WriteRegister(w.address, w.value)) return false;
    }
    return true;
}

}  // namespace dmm
