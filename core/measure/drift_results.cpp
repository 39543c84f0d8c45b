#include "core/measure/drift_results.h"

#include <algorithm>

namespace dmm {

void DriftResults::Resize(int steps, int modes) {
    steps_ = std::max(steps, 0);
    modes_ = std::max(modes, 0);
    const size_t cells = static_cast<size_t>(steps_) * static_cast<size_t>(modes_);
    conditions_.assign(static_cast<size_t>(steps_), {});
    figures_.assign(cells, {});
    for (auto& channel : meters_) channel.assign(cells, {});
}

const DriftResults::StepConditions& DriftResults::Conditions(int step) const {
    static const StepConditions none;
    if (step < 1 || step > steps_) return none;
    return conditions_[static_cast<size_t>(step - 1)];
}

void DriftResults::SetConditions(int step, StepConditions conditions) {
    if (step >= 1 && step <= steps_) conditions_[static_cast<size_t>(step - 1)] = conditions;
}

const AnalysisResults& DriftResults::Figures(int step, int mode) const {
    static const AnalysisResults none;
    return Inside(step, mode) ? figures_[Index(step, mode)] : none;
}

void DriftResults::SetFigures(int step, int mode, const AnalysisResults& figures) {
    if (Inside(step, mode)) figures_[Index(step, mode)] = figures;
}

const MeterFigure& DriftResults::Meter(int channel, int step, int mode) const {
    static const MeterFigure none;
    if (channel < 0 || channel >= kDriftMeterChannels || !Inside(step, mode)) return none;
    return meters_[static_cast<size_t>(channel)][Index(step, mode)];
}

void DriftResults::SetMeter(int channel, int step, int mode, MeterFigure figure) {
    if (channel < 0 || channel >= kDriftMeterChannels || !Inside(step, mode)) return;
    meters_[static_cast<size_t>(channel)][Index(step, mode)] = std::move(figure);
}

}  // namespace dmm
