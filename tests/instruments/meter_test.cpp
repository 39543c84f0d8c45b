// The meter exchange against the simulated meters: framing, split and noisy replies,
// silence, and what the meters read on the simulated bench.
#include <gtest/gtest.h>

#include <cmath>

#include "serial_bench.h"

namespace dmm::test {
namespace {

struct MeterBench : SerialBench {
    MeterBench() {
        for (int k = 0; k < kMeterChannelCount; ++k) {
            EXPECT_TRUE(instruments.meter(k).Select(sim::SimInstruments::MeterCom(k)));
            // Select asked each meter once: the tests count from here.
            selectRequests[static_cast<size_t>(k)] = sim.meter(k).requests();
            sim.meter(k).ClearReceived();
        }
    }
    Meter& meter(int k) { return instruments.meter(k); }
    sim::SimMeter& simMeter(int k) { return sim.meter(k); }
    int requests(int k) { return sim.meter(k).requests() - selectRequests[static_cast<size_t>(k)]; }
    std::array<int, kMeterChannelCount> selectRequests{};
};

TEST(Meter, ARequestBringsOneFramedReply) {
    MeterBench bench;
    EXPECT_EQ(bench.hooks.LastStatus(1), "Successful Select BryMen 6 In COM10");
    std::vector<uint8_t> reply;
    const int64_t start = bench.clock.NowMs();
    ASSERT_TRUE(bench.meter(0).ReadBryMen(reply));
    EXPECT_EQ(reply.size(), kBryMenFrameSize);
    EXPECT_EQ(reply[0], kDle);
    EXPECT_EQ(reply[1], kStx);
    EXPECT_EQ(reply[20], kDle);
    EXPECT_EQ(reply[21], kEtx);
    EXPECT_EQ(bench.requests(0), 1);
    EXPECT_EQ(bench.simMeter(0).received(),
              (std::vector<uint8_t>{0x10, 0x02, 0x00, 0x00, 0x00, 0x00, 0x10, 0x03}));
    EXPECT_LT(bench.Elapsed(start), 100);

    // Bytes left on the line from before are dropped, not taken for the reply.
    bench.sim.port(sim::SimInstruments::MeterCom(0)).Send({kDle, kStx, '9', '9'});
    bench.clock.Advance(5);
    ASSERT_TRUE(bench.meter(0).ReadBryMen(reply));
    EXPECT_EQ(reply.size(), kBryMenFrameSize);
    EXPECT_EQ(reply[8], ' ');
}

TEST(Meter, VoltmetersReadTheCalibratorsOutputWithTheirOwnSmallError) {
    MeterBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(sim::SimInstruments::Calibrator));
    cal.Command("OUT 10 mV");
    ASSERT_TRUE(cal.Operate());
    auto reading = bench.meter(0).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_EQ(BryMenUnitText(reading->flagsA, reading->flagsB), "DC V");
    EXPECT_NEAR(reading->value, 0.01, 2e-5);
    EXPECT_NE(reading->value, 0.01);  // a meter of its own, not the calibrator's number
    // 9.99.. x 10^-3: the window shows it in microvolts.
    EXPECT_EQ(DisplayOf(*reading).unit, "DC uV");

    cal.Command("OUT 200 mV ,1 kHz");
    reading = bench.meter(1).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_EQ(BryMenUnitText(reading->flagsA, reading->flagsB), "AC V");
    EXPECT_NEAR(reading->value, 0.2, 0.2 * 2e-4);
    EXPECT_EQ(DisplayOf(*reading).unit, "AC mV");
    reading = bench.meter(4).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_NEAR(reading->value, 1000.0, 0.2);

    // The ohms input is open, the current flows backwards.
    reading = bench.meter(2).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->overload);
    EXPECT_EQ(DisplayOf(*reading).caption, "OL");
    reading = bench.meter(5).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_TRUE(reading->negative);
    EXPECT_NEAR(reading->value, -0.012345, 1e-5);
    // The thermometer reads the chamber's air.
    reading = bench.meter(3).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_NEAR(reading->value, bench.sim.chamber().temperature(), 0.1);
}

TEST(Meter, AReplyInTwoPartsIsCompletedFromTheSecond) {
    MeterBench bench;
    bench.simMeter(0).faults().splitReplies = true;  // 14 bytes, then 8 bytes 300 ms later
    std::vector<uint8_t> reply;
    const int64_t start = bench.clock.NowMs();
    ASSERT_TRUE(bench.meter(0).ReadBryMen(reply));
    EXPECT_EQ(reply.size(), kBryMenFrameSize);
    EXPECT_EQ(reply[21], kEtx);
    EXPECT_GT(bench.Elapsed(start), 300);
    EXPECT_EQ(bench.requests(0), 1);

    // The rest too late: no frame, no reading.
    bench.simMeter(0).faults().splitGapMs = 800;
    EXPECT_FALSE(bench.meter(0).ReadBryMen(reply));
}

TEST(Meter, NoiseInFrontOfTheFrameDoesNotShiftTheReading) {
    MeterBench bench;
    ASSERT_TRUE(bench.meter(5).GetBryMenData());
    bench.simMeter(5).faults().garbageBytes = 5;
    const auto reading = bench.meter(5).GetBryMenData();
    ASSERT_TRUE(reading);
    EXPECT_NEAR(reading->value, -0.012345, 1e-5);
    EXPECT_EQ(BryMenUnitText(reading->flagsA, reading->flagsB), "DC A");
}

TEST(Meter, ASilentMeterGivesUpAfterItsTwoTries) {
    MeterBench bench;
    bench.simMeter(0).faults().silent = true;
    const int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(bench.meter(0).GetBryMenData());
    // 1 s for the first reply, 1 s pause, 0.5 s for the second.
    EXPECT_GT(bench.Elapsed(start), 2500);
    EXPECT_LT(bench.Elapsed(start), 2510);
    EXPECT_EQ(bench.requests(0), 2);

    // A slow meter is caught by the second request.
    bench.simMeter(0).faults().silent = false;
    bench.simMeter(0).faults().extraDelayMs = 1200;
    std::vector<uint8_t> reply;
    EXPECT_TRUE(bench.meter(0).ReadBryMen(reply));
}

// Select says whether a meter answered on the port, and the channel is in use either way;
// a channel moved to a port that cannot be opened stays where it was.
TEST(Meter, SelectSaysWhetherAMeterAnswered) {
    SerialBench bench;
    Meter& meter = bench.instruments.meter(0);
    const int com = sim::SimInstruments::MeterCom(0);
    std::optional<BryMenReading> first;
    bench.sim.meter(0).faults().silent = true;
    EXPECT_TRUE(meter.Select(com, &first));
    EXPECT_FALSE(first);
    EXPECT_EQ(bench.hooks.LastStatus(1), "BryMen 1 In COM5: no answer");
    EXPECT_TRUE(meter.connected());
    EXPECT_EQ(meter.Summary().identity, "no answer when selected");

    bench.sim.meter(0).faults().silent = false;
    EXPECT_TRUE(meter.Select(com, &first));
    ASSERT_TRUE(first);
    EXPECT_EQ(BryMenUnitText(first->flagsA, first->flagsB), "DC V");
    EXPECT_EQ(bench.hooks.LastStatus(1), "Successful Select BryMen 1 In COM5");

    EXPECT_FALSE(meter.Select(12, &first));
    EXPECT_EQ(bench.hooks.LastStatus(2),
              "COM13 has no serial port behind it; meter 1 stays on COM5");
    EXPECT_EQ(meter.record().comIndex, com);
    EXPECT_EQ(bench.channel.Holder(com), "meter 1");
}

TEST(Meter, AMeterWhosePortDisappearsFailsAtOnceAndCannotBeSelectedAgain) {
    MeterBench bench;
    bench.sim.port(sim::SimInstruments::MeterCom(2)).Vanish();
    const int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(bench.meter(2).GetBryMenData());
    EXPECT_LT(bench.Elapsed(start), 5);
    EXPECT_FALSE(bench.meter(2).Select(sim::SimInstruments::MeterCom(2)));
    EXPECT_EQ(bench.hooks.LastStatus(1), "BryMen 3 Uart  not  found");
    EXPECT_NE(bench.hooks.LastStatus(2).indexOf("COM7"), -1);
}

}  // namespace
}  // namespace dmm::test
