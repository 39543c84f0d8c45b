#pragma once

#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

namespace dmm {

class AdcAnalysis;

// A labelled point on the chart: the fundamental ("F") and the harmonics ("2".."6").
struct ChartMarker {
    double x = 0.0;
    double y = 0.0;
    QString label;
};

// What Chart1 shows: titles, the bottom axis and the points. The window draws it as given.
struct AdcChart {
    QString title;
    QString bottomTitle;
    QString leftTitle;
    double bottomMin = 0.0;
    double bottomMax = 0.0;
    double bottomIncrement = 0.0;
    std::vector<QPointF> points;
    // Frequency domain: a right axis in dBFS, which reads left + rightOffset.
    QString rightTitle;
    double rightOffset = 0.0;
    std::vector<ChartMarker> markers;
};

// A stored value as the time-domain chart plots it: its integer part divided by the
// scale divisor, truncated toward zero, which is the number the grid shows.
double TimeDomainValue(double value, int32_t divisor);

// ChartFun(count): the first count samples over the capture time (time domain), or the
// first count / 2 spectral lines over the line spacing (frequency domain), as the chart
// mode of the analysis says. Through another window than the rectangular one, or with
// spectra averaged, the frequency domain shows that spectrum instead, on the same
// relative scale; the fundamental and harmonics are marked when the block holds a tone.
AdcChart BuildAdcChart(const AdcAnalysis& analysis, int count);

// How far the dBFS scale lies above the program's relative one (dB against line 0, the
// block's mean): dBFS = dB + offset.
double DbfsOffset(const AdcAnalysis& analysis);

}  // namespace dmm
