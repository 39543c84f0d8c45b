#pragma once

#include <array>
#include <optional>

// The rules of the switch network panel: how the measuring mode and the comparator choose
// the mode switches and the reference tap, and the selectors' design-time option texts
// (which the counter window shows as well).
namespace dmm {

// The comparator output state the panels use: the rise latch (FGRISE) when SADCPO is set,
// else the output level (ACPO).
bool ComparatorHigh(int sadcpo, int fgrise, int acpo);

// The mode switches, in the order SAGND, SVDD, SVSS, SVSO1, SVSO2 (both pictures),
// NSVSO2, SCP, SCN; true = closed.
inline constexpr int kModeSwitches = 8;
using ModeSwitches = std::array<bool, kModeSwitches>;
inline constexpr int kModePatterns = 8;
const ModeSwitches& ModePatternSwitches(int pattern);
// The pattern a measuring mode shows: modes 0..7 their own; in modes 8..15 bit 0 of the
// mode is replaced by the comparator output. Nothing beyond 15.
std::optional<int> ModePattern(int mode, bool comparatorHigh);
// Modes 8..15 follow the comparator (S_MODE<3> set).
inline bool ComparatorMode(int mode) {
    return mode >= 8 && mode <= 15;
}

// The reference tap label an SFUVR value highlights: the value itself in modes 0..7; in
// the comparator modes its low three bits, among the lower eight labels for comparator
// output low and the upper eight for high.
int ReferenceTapLabel(int sfuvr, int mode, bool comparatorHigh);

// Option texts of the switch network's selectors before a chip description renames them.
extern const std::array<const char*, 16> kReferenceTapTexts;    // SFUVR0..SFUVR15
extern const std::array<const char*, 16> kUpperThresholdTexts;  // SCMPRH0..SCMPRH15
extern const std::array<const char*, 16> kLowerThresholdTexts;  // SCMPRL0..SCMPRL15
extern const std::array<const char*, 8> kComparatorInputTexts;  // SCMPI0..SCMPI7

}  // namespace dmm
