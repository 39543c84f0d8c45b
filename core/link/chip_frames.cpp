#include "core/link/chip_frames.h"

namespace dmm {
namespace {

uint8_t Low(uint16_t address) {
    return static_cast<uint8_t>(address & 0xFF);
}
uint8_t High(uint16_t address) {
    return static_cast<uint8_t>(address >> 8);
}
uint8_t SpecialPage(uint16_t address) {
    return static_cast<uint8_t>((High(address) << 2) & 0x7C);
}

}  // namespace

bool IsRxModel(std::string_view chipTitle) {
    return chipTitle == "RX402" || chipTitle == "RX520";
}

FrameSizes BuildReadFrame(InterfaceKind kind, const FrameOptions& options, uint16_t address,
                          uint8_t count, uint8_t* out) {
    switch (kind) {
        case InterfaceKind::SPI:
            out[0] = options.photo ? 0xBC : 0xB1;
            out[1] = 0xC0;
            out[2] = Low(address);
            out[3] = High(address);
            out[4] = count;
            return {5, count};
        case InterfaceKind::Special:
            out[0] = options.photo ? 0xBE : 0xBA;
            out[1] = options.rxModel ? 0xC0 : static_cast<uint8_t>(0x80 | SpecialPage(address));
            out[2] = Low(address);
            out[3] = count;
            out[4] = count;
            return {5, count};
        case InterfaceKind::UART:
            out[0] = 0xC1;
            out[1] = 0x80;
            out[2] = Low(address);
            out[3] = High(address);
            out[4] = count;
            return {5, static_cast<size_t>(count) + 1};
        case InterfaceKind::DMM:
            out[0] = 0xC2;
            out[1] = options.photo ? 1 : 0;
            out[2] = static_cast<uint8_t>(((2 * address) & 0xFF) | 1);
            out[3] = count;
            return {4, count};
        default:
            return {0, 0};
    }
}

FrameSizes BuildWriteFrame(InterfaceKind kind, const FrameOptions& options, uint16_t address,
                           uint8_t count, uint8_t* out) {
    switch (kind) {
        case InterfaceKind::SPI:
            out[0] = options.photo ? 0xBC : 0xB1;
            out[1] = 0x40;
            out[2] = Low(address);
            out[3] = High(address);
            out[4] = count;
            return {static_cast<size_t>(count) + 5, 1};
        case InterfaceKind::Special:
            out[0] = options.photo ? 0xBE : 0xBA;
            out[1] = options.rxModel ? 0x40 : SpecialPage(address);
            out[2] = Low(address);
            out[3] = count;
            out[4] = count;
            return {static_cast<size_t>(count) + 5, 1};
        case InterfaceKind::UART:
            out[0] = 0xC1;
            out[1] = 0x00;
            out[2] = Low(address);
            out[3] = High(address);
            out[4] = count;
            return {static_cast<size_t>(count) + 5, 1};
        case InterfaceKind::DMM:
            out[0] = 0xC2;
            out[1] = options.photo ? 1 : 0;
            out[2] = static_cast<uint8_t>((2 * address) & 0xFE);
            out[3] = count;
            return {static_cast<size_t>(count) + 4, count};
        default:
            return {0, 0};
    }
}

}  // namespace dmm
