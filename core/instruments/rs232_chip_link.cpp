#include "core/instruments/rs232_chip_link.h"

#include <algorithm>

#include "core/instruments/serial_line.h"

namespace dmm {

std::vector<uint8_t> Rs232ReadFrame(uint16_t address, uint8_t count) {
    return {kRs232ReadCode, static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(address >> 8), count};
}

std::vector<uint8_t> Rs232WriteFrame(uint16_t address, const uint8_t* data, uint8_t count) {
    std::vector<uint8_t> frame = {kRs232WriteCode, static_cast<uint8_t>(address & 0xFF),
                                  static_cast<uint8_t>(address >> 8), count};
    frame.insert(frame.end(), data, data + count);
    return frame;
}

void Rs232ChipLink::Status(const std::string& text) {
    if (OnStatus) OnStatus(text);
}

void Rs232ChipLink::ReportErrors(uint32_t errors, bool clearWhenNone) {
    if (errors & kSerialParityError)
        Status("Parity Fail");
    else if (errors != 0 && clearWhenNone)
        Status("Other Err");
    else if (clearWhenNone)
        Status("");
}

// One sync attempt: 0x55 out, 0xAA back within 100 ms.
bool Rs232ChipLink::Sync() {
    DiscardInput(port_);
    if (!port_.Open()) return false;
    const uint8_t sync = kRs232Sync;
    if (!WriteBytes(port_, &sync, 1)) return false;
    uint32_t errors = 0;
    WaitForWaiting(port_, clock_, 1, kSyncWaitMs, &errors);
    if (errors & kSerialParityError) Status("Parity Fail");
    const std::vector<uint8_t> answer = ReadWaiting(port_);
    return !answer.empty() && answer[0] == kRs232Ack;
}

bool Rs232ChipLink::ReadChip(uint16_t address, int count) {
    lastFailure_.clear();
    if (count < 1 || count > 255) return false;
    bool synced = false;
    for (int attempt = 0; attempt < kSyncTries && !synced; ++attempt) {
        if (!port_.Open()) return false;
        synced = Sync();
        if (!synced && attempt + 1 < kSyncTries) DelayMs(clock_, kRetryWaitMs);
    }
    if (!synced) return false;

    const std::vector<uint8_t> frame = Rs232ReadFrame(address, static_cast<uint8_t>(count));
    if (!WriteBytes(port_, frame.data(), frame.size())) return false;
    uint32_t errors = 0;
    WaitForWaiting(port_, clock_, static_cast<size_t>(count), kReplyWaitMs, &errors);
    ReportErrors(errors, true);
    const std::vector<uint8_t> reply = ReadWaiting(port_, buffer_.size());
    if (reply.empty()) {
        Status("Data Empty");
        DelayMs(clock_, kRetryWaitMs);
        return false;
    }
    std::copy(reply.begin(), reply.end(), buffer_.begin());
    // Bytes that came with parity or framing errors are not the chip's bytes either.
    if (errors & (kSerialParityError | kSerialFramingError | kSerialOverrun)) {
        lastFailure_ = "The chip's reply came with line errors";
        return false;
    }
    // Part of a reply is not the chip's bytes: the rest of the buffer would pass for them.
    if (reply.size() < static_cast<size_t>(count)) {
        lastFailure_ = "The chip's reply was short: " + std::to_string(reply.size()) + " of " +
                       std::to_string(count) + " bytes";
        return false;
    }
    DelayMs(clock_, kFinishWaitMs);
    return true;
}

bool Rs232ChipLink::WriteChip(uint16_t address, int count) {
    lastFailure_.clear();
    if (count < 1 || count > 255 || kWriteDataOffset + static_cast<size_t>(count) > buffer_.size())
        return false;
    if (!port_.Open()) return false;
    if (!Sync()) {
        DelayMs(clock_, kRetryWaitMs);
        return false;
    }
    const std::vector<uint8_t> frame =
        Rs232WriteFrame(address, buffer_.data() + kWriteDataOffset, static_cast<uint8_t>(count));
    if (!WriteBytes(port_, frame.data(), frame.size())) return false;
    uint32_t errors = 0;
    WaitForWaiting(port_, clock_, 1, kSyncWaitMs, &errors);
    ReportErrors(errors, false);
    const std::vector<uint8_t> answer = ReadWaiting(port_);
    if (answer.empty()) {
        DelayMs(clock_, kFinishWaitMs);
        return false;
    }
    if (answer[0] != kRs232Ack) {
        DelayMs(clock_, kRetryWaitMs);
        return false;
    }
    DelayMs(clock_, kFinishWaitMs);
    return true;
}

}  // namespace dmm
