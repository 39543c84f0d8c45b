// The chamber's identification, commands and reads against the simulated controller,
// and the controller's climate on the bench clock.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>

#include "core/instruments/chamber_frames.h"
#include "serial_bench.h"

namespace dmm::test {
namespace {

constexpr int kChamberCom = sim::SimInstruments::Chamber;

struct ChamberBench : SerialBench {
    ChamberBench() { EXPECT_TRUE(instruments.chamber().ChamberSelectClick(kChamberCom)); }
    Chamber& chamber() { return instruments.chamber(); }
    double Temperature() {
        uint16_t first = 0, second = 0;
        EXPECT_TRUE(chamber().ReadTemperature(first, second));
        return ChamberSigned(first) / 10.0;
    }
};

TEST(Chamber, IdentificationReadsTheModelWord) {
    ChamberBench bench;
    EXPECT_TRUE(bench.chamber().connected());
    EXPECT_EQ(bench.hooks.LastStatus(1), "Successful Select Chamber In COM4");
    const std::vector<uint8_t>& reply = bench.chamber().lastReply();
    EXPECT_EQ(std::string(reply.begin(), reply.end()), std::string("\x02"
                                                                   "01RSD,OK,0540\r\n"));
    EXPECT_EQ(bench.chamber().record().baudRate, 9600);
    EXPECT_TRUE(bench.chamber().ChamberSelectClick(kChamberCom));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Chamber 已經設定");
}

TEST(Chamber, AnotherDeviceIsRefusedAndItsPortLeftAsItWas) {
    SerialBench bench;
    // The meter port: set to 19200 by someone; the failed identification puts it back.
    DevcRS232 other;
    std::string why;
    ASSERT_TRUE(bench.channel.Open(other, sim::SimInstruments::MeterCom(0), "a tool", why));
    ASSERT_TRUE(other.handle->Configure({19200, 8, SerialParity::None, 0}));
    bench.channel.Close(other);
    EXPECT_FALSE(bench.instruments.chamber().ChamberSelectClick(sim::SimInstruments::MeterCom(0)));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Fail Select Chamber COM5");
    ASSERT_EQ(bench.hooks.messages.size(), 1u);
    EXPECT_EQ(bench.hooks.messages[0], "此通道連接的不是溫控廂!!");
    EXPECT_EQ(bench.sim.port(sim::SimInstruments::MeterCom(0)).Line().baudRate, 19200);

    bench.sim.chamber().faults().wrongIdentity = true;
    EXPECT_FALSE(bench.instruments.chamber().ChamberSelectClick(kChamberCom));
}

std::string Sent(SerialBench& bench) {
    const std::vector<uint8_t>& bytes = bench.sim.chamber().received();
    return std::string(bytes.begin(), bytes.end());
}

TEST(Chamber, RunStopAndSetPointsWriteTheirRegisters) {
    ChamberBench bench;
    bench.sim.chamber().ClearReceived();
    ASSERT_TRUE(bench.chamber().ChamberRun());
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01WSD,01,0200,0000\r\n"
              "\x02"
              "01WSD,01,0101,0001\r\n");
    EXPECT_TRUE(bench.sim.chamber().running());
    EXPECT_EQ(bench.sim.chamber().Register(kChamberMode), 0);
    EXPECT_EQ(bench.sim.chamber().Register(kChamberCommand), kChamberRunCode);
    bench.sim.chamber().ClearReceived();
    ASSERT_TRUE(bench.chamber().LoadSetPoints(-5.0, 25.7, 2.9, 5.0));
    // Whole units in tenths; -5.0 degC is the two's complement word FFCE.
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01WSD,02,0102,FFCE,00FA\r\n"
              "\x02"
              "01WSD,02,0106,0014,0032\r\n");
    EXPECT_EQ(bench.sim.chamber().Register(kChamberSetPoint), 0xFFCE);
    EXPECT_EQ(bench.sim.chamber().Register(kChamberSetPoint + 1), 250);
    EXPECT_EQ(bench.sim.chamber().Register(kChamberRamp), 20);
    EXPECT_EQ(bench.sim.chamber().Register(kChamberRamp + 1), 50);
    bench.sim.chamber().ClearReceived();
    ASSERT_TRUE(bench.chamber().ChamberStop());
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01WSD,01,0101,0004\r\n");
    EXPECT_FALSE(bench.sim.chamber().running());
    EXPECT_EQ(bench.sim.chamber().Register(kChamberCommand), kChamberStopCode);

    // What the chamber cannot take never reaches it as another value.
    bench.sim.chamber().ClearReceived();
    EXPECT_FALSE(bench.chamber().LoadSetPoints(std::nan(""), 50, 0, 5));
    EXPECT_FALSE(bench.chamber().LoadSetPoints(1e9, -1e9, 0, 5));
    EXPECT_FALSE(bench.chamber().LoadSetPoints(20, 50, -1, 5));
    EXPECT_EQ(Sent(bench), "");
}

TEST(Chamber, FailedWritesAndReadsAreTriedOnceMoreAfterASecond) {
    ChamberBench bench;
    bench.sim.chamber().faults().silent = true;
    int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(bench.chamber().LoadSetPoints(20, 0, 0, 0));
    // One write frame: up to 1 s for the reply, a second's pause, the second try.
    EXPECT_GT(bench.Elapsed(start), 3000);
    EXPECT_LT(bench.Elapsed(start), 3020);
    start = bench.clock.NowMs();
    uint16_t a = 0, b = 0;
    EXPECT_FALSE(bench.chamber().ReadTemperature(a, b));
    EXPECT_GT(bench.Elapsed(start), 3000);
    EXPECT_LT(bench.Elapsed(start), 3020);

    // A slow controller that answers within the second is waited for.
    bench.sim.chamber().faults().silent = false;
    bench.sim.chamber().faults().extraDelayMs = 900;
    EXPECT_TRUE(bench.chamber().ReadHumidity(a, b));
    EXPECT_EQ(ChamberSigned(a), 500);
}

TEST(Chamber, AReadAsksForItsWordsAndWaitsForTheirWholeReply) {
    ChamberBench bench;
    bench.sim.chamber().ClearReceived();
    uint16_t a = 0, b = 0;
    ASSERT_TRUE(bench.chamber().ReadTemperature(a, b));
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01RSD,02,0001\r\n");
    EXPECT_EQ(bench.chamber().lastReply().size(), 21u);
    bench.sim.chamber().ClearReceived();
    ASSERT_TRUE(bench.chamber().ReadHumidity(a, b));
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01RSD,02,0005\r\n");

    // A reply in two parts 300 ms apart: the read waits for all 21 bytes.
    bench.sim.chamber().faults().splitReplies = true;
    bench.sim.chamber().ClearReceived();
    int64_t start = bench.clock.NowMs();
    ASSERT_TRUE(bench.chamber().ReadTemperature(a, b));
    EXPECT_GT(bench.Elapsed(start), 300);
    EXPECT_LT(bench.Elapsed(start), 400);
    EXPECT_EQ(ChamberSigned(a), 250);
    EXPECT_EQ(Sent(bench),
              "\x02"
              "01RSD,02,0001\r\n");  // once

    // The rest later than the second: no words, and the one more try after a second
    // fares no better.
    bench.sim.chamber().faults().splitGapMs = 1500;
    start = bench.clock.NowMs();
    EXPECT_FALSE(bench.chamber().ReadTemperature(a, b));
    EXPECT_GT(bench.Elapsed(start), 3000);
    EXPECT_LT(bench.Elapsed(start), 3020);
}

TEST(Chamber, TheAirApproachesTheSetPointAtTheChambersPaceAndSettles) {
    ChamberBench bench;
    ASSERT_TRUE(bench.chamber().LoadSetPoints(-5.0, 0, 0, 0));
    ASSERT_TRUE(bench.chamber().ChamberRun());
    const double start = bench.Temperature();
    EXPECT_NEAR(start, 25.0, 0.2);
    // Three degrees a minute at most: after five minutes it is on its way, not there.
    bench.clock.Advance(5 * 60 * 1000);
    const double fiveMinutes = bench.Temperature();
    EXPECT_LT(fiveMinutes, 15.0);
    EXPECT_GT(fiveMinutes, 25.0 - 5 * 3.0 - 0.5);
    // Then it settles within the drift test's 1.5 degrees, overshooting a little at most.
    double lowest = fiveMinutes;
    for (int s = 0; s < 25 * 60; s += 10) {
        bench.clock.Advance(10 * 1000);
        lowest = std::min(lowest, bench.Temperature());
    }
    EXPECT_NEAR(bench.Temperature(), -5.0, 0.3);
    EXPECT_LT(lowest, -5.0);
    EXPECT_GT(lowest, -6.5);
    uint16_t pv = 0, sp = 0;
    ASSERT_TRUE(bench.chamber().ReadTemperature(pv, sp));
    EXPECT_EQ(ChamberSigned(sp), -50);
}

}  // namespace
}  // namespace dmm::test
