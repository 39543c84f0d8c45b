#pragma once

#include <optional>

#include "core/measure/capture_source.h"

namespace dmm {

// The evaluation board's crystal (CRY_OSC).
inline constexpr double kBoardCrystalHz = 4915200.0;

// The rate fields of the family's converters, as read from the chip; a field the chip
// does not have is empty.
struct RateFields {
    std::optional<int> ENI_XI;    // 1: the system clock is the external XIN
    std::optional<int> FCLK_SEL;  // ADC2 clock: 0 clock / 2, 1 clock / 4
    std::optional<int> AD1OSR;    // ADC1: ADCK1 / (256 x 2^AD1OSR), ADCK1 = clock / 30
    std::optional<int> AD2OSR;    // ADC2: ADCK2 / (32 x 2^AD2OSR), at most / 1024
    std::optional<int> SELAVG;    // low-pass and RMS: ADC2 rate / (64 x 2^SELAVG)
};

// Results per second that a source delivers; empty when a field it needs is missing or
// the clock is the external XIN, whose frequency the program cannot know.
std::optional<double> OutputRateHz(CaptureSource source, const RateFields& fields);

}  // namespace dmm
