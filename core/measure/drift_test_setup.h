#pragma once

#include <vector>

#include "core/instruments/step_table.h"
#include "core/measure/capture_source.h"
#include "core/measure/drift_plan.h"
#include "core/measure/mode_table.h"

namespace dmm {

// What each mode measures (the "CADCBRY" choice).
enum class DriftMeasure : int { AdcAndMeters = 0, Adc = 1, Meters = 2 };

// The run's settings from the temperature test window.
struct DriftSettings {
    int soakMinutes = 20;     // wait at a temperature before measuring
    int powerDelayMs = 2000;  // wait after a power-supply step
    CaptureSource source = CaptureSource::ADCS;
    DriftMeasure measure = DriftMeasure::Adc;
    bool fullCaptures = false;      // every capture also to TEMP/VzTMP-n.CSV
    bool keepCalibratorOn = false;  // no "STBY" before each calibrator step
    // How long a run waits for a link that dropped (the board, an instrument) before it
    // ends, resumable.
    int reconnectWaitMinutes = 10;
};

// Everything a run reads: the plan, the mode table and the instruments' step tables.
struct DriftSetup {
    std::vector<PlanRow> plan;
    ModeTable modes;
    StepTable fluke;
    StepTable power;
    DriftSettings settings;
};

}  // namespace dmm
