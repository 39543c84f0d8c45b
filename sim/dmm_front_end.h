#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/chip/chip_model.h"
#include "sim/sim_chip.h"

namespace dmm::sim {
class DividerNetwork;
}

namespace dmm::sim {

// An AC signal on top of a node's level: a sine of the given peak amplitude and
// frequency, and its harmonics at levels relative to the fundamental (the second
// harmonic first, in dBc). The simulated calibrator's AC output is one.
struct Tone {
    double peakVolts = 0;
    double frequencyHz = 0;
    std::vector<double> harmonicsDbc;
    bool Active() const { return peakVolts != 0 && frequencyHz > 0; }
    double VoltsAt(double seconds) const;
};

// Voltages at the chip's analog nodes. The stimulus fields are what tests and the
// simulated instruments drive; every other node sits at a level fixed by the chip, and
// any node can be pinned to a voltage by name ("PB<3>"). A tone on a node adds to its
// level at each conversion's own moment. Change the nodes with the board's mutex held.
//
// Nodes, relative to the analog ground AGND (which S_AGND sets between VSS and VDD):
//   SENSE = AGND + adc1Input   the meter's input
//   OP1O  = AGND + adc2Input   op-amp 1's output, the fast converter's usual input
//   VREF, REFO = AGND + reference
//   FB, RLU, OP2O, OP2P and the port pins PB<k> = AGND; VSS = 0; VDD = supply
struct AnalogNodes {
    // The meter input carries the voltage "CAL. Voltage" proposes, so that its first
    // click on the simulated bench calibrates right.
    double adc1Input = 0.3;
    double adc2Input = 0.25;
    double reference = 1.2;
    double supply = 3.0;
    // The resistor on the ohmmeter's input (the divider network's unknown).
    double externalOhms = 10000.0;
    // Converter noise; tests that check exact codes switch it off.
    bool noise = true;
    std::map<std::string, double, std::less<>> pinned;
    std::map<std::string, Tone, std::less<>> tones;  // by node name ("SENSE", "OP1O")
    // The harmonic distortion of the simulated AC sources (2nd harmonic first, dBc): a
    // tone without harmonics of its own gets these when it reaches a converter.
    std::vector<double> sourceHarmonicsDbc;
    // The die's temperature (the climate chamber's air on the serial bench) and how the
    // converters' input offset and gain drift with it, from their values at 25 degC.
    double celsius = kDriftReferenceCelsius;
    double offsetDriftVoltsPerKelvin = 2e-6;
    double gainDriftPerKelvin = 50e-6;
    static constexpr double kDriftReferenceCelsius = 25.0;
    // An input level as the drifted front end passes it on.
    double Drifted(double volts) const {
        const double dT = celsius - kDriftReferenceCelsius;
        return volts * (1.0 + gainDriftPerKelvin * dT) + offsetDriftVoltsPerKelvin * dT;
    }
};

// A tone as it reaches a converter's differential input: +1 on the positive input,
// -1 on the negative one.
struct InputTone {
    double sign = 1;
    Tone tone;
};

// What the registers and nodes make of one converter at a moment.
struct ConverterState {
    double inputVolts = 0;         // differential input after the selectors
    double offsetVolts = 0;        // input offset, left by a converter without chopper
    double gain = 1;               // gain stage
    double referenceVolts = 0;     // after the reference selectors and reference gain
    double offsetFraction = 0;     // DC offset added after the gain, in references
    double rateHz = 0;             // results per second
    double noiseCounts = 0;        // rms noise of one result, in result counts
    int bits = 24;                 // resolution of the result
    bool running = false;          // clocked and enabled
    std::vector<InputTone> tones;  // AC signals on the selected inputs

    // The noiseless result code, clamped to the converter's range. A reference below a
    // millivolt cannot balance the modulator: the result rails with the input's sign.
    int64_t IdealCode() const;
    // The same at a moment, with the input tones' values then.
    int64_t IdealCodeAt(double seconds) const;
    double ToneVoltsAt(double seconds) const;

  private:
    int64_t CodeFor(double inputVolts) const;
};

// The analog front end of the demo DMM chip: input and reference selectors, gain
// stages, DC offset, chopper, clock tree and converters, all set by the register fields
// the chip description names. Node names come from the selectors' option labels in the
// description, so a selector routes to the node its label names.
class DmmFrontEnd {
  public:
    explicit DmmFrontEnd(const TChipModel& model);

    using Memory = std::array<uint8_t, kChipMemorySize>;

    // A node's voltage: pinned, a divider tap of the switch network, an op-amp output that
    // follows its input, or the level the chip holds it at.
    double NodeVolts(std::string_view node, const Memory& memory, const AnalogNodes& nodes) const;
    // The node a selector (by field name) connects now ("" for a hidden option), and its
    // voltage.
    std::string SelectedNode(std::string_view selector, const Memory& memory) const;
    double SelectedVolts(std::string_view selector, const Memory& memory,
                         const AnalogNodes& nodes) const;
    // An enabled op-amp whose output switch is closed drives its output node (OP1O, OP2O)
    // with its positive input; OP2P is op-amp 2's positive input itself. The node whose
    // voltage (and tone) a node carries: the node itself for any other.
    std::string DrivingNode(std::string_view node, const Memory& memory) const;
    // The system clock: the crystal while EN_OSC runs it, or the external clock when
    // ENI_XI is 1; 0 when both are off (nothing is clocked).
    double SystemClockHz(const Memory& memory) const;

    ConverterState Adc1(const Memory& memory, const AnalogNodes& nodes) const;
    ConverterState Adc2(const Memory& memory, const AnalogNodes& nodes) const;
    // Samples of ADC2 that one low-pass (and RMS) result spans: 64 x 2^SELAVG.
    int FilterLength(const Memory& memory) const;

    int Field(std::string_view name, const Memory& memory) const;
    bool Has(std::string_view name) const;

    static constexpr double kCrystalHz = 4915200.0;
    static constexpr double kExternalClockHz = 4000000.0;

  private:
    struct Selector {
        TRegField field;
        std::vector<std::string> nodes;  // option k -> node name ("" when hidden)
    };
    void AddSelector(const TChipModel& model, const char* name);
    double LevelVolts(std::string_view node, const Memory& memory, const AnalogNodes& nodes) const;
    void AddInputTones(ConverterState& state, std::string_view positive, std::string_view negative,
                       const Memory& memory, const AnalogNodes& nodes) const;
    double TableGain(std::string_view field, const Memory& memory) const;

    std::map<std::string, TRegField, std::less<>> fields_;
    std::map<std::string, Selector, std::less<>> selectors_;
    std::shared_ptr<const DividerNetwork> divider_;
    std::map<std::string, std::vector<double>, std::less<>> gains_;
};

// Gaussian converter noise. Each source starts from its own seed taken from the clock, so
// that two runs, like two converters, show different noise; Seed makes a run repeat.
class NoiseSource {
  public:
    NoiseSource();
    double Next(double sigma);
    void Seed(uint64_t seed);

  private:
    std::mt19937_64 engine_;
    std::normal_distribution<double> normal_{0.0, 1.0};
};

}  // namespace dmm::sim
