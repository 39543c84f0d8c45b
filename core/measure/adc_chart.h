#pragma once

#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

namespace dmm {

class AdcAnalysis;

// What Chart1 shows: titles, the bottom axis and the points. The window draws it as given.
struct AdcChart {
    QString title;
    QString bottomTitle;
    QString leftTitle;
    double bottomMin = 0.0;
    double bottomMax = 0.0;
    double bottomIncrement = 0.0;
    std::vector<QPointF> points;
};

// A stored value as the time-domain chart plots it: its integer part divided by the
// scale divisor, truncated toward zero, which is the number the grid shows.
double TimeDomainValue(double value, int32_t divisor);

// ChartFun(count): the first count samples over the capture time (time domain), or the
// first count / 2 spectral lines over the line spacing (frequency domain), as the chart
// mode of the analysis says.
AdcChart BuildAdcChart(const AdcAnalysis& analysis, int count);

}  // namespace dmm
