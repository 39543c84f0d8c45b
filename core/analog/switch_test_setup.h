#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The channel switch test's set-up and results as plain data, with the pure rules and
// file formats around them: the step file "StepADC.txt", the item-to-value rule of the
// two step selectors, the STEP panels' rule, the decoding and placement of the samples
// the firmware returns, and the result files "VzADCSW0.CSV".."VzADCSW7.CSV".
namespace dmm {

inline constexpr int kSwitchChannelCount = 8;
// The registers that make up one channel's set-up, in list order.
inline constexpr std::array<uint8_t, 11> kChannelRegisters{49, 50, 55, 60, 61, 62,
                                                           63, 64, 48, 73, 52};
// The firmware is sent the first eight of them.
inline constexpr int kRegistersSent = 8;
inline constexpr std::array<int, 7> kEvStepLenItems{1, 2, 4, 8, 16, 32, 64};
inline constexpr std::array<int, 9> kLoopStepItems{1, 2, 4, 8, 16, 32, 64, 128, 256};
inline constexpr int kDefaultEvStepLenIndex = 2;
inline constexpr int kDefaultLoopStepIndex = 0;
// One result table holds 64 samples a step for 256 loops.
inline constexpr int kSwitchTableSize = 64 * 256;
inline constexpr char kStepFileName[] = "StepADC.txt";

using ChannelValues = std::array<uint8_t, kChannelRegisters.size()>;
using SwitchTables = std::array<std::vector<int32_t>, kSwitchChannelCount>;

// The value of a step selector's item: 0 -> 1, 1 -> 2, 3 -> 8, ... 8 -> 256, and any
// other index (2 among them) -> 4.
int StepItemValue(int index);

struct SwitchTestSetup {
    int evStepLenIndex = kDefaultEvStepLenIndex;  // samples per step G
    int loopStepIndex = kDefaultLoopStepIndex;    // loop count L
    std::array<bool, kSwitchChannelCount> enabled{};
    std::array<ChannelValues, kSwitchChannelCount> values{};
    int selectedStep = 0;  // 0..7: the table the grid shows

    int G() const { return StepItemValue(evStepLenIndex); }
    int L() const { return StepItemValue(loopStepIndex); }
    int EnabledCount() const;
};

// The step file: 12 lines of numbers right-aligned in 4-character fields, CR LF.
QByteArray StepFileBytes(const SwitchTestSetup& setup);
// Reads a step file over setup: each line sets what it holds (line 3, the register
// list, is read and ignored: the list is fixed). A line cut short, or a token that is
// not a number, leaves the rest of that line's values as they were.
void ReadStepFile(const QByteArray& bytes, SwitchTestSetup& setup);

// The step the grid shows when step is chosen: 0 if any unticked channel's number
// (0-based) is not greater than step.
int EffectiveStep(const std::array<bool, kSwitchChannelCount>& enabled, int step);

// A sample of the firmware: an unsigned 24-bit value, signed and divided by the divisor
// (truncated toward zero).
int32_t DecodeSwitchSample(uint32_t raw, int32_t divisor);

// Where sample r of a run with `channels` enabled channels and G samples a step goes.
struct SamplePlace {
    int table = 0;
    int index = 0;
};
SamplePlace PlaceSample(int r, int channels, int samplesPerStep);

// Bytes of the next block when `read` of `total` samples are in: 48, or what is left.
int BlockBytes(int total, int read);

// "VzADCSWk.CSV" and its bytes: a header of G "Data n" columns, then L lines of the
// loop number and G samples.
QString ResultFileName(int table);
QByteArray ResultFileBytes(const std::vector<int32_t>& table, int samplesPerStep, int loops);

}  // namespace dmm
