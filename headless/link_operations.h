#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// A number as the caller gave it, with its text for messages ("0x100").
struct TypedNumber {
    int64_t value = 0;
    std::string text;
};

// How the board answered a scan.
struct BoardDescription {
    bool hid = false;
    std::string deviceName;  // the bulk device ("VzUSB-0"); empty for HID
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t release = 0;  // HID only
    int reportLength = 0;  // HID only
    uint8_t pipeIn = 0;    // bulk only
    uint8_t pipeOut = 0;   // bulk only
    int packetSize = 0;    // bulk only
    std::string info;      // the board's info text
};

// Finds the board, says how it is connected and what its info text is.
Result<BoardDescription> ScanBoard(HeadlessBench& bench);
// count (1..255) chip bytes from address.
Result<std::vector<uint8_t>> ReadChipBytes(HeadlessBench& bench, int64_t address, int64_t count);
// Writes bytes (each 0..255, at most 255) to the chip from address.
Done WriteChipBytes(HeadlessBench& bench, int64_t address, std::span<const TypedNumber> bytes);
// Writes one register with read-back; the read-back. Bits the chip did not keep are said.
Result<uint8_t> WriteChipRegister(HeadlessBench& bench, int64_t address, int64_t value);

}  // namespace dmm::headless
