#include "core/measure/adc_chart.h"

#include <algorithm>
#include <cmath>

#include "core/measure/adc_analysis.h"

namespace dmm {

double TimeDomainValue(double value, int32_t divisor) {
    const auto whole = static_cast<int64_t>(std::floor(value));
    return static_cast<double>(divisor > 0 ? whole / divisor : whole);
}

AdcChart BuildAdcChart(const AdcAnalysis& analysis, int count) {
    const AdcData& data = analysis.data();
    count = std::clamp(count, 0, kSampleBufferSize);
    AdcChart chart;
    if (data.spectrumView) {
        const int lines = count / 2;
        const double spacing = analysis.lineSpacingHz();
        chart.title = QStringLiteral("Frequence Domain");
        chart.bottomTitle = QStringLiteral("Frequence  Hz");
        chart.leftTitle = QStringLiteral("dB");
        chart.bottomMax = spacing * lines;
        chart.bottomIncrement = spacing;
        chart.points.reserve(static_cast<size_t>(lines));
        for (int k = 0; k < lines; ++k) {
            chart.points.emplace_back(k * spacing, data.levels()[static_cast<size_t>(k)]);
        }
        return chart;
    }
    const double elapsed = analysis.elapsedMs();
    chart.title = QStringLiteral("Time Domain");
    chart.bottomTitle = QStringLiteral("Time  ms");
    chart.leftTitle = QStringLiteral("Degree");
    chart.bottomMax = elapsed;
    chart.bottomIncrement = count > 0 ? elapsed / count : 0.0;
    chart.points.reserve(static_cast<size_t>(count));
    const int32_t divisor = data.scale.divisor;
    for (int k = 0; k < count; ++k) {
        chart.points.emplace_back(k * chart.bottomIncrement,
                                  TimeDomainValue(data.values()[static_cast<size_t>(k)], divisor));
    }
    return chart;
}

}  // namespace dmm
