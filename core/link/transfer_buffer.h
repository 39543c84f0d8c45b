#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace dmm {

// The one packet buffer of the link: every request is built in it and every reply lands
// in it, overwriting the request. Nothing may read or write past its end.
inline constexpr size_t kTransferBufferSize = 260;
using TransferBuffer = std::array<uint8_t, kTransferBufferSize>;

// Payload bytes of one HID report (the report id byte comes in front of them).
inline constexpr size_t kHidPayloadSize = 64;

}  // namespace dmm
