#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/instruments/devc_rs232.h"
#include "core/link/devc.h"
#include "core/link/interface_kind.h"

namespace dmm {

inline constexpr int kRegisterImageSize = 1024;
inline constexpr int kSampleBufferSize = 65536;

// The one target record: the selected chip, the host image of the chip's 1024-byte
// address space, the interface kind and the link records.
struct STND {
    uint16_t chipIndex = 0;
    std::array<uint8_t, 2> linkStatus{};
    std::array<uint8_t, kRegisterImageSize> RegisterImage{};
    // The image holds what the chip held at a read of its first bytes ("Read RAM"), not
    // only the zeros the program starts with.
    bool registerImageRead = false;
    InterfaceKind interfaceKind = InterfaceKind::DMM;
    int32_t serialBaudIndex = 0;
    int32_t serialPortIndex = 0;
    int32_t serialParityIndex = 0;
    DevcRS232 rs232;
    Devc devc;
};

}  // namespace dmm
