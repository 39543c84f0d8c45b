#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "core/measure/capture_source.h"
#include "sim/sim_chip.h"

namespace dmm::test {

// A chip whose converter delivers a scripted sequence of raw results for one source,
// laid out as every chip of the family does: result registers at 0x00 (ADC1), 0x03
// (ADC2 fast), 0x06 (low-pass), 0x09 (RMS, 5 bytes), all least significant byte first,
// and a flag bit per source in an interrupt-flag register.
//
// Polling: the source's flag shows on every flagReadsPerResult-th read of the flag
// register while a result is pending; reading the result's last byte consumes it and
// loads the next one. Stream: once enabled with the source's channel mask, each
// stream read takes up to recordsPerReply results.
class ScriptedAdcChip final : public sim::SimChip {
  public:
    ScriptedAdcChip(uint16_t flagAddress, CaptureSource source)
        : flagAddress_(flagAddress), source_(source) {}

    // Raw results still to come, in order.
    void Queue(const std::vector<uint64_t>& raws) {
        for (uint64_t raw : raws) pending_.push_back(raw);
        LoadHead();
    }
    // Results made on demand once the queue is empty (an endless converter).
    std::function<uint64_t(int index)> generator;

    int flagReadsPerResult = 2;
    int recordsPerReply = 5;
    // Flag bits of other blocks that the flag register shows as well.
    uint8_t otherFlags = 0;

    int resultsTaken() const { return taken_; }
    bool streaming() const { return streaming_; }
    uint8_t streamMask() const { return streamMask_; }

    uint8_t Read(uint16_t address) override {
        const auto& info = SourceInfo(source_);
        if (address == flagAddress_) {
            ++flagReads_;
            const bool show = HasResult() && flagReads_ % flagReadsPerResult == 0;
            return static_cast<uint8_t>(otherFlags | (show ? SourceFlag() : 0));
        }
        const uint8_t value = SimChip::Read(address);
        if (address == info.resultAddress + info.resultBytes - 1 && HasResult()) {
            Consume();
            LoadHead();
        }
        return value;
    }

    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
        if (!streaming_ || streamMask_ != SourceInfo(source_).streamMask) return 0;
        int n = 0;
        while (n < std::min(max, recordsPerReply) && HasResult()) {
            const uint64_t raw = Consume();
            for (int b = 0; b < 5; ++b)
                records[static_cast<size_t>(n)][static_cast<size_t>(b)] =
                    static_cast<uint8_t>(raw >> (8 * b));
            ++n;
        }
        LoadHead();
        return n;
    }

    void SetStream(bool enabled, uint8_t value) override {
        streaming_ = enabled;
        streamMask_ = value;
    }

    // The usual flag bits: ADC1 2, ADC2 fast 1, low-pass 3, RMS 4.
    uint8_t SourceFlag() const {
        static constexpr uint8_t kFlags[] = {0x04, 0x02, 0x08, 0x10};
        return kFlags[static_cast<int>(source_)];
    }

  private:
    bool HasResult() {
        if (pending_.empty() && generator) pending_.push_back(generator(taken_));
        return !pending_.empty();
    }
    uint64_t Consume() {
        const uint64_t raw = pending_.front();
        pending_.pop_front();
        ++taken_;
        return raw;
    }
    void LoadHead() {
        if (!HasResult()) return;
        const auto& info = SourceInfo(source_);
        for (int b = 0; b < info.resultBytes; ++b) {
            memory_[static_cast<size_t>(info.resultAddress + b)] =
                static_cast<uint8_t>(pending_.front() >> (8 * b));
        }
    }

    uint16_t flagAddress_;
    CaptureSource source_;
    std::deque<uint64_t> pending_;
    int flagReads_ = 0;
    int taken_ = 0;
    bool streaming_ = false;
    uint8_t streamMask_ = 0;
};

}  // namespace dmm::test
