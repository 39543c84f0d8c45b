#include <gtest/gtest.h>

#include "core/analog/block_texts.h"

namespace dmm {
namespace {

TEST(BlockTexts, DcOffsetQuartersWithSignAndNoNegativeZero) {
    const char* expected[] = {"+0 * VR", "+1/4 * VR", "+1/2 * VR", "+3/4 * VR",
                              "+0 * VR", "-1/4 * VR", "-1/2 * VR", "-3/4 * VR"};
    for (int v = 0; v < 8; ++v) EXPECT_EQ(DcOffsetText(v).value_or("none"), expected[v]) << v;
    EXPECT_FALSE(DcOffsetText(8).has_value());
    EXPECT_FALSE(DcOffsetText(-1).has_value());
}

TEST(BlockTexts, OversamplingAndFilterLengths) {
    EXPECT_EQ(Adc1OversamplingText(0), "ADCK1 / 256");
    EXPECT_EQ(Adc1OversamplingText(3), "ADCK1 / 2048");
    EXPECT_EQ(Adc1OversamplingText(7), "ADCK1 / 32768");
    EXPECT_EQ(Adc2OversamplingText(0), "ADCK2 / 32");
    EXPECT_EQ(Adc2OversamplingText(4), "ADCK2 / 512");
    // The ADC2 divider stops doubling at 1024.
    for (int v : {5, 6, 7}) EXPECT_EQ(Adc2OversamplingText(v), "ADCK2 / 1024") << v;
    EXPECT_EQ(LowPassLengthText(0), "OSR2 / 64");
    EXPECT_EQ(LowPassLengthText(7), "OSR2 / 8192");
}

TEST(BlockTexts, GainsWithFourDecimalsAndNothingMadeUpBeyondTheTable) {
    const std::vector<double> gains{1.0, 2.0, 4.0, 8.0};
    EXPECT_EQ(GainText("Gain = ", gains, 2), "Gain = 4.0000");
    EXPECT_EQ(GainText("VRGain = ", {1.0, 0.5}, 1), "VRGain = 0.5000");
    EXPECT_EQ(GainText("Gain = ", gains, 4), "Gain = ----");
    EXPECT_EQ(GainText("VRGain = ", {1.0, 0.5}, 2), "VRGain = ----");
}

TEST(BlockTexts, ClockSources) {
    EXPECT_EQ(SlowAdcClockText(0), "CRY_OSC / 30");
    EXPECT_EQ(SlowAdcClockText(1), "XIN / 30");
    EXPECT_EQ(FastAdcClockText(1, 1), "XIN / 4");
    EXPECT_EQ(FastAdcClockText(1, 0), "XIN / 2");
    EXPECT_EQ(FastAdcClockText(0, 1), "CRY_OSC / 4");
    EXPECT_EQ(FastAdcClockText(0, 0), "CRY_OSC / 2");
}

}  // namespace
}  // namespace dmm
