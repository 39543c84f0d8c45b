#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "core/measure/analysis_results.h"

namespace dmm {

inline constexpr int kDriftMeterChannels = 6;

// One meter's figure for a step and mode: the median of its readings and the unit text
// built from its flag bytes.
struct MeterFigure {
    double value = 0;
    QString unit;
};

// The figures of a drift run: per temperature step the plan's temperature and humidity
// at measurement time, per step and mode the analysis figures and the meters' figures.
// Steps and modes are numbered from 1. The tables are sized to the run, so any plan
// length fits; reads outside them give zeros, writes outside them are ignored.
class DriftResults {
  public:
    struct StepConditions {
        double temperature = 0;
        double humidity = 0;
    };

    void Resize(int steps, int modes);
    int steps() const { return steps_; }
    int modes() const { return modes_; }

    const StepConditions& Conditions(int step) const;
    void SetConditions(int step, StepConditions conditions);
    const AnalysisResults& Figures(int step, int mode) const;
    void SetFigures(int step, int mode, const AnalysisResults& figures);
    const MeterFigure& Meter(int channel, int step, int mode) const;
    void SetMeter(int channel, int step, int mode, MeterFigure figure);

    // Whether the cell was measured: its analysis figures stored, a meter's figure stored.
    // A cell never measured holds zeros that are no reading.
    bool HasFigures(int step, int mode) const;
    bool HasMeters(int step, int mode) const;
    // Cells with figures or a meter's figure.
    int MeasuredCount() const;
    // For a table rebuilt from its stored form.
    void SetMeasured(int step, int mode, bool figures, bool meters);

  private:
    bool Inside(int step, int mode) const {
        return step >= 1 && step <= steps_ && mode >= 1 && mode <= modes_;
    }
    size_t Index(int step, int mode) const {
        return static_cast<size_t>(step - 1) * static_cast<size_t>(modes_) +
               static_cast<size_t>(mode - 1);
    }

    int steps_ = 0;
    int modes_ = 0;
    std::vector<StepConditions> conditions_;
    std::vector<AnalysisResults> figures_;
    std::vector<uint8_t> measured_;  // kFiguresMeasured | kMetersMeasured per cell
    std::array<std::vector<MeterFigure>, kDriftMeterChannels> meters_;
};

}  // namespace dmm
