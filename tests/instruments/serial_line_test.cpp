// The serial channel's exchanges and port bookkeeping, through the real backend.
#include <gtest/gtest.h>

#include "core/instruments/chip_port.h"
#include "serial_bench.h"

namespace dmm::test {
namespace {

TEST(SerialLine, ReadLineStopsAtTheCarriageReturn) {
    ScriptedLine line;
    ASSERT_TRUE(line.opened);
    line.Answer("ABC\rDEF");
    ASSERT_TRUE(SendText(line.record, line.clock, "?"));
    std::string text;
    EXPECT_EQ(ReadLine(line.record, line.clock, text), 3u);
    EXPECT_EQ(text, "ABC");
    // No terminator is added to a sent text.
    EXPECT_EQ(line.device.received, std::vector<uint8_t>{'?'});
}

TEST(SerialLine, ALineWithoutCarriageReturnTimesOutAfterFiveSeconds) {
    ScriptedLine line;
    line.Answer("no end in sight");
    SendText(line.record, line.clock, "?");
    const int64_t start = line.clock.NowMs();
    std::string text;
    EXPECT_EQ(ReadLine(line.record, line.clock, text), 0u);
    EXPECT_TRUE(text.empty());
    const int64_t waited = line.clock.NowMs() - start;
    EXPECT_GT(waited, kLineTimeoutMs);
    EXPECT_LE(waited, kLineTimeoutMs + 2 * kSerialPollMs);
}

TEST(SerialLine, SendTextWaitsTwentyMilliseconds) {
    ScriptedLine line;
    const int64_t start = line.clock.NowMs();
    SendText(line.record, line.clock, "STBY");
    EXPECT_EQ(line.clock.NowMs() - start, kSendSettleMs);
}

TEST(SerialLine, QueryTextDropsOldInputAndTakesWhatCameInHalfASecond) {
    ScriptedLine line;
    line.Preload("stale\r\n");
    line.Answer("+1.0E+00\r\n");
    std::string reply;
    const int64_t start = line.clock.NowMs();
    EXPECT_TRUE(QueryText(line.record, line.clock, "VOLT?", reply));
    EXPECT_EQ(reply, "+1.0E+00\r\n");
    EXPECT_EQ(line.clock.NowMs() - start, kQueryWaitMs);
    const std::string sent(line.device.received.begin(), line.device.received.end());
    EXPECT_EQ(sent, "VOLT?\r\n");

    line.device.faults().silent = true;
    EXPECT_FALSE(QueryText(line.record, line.clock, "VOLT?", reply));
    EXPECT_TRUE(reply.empty());
}

TEST(SerialLine, APortThatDisappearsFailsAtOnceInsteadOfWaiting) {
    ScriptedLine line;
    line.pty.Vanish();
    const int64_t start = line.clock.NowMs();
    std::string text;
    EXPECT_EQ(ReadLine(line.record, line.clock, text), 0u);
    EXPECT_FALSE(WaitForWaiting(line.record, line.clock, 1, 1000));
    EXPECT_LT(line.clock.NowMs() - start, 5);
    EXPECT_TRUE(PollPort(line.record).errors & kSerialLost);
    EXPECT_FALSE(line.record.Open());
    uint8_t b = 0;
    EXPECT_FALSE(WriteBytes(line.record, &b, 1));
}

TEST(SerialLine, AComIndexBelongsToOneUserAtATime) {
    SerialBench bench;
    DevcRS232 first, second;
    std::string why;
    ASSERT_TRUE(bench.channel.Open(first, 1, "the calibrator", why)) << why;
    EXPECT_EQ(first.portName, "COM2");
    EXPECT_FALSE(bench.channel.Open(second, 1, "meter 1", why));
    EXPECT_EQ(why, "COM2 is in use by the calibrator");
    EXPECT_EQ(bench.channel.Holder(1), "the calibrator");
    bench.channel.Close(first);
    EXPECT_EQ(bench.channel.Holder(1), "");
    EXPECT_TRUE(bench.channel.Open(second, 1, "meter 1", why)) << why;
    // An index without a device says so.
    EXPECT_FALSE(bench.channel.Open(first, 12, "the chamber", why));
    EXPECT_EQ(why, "COM13 has no serial port behind it");
}

TEST(SerialLine, TheChipPortIsOpenedOnceAndReconfiguredAfterwards) {
    SerialBench bench;
    STND target;
    target.serialPortIndex = 0;
    target.serialBaudIndex = 6;    // 19200
    target.serialParityIndex = 1;  // Even
    ChipPort port(bench.channel);
    ASSERT_TRUE(port.OpenChipPort(target, bench.hooks));
    EXPECT_EQ(bench.hooks.LastStatus(0), "RS232 COM1 , Baud = 19200, Pariyt = EVEN");
    EXPECT_EQ(bench.sim.port(sim::SimInstruments::ChipLink).Line().baudRate, 19200);
    EXPECT_TRUE(target.rs232.connected);
    EXPECT_EQ(target.rs232.parity, SerialParity::Even);
    const auto first = target.rs232.handle;

    target.serialBaudIndex = 5;
    target.serialParityIndex = 0;
    ASSERT_TRUE(port.OpenChipPort(target, bench.hooks));
    EXPECT_EQ(bench.hooks.LastStatus(0), "RS232 COM1 , Baud = 9600, Pariyt = None");
    EXPECT_EQ(bench.sim.port(sim::SimInstruments::ChipLink).Line().baudRate, 9600);

    // Away to another index and back: the first port is still the open one.
    target.serialPortIndex = 1;
    ASSERT_TRUE(port.OpenChipPort(target, bench.hooks));
    target.serialPortIndex = 0;
    ASSERT_TRUE(port.OpenChipPort(target, bench.hooks));
    EXPECT_EQ(target.rs232.handle, first);
    EXPECT_EQ(bench.opener.opens[bench.sim.port(0).path()], 1);
    EXPECT_EQ(bench.opener.opens[bench.sim.port(1).path()], 1);

    target.serialPortIndex = 14;
    EXPECT_FALSE(port.OpenChipPort(target, bench.hooks));
    EXPECT_EQ(bench.hooks.LastStatus(0), "Uart  not  found");
    EXPECT_EQ(bench.hooks.LastStatus(1), "COM15 has no serial port behind it");
    EXPECT_FALSE(target.rs232.connected);
}

}  // namespace
}  // namespace dmm::test
