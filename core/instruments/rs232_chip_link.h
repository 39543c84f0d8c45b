#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/instruments/devc_rs232.h"
#include "core/link/clock.h"
#include "core/link/transfer_buffer.h"

namespace dmm {

// The chip's own serial interface (interface kind RS232): every transfer starts with a
// sync byte the chip answers, then a read or write frame.
inline constexpr uint8_t kRs232Sync = 0x55;
inline constexpr uint8_t kRs232Ack = 0xAA;
inline constexpr uint8_t kRs232ReadCode = 0xC0;
inline constexpr uint8_t kRs232WriteCode = 0x40;

// C0 lo hi n.
std::vector<uint8_t> Rs232ReadFrame(uint16_t address, uint8_t count);
// 40 lo hi n d...
std::vector<uint8_t> Rs232WriteFrame(uint16_t address, const uint8_t* data, uint8_t count);

// Reads and writes chip bytes over the chip link's serial port, with the waits of the
// chip's serial protocol. Replies land in the transfer buffer from byte 0, write data is
// taken from byte 5, as on the board's interface kinds.
// Thread: the bench thread.
class Rs232ChipLink {
  public:
    Rs232ChipLink(DevcRS232& port, TransferBuffer& buffer, Clock& clock)
        : port_(port), buffer_(buffer), clock_(clock) {}

    static constexpr int64_t kSyncWaitMs = 100;
    static constexpr int64_t kReplyWaitMs = 4000;
    static constexpr int64_t kRetryWaitMs = 4000;
    static constexpr int64_t kFinishWaitMs = 100;
    static constexpr int kSyncTries = 3;
    static constexpr size_t kWriteDataOffset = 5;

    // Status panel 1 texts: "Parity Fail", "Other Err", "Data Empty", or "" after a clean reply.
    std::function<void(const std::string&)> OnStatus;

    // count 1..255. Succeeds only when the chip sent every byte asked for; why it failed
    // otherwise is in LastFailure (empty when the chip did not answer at all).
    bool ReadChip(uint16_t address, int count);
    bool WriteChip(uint16_t address, int count);
    const std::string& LastFailure() const { return lastFailure_; }

  private:
    bool Sync();
    void Status(const std::string& text);
    void ReportErrors(uint32_t errors, bool clearWhenNone);

    DevcRS232& port_;
    TransferBuffer& buffer_;
    Clock& clock_;
    std::string lastFailure_;
};

}  // namespace dmm
