#include <gtest/gtest.h>

#include "core/analog/block_field_ops.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;

TRegField Field(int index, int width, int shift) {
    return {index, width, shift, 0, 1};
}

class BlockFieldOps : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(f.Open()); }
    ChipAccess& chip() { return f.core.chip(); }
    SimFixture f;
};

TEST_F(BlockFieldOps, FieldWriteChangesOnlyTheFieldBitsOfTheImageByte) {
    f.sim.chip().Write(0x3C, 0xA5);
    chip().SetRegImage(0x3C, 0xA5);
    ASSERT_TRUE(WriteFieldValue(chip(), Field(0x3C, 2, 5), 2));
    // 1010 0101 with bits 6..5 := 10 gives 1100 0101.
    ASSERT_FALSE(f.trace.Sent().empty());
    EXPECT_EQ(f.trace.Sent().front(), (Bytes{0xC2, 0x00, 0x78, 1, 0xC5}));
    EXPECT_EQ(f.sim.chip().memory()[0x3C], 0xC5);
    EXPECT_EQ(chip().GetRegImage(0x3C), 0xC5);
}

TEST_F(BlockFieldOps, TheOtherBitsComeFromTheImageNotFromTheChip) {
    f.sim.chip().Write(0x3C, 0xFF);
    chip().SetRegImage(0x3C, 0x00);
    ASSERT_TRUE(WriteFieldValue(chip(), Field(0x3C, 1, 7), 1));
    EXPECT_EQ(f.sim.chip().memory()[0x3C], 0x80);
}

TEST_F(BlockFieldOps, ToggleFollowsTheImageAndUnboundFieldsSendNothing) {
    const TRegField enable = Field(0x30, 1, 6);
    ASSERT_TRUE(ToggleField(chip(), enable));
    EXPECT_EQ(chip().GetRegImage(0x30), 0x40);
    ASSERT_TRUE(ToggleField(chip(), enable));
    EXPECT_EQ(chip().GetRegImage(0x30), 0x00);

    f.trace.Clear();
    TRegField unbound;  // not named by the chip description
    EXPECT_FALSE(ToggleField(chip(), unbound));
    EXPECT_FALSE(WriteFieldValue(chip(), unbound, 1));
    EXPECT_TRUE(f.trace.Sent().empty());
}

TEST_F(BlockFieldOps, AFailedWriteLeavesTheImage) {
    chip().SetRegImage(0x3C, 0x11);
    f.sim.board().faults().dropReplies = 10;
    EXPECT_FALSE(WriteFieldValue(chip(), Field(0x3C, 3, 4), 7));
    EXPECT_EQ(chip().GetRegImage(0x3C), 0x11);
}

TEST(BlockFieldOpsText, ThresholdEntries) {
    EXPECT_EQ(ParseThreshold("-32768"), -32768);
    EXPECT_EQ(ParseThreshold("32767"), 32767);
    EXPECT_EQ(ParseThreshold(" +12 "), 12);
    for (const char* bad : {"32768", "-32769", "", "abc", "1e3", "12.5", "0x10"}) {
        EXPECT_FALSE(ParseThreshold(bad).has_value()) << bad;
    }
    EXPECT_EQ(ThresholdFromBytes(0x00, 0x80), -32768);
    EXPECT_EQ(ThresholdFromBytes(0x10, 0x27), 10000);
    EXPECT_EQ(OutputBitsDivisor(8), 65536);
    EXPECT_EQ(OutputBitsDivisor(24), 1);
    EXPECT_EQ(OutputBitsDivisor(16), 256);
}

TEST_F(BlockFieldOps, ThresholdGoesLowByteFirstInOneBlockAndIsReadBack) {
    const TRegField low = Field(0x41, 8, 0), high = Field(0x42, 8, 0);
    ASSERT_EQ(WriteThreshold(chip(), low, high, -32768), ThresholdWrite::Written);
    const auto sent = f.trace.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Bytes{0xC2, 0x00, 0x82, 2, 0x00, 0x80}));
    EXPECT_EQ(sent[1], (Bytes{0xC2, 0x00, 0x83, 2}));
    EXPECT_EQ(chip().GetRegImage(0x41), 0x00);
    EXPECT_EQ(chip().GetRegImage(0x42), 0x80);
}

TEST_F(BlockFieldOps, ThresholdThatReadsBackDifferentlyLeavesTheImage) {
    chip().SetRegImage(0x41, 0x10);
    chip().SetRegImage(0x42, 0x27);
    // The chip answers reads with a corrupted high byte.
    f.sim.board().faults().replyFilter = [](const std::vector<uint8_t>& request,
                                            std::vector<uint8_t>& reply) {
        if (request.size() > 2 && request[0] == 0xC2 && (request[2] & 1) && reply.size() >= 2)
            reply[1] ^= 0x01;
    };
    EXPECT_EQ(WriteThreshold(chip(), Field(0x41, 8, 0), Field(0x42, 8, 0), 1234),
              ThresholdWrite::ReadBackDiffers);
    EXPECT_EQ(chip().GetRegImage(0x41), 0x10);
    EXPECT_EQ(chip().GetRegImage(0x42), 0x27);
}

TEST_F(BlockFieldOps, ThresholdPairThatIsNotAdjacentIsWrittenRegisterByRegister) {
    ASSERT_EQ(WriteThreshold(chip(), Field(0x45, 8, 0), Field(0x50, 8, 0), 0x1234),
              ThresholdWrite::Written);
    EXPECT_EQ(f.sim.chip().memory()[0x45], 0x34);
    EXPECT_EQ(f.sim.chip().memory()[0x46], 0x00);  // untouched
    EXPECT_EQ(f.sim.chip().memory()[0x50], 0x12);
    EXPECT_EQ(chip().GetRegImage(0x50), 0x12);
}

TEST(PeakHoldDecode, ScaleSignAndTruncation) {
    // Minimum -1, maximum 256 (low byte first).
    const std::array<uint8_t, 6> bytes{0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x00};
    PeakHold adc2 = DecodePeakHold(bytes, false, 1);
    EXPECT_EQ(adc2.minimum, -64);
    EXPECT_EQ(adc2.maximum, 256 * 64);
    PeakHold adc1 = DecodePeakHold(bytes, true, 1);
    EXPECT_EQ(adc1.minimum, -32);
    EXPECT_EQ(adc1.maximum, 256 * 32);
    // Division truncates toward zero.
    PeakHold scaled = DecodePeakHold({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, false, 65536);
    EXPECT_EQ(scaled.minimum, 0);
    EXPECT_EQ(scaled.maximum, 8191);
}

TEST_F(BlockFieldOps, PeakHoldReadsSixBytesFromTheResultRegisters) {
    const uint8_t bytes[] = {0x00, 0xFF, 0xFF, 0x00, 0x10, 0x00};  // -256 and 4096
    for (int i = 0; i < 6; ++i) f.sim.chip().Write(static_cast<uint16_t>(0x0E + i), bytes[i]);
    const auto peaks = ReadPeakHold(chip(), false, 64);
    ASSERT_TRUE(peaks.has_value());
    EXPECT_EQ(f.trace.Sent().front(), (Bytes{0xC2, 0x00, 0x1D, 6}));
    EXPECT_EQ(peaks->minimum, -256);
    EXPECT_EQ(peaks->maximum, 4096);
    f.sim.board().faults().dropReplies = 10;
    EXPECT_FALSE(ReadPeakHold(chip(), false, 64).has_value());
}

}  // namespace
}  // namespace dmm
