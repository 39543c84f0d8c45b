#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/chip/chip_model.h"
#include "sim/sim_chip.h"

namespace dmm::sim {

// The description file of the demo DMM front end, in the bench directory's INCLUDE/.
inline constexpr char kDemoDmmDescription[] = "VZ6401.INC";

// Voltages at the chip's analog nodes, in volts. Tests and the simulated instruments set
// them; the converters read them.
struct AnalogNodes {
    double adc1Input = 0.25;  // differential voltage across ADC1's input pair
    double adc2Input = 0.25;  // differential voltage across ADC2's input pair
    double reference = 1.2;   // the converters' reference voltage VR
};

// A behavioural model of the demo DMM front end, laid out by its chip description: the
// register addresses, implemented bits, enable fields, interrupt flags and result
// registers all come from the description file, so the simulated chip and the program
// can never disagree about them.
//
// Signal path: analog nodes -> converter (input volts to a code) -> result registers and
// interrupt flag (and the board's ADC stream). Each converter runs at its own rate while
// its enable field is 1; time comes from AdvanceTo.
//
// Register behaviour, as the chip designer would have it:
// - unimplemented bits read 0 and addresses outside every register and RAM bank read 0;
// - result registers are read-only;
// - a register holding interrupt flags is owned by the chip: reading it returns the flags
//   and clears the ones it returned (so the host must remember what it read, which is why
//   the heartbeat accumulates the flags), and writing a 1 to a flag bit clears it too.
class SimDmmChip final : public SimChip {
  public:
    enum class Converter { Adc1, Adc2Fast, LowPass, Rms };

    // Builds the chip from a loaded description; nullptr (and why in error) when the
    // description lacks a field or result register the model needs.
    static std::unique_ptr<SimDmmChip> FromModel(const TChipModel& model, std::string* error);
    // Loads the description file through the program's own loader first.
    static std::unique_ptr<SimDmmChip> FromDescriptionFile(const QString& path, std::string* error);

    uint8_t Read(uint16_t address) override;
    void Write(uint16_t address, uint8_t value) override;
    void AdvanceTo(int64_t nowMs) override;
    void Reset() override;
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override;
    void SetStream(bool enabled, uint8_t channelMask) override;

    AnalogNodes& nodes() { return nodes_; }
    const std::string& productTitle() const { return productTitle_; }

    // Time between two results of a converter. Fixed rates for now: 10 ADC1 results per
    // second as a DMM's slow converter gives, a fast ADC2, and the filters after it.
    static int64_t ConversionPeriodMs(Converter converter);
    // The code a converter produces for the present node voltages.
    int64_t ConversionCode(Converter converter) const;

  private:
    struct Path {
        Converter converter;
        TRegField enable;
        TRegField flag;
        uint16_t resultAddress = 0;
        int resultBytes = 3;
        bool running = false;
        int64_t nextDueMs = 0;
    };

    SimDmmChip() = default;
    void SyncEnables();
    bool Enabled(const Path& path) const;
    void Produce(Path& path, int64_t conversions);

    std::string productTitle_;
    std::array<uint8_t, kChipMemorySize> implemented_{};  // per address, from RegMask
    std::array<uint8_t, kChipMemorySize> flagBits_{};     // per address, chip-owned flags
    std::array<bool, kChipMemorySize> readOnly_{};
    TRegField adc2Enable_;
    std::vector<Path> paths_;
    AnalogNodes nodes_;
    int64_t nowMs_ = 0;
    uint8_t streamMask_ = 0;
    std::deque<std::array<uint8_t, 5>> stream_;
};

// The chip the simulated bench carries: the demo DMM front end read from the bench
// directory's INCLUDE/, or the plain memory chip (with the reason in error) when that
// description cannot be used.
std::unique_ptr<SimChip> MakeBenchChip(const QString& benchDir, std::string* error);

}  // namespace dmm::sim
