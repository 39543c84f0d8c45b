#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/link/interface_kind.h"

// The chip read and write frames of each board interface kind: one wire format, one
// place. Pure functions; the simulated board decodes the same layout.
namespace dmm {

struct FrameOptions {
    bool photo = false;    // opto-coupled board option of the setup dialog
    bool rxModel = false;  // the RX402 / RX520 models use a fixed Special-kind mode byte
};

// Where a write frame expects its data bytes in the transfer buffer.
inline size_t WriteDataOffset(InterfaceKind kind) {
    return kind == InterfaceKind::DMM ? 4 : 5;
}

struct FrameSizes {
    size_t send = 0;
    size_t receive = 0;
};

// Writes the read-request header into out (at least 5 bytes) and returns the transfer sizes.
// Only the board kinds SPI, Special, UART and DMM have frames; others return {0, 0}.
FrameSizes BuildReadFrame(InterfaceKind kind, const FrameOptions& options, uint16_t address,
                          uint8_t count, uint8_t* out);
// Writes the write-request header (data bytes follow at WriteDataOffset).
FrameSizes BuildWriteFrame(InterfaceKind kind, const FrameOptions& options, uint16_t address,
                           uint8_t count, uint8_t* out);

// True for the chip titles whose Special-kind frames use the fixed mode bytes.
bool IsRxModel(std::string_view chipTitle);

// Acknowledgement bytes of the UART kind.
inline constexpr uint8_t kUartReadAck = 0xFA;
inline constexpr uint8_t kUartWriteAck = 0xAA;

}  // namespace dmm
