#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/measure/capture_settings.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// A run of the channel switch test of the bench directory's StepADC.txt on the
// microcontroller's firmware.
struct SwitchTestRequest {
    bool sendOnly = false;  // only send the set-up and check it
    std::string csvDir;     // where VzADCSW0.CSV..VzADCSW7.CSV go (the bench directory)
    int64_t scaleBits = kMaxResultBits;
    double timeoutSeconds = 600.0;  // the firmware must have ended the run by then
};

struct SwitchTestRun {
    struct Table {
        int channel = 0;  // 1..8
        std::vector<double> samples;
        double mean = 0;
    };
    int samplesRead = 0;
    std::vector<Table> tables;  // one per ticked channel
    QString folder;             // where the result files went
    std::optional<Failure> failure;
};

// Sends the set-up (and with sendOnly stops there), runs the test, fetches the samples
// and writes the result files. The step file's line goes to onLine first. A failure is a
// refusal before the run.
Result<SwitchTestRun> RunSwitchTest(HeadlessBench& bench, const SwitchTestRequest& request,
                                    const std::function<void(const Progress&)>& onLine);

}  // namespace dmm::headless
