#pragma once

#include <array>
#include <cstdint>

namespace dmm {

// The divider network is switched by one block of 21 registers written in one transfer:
// chip addresses 30 to 50 (0x1E..0x32). Each use of the network has its own block.
inline constexpr uint16_t kDividerBlockAddress = 30;
inline constexpr int kDividerBlockSize = 21;
using DividerBlock = std::array<uint8_t, kDividerBlockSize>;

// ---- resistor and voltage calibration

// The two readings of a resistor step: across the known (reference) resistor and across
// the one being measured.
enum class StepReading { Reference, Test };
// Resistor step k = 1..4: 1 MΩ against 10 MΩ, 100 kΩ against 1 MΩ, 10 kΩ against 100 kΩ,
// 1 kΩ against 10 kΩ.
DividerBlock ResistorStepBlock(int step, StepReading reading);
// The calibration voltage straight onto ADC1.
DividerBlock VoltageCalibrationBlock();
// Voltmeter range r = 0..3 (1 V, 10 V, 100 V, 1000 V).
DividerBlock VoltmeterRangeBlock(int range);

// ---- resistance measurement

inline constexpr int kResistanceRangeCount = 6;
// A range of the ohmmeter: its button, caption, the label texts it sets and the bytes
// of its block that differ from range to range.
struct ResistanceRange {
    const char* button;           // B10M .. B100
    const char* calButton;        // BC50M .. BC500
    const char* caption;          // "50M" .. "500"
    const char* rangeLabel;       // LRx0 (ranges 0-2) or LRx1 (3-5) text
    const char* referenceLabel;   // LRF text (ranges 3-5), "" otherwise
    const char* calibrationName;  // in "Calibration 50MΩ ......."
    bool showPanel2;
    bool showPanel3;
    uint8_t a36, a37, a42, a43, a44, a45, a46, a48;
};
const std::array<ResistanceRange, kResistanceRangeCount>& ResistanceRanges();
DividerBlock ResistanceRangeBlock(int range);
// Ranges 0 to 2 read the ADC in volts; 3 to 5 against the full-scale count.
inline bool RatiometricRange(int range) {
    return range > 2;
}

}  // namespace dmm
