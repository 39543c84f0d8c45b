#pragma once

#include <QString>

#include <array>
#include <cstdint>

#include "core/measure/capture_source.h"

// Result records as the chip delivers them, turned into samples. Pure functions.
namespace dmm {

// One result record, least significant byte first; 3-byte results use bytes 0..2.
using ResultRecord = std::array<uint8_t, 5>;

// How a grid cell shows its number.
enum class CellFormat : uint8_t {
    Integer,      // decimal integer
    TwoDecimals,  // "%.2f" (RMS roots)
    SixDecimals,  // "%f" (averaged values)
};

// One decoded sample: the stored value (the unscaled result, or the root of the RMS
// accumulator) and the number its grid cell shows (the result divided by the scale
// divisor, truncated toward zero; the root to two decimals).
struct DecodedSample {
    double value = 0.0;
    double cell = 0.0;
};

// A 24-bit result: values above 0x800000 are negative (0x800000 itself stays
// +8388608); the ADCF and AVG results are 6 bits finer and are multiplied by 64.
int32_t DecodeResult24(const ResultRecord& record, CaptureSource source);

// The RMS accumulator: an unsigned 40-bit sum of squares; the sample is its root.
double DecodeRmsRoot(const ResultRecord& record);

DecodedSample DecodeRecord(const ResultRecord& record, CaptureSource source, int32_t divisor);

inline CellFormat CellFormatOf(CaptureSource source) {
    return source == CaptureSource::RMS ? CellFormat::TwoDecimals : CellFormat::Integer;
}

// The text a grid cell shows for its number.
QString FormatCell(double cell, CellFormat format);

}  // namespace dmm
