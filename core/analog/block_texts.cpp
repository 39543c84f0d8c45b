#include "core/analog/block_texts.h"

#include <algorithm>

namespace dmm {

std::optional<QString> DcOffsetText(int value) {
    if (value < 0 || value > 7) return std::nullopt;
    static const char* const kQuarters[] = {"0", "1/4", "1/2", "3/4"};
    const int quarters = value & 3;
    const bool negative = (value & 4) != 0 && quarters != 0;
    return QStringLiteral("%1%2 * VR")
        .arg(negative ? '-' : '+')
        .arg(QLatin1String(kQuarters[quarters]));
}

QString Adc1OversamplingText(int value) {
    const int exponent = std::clamp(value, 0, 7);
    return QStringLiteral("ADCK1 / %1").arg(256 << exponent);
}

QString Adc2OversamplingText(int value) {
    const int exponent = std::clamp(value, 0, 5);
    return QStringLiteral("ADCK2 / %1").arg(32 << exponent);
}

QString LowPassLengthText(int value) {
    const int exponent = std::clamp(value, 0, 7);
    return QStringLiteral("OSR2 / %1").arg(64 << exponent);
}

QString GainText(const QString& prefix, const std::vector<double>& table, int value) {
    if (table.empty()) return prefix + QStringLiteral("1.0000");
    if (value >= 0 && value < static_cast<int>(table.size())) {
        return prefix + QString::asprintf("%.4f", table[static_cast<size_t>(value)]);
    }
    return prefix + QStringLiteral("----");
}

QString SlowAdcClockText(int externalClock) {
    return externalClock != 0 ? QStringLiteral("XIN / 30") : QStringLiteral("CRY_OSC / 30");
}

QString FastAdcClockText(int externalClock, int fastClockSelect) {
    const QString source = externalClock != 0 ? QStringLiteral("XIN") : QStringLiteral("CRY_OSC");
    return source + (fastClockSelect != 0 ? QStringLiteral(" / 4") : QStringLiteral(" / 2"));
}

QString SystemClockText(int externalClock) {
    return externalClock != 0 ? QStringLiteral("clk_sys = XIN")
                              : QStringLiteral("clk_sys = CRY_OSC");
}

std::optional<QString> AnalogGroundText(int value) {
    static const char* const kLevels[] = {"= 0.5 VDDA", "= 0.3 VDDA", "= 0.1 VDDA", "= Floating"};
    if (value < 0 || value > 3) return std::nullopt;
    return QString::fromLatin1(kLevels[value]);
}

}  // namespace dmm
