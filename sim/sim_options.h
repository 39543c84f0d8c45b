#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/dmm_front_end.h"
#include "sim/switch_test_firmware.h"
#include "sim/timed_fault.h"

namespace dmm::sim {

class SimBench;

// A tone the simulated bench puts on one of the chip's input nodes from the start.
struct SimToneOption {
    Tone tone;
    std::string node = "SENSE";
};

// The options of the programs' simulated bench beyond --sim itself.
struct SimBenchOptions {
    std::optional<SimToneOption> tone;
    // The harmonic distortion of the simulated AC sources (the 2nd harmonic first, dBc):
    // every tone that has no harmonics of its own gets these.
    std::optional<std::vector<double>> harmonicsDbc;
    // The resistor on the ohmmeter's input, ohms (10 kΩ unless given).
    std::optional<double> externalOhms;
    // Converters without noise: every result is the exact code of its input, so that two
    // runs of the same work write the same figures, whatever the timing between them.
    bool noiseless = false;
    // The converters' noise from this seed: the same noise, and so the same figures, in
    // every run that gives it (without it each run draws its own).
    std::optional<uint64_t> seed;
    // Faults the RX405's switch test firmware shows from the start.
    std::optional<SwitchTestFirmwareFaults> firmwareFaults;
    // Faults at times on the bench clock.
    std::vector<TimedSimFault> timedFaults;
};

// "PEAK_VOLTS,HERTZ[,NODE]", e.g. "0.1,50" or "0.05,13.7,OP1O". Numbers are read
// without the locale. Empty, and why in error, when the text is not one.
std::optional<SimToneOption> ParseSimTone(std::string_view text, std::string& error);
// "-60,-70,-80": levels in dBc, each at most 0.
std::optional<std::vector<double>> ParseHarmonics(std::string_view text, std::string& error);

// A seed: a whole number from 0 to 2^64 - 1. Empty, and why in error, when the text is not one.
std::optional<uint64_t> ParseSimSeed(std::string_view text, std::string& error);

// A resistance in ohms, "4700", "4.7k" or "1.5M"; positive. Empty, and why in error,
// when the text is not one.
std::optional<double> ParseSimResistor(std::string_view text, std::string& error);

// Faults of the switch test firmware by name, separated by commas: "ready-stuck",
// "block-stuck", "never-ends", "status-fails", "setup-differs". Empty, and why in error,
// for a name that is none of them.
std::optional<SwitchTestFirmwareFaults> ParseFirmwareFaults(std::string_view text,
                                                            std::string& error);

// One --sim-fault value: names of firmware faults (as above) and timed faults, separated
// by commas. A timed fault is TARGET:FAULT@START[+DURATION]: TARGET is "board" (faults
// "unplug", "power-cycle") or a serial device ("chip-link", "calibrator", "power",
// "chamber", "meter1".."meter6" or its "COMn" on the simulated bench; faults "silent",
// "garbage", "split", "slow", "vanish"); times are seconds, or with a unit "500ms", "90s",
// "2m", "1h". Without a duration the fault lasts to the end. False, and why in error, for
// text that is none of these; what parsed is added to options.
bool ParseSimFault(std::string_view text, SimBenchOptions& options, std::string& error);

// Puts the options on the bench's chip. False (and why) when the chip is not the one the
// options are for: the DMM model alone has analog inputs to set, the RX405 alone runs
// the switch test firmware.
bool ApplySimOptions(SimBench& bench, const SimBenchOptions& options, std::string& error);

}  // namespace dmm::sim
