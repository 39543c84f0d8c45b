#include "core/instruments/serial_line.h"

#include <algorithm>

namespace dmm {

SerialPoll PollPort(DevcRS232& record) {
    SerialPoll poll;
    if (!record.handle || record.handle->Lost()) {
        poll.errors = kSerialLost;
    } else {
        poll = record.handle->Poll();
    }
    record.errors = poll.errors;
    record.waiting = poll.waiting;
    return poll;
}

std::vector<uint8_t> ReadWaiting(DevcRS232& record, size_t max) {
    const SerialPoll poll = PollPort(record);
    std::vector<uint8_t> bytes(std::min(poll.waiting, max));
    if (bytes.empty()) return bytes;
    bytes.resize(record.handle->Read(bytes.data(), bytes.size()));
    return bytes;
}

void DiscardInput(DevcRS232& record) {
    // A device that keeps talking cannot hold the caller here: a few buffers at most.
    for (int round = 0; round < 64 && !ReadWaiting(record).empty(); ++round) {
    }
}

bool WaitForWaiting(DevcRS232& record, Clock& clock, size_t count, int64_t limitMs,
                    uint32_t* errors) {
    const int64_t start = clock.NowMs();
    for (;;) {
        const SerialPoll poll = PollPort(record);
        if (errors) *errors |= poll.errors;
        if (poll.waiting >= count) return true;
        if ((poll.errors & kSerialLost) || record.Cancelled()) return false;
        if (clock.NowMs() - start > limitMs) return false;
        clock.SleepMs(kSerialPollMs);
    }
}

bool WriteBytes(DevcRS232& record, const uint8_t* data, size_t n) {
    if (!record.handle || record.handle->Lost()) return false;
    return record.handle->Write(data, n);
}

bool SendText(DevcRS232& record, Clock& clock, std::string_view text) {
    const bool ok = WriteBytes(record, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    DelayMs(clock, kSendSettleMs);
    return ok;
}

size_t ReadLine(DevcRS232& record, Clock& clock, std::string& line) {
    line.clear();
    std::string collected;
    const int64_t start = clock.NowMs();
    for (;;) {
        const std::vector<uint8_t> bytes = ReadWaiting(record);
        collected.append(bytes.begin(), bytes.end());
        const size_t cr = collected.find('\r');
        if (cr != std::string::npos) {
            line = collected.substr(0, std::min(cr, kSerialBufferSize - 1));
            return line.size();
        }
        // A line longer than the buffer is not a reply this program can take.
        if (collected.size() >= kSerialBufferSize) return 0;
        if ((record.errors & kSerialLost) || record.Cancelled()) return 0;
        if (clock.NowMs() - start > kLineTimeoutMs) return 0;
        clock.SleepMs(kSerialPollMs);
    }
}

bool QueryText(DevcRS232& record, Clock& clock, std::string_view command, std::string& reply) {
    reply.clear();
    DiscardInput(record);
    std::string line(command);
    line += "\r\n";
    if (!WriteBytes(record, reinterpret_cast<const uint8_t*>(line.data()), line.size())) {
        return false;
    }
    DelayMs(clock, kQueryWaitMs);
    const std::vector<uint8_t> bytes = ReadWaiting(record);
    reply.assign(bytes.begin(), bytes.end());
    return !reply.empty();
}

}  // namespace dmm
