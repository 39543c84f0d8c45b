// The chamber controller's frames, byte for byte, and the reading of its replies.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/instruments/chamber_frames.h"

namespace dmm {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(ChamberFrames, WriteAndReadFramesCarryTheirFieldsAtTheirPlaces) {
    // One word 0x0001 to 0x0101: 21 bytes.
    EXPECT_EQ(ChamberWriteFrame(0x0101, {0x0001}), std::string("\x02"
                                                               "01WSD,01,0101,0001\r\n"));
    EXPECT_EQ(ChamberWriteFrame(0x0101, {0x0001}).size(), 21u);
    // n words: 5 x (n + 1) + 11 bytes, words upper-case hex.
    const std::string two = ChamberWriteFrame(0x0102, {0xFFCE, 0x00AB});
    EXPECT_EQ(two, std::string("\x02"
                               "01WSD,02,0102,FFCE,00AB\r\n"));
    EXPECT_EQ(two.size(), 5u * 3 + 11);
    // Two words at 0x0001: 16 bytes, and the reply it waits for is 21 bytes.
    EXPECT_EQ(ChamberReadFrame(0x0001, 2), std::string("\x02"
                                                       "01RSD,02,0001\r\n"));
    EXPECT_EQ(ChamberReadFrame(0x0001, 2).size(), 16u);
    EXPECT_EQ(ChamberReadReplySize(2), 21u);
    EXPECT_EQ(ChamberReadFrame(0x0010, 12), std::string("\x02"
                                                        "01RSD,12,0010\r\n"));
}

TEST(ChamberFrames, SetPointsAreWholeDegreesTimesTenInTwosComplement) {
    EXPECT_EQ(ChamberSetPointWord(-5.0), 0xFFCE);
    EXPECT_EQ(ChamberSetPointWord(25.7), 250);  // rounded down first
    EXPECT_EQ(ChamberSetPointWord(-5.5), static_cast<uint16_t>(-60));
    EXPECT_EQ(ChamberSetPointWord(150.0), 1500);
    EXPECT_EQ(ChamberSetPointWord(1e9), 0x7FFF);  // clamped, never wrapped
    EXPECT_EQ(ChamberSetPointWord(std::nan("")), 0);
    EXPECT_EQ(ChamberSigned(0xFE70), -400);  // -40.0 degC
}

TEST(ChamberFrames, SetPointsOutsideWhatTheFrameCarriesAreRefusedByName) {
    EXPECT_EQ(ChamberSetPointRefusal({-40, 0, 0, 5}), "");
    EXPECT_EQ(ChamberSetPointRefusal({std::nan(""), 50, 0, 5}),
              "temperature: nan is not a chamber temperature (-3276 \u2264 T \u2264 3276 \u00B0C)");
    EXPECT_EQ(ChamberSetPointRefusal({20, 120, 0, 5}),
              "humidity: 120 is not a relative humidity (0 \u2264 H \u2264 100 %)");
    EXPECT_EQ(ChamberSetPointRefusal({20, 50, 0, INFINITY}).rfind("humidity ramp: inf is not", 0),
              0u);
    EXPECT_EQ(ChamberSetPointRefusal({20, 50, -1, 5}).rfind("temperature ramp: -1 is not", 0), 0u);
}

TEST(ChamberFrames, ReadRepliesGiveTheirWordsOrNothing) {
    const auto ok = Bytes(
        "\x02"
        "01RSD,OK,FE70,0190\r\n");
    auto words = ParseChamberReadReply(ok.data(), ok.size(), 2);
    ASSERT_TRUE(words);
    EXPECT_EQ((*words)[0], 0xFE70);
    EXPECT_EQ((*words)[1], 0x0190);
    EXPECT_TRUE(ChamberReplyOk(ok.data(), ok.size()));

    // Noise in front: found by its STX.
    const auto noisy = Bytes(
        "xy\x02"
        "01RSD,OK,0001\r\n");
    words = ParseChamberReadReply(noisy.data(), noisy.size(), 1);
    ASSERT_TRUE(words);
    EXPECT_EQ((*words)[0], 1);
    // ...which the original acceptance test (STX first) does not take.
    EXPECT_FALSE(ChamberReplyOk(noisy.data(), noisy.size()));

    // A word short, a refusal, a broken digit, an empty reply: no words.
    const auto shortReply = Bytes(
        "\x02"
        "01RSD,OK,FE70\r\n");
    EXPECT_FALSE(ParseChamberReadReply(shortReply.data(), shortReply.size(), 2));
    const auto refused = Bytes(
        "\x02"
        "01RSD,NG,01\r\n");
    EXPECT_FALSE(ParseChamberReadReply(refused.data(), refused.size(), 1));
    EXPECT_FALSE(ChamberReplyOk(refused.data(), refused.size()));
    const auto broken = Bytes(
        "\x02"
        "01RSD,OK,FG70\r\n");
    EXPECT_FALSE(ParseChamberReadReply(broken.data(), broken.size(), 1));
    EXPECT_FALSE(ParseChamberReadReply(nullptr, 0, 1));
    const auto write = Bytes(
        "\x02"
        "01WSD,OK\r\n");
    EXPECT_TRUE(ChamberReplyOk(write.data(), write.size()));
    EXPECT_FALSE(ChamberReplyOk(write.data(), 8));  // cut before the "K"
}

}  // namespace
}  // namespace dmm
