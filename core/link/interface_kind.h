#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace dmm {

// How the board reaches the chip: the item index of the setup dialog's interface list.
enum class InterfaceKind : uint16_t {
    RS232 = 0,
    SPI = 1,
    Special = 2,
    Parallel = 3,
    UART = 4,
    DMM = 5
};

inline constexpr int kInterfaceKindCount = 6;

// Kinds that travel through the USB board (the others use a serial or parallel port).
inline bool UsesBoard(InterfaceKind kind) {
    return kind == InterfaceKind::SPI || kind == InterfaceKind::Special ||
           kind == InterfaceKind::UART || kind == InterfaceKind::DMM;
}

// Lower-case names used on command lines: rs232 spi special parallel uart dmm.
std::string_view InterfaceKindName(InterfaceKind kind);
std::optional<InterfaceKind> InterfaceKindFromName(std::string_view name);

}  // namespace dmm
