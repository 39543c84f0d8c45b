#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/chip/chip_model.h"
#include "sim/dmm_front_end.h"

namespace dmm::sim {

// What the counters of the simulated chip can count. Change them with the board's mutex
// held; a measurement takes them as they are when it starts.
struct CounterInputs {
    // The square wave on the CNTI pin.
    double cntiFrequencyHz = 1000.0;
    double cntiDuty = 0.30;
    // The capacitor on the capacitance pins, charged through the resistor bank F closes.
    double capacitorFarads = 220e-9;
};

// An input of the counters: rising edges at origin + n x period, high for duty of each
// period. No edges at all when period is 0.
struct SquareWave {
    double periodSeconds = 0;
    double duty = 0;
    bool Toggles() const { return periodSeconds > 0; }
};

// The three 24-bit counters as a reciprocal frequency meter. A write that leaves EN_CTR at
// 1 starts a measurement: CTA is loaded from CTA2:CTA1:00, the gate opens at the input's
// next rising edge and CTA counts system clocks; when CTA passes 2^24 the gate closes at
// the following rising edge. CTB has then counted the whole input periods, CTC the
// clocks the input was high, and CTA the clocks past 2^24; the nine bytes go to
// CTC0..CTA2 and CTIF is raised (a new start withdraws a report not yet taken). CNS
// chooses the input: 1 the CNTI pin, 0 CP_OUT. A measurement without a clock or an input
// that toggles never ends.
class CounterModel {
  public:
    explicit CounterModel(const TChipModel& model);
    // False when the description lacks a field the counters need.
    bool Valid() const { return valid_; }
    // Where the nine counter bytes go; the host may write only the reload bytes.
    uint16_t firstRegister() const { return static_cast<uint16_t>(ctc0_.registerIndex); }
    bool HostWritable(uint16_t address) const;

    // After a host write: starts, restarts or stops a measurement.
    void Written(uint16_t address, DmmFrontEnd::Memory& memory, const DmmFrontEnd& frontEnd,
                 const CounterInputs& inputs, double nowSeconds, bool clocked);
    // Time passed: a measurement that ended by now delivers its counts.
    void AdvanceTo(double nowSeconds, DmmFrontEnd::Memory& memory);
    bool Measuring() const { return end_.has_value(); }
    void Stop() { end_.reset(); }

    // The CP_OUT oscillator: the capacitor charges through the resistors closed in bank F
    // (FS2 1 kOhm ... FS7 10 MOhm, in parallel when several are closed) between the
    // thresholds of a Schmitt trigger buffered by op-amp 2, with a period of 0.1 x R x C
    // and a duty of 50 %; op-amp 1 in its place boosts the charge current (the largest
    // range). The demo chip's outer resistors lie 9 % above their nominal values, which
    // the Q factors of their ranges calibrate out: each range's Q / frequency reads its
    // capacitor in units of 1 nF, 10 nF, 100 nF, 1 uF and 20 uF, 500 at full scale.
    // No edges without a resistor, a capacitor or an op-amp to drive the charge.
    SquareWave CapacitanceOscillator(const DmmFrontEnd::Memory& memory,
                                     double capacitorFarads) const;

  private:
    struct ChargeResistor {
        TRegField field;
        double ohms = 0;
    };
    TRegField enable_, source_, flag_, ctc0_, cta1_, cta2_, opAmp1_, opAmp2_;
    std::vector<ChargeResistor> resistors_;
    bool valid_ = false;
    std::optional<double> end_;  // when the running measurement's gate closes
    std::array<uint8_t, 9> counts_{};
};

}  // namespace dmm::sim
