#include "core/views/register_writes.h"

#include "core/link/number_text.h"

namespace dmm {

bool AddressReachable(InterfaceKind kind, int address) {
    if (address < 0 || address >= kRegisterImageSize) return false;
    return kind != InterfaceKind::DMM || address < 0x80;
}

bool WriteRegisters(ChipAccess& chip, UiHooks& hooks, const std::vector<RegisterWrite>& writes) {
    for (const RegisterWrite& w : writes) {
        if (!AddressReachable(chip.target().interfaceKind, w.address)) {
            const std::string_view kind = InterfaceKindName(chip.target().interfaceKind);
            hooks.SetStatusText(
                1, QStringLiteral("Address %1 cannot be written over the %2 interface")
                       .arg(QString::fromStdString(HexStr(w.address, 3)),
                            QString::fromUtf8(kind.data(), static_cast<qsizetype>(kind.size()))
                                .toUpper()));
            return false;
        }
        if (!chip.WriteRegister(w.address, w.value)) return false;
    }
    return true;
}

}  // namespace dmm
