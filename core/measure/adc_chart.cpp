#include "core/measure/adc_chart.h"

#include <algorithm>
#include <cmath>

#include "core/measure/adc_analysis.h"
#include "core/measure/tone_analysis.h"

namespace dmm {

double TimeDomainValue(double value, int32_t divisor) {
    const auto whole = static_cast<int64_t>(std::floor(value));
    return static_cast<double>(divisor > 0 ? whole / divisor : whole);
}

double DbfsOffset(const AdcAnalysis& analysis) {
    const BlockFigures& f = analysis.figures();
    const AdcData& data = analysis.data();
    const double fullScale = f.fullScale > 0 ? f.fullScale : std::ldexp(1.0, 23);
    const int n = Fft::FloorPowerOfTwo(analysis.validCount());
    // Line 0 of the program's spectrum is the sum of the block; when it is empty the
    // levels are 20 log10(|X| / n) with |X| = sqrt 2 x the block's own transform.
    const double sum = data.spectrumReal()[0];
    if (n > 0 && sum != 0.0)
        return 20.0 * std::log10(2.0 * std::abs(sum) / (n * analysis.BlockDivisor() * fullScale));
    return 20.0 * std::log10(std::sqrt(2.0) / (fullScale * analysis.BlockDivisor()));
}

namespace {

void AddToneMarkers(const AdcAnalysis& analysis, double offset, AdcChart& chart) {
    const BlockFigures& f = analysis.figures();
    // Without a time axis the lines are not where the tone's frequencies are.
    if (!f.tone.found || f.MissedResults()) return;
    const double spacing = analysis.lineSpacingHz();
    auto mark = [&](const ToneComponent& c, const QString& label) {
        if (!c.resolved || !(c.power > 0)) return;
        chart.markers.push_back(
            {c.line * spacing, PowerDbfs(c.power, f.fullScale) - offset, label});
    };
    mark(f.tone.fundamental, QStringLiteral("F"));
    for (const ToneComponent& h : f.tone.harmonics) mark(h, QString::number(h.order));
}

}  // namespace

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
        chart.rightTitle = QStringLiteral("dBFS");
        chart.rightOffset = DbfsOffset(analysis);
        chart.bottomMax = spacing * lines;
        chart.bottomIncrement = spacing;
        const BlockFigures& f = analysis.figures();
        const bool ownSpectrum = f.spectrum.empty() || (f.window == SpectrumWindow::Rectangular &&
                                                        f.spectrum.segments == 1);
        if (ownSpectrum) {
            chart.points.reserve(static_cast<size_t>(lines));
            for (int k = 0; k < lines; ++k) {
                chart.points.emplace_back(k * spacing, data.levels()[static_cast<size_t>(k)]);
            }
        } else {
            // Segments of the block have wider lines; an empty line has no level to show.
            const double step = spacing * f.spectrum.segments;
            const int shown = f.spectrum.segmentLength / 2;
            chart.bottomIncrement = step;
            chart.points.reserve(static_cast<size_t>(shown));
            for (int k = 0; k < shown; ++k) {
                const double p = f.spectrum.power[static_cast<size_t>(k)];
                if (p > 0)
                    chart.points.emplace_back(k * step,
                                              PowerDbfs(p, f.fullScale) - chart.rightOffset);
            }
        }
        AddToneMarkers(analysis, chart.rightOffset, chart);
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
