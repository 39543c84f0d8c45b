#include "core/analog/counter_arithmetic.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <string>

namespace dmm {
namespace {

constexpr double kCta1Weight = 256.0;
constexpr double kCta2Weight = 65536.0;

QString Figure(double value) {
    return QString::asprintf("%8.2f", value);
}

uint32_t Count24(const std::array<uint8_t, 9>& bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16));
}

constexpr CapacitanceRange kRanges[] = {
    {"P500nF", "500nF", 0x20, 0x72, 0x43, "9097", "nF"},
    {"P50uF", "5uF", 0x10, 0x72, 0x43, "10000", "x 10 nF"},
    {"P500uF", "50uF", 0x08, 0x72, 0x43, "10000", "x 100 nF"},
    {"P5mF", "500uF", 0x04, 0x72, 0x43, "9150", "uF"},
    {"P50mF", "10mF", 0x04, 0x92, 0xDD, "4500", "x 20 uF"},
};

}  // namespace

double ReloadOffset(uint8_t r1, uint8_t r2) {
    return kCounterSpan - (r2 * kCta2Weight + r1 * kCta1Weight);
}

std::optional<CounterReload> ReloadFromTexts(std::string_view cta1Text, std::string_view cta2Text,
                                             std::string* refusal) {
    std::string why;
    const auto r1 = ReadWhole(cta1Text, kReloadByteRule, &why);
    if (!r1) {
        if (refusal) *refusal = "CTA<15:8>: " + why;
        return std::nullopt;
    }
    const auto r2 = ReadWhole(cta2Text, kReloadByteRule, &why);
    if (!r2) {
        if (refusal) *refusal = "CTA<23:16>: " + why;
        return std::nullopt;
    }
    CounterReload reload;
    reload.r1 = static_cast<uint8_t>(*r1);
    reload.r2 = static_cast<uint8_t>(*r2);
    reload.offset = ReloadOffset(reload.r1, reload.r2);
    return reload;
}

QString ReloadStatusText(double offset) {
    const auto whole = static_cast<uint32_t>(std::max(0.0, offset));
    // Four digits at least: both reload bytes 0 give 2^24, whose upper part needs five.
    const auto hex = [](uint32_t v, int width) {
        return QString::number(v, 16).toUpper().rightJustified(width, u'0');
    };
    return QStringLiteral("CTAI = 0x") + hex(whole / 256, 4) + hex(whole & 0xFF, 2);
}

CounterCounts DecodeCounts(const std::array<uint8_t, 9>& bytes) {
    return {Count24(bytes, 0), Count24(bytes, 3), Count24(bytes, 6)};
}

CounterReading ComputeReading(const CounterCounts& counts, double offset,
                              std::optional<double> clockHz, std::optional<double> q) {
    CounterReading reading;
    const double t = counts.gate + offset;
    if (t <= 0) return reading;
    std::optional<double> frequency;
    if (clockHz) {
        frequency = counts.periods / t * *clockHz;
        reading.frequency = Figure(*frequency);
    } else {
        reading.frequency = QString::fromLatin1(kNoFigure);
    }
    const double duty = counts.highTime / t * 100.0;
    reading.duty = Figure(duty);
    if (frequency && *frequency > 0) {
        reading.highTime = Figure(duty / (*frequency * 100.0) * 1000000.0);
        reading.capacitance = q ? Figure(*q / *frequency) : QString::fromLatin1(kNoFigure);
    } else {
        // Without a frequency there is no high time to show either.
        if (!frequency) reading.highTime = QString::fromLatin1(kNoFigure);
        reading.capacitance = QString::fromLatin1(kNoFigure);
    }
    return reading;
}

CounterFactors ReadCounterFactors(const QString& systemClock, const QString& q) {
    CounterFactors factors;
    QStringList refusals;
    std::string why;
    factors.clockHz = ReadReal(systemClock.toStdString(), kSystemClockRule, &why);
    if (!factors.clockHz)
        refusals << QStringLiteral("System Clock: ") + QString::fromStdString(why);
    factors.q = ReadReal(q.toStdString(), kQFactorRule, &why);
    if (!factors.q) refusals << QStringLiteral("Q: ") + QString::fromStdString(why);
    factors.refusal = refusals.join(QStringLiteral("; "));
    return factors;
}

QString ReferenceResistorText(uint8_t bankByte) {
    switch (bankByte) {
        case 4:
            return QStringLiteral("1K");
        case 8:
            return QStringLiteral("10K");
        case 16:
            return QStringLiteral("100K");
        case 32:
            return QStringLiteral("1M");
        case 128:
            return QStringLiteral("10M");
        default:
            return {};
    }
}

std::span<const CapacitanceRange> CapacitanceRanges() {
    return kRanges;
}

std::array<uint8_t, kRangeBlockSize> RangeBlock(const CapacitanceRange& range) {
    // Registers 0x1E..0x32; 0x20 and 0x21 set the op-amps, 0x2C the charge resistor.
    return {0x00, 0x08, range.opAmps, range.opAmpInputs, 0x17, 0x83, 0x70, 0x54, 0x00, 0x0A, 0x39,
            0x68, 0x00, 0x00,         range.resistor,    0x00, 0x8E, 0x00, 0xC2, 0xD8, 0x13};
}

}  // namespace dmm
