#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/link/board_transport.h"

namespace dmm {

// The board handle record. The "handle" is the open device object of the seam: a bulk
// device, or a HID device in HID mode. No handle means closed.
struct Devc {
    std::unique_ptr<BulkDevice> bulk;
    std::unique_ptr<HidDevice> hid;
    std::string deviceName;  // "VzUSB-n" for the bulk device in use, empty when closed
    int32_t linkMarker = -1;
    int16_t portMarker = -1;
    uint8_t openMarker = 0;
    DeviceDescriptorBlock deviceDescriptor{};
    std::array<PipeInfo, 4> pipes{};  // entry 0: IN (reply) pipe, entry 1: OUT (request) pipe
    bool connected = false;
    uint16_t maximumPacketSize = 0;

    bool HandleValid() const { return bulk != nullptr || hid != nullptr; }

    uint16_t DescriptorWord(size_t at) const {
        return static_cast<uint16_t>(deviceDescriptor[at] | (deviceDescriptor[at + 1] << 8));
    }
    uint16_t VendorId() const { return DescriptorWord(8); }
    uint16_t ProductId() const { return DescriptorWord(10); }
    uint16_t DeviceRelease() const { return DescriptorWord(12); }
};

}  // namespace dmm
