#include "sim/sim_board.h"

#include <algorithm>
#include <cstring>

namespace dmm::sim {
namespace {

constexpr uint8_t kAck = 0xAA;
constexpr uint8_t kUartReadAck = 0xFA;

bool IsConversionFrame(const std::vector<uint8_t>& p) {
    return p.size() >= 9 && p[1] <= 1 && p[2] <= 3 && p[5] == 0xF0 && p[6] == 0x00 &&
           p[7] == 0x08 && p[8] == 0x64;
}

}  // namespace

SimBoard::SimBoard(SimChip& chip, Clock& clock) : chip_(chip), clock_(clock) {}

void SimBoard::PowerCycle() {
    std::lock_guard lock(mutex_);
    chip_.AdvanceTo(clock_.NowMs());
    chip_.Reset();
    chip_.SetStream(false, 0);
    dmmMode_ = false;
    streamEnabled_ = false;
    resetLine_ = true;
    connectedIndex_ = 0xFFFF;
    replyWaiting_ = false;
}

bool SimBoard::Receive(const uint8_t* data, size_t n) {
    std::lock_guard lock(mutex_);
    if (faults_.disconnected) return false;
    std::vector<uint8_t> packet(data, data + n);
    chip_.AdvanceTo(clock_.NowMs());
    pendingReply_ = Answer(packet);
    if (faults_.replyFilter) faults_.replyFilter(packet, pendingReply_);
    // A packet the board does not understand gets no answer at all.
    replyWaiting_ = !pendingReply_.empty();
    lastReplyCut_ = false;
    if (faults_.dropReplies > 0) {
        --faults_.dropReplies;
        replyWaiting_ = false;
    } else if (faults_.shortReplies > 0) {
        --faults_.shortReplies;
        pendingReply_.resize(pendingReply_.size() / 2);
        lastReplyCut_ = true;
    }
    return true;
}

bool SimBoard::Reply(uint8_t* data, size_t capacity, size_t& delivered) {
    int64_t delay = 0;
    {
        std::lock_guard lock(mutex_);
        delivered = 0;
        if (faults_.disconnected || !replyWaiting_) return false;
        delay = faults_.replyDelayMs + latencyMs_;
        delivered = std::min(capacity, pendingReply_.size());
        std::memcpy(data, pendingReply_.data(), delivered);
        replyWaiting_ = false;
    }
    if (delay > 0) clock_.SleepMs(delay);
    return true;
}

std::vector<uint8_t> SimBoard::ReadBlock(uint16_t address, size_t count) {
    std::vector<uint8_t> out(count);
    for (size_t i = 0; i < count; ++i) out[i] = chip_.Read(static_cast<uint16_t>(address + i));
    return out;
}

void SimBoard::WriteBlock(uint16_t address, const std::vector<uint8_t>& p, size_t at,
                          size_t count) {
    for (size_t i = 0; i < count && at + i < p.size(); ++i) {
        chip_.Write(static_cast<uint16_t>(address + i), p[at + i]);
    }
}

std::vector<uint8_t> SimBoard::AnswerBoardCommand(const std::vector<uint8_t>& p) {
    std::vector<uint8_t> reply(8, 0);
    const uint8_t code = p.size() > 1 ? p[1] : 0;
    const uint16_t word = p.size() > 3 ? static_cast<uint16_t>(p[2] | (p[3] << 8)) : 0;
    auto put = [&](uint16_t w) {
        reply[0] = static_cast<uint8_t>(w & 0xFF);
        reply[1] = static_cast<uint8_t>(w >> 8);
    };
    switch (code) {
        case 0xAC:
            std::memcpy(reply.data(), faults_.wrongSignature ? "Mervatox" : "Mervatok", 8);
            break;
        case 0x02:
            put(0xFFFF);
            break;
        case 0x01:
            // The board hands out a session word that the host passes on to command 4 (and 6).
            connectedIndex_ = word;
            put(static_cast<uint16_t>(word == 0xFFFF ? 0xFFFF : (0x5A00 | (word & 0xFF))));
            break;
        case 0x04:
        case 0x06:
            put(static_cast<uint16_t>(word ^ 0x00A5));
            break;
        case 0x05: {
            const std::string_view text = chip_.InfoText();
            if (text.empty())
                std::memcpy(reply.data(), kInfoText, 8);
            else
                std::copy_n(text.begin(), std::min<size_t>(text.size(), 8), reply.begin());
            break;
        }
        case 0x10:
            dmmMode_ = p.size() > 2 && p[2] != 0;
            reply[0] = 0xFA;
            reply[1] = kAck;
            break;
        default:
            break;
    }
    return reply;
}

std::vector<uint8_t> SimBoard::AnswerStream(const std::vector<uint8_t>& p) {
    std::vector<uint8_t> reply(64, 0);
    if (p.size() > 1 && p[1] == 0x00) {
        const bool enable = p.size() > 3 && p[3] != 0;
        streamEnabled_ = enable;
        chip_.SetStream(enable, p.size() > 4 ? p[4] : 0);
        reply[0] = 0xFA;
        reply[1] = kAck;
        return reply;
    }
    std::array<std::array<uint8_t, 5>, 12> records{};
    const int count = streamEnabled_ ? std::clamp(chip_.TakeStreamRecords(records, 12), 0, 12) : 0;
    reply[0] = static_cast<uint8_t>(count);
    reply[1] = streamEnabled_ ? 0x01 : 0x00;
    // On the wire each record travels most significant byte first.
    for (int k = 0; k < count; ++k) {
        const auto& record = records[static_cast<size_t>(k)];
        std::reverse_copy(record.begin(), record.end(), reply.begin() + 2 + 5 * k);
    }
    if (faults_.oversizedStreamCount > 0) {
        reply[0] = static_cast<uint8_t>(faults_.oversizedStreamCount);
        faults_.oversizedStreamCount = 0;
    }
    return reply;
}

std::vector<uint8_t> SimBoard::AnswerConversion(uint8_t function, uint16_t address) {
    int32_t first = 0, second = 0;
    chip_.ReadConversion(function, address, first, second);
    std::vector<uint8_t> reply{kAck};
    for (int32_t v : {first, second}) {
        for (int shift : {0, 8, 16}) reply.push_back(static_cast<uint8_t>(v >> shift));
    }
    return reply;
}

std::vector<uint8_t> SimBoard::Answer(const std::vector<uint8_t>& p) {
    if (p.empty()) return {};
    const auto at = [&](size_t i) -> uint8_t { return i < p.size() ? p[i] : 0; };
    const uint16_t word23 = static_cast<uint16_t>(at(2) | (at(3) << 8));

    switch (p[0]) {
        case 0xF9:
            return AnswerBoardCommand(p);
        case 0xC5: {
            // Link start: the first step leaves a token in byte 3 for the second step.
            std::vector<uint8_t> reply(64, 0);
            reply[0] = 0xC5;
            reply[1] = 0xFF;
            reply[2] = at(2);
            reply[3] = linkToken_;
            if (at(2) == 0x00) ++linkStarts_;
            return reply;
        }
        case 0xB5:
            if (at(1) == 0x01) {
                const bool high = at(2) != 0;
                if (high && !resetLine_) chip_.Reset();
                resetLine_ = high;
                return {kAck};
            }
            if (at(1) == 0x07) {
                uint8_t lines = 0;
                if (!chip_.StatusLines(lines)) return {};
                return {kAck,
                        static_cast<uint8_t>(static_cast<uint8_t>(resetLine_) | (lines & 0xFE)),
                        static_cast<uint8_t>(dmmMode_), static_cast<uint8_t>(streamEnabled_)};
            }
            return {0};
        case 0xC0:
            return {kAck};  // UART link setup
        case 0xC3:
            return AnswerStream(p);
        case 0xC1: {  // UART kind
            const size_t n = at(4);
            if (at(1) & 0x80) {
                auto reply = ReadBlock(word23, n);
                reply.push_back(kUartReadAck);
                return reply;
            }
            WriteBlock(word23, p, 5, n);
            return {kAck};
        }
        case 0xC2: {  // DMM kind: the address travels doubled, bit 0 set for reads
            const uint16_t address = static_cast<uint16_t>(at(2) >> 1);
            const size_t n = at(3);
            if (at(2) & 1) return ReadBlock(address, n);
            WriteBlock(address, p, 4, n);
            return std::vector<uint8_t>(p.begin() + std::min<size_t>(4, p.size()),
                                        p.begin() + std::min<size_t>(4 + n, p.size()));
        }
        case 0xB1:
        case 0xBC: {  // SPI kind
            const size_t n = at(4);
            if (at(1) == 0xC0) return ReadBlock(word23, n);
            WriteBlock(word23, p, 5, n);
            return {kAck};
        }
        case 0xBA:
        case 0xBE: {  // Special kind, or the ADC conversion read
            if (IsConversionFrame(p))
                return AnswerConversion(at(2), static_cast<uint16_t>(at(3) | (at(4) << 8)));
            const uint8_t mode = at(1);
            const bool rxModel = mode == 0xC0 || mode == 0x40;
            const bool read = rxModel ? mode == 0xC0 : (mode & 0x80) != 0;
            const uint16_t page = rxModel ? 0 : static_cast<uint16_t>((mode & 0x7C) >> 2);
            const uint16_t address = static_cast<uint16_t>((page << 8) | at(2));
            const size_t n = at(3);
            if (read) return ReadBlock(address, n);
            WriteBlock(address, p, 5, n);
            return {kAck};
        }
        case 0xBB:
        case 0xBD:  // ADC conversion read on the SPI kind
            return AnswerConversion(at(2), static_cast<uint16_t>(at(3) | (at(4) << 8)));
        default:
            return {};
    }
}

}  // namespace dmm::sim
