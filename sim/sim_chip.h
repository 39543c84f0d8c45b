#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace dmm::sim {

inline constexpr int kChipMemorySize = 1024;

// The target chip behind the simulated board. The base chip is a faithful 1024-byte
// memory; behavioural models (the DMM chip) override the hooks.
// Thread: called by the board with its lock held, one call at a time.
class SimChip {
  public:
    virtual ~SimChip() = default;

    virtual uint8_t Read(uint16_t address);
    virtual void Write(uint16_t address, uint8_t value);
    // Lets time-driven models catch up with the board's clock before an access.
    virtual void AdvanceTo(int64_t /*nowMs*/) {}
    // The board's reset line was pulsed.
    virtual void Reset() { memory_.fill(0); }
    // Starts the chip's noise from this seed, so that a run repeats. The base chip has none.
    virtual void SeedNoise(uint64_t /*seed*/) {}
    // The ADC stream: fills up to max five-byte records (least significant byte first)
    // and returns how many. The base chip has no converter.
    virtual int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& /*records*/,
                                  int /*max*/) {
        return 0;
    }
    virtual void SetStream(bool /*enabled*/, uint8_t /*value*/) {}
    // Two signed 24-bit conversion values for the analysis window's conversion read.
    virtual void ReadConversion(uint8_t function, uint16_t address, int32_t& first,
                                int32_t& second);
    // The 8-character identification text the board reports for the firmware it runs;
    // empty: the board's own.
    virtual std::string_view InfoText() const { return {}; }
    // The chip's lines that the board shows in its first status byte (bits 1..7); false
    // when the board cannot read them (its status request then gets no answer).
    virtual bool StatusLines(uint8_t& lines) {
        lines = 0;
        return true;
    }

    const std::array<uint8_t, kChipMemorySize>& memory() const { return memory_; }

  protected:
    std::array<uint8_t, kChipMemorySize> memory_{};
};

}  // namespace dmm::sim
