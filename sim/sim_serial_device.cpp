#include "sim/sim_serial_device.h"

#include <algorithm>

namespace dmm::sim {

void SimSerialDevice::Receive(int64_t nowMs, const std::vector<uint8_t>& bytes,
                              const SerialSettings& line) {
    if (bytes.empty()) return;
    if (baudRate_ != 0 && line.baudRate != baudRate_) return;
    static constexpr size_t kKept = 4096;
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    if (received_.size() > kKept)
        received_.erase(received_.begin(), received_.end() - static_cast<std::ptrdiff_t>(kKept));
    OnBytes(nowMs, bytes);
}

void SimSerialDevice::Reply(int64_t nowMs, int64_t thinkMs, std::vector<uint8_t> bytes) {
    if (faults_.silent || bytes.empty()) return;
    const int64_t at = nowMs + thinkMs + faults_.extraDelayMs;
    if (faults_.garbageBytes > 0) {
        std::vector<uint8_t> noise;
        for (int i = 0; i < faults_.garbageBytes; ++i) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            // Noise never looks like a frame's start (DLE, STX) or a line's end.
            uint8_t b = static_cast<uint8_t>(0x40 + (noiseSeed_ >> 16) % 0x3F);
            noise.push_back(b);
        }
        bytes.insert(bytes.begin(), noise.begin(), noise.end());
    }
    // Replies never overtake each other.
    const int64_t after = out_.empty() ? at : std::max(at, out_.back().atMs);
    if (faults_.splitReplies && bytes.size() > 1) {
        const size_t half = std::max<size_t>(1, std::min<size_t>(bytes.size() - 1, 14));
        out_.push_back({after, std::vector<uint8_t>(bytes.begin(), bytes.begin() + half)});
        out_.push_back(
            {after + faults_.splitGapMs, std::vector<uint8_t>(bytes.begin() + half, bytes.end())});
        return;
    }
    out_.push_back({after, std::move(bytes)});
}

std::vector<uint8_t> SimSerialDevice::TakeDue(int64_t nowMs) {
    std::vector<uint8_t> due;
    while (!out_.empty() && out_.front().atMs <= nowMs) {
        due.insert(due.end(), out_.front().bytes.begin(), out_.front().bytes.end());
        out_.pop_front();
    }
    return due;
}

int64_t SimSerialDevice::NextDueMs() const {
    return out_.empty() ? -1 : out_.front().atMs;
}

}  // namespace dmm::sim
