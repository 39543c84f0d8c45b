#pragma once

#include <optional>
#include <string_view>

#include "core/chip/chip_model.h"
#include "sim/dmm_front_end.h"

namespace dmm::sim {

// The taps of the switch network's divider ladders, by the names its option labels give
// them (the comparator's references, the reference selector):
//   VDS<k>, VDSC<k>   k eighteenths of the supply; VDSC alone is the top of the ladder
//   AGNDP<k>, AGNDN<k> k steps of 25 mV above or below the analog ground
// Nothing for a name that is no tap.
std::optional<double> DividerTapVolts(std::string_view node, double supply, double agnd);
inline constexpr double kAgndTapStepVolts = 0.025;
inline constexpr int kLadderSteps = 18;

// The comparator of the switch network: S_CMPI chooses its input, S_CMPRH and S_CMPRL its
// upper and lower threshold, so that it switches with hysteresis: the output goes high
// above the upper threshold, low below the lower one, and holds in between. ACPO shows
// the output level; FGRISE is set when the output rises and cleared when the comparator
// is switched on. Off (EN_CMP 0) the output is low.
class Comparator {
  public:
    explicit Comparator(const TChipModel& model);

    // Follows the comparison at a moment (tones on the input included) and writes ACPO
    // and FGRISE into memory. Does nothing on a chip without EN_CMP.
    void Update(DmmFrontEnd::Memory& memory, const DmmFrontEnd& frontEnd, const AnalogNodes& nodes,
                double seconds);
    bool Output() const { return output_; }
    void Reset() { enabled_ = output_ = false; }

  private:
    static bool Bound(const TRegField& field) { return field.IsDefined(); }
    TRegField enable_;
    TRegField level_;
    TRegField rise_;
    bool enabled_ = false;
    bool output_ = false;
};

}  // namespace dmm::sim
