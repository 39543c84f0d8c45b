#pragma once

#include <span>

#include "core/measure/tone_analysis.h"

namespace dmm::today {

// The tone figures as the program computed them before it was made faster: the baseline
// of the benchmarks, reached from nowhere else.
ToneFigures AnalyseTone(std::span<const double> x, double fullScale, SpectrumWindow window,
                        int segments);

}  // namespace dmm::today
