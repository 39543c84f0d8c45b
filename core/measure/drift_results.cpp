#include "core/measure/drift_results.h"

#include <algorithm>

namespace dmm {
namespace {

constexpr uint8_t kFiguresMeasured = 1;
constexpr uint8_t kMetersMeasured = 2;

}  // namespace

void DriftResults::Resize(int steps, int modes) {
    steps_ = std::max(steps, 0);
    modes_ = std::max(modes, 0);
    const size_t cells = static_cast<size_t>(steps_) * static_cast<size_t>(modes_);
    conditions_.assign(static_cast<size_t>(steps_), {});
    figures_.assign(cells, {});
    measured_.assign(cells, 0);
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
    if (!Inside(step, mode)) return;
    figures_[Index(step, mode)] = figures;
    measured_[Index(step, mode)] |= kFiguresMeasured;
}

const MeterFigure& DriftResults::Meter(int channel, int step, int mode) const {
    static const MeterFigure none;
    if (channel < 0 || channel >= kDriftMeterChannels || !Inside(step, mode)) return none;
    return meters_[static_cast<size_t>(channel)][Index(step, mode)];
}

void DriftResults::SetMeter(int channel, int step, int mode, MeterFigure figure) {
    if (channel < 0 || channel >= kDriftMeterChannels || !Inside(step, mode)) return;
    meters_[static_cast<size_t>(channel)][Index(step, mode)] = std::move(figure);
    measured_[Index(step, mode)] |= kMetersMeasured;
}

bool DriftResults::HasFigures(int step, int mode) const {
    return Inside(step, mode) && (measured_[Index(step, mode)] & kFiguresMeasured);
}

bool DriftResults::HasMeters(int step, int mode) const {
    return Inside(step, mode) && (measured_[Index(step, mode)] & kMetersMeasured);
}

int DriftResults::MeasuredCount() const {
    return static_cast<int>(
        std::count_if(measured_.begin(), measured_.end(), [](uint8_t m) { return m != 0; }));
}

void DriftResults::SetMeasured(int step, int mode, bool figures, bool meters) {
    if (!Inside(step, mode)) return;
    measured_[Index(step, mode)] =
        static_cast<uint8_t>((figures ? kFiguresMeasured : 0) | (meters ? kMetersMeasured : 0));
}

}  // namespace dmm
