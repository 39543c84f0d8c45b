#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/calsets/calset_manager.h"
#include "core/link/processor_centre.h"
#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// The calibration objects of a bench without windows, with a heartbeat of their own run
// by hand: the resistor and voltage calibration, the ohmmeter and the calibration sets.
// Their figures stay from one operation to the next (the voltmeter reads the resistors
// the calibration measured). Made by the first calibration operation.
struct CalibrationState {
    explicit CalibrationState(HeadlessBench& bench);
    TVz_UP up;
    ResistorCalibration cal;
    ResistanceMeter meter;
    CalSetManager sets;
};

// The divider resistors R1M, R100K, R10K and R1K in ohms (0 where not measured), and the
// volts per count when asked for. A failure is the run's (the resistors found before it
// stay in resistors).
struct ResistorRun {
    std::array<double, ResistorCalibration::kStepCount> resistors{};
    std::optional<double> voltsPerCount;
    std::optional<Failure> failure;
};
// Measures the divider resistors (step 0: all four, else one step 1..4), then, with
// calibrationVolts (the voltage on the input, as typed), the volts per count. ADC1 must run.
Result<ResistorRun> CalibrateResistors(HeadlessBench& bench, int step,
                                       const std::optional<std::string>& calibrationVolts);

// Readings of a live display, and why there are fewer than asked for.
struct LiveRun {
    std::vector<double> readings;
    int decimals = 0;              // as the display shows them
    std::optional<double> factor;  // the range factor a calibration found
    std::optional<Failure> failure;
};
// The DC voltmeter on the measured divider: range 0..3 (1V .. 1000V), count readings in
// volts; eptcOhms as typed (the ohms less than 10 MΩ above the range resistor).
Result<LiveRun> ReadVolts(HeadlessBench& bench, int range, int count,
                          const std::string& eptcOhms = "8000");
// The ohmmeter: range 0..5 (50M .. 500), calibrated first against calibrationOhms (as
// typed) when given; count readings in ohms.
Result<LiveRun> ReadOhms(HeadlessBench& bench, int range, int count,
                         const std::optional<std::string>& calibrationOhms);
// The range of a caption: "1V".."1000V" for the voltmeter, "50M".."500" for the ohmmeter.
std::optional<int> VoltmeterRangeOf(const std::string& caption);
std::optional<int> OhmmeterRangeOf(const std::string& caption);

// The calibration sets of a folder (the bench directory when empty).
struct CalSetSlot {
    std::string caption;  // the set's name, "NO FILE" or "UNREADABLE"
    SlotState state = SlotState::Empty;
    std::string path;
    std::string fault;  // why a file named like a set is none
};
Result<std::vector<CalSetSlot>> ListCalSets(HeadlessBench& bench, const std::string& folder);
// Writes a set to the chip; its name and file.
struct AppliedSet {
    std::string name;
    std::string path;
};
Result<AppliedSet> ApplyCalSet(HeadlessBench& bench, const std::string& folder, int slot);
// Measures the chip as it stands for a set's offset (gain false) or gain, through the
// set's ADC1 or RMS path, and saves it into the set; the two means (ADC1, RMS).
Result<std::array<double, 2>> MeasureCalSet(HeadlessBench& bench, const std::string& folder,
                                            int slot, bool gain, bool replace);
// Saves the chip's registers into a set (the first free slot without one); an existing set
// is replaced only with replace. The slot and its file.
struct SavedSet {
    int slot = 0;
    std::string path;
};
Result<SavedSet> SaveCalSet(HeadlessBench& bench, const std::string& folder,
                            std::optional<int> slot, bool replace);

}  // namespace dmm::headless
