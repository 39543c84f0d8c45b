#pragma once

#include <QString>

#include <optional>

#include "core/calsets/config_set_file.h"

namespace dmm {

// The figures the live display of the calibration sets scales with, from the set read
// last.
struct LiveFigures {
    double reference = 0.0;
    double scale = 0.0;
    double adc1Gain = 0.0;
    double adc1Offset = 0.0;
    double rmsGain = 0.0;
    double rmsOffset = 0.0;
    int decimals = 0;
    bool cancelOffset = false;
};
LiveFigures FiguresOf(const ConfigSet& set);

// The reading of a mean m of the path (0 ADC1, 1 RMS) in engineering units times
// 10^decimals; nothing when the reference is 0 or the gain reading is 1 or less.
std::optional<double> CalSetReading(int path, double m, const LiveFigures& figures);
// What the segment display shows for a reading: "OL" above the scale limit (or without a
// reading), otherwise |reading| rounded, padded with zeros to decimals + 1 digits when
// below 10^decimals, with "-" in front when negative.
QString CalSetDisplayText(std::optional<double> reading, const LiveFigures& figures);

}  // namespace dmm
