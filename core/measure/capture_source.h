#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace dmm {

// The four result registers a capture can read. The number is what the capture
// routine takes (and the item order of the analysis window's capture buttons).
enum class CaptureSource : int { ADCS = 0, ADCF = 1, AVG = 2, RMS = 3 };

inline constexpr int kCaptureSourceCount = 4;

// Which pair of gain fields scales a source's noise voltages.
enum class GainPair : int { Adc1 = 0, Adc2 = 1 };

// What the chip offers for one source. The chip RAM addresses 0..13 are fixed on every
// chip of the family; the interrupt-flag register is not (see InterruptFlagLayout).
struct CaptureSourceInfo {
    std::string_view caption;  // button caption and command-line name
    uint16_t resultAddress;    // first result byte in chip RAM, least significant first
    int resultBytes;           // 3, or 5 for the RMS accumulator
    uint8_t streamMask;        // channel mask of the board's ADC stream
    GainPair gains;
};

inline constexpr std::array<CaptureSourceInfo, kCaptureSourceCount> kCaptureSources{{
    {"ADCS", 0x00, 3, 0x04, GainPair::Adc1},
    {"ADCF", 0x03, 3, 0x02, GainPair::Adc2},
    {"AVG", 0x06, 3, 0x08, GainPair::Adc2},
    {"RMS", 0x09, 5, 0x10, GainPair::Adc2},
}};

inline const CaptureSourceInfo& SourceInfo(CaptureSource source) {
    return kCaptureSources[static_cast<size_t>(source)];
}

// Case-insensitive lookup by caption ("adcs", "ADCF", ...).
std::optional<CaptureSource> CaptureSourceFromName(std::string_view name);

}  // namespace dmm
