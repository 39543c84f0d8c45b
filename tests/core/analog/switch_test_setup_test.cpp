// The channel switch test's files and rules: the step file, the selectors' values, the
// STEP panels, the sample decoding and placement, and the result files.
#include <gtest/gtest.h>

#include <QList>

#include "core/analog/switch_test_setup.h"

namespace dmm {
namespace {

TEST(SwitchStepFile, DefaultsWriteTwelveLinesOfFourCharacterFields) {
    const QByteArray bytes = StepFileBytes(SwitchTestSetup{});
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 13);  // 12 lines, each ending in CR LF
    EXPECT_TRUE(lines.back().isEmpty());
    EXPECT_EQ(lines[0], "   2   0\r");
    EXPECT_EQ(lines[1], "   0   0   0   0   0   0   0   0\r");
    EXPECT_EQ(lines[2], "  49  50  55  60  61  62  63  64  48  73  52\r");
    for (int n = 3; n < 11; ++n) EXPECT_EQ(lines[n], QByteArray("   0").repeated(11) + "\r") << n;
    EXPECT_EQ(lines[11], "   0\r");
}

TEST(SwitchStepFile, ASetUpReadBackIsTheSameAndLineThreeIsIgnored) {
    SwitchTestSetup written;
    written.evStepLenIndex = 6;
    written.loopStepIndex = 8;
    written.enabled = {true, false, true, false, false, false, false, true};
    written.values[0] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 255};
    written.values[7][10] = 128;
    written.selectedStep = 2;
    QByteArray bytes = StepFileBytes(written);
    // Another register list on line 3 loads the fixed list all the same.
    bytes.replace("  49  50  55", "   1   2   3");

    SwitchTestSetup read;
    ReadStepFile(bytes, read);
    EXPECT_EQ(read.evStepLenIndex, 6);
    EXPECT_EQ(read.loopStepIndex, 8);
    EXPECT_EQ(read.G(), 64);
    EXPECT_EQ(read.L(), 256);
    EXPECT_EQ(read.enabled, written.enabled);
    EXPECT_EQ(read.values, written.values);
    EXPECT_EQ(read.selectedStep, 2);
    EXPECT_EQ(StepFileBytes(read), StepFileBytes(written));
}

TEST(SwitchStepFile, DamagedFilesNeverSetWhatTheyDoNotHold) {
    SwitchTestSetup setup;
    setup.values[1] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    // LF only; a value above a byte; a channel line cut short; a word where a number
    // belongs; a selector index no item has; a step beyond STEP-8.
    ReadStepFile("   9   1\n 1 0 1\n\n 300 -1\n 7 7 x 7\n\n\n\n\n\n\n  12\n", setup);
    EXPECT_EQ(setup.evStepLenIndex, kDefaultEvStepLenIndex);  // no item 9: the rule's "4"
    EXPECT_EQ(setup.G(), 4);
    EXPECT_EQ(setup.loopStepIndex, 1);
    EXPECT_EQ(setup.enabled[0], true);
    EXPECT_EQ(setup.enabled[1], false);
    EXPECT_EQ(setup.enabled[2], true);
    EXPECT_EQ(setup.enabled[3], false);  // not on the line: kept
    EXPECT_EQ(setup.values[0][0], 300 & 0xFF);
    EXPECT_EQ(setup.values[0][1], 0xFF);
    EXPECT_EQ(setup.values[0][2], 0);
    EXPECT_EQ(setup.values[1][0], 7);
    EXPECT_EQ(setup.values[1][1], 7);
    EXPECT_EQ(setup.values[1][2], 9);  // "x" ends the line's numbers
    EXPECT_EQ(setup.values[1][3], 9);
    EXPECT_EQ(setup.selectedStep, 0);
}

TEST(SwitchRules, StepSelectorsTakeTheirValuesByIndex) {
    const int expected[] = {1, 2, 4, 8, 16, 32, 64, 128, 256};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(StepItemValue(i), expected[i]) << i;
    EXPECT_EQ(StepItemValue(-1), 4);
    EXPECT_EQ(StepItemValue(9), 4);
}

TEST(SwitchRules, AStepPastAnUntickedChannelShowsTableZero) {
    const std::array<bool, 8> oneAndThree{true, false, true, false, false, false, false, false};
    EXPECT_EQ(EffectiveStep(oneAndThree, 0), 0);
    EXPECT_EQ(EffectiveStep(oneAndThree, 2), 0);  // STEP-3: channel 2 is unticked
    const std::array<bool, 8> firstFour{true, true, true, true, false, false, false, false};
    EXPECT_EQ(EffectiveStep(firstFour, 3), 3);
    EXPECT_EQ(EffectiveStep(firstFour, 4), 0);
    EXPECT_EQ(EffectiveStep(firstFour, 8), 0);
}

TEST(SwitchRules, SamplesAreSignedTwentyFourBitValuesDividedTowardZero) {
    EXPECT_EQ(DecodeSwitchSample(0xFFFFFF, 1), -1);
    EXPECT_EQ(DecodeSwitchSample(0x800000, 1), -8388608);
    EXPECT_EQ(DecodeSwitchSample(0x7FFFFF, 1), 8388607);
    EXPECT_EQ(DecodeSwitchSample(0x7FFFFF, 256), 32767);
    EXPECT_EQ(DecodeSwitchSample(0xFFFFFF, 65536), 0);   // -1 / 65536 is 0
    EXPECT_EQ(DecodeSwitchSample(0xFEFFFF, 65536), -1);  // -65537 / 65536
    EXPECT_EQ(DecodeSwitchSample(0x1000005, 1), 5);      // only 24 bits count
}

TEST(SwitchRules, SamplesGoToTheTableOfTheirEnabledChannelInOrder) {
    // Two channels, four samples a step: loop 0 is r 0..7, loop 1 is r 8..15.
    EXPECT_EQ(PlaceSample(0, 2, 4).table, 0);
    EXPECT_EQ(PlaceSample(3, 2, 4).index, 3);
    EXPECT_EQ(PlaceSample(4, 2, 4).table, 1);
    EXPECT_EQ(PlaceSample(4, 2, 4).index, 0);
    EXPECT_EQ(PlaceSample(9, 2, 4).table, 0);
    EXPECT_EQ(PlaceSample(9, 2, 4).index, 5);
    EXPECT_EQ(PlaceSample(15, 2, 4).table, 1);
    EXPECT_EQ(PlaceSample(15, 2, 4).index, 7);
    // Twenty samples come in blocks of 48 and 12 bytes.
    EXPECT_EQ(BlockBytes(20, 0), 48);
    EXPECT_EQ(BlockBytes(20, 16), 12);
    EXPECT_EQ(BlockBytes(16, 0), 48);
    EXPECT_EQ(BlockBytes(15, 0), 45);
}

TEST(SwitchResultFile, HeaderOfDataColumnsThenOneLinePerLoop) {
    EXPECT_EQ(ResultFileName(0), "VzADCSW0.CSV");
    EXPECT_EQ(ResultFileName(7), "VzADCSW7.CSV");
    const std::vector<int32_t> table{5, -3, 12, 0, 99};
    EXPECT_EQ(ResultFileBytes(table, 2, 2), QByteArray("  , Data 0, Data 1\r\n"
                                                       "1, 5, -3\r\n"
                                                       "2, 12, 0\r\n"));
    EXPECT_EQ(ResultFileBytes(table, 1, 3), QByteArray("  , Data 0\r\n1, 5\r\n2, -3\r\n3, 12\r\n"));
}

}  // namespace
}  // namespace dmm
