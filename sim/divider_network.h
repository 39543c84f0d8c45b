#pragma once

#include <optional>

#include "core/chip/chip_model.h"
#include "sim/dmm_front_end.h"

namespace dmm::sim {

// The demo chip's divider network as resistor calibration, the voltmeter and the
// ohmmeter use it: the 10 MΩ reference and four divider resistors, switched by the
// banks P, D, F and S (bit 7: 10 MΩ, bit 5: 1 MΩ, bit 4: 100 kΩ, bit 3: 10 kΩ,
// bit 2: 1 kΩ), with ADC1's input selector (AD1IS) choosing what ADC1 reads:
//
// - one resistor on P and D and one on F and S: a 1 V drive across the two in series;
//   AD1IS 0x11 reads the P/D resistor, 0x02 the F/S one, 0x59 the calibration input
//   (the calibrator's output on SENSE) directly;
// - P7 with one resistor on P and S, D and F open: the voltmeter, the input through the
//   10 MΩ string (less the 8 kΩ its tap leaves out) onto that resistor, AD1IS 0x10;
// - P7, P1 and one resistor on P and D, F and S open: the ratiometric ohmmeter, a
//   current of (reference voltage / that resistor) through it and the external resistor;
//   AD1IS 0x58 or 0x38 reads the external resistor, 0x11 the reference resistor;
// - F0 with at most one resistor on F, the rest open: the high ohms ranges, a current of
//   0.2 V / that resistor (10 MΩ with none) through the external resistor.
//
// The resistors are off their nominal values by fixed tolerances, so that a calibration
// has something to find. Anything else: the network is open and ADC1 reads its selectors.
class DividerNetwork {
  public:
    explicit DividerNetwork(const TChipModel& model);

    static constexpr double kReferenceOhms = 10.0e6;           // exact: the calibration starts here
    static constexpr double k1MOhms = 1.0e6 * (1 + 0.0035);    // +0.35 %
    static constexpr double k100KOhms = 1.0e5 * (1 - 0.0042);  // -0.42 %
    static constexpr double k10KOhms = 1.0e4 * (1 + 0.0027);   // +0.27 %
    static constexpr double k1KOhms = 1.0e3 * (1 - 0.0061);    // -0.61 %
    static constexpr double kVoltageTapOhms = 8000.0;
    static constexpr double kCalibrationDriveVolts = 1.0;
    static constexpr double kHighOhmsDriveVolts = 0.2;

    // ADC1's differential input while the network is in one of its set-ups.
    std::optional<double> Adc1InputVolts(const DmmFrontEnd::Memory& memory,
                                         const AnalogNodes& nodes) const;
    // The resistor a bank bit (one bit set) connects, nothing for another pattern.
    static std::optional<double> ResistorOf(uint8_t bankBits);

  private:
    int selectorAddress_ = -1;
    int p_ = -1, d_ = -1, f_ = -1, s_ = -1;
};

}  // namespace dmm::sim
