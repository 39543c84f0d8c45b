#include "sim/sim_serial_chip.h"

#include "core/instruments/rs232_chip_link.h"

namespace dmm::sim {
namespace {

constexpr int64_t kAnswerMs = 2;

}  // namespace

void SimSerialChip::OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        if (frame_.empty()) {
            if (b == kRs232Sync) {
                Reply(nowMs, kAnswerMs,
                      std::vector<uint8_t>{wrongSync ? uint8_t{0x00} : kRs232Ack});
            } else if (b == kRs232ReadCode || b == kRs232WriteCode) {
                frame_.push_back(b);
            }
            continue;
        }
        frame_.push_back(b);
        if (frame_.size() < 4) continue;
        const uint16_t address = static_cast<uint16_t>(frame_[1] | (frame_[2] << 8));
        const size_t count = frame_[3];
        if (frame_[0] == kRs232ReadCode) {
            std::vector<uint8_t> reply;
            for (size_t i = 0; i < count; ++i)
                reply.push_back(read ? read(static_cast<uint16_t>(address + i)) : 0);
            if (shortReplies > 0) {
                --shortReplies;
                reply.resize(reply.size() / 2);
            }
            Reply(nowMs, kAnswerMs, std::move(reply));
            frame_.clear();
        } else if (frame_.size() == 4 + count) {
            for (size_t i = 0; i < count; ++i) {
                if (write) write(static_cast<uint16_t>(address + i), frame_[4 + i]);
            }
            Reply(nowMs, kAnswerMs, std::vector<uint8_t>{kRs232Ack});
            frame_.clear();
        }
    }
}

}  // namespace dmm::sim
