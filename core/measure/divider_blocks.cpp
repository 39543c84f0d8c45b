#include "core/measure/divider_blocks.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>

namespace dmm {
namespace {

// Bytes placed from a chip address on.
void Put(DividerBlock& b, int address, std::initializer_list<uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(),
              b.begin() + static_cast<std::ptrdiff_t>(address - kDividerBlockAddress));
}

// What every block shares: addresses 30..35 and 50.
DividerBlock Head() {
    DividerBlock b{};
    Put(b, 30, {0x04, 0x08, 0x00, 0x00, 0x17, 0x83});
    Put(b, 50, {0x13});
    return b;
}

struct CalibrationBytes {
    uint8_t a36, a42, a43, a44, a45, a46, a49;
};

// The calibration blocks also share 37..41, 47 and 48.
DividerBlock CalibrationBlock(const CalibrationBytes& v) {
    DividerBlock b = Head();
    Put(b, 36, {v.a36, 0x54, 0x00, 0x0A, 0x39, 0x68});
    Put(b, 42, {v.a42, v.a43, v.a44, v.a45, v.a46, 0x00, 0xC5, v.a49});
    return b;
}

// The switch banks of steps 1..4: the reference resistor on P and D, the measured one on
// F and S.
constexpr uint8_t kStepReferenceBank[4] = {0x80, 0x20, 0x10, 0x08};
constexpr uint8_t kStepTestBank[4] = {0x20, 0x10, 0x08, 0x04};
constexpr uint8_t kRangeBank[4] = {0xA0, 0x90, 0x88, 0x84};
constexpr uint8_t kRangeSense[4] = {0x20, 0x10, 0x08, 0x04};

}  // namespace

DividerBlock ResistorStepBlock(int step, StepReading reading) {
    const auto k = static_cast<size_t>(std::clamp(step, 1, 4) - 1);
    const uint8_t input = reading == StepReading::Reference ? 0x11 : 0x02;
    return CalibrationBlock({input, kStepReferenceBank[k], kStepReferenceBank[k], kStepTestBank[k],
                             kStepTestBank[k], 0x95, 0xDD});
}

DividerBlock VoltageCalibrationBlock() {
    return CalibrationBlock({0x59, 0x80, 0x80, 0x20, 0x20, 0x95, 0xD0});
}

DividerBlock VoltmeterRangeBlock(int range) {
    const auto r = static_cast<size_t>(std::clamp(range, 0, 3));
    return CalibrationBlock({0x10, kRangeBank[r], 0x00, 0x00, kRangeSense[r], 0xB0, 0xD0});
}

const std::array<ResistanceRange, kResistanceRangeCount>& ResistanceRanges() {
    static const std::array<ResistanceRange, kResistanceRangeCount> ranges = {{
        {"B10M", "BC50M", "50M", "5M~50MΩ", "", "50MΩ", true, true, 0x58, 0x14, 0x00, 0x00, 0x01,
         0x00, 0x86, 0xC1},
        {"B1M", "BC5M", "5M", "500K~5MΩ", "", "5MΩ", false, true, 0x58, 0x14, 0x00, 0x00, 0x21,
         0x00, 0x86, 0xC1},
        {"B100K", "BC500K", "500K", "50K~500KΩ", "", "500KΩ", true, false, 0x58, 0x14, 0x00, 0x00,
         0x11, 0x00, 0x86, 0xC1},
        {"B10K", "BC50K", "50K", "5K~50KΩ", "100KΩ", "50KΩ", false, false, 0x58, 0x00, 0x92, 0x10,
         0x00, 0x00, 0x94, 0xC2},
        {"B1K", "BC5K", "5K", "500~5KΩ", "10KΩ", "5KΩ", false, false, 0x58, 0x00, 0x8A, 0x08, 0x00,
         0x00, 0x94, 0xC2},
        {"B100", "BC500", "500", "0~500Ω", "1KΩ", "500Ω", false, false, 0x58, 0x00, 0x86, 0x04,
         0x00, 0x00, 0x94, 0xC2},
    }};
    return ranges;
}

DividerBlock ResistanceRangeBlock(int range) {
    const ResistanceRange& r =
        ResistanceRanges()[static_cast<size_t>(std::clamp(range, 0, kResistanceRangeCount - 1))];
    // The ohmmeter's blocks share 38..41, 47 and 49.
    DividerBlock b = Head();
    Put(b, 36, {r.a36, r.a37, 0x00, 0x0A, 0x39, 0x68});
    Put(b, 42, {r.a42, r.a43, r.a44, r.a45, r.a46, 0x00, r.a48, 0xD0});
    return b;
}

}  // namespace dmm
