#include "core/measure/sample_decoding.h"

#include <cmath>

#include "core/measure/fixed_text.h"

namespace dmm {
namespace {

constexpr int32_t kPositiveLimit = 0x800000;
constexpr int32_t kWrap = 0x1000000;
constexpr int32_t kFineResultFactor = 64;

}  // namespace

int32_t DecodeResult24(const ResultRecord& record, CaptureSource source) {
    int32_t v = record[2] * 65536 + record[1] * 256 + record[0];
    if (v > kPositiveLimit) v -= kWrap;
    if (source == CaptureSource::ADCF || source == CaptureSource::AVG) v *= kFineResultFactor;
    return v;
}

double DecodeRmsRoot(const ResultRecord& record) {
    uint64_t r = 0;
    for (int i = 4; i >= 0; --i) r = (r << 8) | record[static_cast<size_t>(i)];
    return std::sqrt(static_cast<double>(r));
}

DecodedSample DecodeRecord(const ResultRecord& record, CaptureSource source, int32_t divisor) {
    if (source == CaptureSource::RMS) {
        const double root = DecodeRmsRoot(record);
        return {root, FixedValue(root, 2)};
    }
    const int32_t v = DecodeResult24(record, source);
    // Integer division truncates toward zero, also for negative results.
    const int32_t scaled = divisor > 0 ? v / divisor : v;
    return {static_cast<double>(v), static_cast<double>(scaled)};
}

QString FormatCell(double cell, CellFormat format) {
    switch (format) {
        case CellFormat::TwoDecimals:
            return QString::fromStdString(FixedText(cell, 2));
        case CellFormat::SixDecimals:
            return QString::fromStdString(FixedText(cell, 6));
        case CellFormat::Integer:
            break;
    }
    return QString::number(static_cast<qint64>(cell));
}

}  // namespace dmm
