#include "core/calsets/calset_display.h"

#include <cmath>

namespace dmm {
namespace {

double NumberOf(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

}  // namespace

LiveFigures FiguresOf(const ConfigSet& set) {
    LiveFigures f;
    f.reference = NumberOf(set.reference);
    f.scale = NumberOf(set.scale);
    f.adc1Gain = set.adc1Gain;
    f.adc1Offset = set.adc1Offset;
    f.rmsGain = set.rmsGain;
    f.rmsOffset = set.rmsOffset;
    f.decimals = DisplayDecimals(set.scale, set.reference);
    f.cancelOffset = set.cancelOffset != 0;
    return f;
}

std::optional<double> CalSetReading(int path, double m, const LiveFigures& f) {
    const double gain = path == 0 ? f.adc1Gain : f.rmsGain;
    if (f.reference == 0.0 || !(gain > 1.0)) return std::nullopt;
    const double decimalScale = std::pow(10.0, f.decimals);
    if (path == 0) {
        if (f.cancelOffset) m -= f.adc1Offset;
        return f.reference * m * decimalScale / gain;
    }
    double r = 0.0;
    if (f.cancelOffset) {
        const double d = m - f.rmsOffset;
        r = d < 0 ? -std::sqrt(-d) : std::sqrt(d);
    } else {
        // A mean square is never negative; a negative one would only be a wrong reading.
        r = std::sqrt(std::max(m, 0.0));
    }
    return f.reference * r * decimalScale / std::sqrt(gain);
}

QString CalSetDisplayText(std::optional<double> reading, const LiveFigures& f) {
    // Without a reading (no calibration yet) the display says it is out of range.
    if (!reading || f.reference == 0.0 || *reading > f.scale || !std::isfinite(*reading))
        return QStringLiteral("OL");
    const double magnitude = std::abs(*reading);
    QString digits = QString::number(static_cast<qint64>(std::nearbyint(magnitude)));
    if (magnitude < std::pow(10.0, f.decimals))
        digits = digits.rightJustified(f.decimals + 1, u'0');
    return *reading < 0 ? QStringLiteral("-") + digits : digits;
}

}  // namespace dmm
