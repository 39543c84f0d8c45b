#include "core/analog/switch_network_rules.h"

namespace dmm {
namespace {

//                                  SAGND  SVDD   SVSS   SVSO1  SVSO2  NSVSO2 SCP    SCN
constexpr ModeSwitches kPatterns[kModePatterns] = {
    {false, false, false, false, false, true, false, false},  // 0
    {true, false, false, false, false, true, false, false},   // 1
    {false, true, false, false, false, true, false, false},   // 2
    {false, false, true, false, false, true, false, false},   // 3
    {false, false, false, true, false, true, false, false},   // 4
    {true, false, false, true, false, true, false, false},    // 5
    {false, true, false, false, true, false, true, false},    // 6
    {false, false, true, false, true, false, false, true},    // 7
};

}  // namespace

bool ComparatorHigh(int sadcpo, int fgrise, int acpo) {
    return (sadcpo != 0 ? fgrise : acpo) != 0;
}

const ModeSwitches& ModePatternSwitches(int pattern) {
    return kPatterns[pattern >= 0 && pattern < kModePatterns ? pattern : 0];
}

std::optional<int> ModePattern(int mode, bool comparatorHigh) {
    if (mode < 0 || mode > 15) return std::nullopt;
    if (mode < 8) return mode;
    return 2 * ((mode - 8) / 2) + (comparatorHigh ? 1 : 0);
}

int ReferenceTapLabel(int sfuvr, int mode, bool comparatorHigh) {
    if (mode < 8) return sfuvr;
    return (sfuvr & 7) + (comparatorHigh ? 8 : 0);
}

const std::array<const char*, 16> kReferenceTapTexts = {
    "VDS<17>", "VDS<16>", "VDS<15>", "AGNDP<9>", "AGNDP<8>", "AGNDP<7>", "AGNDP<6>", "AGNDP<0>",
    "VDS<1>",  "VDS<2>",  "VDS<3>",  "AGNDN<9>", "AGNDN<8>", "AGNDN<7>", "AGNDN<6>", "AGNDP<0>"};
const std::array<const char*, 16> kUpperThresholdTexts = {
    "VDSC<16>", "VDSC<13>", "VDSC<11>", "VDSC<10>", "VDSC<9>",  "VDSC<8>",  "VDSC",     "PB<7>",
    "AGNDP<6>", "AGNDP<5>", "AGNDP<4>", "AGNDP<3>", "AGNDP<2>", "AGNDP<1>", "AGNDP<0>", "AGNDN<1>"};
const std::array<const char*, 16> kLowerThresholdTexts = {
    "VDSC<2>",  "VDSC<5>",  "VDSC<7>",  "VDSC<8>",  "VDSC<9>",  "VDSC<10>", "VDSC<11>", "PB<6>",
    "AGNDN<6>", "AGNDN<5>", "AGNDN<4>", "AGNDN<3>", "AGNDN<2>", "AGNDN<1>", "AGNDP<0>", "AGNDP<1>"};
const std::array<const char*, 8> kComparatorInputTexts = {"SENSE", "FB",    "OP1O",  "PB<0>",
                                                          "PB<1>", "PB<2>", "PB<3>", "PB<4>"};

}  // namespace dmm
