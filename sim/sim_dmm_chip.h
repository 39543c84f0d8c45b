#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/chip/chip_model.h"
#include "sim/counter_model.h"
#include "sim/dmm_front_end.h"
#include "sim/sim_chip.h"
#include "sim/switch_network.h"

namespace dmm::sim {

// The description file of the demo DMM front end, in the bench directory's INCLUDE/.
inline constexpr char kDemoDmmDescription[] = "VZ6401.INC";

// A behavioural model of the demo DMM front end, laid out by its chip description: the
// register addresses, implemented bits, enable fields, interrupt flags and result
// registers all come from the description file, so the simulated chip and the program
// can never disagree about them.
//
// Signal path: analog node voltages -> input and reference selectors -> gain stage and
// DC offset -> converter with its noise -> result registers, interrupt flag, peak hold and
// the board's ADC stream (DmmFrontEnd holds the analog part). Each converter runs while
// its enable field is 1, at the rate its clock and oversampling fields give; the
// low-pass filter and the RMS converter average 64 x 2^SELAVG results of ADC2. Time
// comes from AdvanceTo. The peak hold keeps the minimum and maximum of the source
// SELPKH chooses (ADC2, ADC1 with five bits less, or the low-pass filter) from the moment
// ENPKH turns on.
//
// The switch network's comparator follows its input against its thresholds (ACPO, and
// FGRISE on a rising output); enabled op-amps drive their outputs; the clock fields set
// every rate, and with neither the crystal (EN_OSC) nor the external clock (ENI_XI) on
// nothing is clocked. The crystal runs from power-up. The three counters measure the
// square wave on CNTI or the capacitance oscillator on CP_OUT (CounterModel) and raise
// CTIF with their counts.
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
    void SeedNoise(uint64_t seed) override { noise_.Seed(seed); }
    int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override;
    void SetStream(bool enabled, uint8_t channelMask) override;

    AnalogNodes& nodes() { return nodes_; }
    CounterInputs& counterInputs() { return counterInputs_; }
    const CounterModel& counters() const { return counters_; }
    // The front end's system clock with the present register settings (0: not clocked).
    double SystemClockHz() const { return asleep_ ? 0.0 : frontEnd_.SystemClockHz(memory_); }
    bool Asleep() const { return asleep_; }
    static constexpr uint8_t kSleepKey = 0xA5;
    const std::string& productTitle() const { return productTitle_; }

    // Time between two results of a converter with the present register settings.
    double ConversionPeriodMs(Converter converter) const;
    // The code a converter produces for the present node voltages, without noise.
    int64_t ConversionCode(Converter converter) const;
    // The analog state behind a converter (ADC1, or ADC2 for the other three).
    ConverterState State(Converter converter) const;

  private:
    struct Path {
        Converter converter;
        TRegField enable;
        TRegField flag;
        uint16_t resultAddress = 0;
        int resultBytes = 3;
        bool running = false;
        double nextDueMs = 0;
        double periodMs = 0;
    };

    explicit SimDmmChip(const TChipModel& model)
        : frontEnd_(model), comparator_(model), counters_(model) {}
    void PowerOn();
    void SyncEnables();
    double NowSeconds() const { return static_cast<double>(nowMs_) / 1000.0; }
    bool Enabled(const Path& path) const;
    // Delivers conversions due at firstMs and every period after it.
    void Produce(Path& path, double firstMs, int64_t conversions);
    // One result of a converter at a moment, noise included.
    int64_t Sample(Converter converter, const ConverterState& state, double atMs);
    struct FilterWindow {
        double mean = 0;
        double meanSquare = 0;
    };
    FilterWindow Window(const ConverterState& state, double atMs) const;
    void HoldPeak(Converter converter, int64_t code);
    void StoreResult(uint16_t address, int bytes, uint64_t code);

    DmmFrontEnd frontEnd_;
    Comparator comparator_;
    CounterModel counters_;
    CounterInputs counterInputs_;
    TRegField oscillatorEnable_;
    NoiseSource noise_;
    std::string productTitle_;
    std::array<uint8_t, kChipMemorySize> implemented_{};  // per address, from RegMask
    std::array<uint8_t, kChipMemorySize> flagBits_{};     // per address, chip-owned flags
    std::array<uint8_t, kChipMemorySize> statusBits_{};   // per address, comparator status
    std::array<bool, kChipMemorySize> readOnly_{};
    TRegField adc2Enable_;
    std::vector<Path> paths_;
    AnalogNodes nodes_;
    int64_t nowMs_ = 0;
    // Peak hold: where the two results go, and what it holds since ENPKH turned on.
    uint16_t peakMinAddress_ = 0;
    uint16_t peakMaxAddress_ = 0;
    bool peakHoldOn_ = false;
    bool peakValid_ = false;
    int64_t peakMin_ = 0;
    int64_t peakMax_ = 0;
    uint8_t streamMask_ = 0;
    std::optional<size_t> sleepKeyAddress_;
    bool asleep_ = false;
    std::deque<std::array<uint8_t, 5>> stream_;
};

// The chip the simulated bench carries: the demo DMM front end read from the bench
// directory's INCLUDE/, or the plain memory chip (with the reason in error) when that
// description cannot be used.
std::unique_ptr<SimChip> MakeBenchChip(const QString& benchDir, std::string* error);

}  // namespace dmm::sim
