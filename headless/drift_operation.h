#pragma once

#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/measure/drift_outcome.h"
#include "core/measure/mode_table.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// A temperature drift run of the bench directory's step files (Register.txt, Delay.txt,
// ACM.txt, Fluke.txt, Power.txt).
struct DriftRequest {
    int count = 5;         // temperatures
    double start = -40.0;  // degC
    double step = 10.0;    // degC
    int soakMinutes = 20;  // at each temperature before measuring
    int modes = ModeTable::kStartModes;
    bool withChamber = true;      // false: every step at once, without the chamber
    std::string measure = "adc";  // adc, meters or both
    std::string source = "ADCS";
    std::vector<int> meters;  // meter channels in use, 1..6
    int powerDelayMs = 2000;
    bool fullCaptures = false;      // every capture also to TEMP/VzTMP-n.CSV
    bool keepCalibratorOn = false;  // no STBY before each calibrator step
    bool resume = false;            // go on with the run interrupted in the bench directory
    // Minutes the run waits for a board or instrument that dropped out; unset: 10 for a
    // new run, what the interrupted run had for a resumed one.
    std::optional<int> reconnectWaitMinutes;
};

// What a run came to.
struct DriftRun {
    DriftOutcome outcome;
    std::string outcomeText;  // "Done: 2 steps of 2 modes", ...
    QString folder;           // where its files are
    int modes = 0;            // modes of the mode table in use
    int temperatures = 0;
    // Why the run is no result: it stopped, failed or wrote no file.
    std::optional<Failure> failure;
};

// Runs the drift test. Each line it reports (the plan, every new phase, the files) goes
// to onLine with how far the run has come. A failure is a refusal before the run.
Result<DriftRun> RunDrift(HeadlessBench& bench, const DriftRequest& request,
                          const std::function<void(const Progress&)>& onLine);
// "wrote VzTEMPB.CSV and VzTEMPA.CSV to <folder>", or empty when nothing was written.
std::string DriftFilesLine(const DriftRun& run);

}  // namespace dmm::headless
