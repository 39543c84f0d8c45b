#include "sim/counter_model.h"

#include <cmath>
#include <limits>

namespace dmm::sim {
namespace {

constexpr double kCounterSpan = 16777216.0;  // 2^24
constexpr uint32_t kCountMask = 0xFFFFFF;

constexpr double kPeriodConstant = 0.1;
constexpr double kBoostedPeriodConstant = 0.0101667;

// The charge resistors of bank F, as the demo chip has them.
struct ResistorValue {
    const char* field;
    double ohms;
};
constexpr ResistorValue kChargeResistors[] = {
    {"FS2", 1092.896}, {"FS3", 1.0e4}, {"FS4", 1.0e5}, {"FS5", 1.0992635e6}, {"FS7", 1.0e7},
};

TRegField Bound(const TChipModel& model, const char* name, bool& valid) {
    const TRegField* field = model.Field(name);
    if (!field || !field->IsDefined()) {
        valid = false;
        return {};
    }
    return *field;
}

int Value(const TRegField& field, const DmmFrontEnd::Memory& memory) {
    return field.Extract(memory[static_cast<size_t>(field.registerIndex) % memory.size()]);
}

SquareWave Cnti(const CounterInputs& inputs) {
    if (!(inputs.cntiFrequencyHz > 0) || !(inputs.cntiDuty > 0) || !(inputs.cntiDuty < 1))
        return {};
    return {1.0 / inputs.cntiFrequencyHz, inputs.cntiDuty};
}

}  // namespace

SquareWave CounterModel::CapacitanceOscillator(const DmmFrontEnd::Memory& memory,
                                               double capacitorFarads) const {
    double conductance = 0;
    for (const ChargeResistor& r : resistors_) {
        if (Value(r.field, memory) != 0) conductance += 1.0 / r.ohms;
    }
    const bool boosted = opAmp1_.IsDefined() && Value(opAmp1_, memory) != 0;
    const bool buffered = opAmp2_.IsDefined() && Value(opAmp2_, memory) != 0;
    if (conductance <= 0 || !(capacitorFarads > 0) || !(boosted || buffered)) return {};
    const double k = boosted ? kBoostedPeriodConstant : kPeriodConstant;
    return {k * capacitorFarads / conductance, 0.5};
}

CounterModel::CounterModel(const TChipModel& model) {
    valid_ = true;
    enable_ = Bound(model, "EN_CTR", valid_);
    source_ = Bound(model, "CNS", valid_);
    flag_ = Bound(model, "CTIF", valid_);
    ctc0_ = Bound(model, "CTC0", valid_);
    cta1_ = Bound(model, "CTA1", valid_);
    cta2_ = Bound(model, "CTA2", valid_);
    if (valid_ && ctc0_.registerIndex + 9 > kChipMemorySize) valid_ = false;
    // The oscillator's parts are optional: a chip without them has no CP_OUT.
    bool optional = true;
    opAmp1_ = Bound(model, "EN_OP1", optional);
    opAmp2_ = Bound(model, "EN_OP2", optional);
    for (const auto& [name, ohms] : kChargeResistors) {
        bool present = true;
        const TRegField field = Bound(model, name, present);
        if (present) resistors_.push_back({field, ohms});
    }
}

bool CounterModel::HostWritable(uint16_t address) const {
    if (!valid_) return true;
    const int first = ctc0_.registerIndex;
    if (address < first || address >= first + 9) return true;
    return address == cta1_.registerIndex || address == cta2_.registerIndex;
}

void CounterModel::Written(uint16_t address, DmmFrontEnd::Memory& memory,
                           const DmmFrontEnd& frontEnd, const CounterInputs& inputs,
                           double nowSeconds, bool clocked) {
    if (!valid_) return;
    const double clockHz = clocked ? frontEnd.SystemClockHz(memory) : 0.0;
    // A clock that stops loses the measurement under way.
    if (clockHz <= 0) {
        end_.reset();
        return;
    }
    if (address != enable_.registerIndex) return;
    if (Value(enable_, memory) == 0) {
        end_.reset();
        return;
    }
    // A report of the measurement this one replaces is withdrawn.
    const size_t flagAddress = static_cast<size_t>(flag_.registerIndex) % memory.size();
    memory[flagAddress] = flag_.Insert(memory[flagAddress], 0);
    const SquareWave input = Value(source_, memory) != 0
                                 ? Cnti(inputs)
                                 : CapacitanceOscillator(memory, inputs.capacitorFarads);
    end_.reset();
    if (!input.Toggles()) return;

    const double period = input.periodSeconds;
    const double reload = Value(cta2_, memory) * 65536.0 + Value(cta1_, memory) * 256.0;
    const double gateClocks = kCounterSpan - reload;
    // Rising edges fall on whole periods of the simulated time. The gate's length is
    // worked out from the span itself, not as a difference of two instants: an instant
    // a few minutes into the run carries rounding that would turn a gate of exactly
    // whole periods into one period more.
    const double open = std::ceil(nowSeconds / period) * period;
    const double gateSeconds = gateClocks / clockHz;
    const double periods = std::max(1.0, std::ceil(gateSeconds / period - 1e-6));
    const double close = open + periods * period;
    const double clocks = std::floor(periods * period * clockHz + 0.5);
    const auto total = static_cast<uint32_t>(std::min(clocks, 4294967295.0));
    const auto pastSpan = static_cast<uint32_t>(std::max(0.0, clocks - gateClocks));
    const auto high =
        static_cast<uint32_t>(std::floor(periods * period * input.duty * clockHz + 0.5));
    const auto b = static_cast<uint32_t>(periods);
    const uint32_t values[3] = {std::min(high, total) & kCountMask, b & kCountMask,
                                pastSpan & kCountMask};
    for (size_t i = 0; i < 9; ++i)
        counts_[i] = static_cast<uint8_t>(values[i / 3] >> (8 * (i % 3)));
    end_ = close;
}

void CounterModel::AdvanceTo(double nowSeconds, DmmFrontEnd::Memory& memory) {
    if (!end_ || nowSeconds < *end_) return;
    end_.reset();
    for (size_t i = 0; i < counts_.size(); ++i)
        memory[(static_cast<size_t>(ctc0_.registerIndex) + i) % memory.size()] = counts_[i];
    const size_t flagAddress = static_cast<size_t>(flag_.registerIndex) % memory.size();
    memory[flagAddress] = flag_.Insert(memory[flagAddress], 1);
}

}  // namespace dmm::sim
