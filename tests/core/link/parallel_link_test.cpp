// The parallel-port link against the simulated port, whose two-wire chip decodes the
// clocked lines bit by bit into the same chip memory the simulated board reaches.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/app/bench_core.h"
#include "sim/sim_bench.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;

constexpr uint16_t kLpt1 = 0x378;
constexpr uint8_t kClock = 0x08;
constexpr size_t kData = static_cast<size_t>(PortRegister::Data);
constexpr size_t kStatus = static_cast<size_t>(PortRegister::Status);
constexpr size_t kControl = static_cast<size_t>(PortRegister::Control);
constexpr size_t kEcr = static_cast<size_t>(PortRegister::ExtendedControl);

struct ParallelBench {
    ParallelBench() {
        core.target().interfaceKind = InterfaceKind::Parallel;
        core.parallel().SetStatusHandler(
            [this](const std::string& text, bool failure) { reports.emplace_back(text, failure); });
    }
    ChipAccess& chip() { return core.chip(); }
    ParallelLink& link() { return core.parallel(); }
    sim::SimParallelPort& port() { return sim.parallelPort(); }
    uint8_t Memory(uint16_t address) { return sim.chip().memory()[address]; }

    VirtualClock clock;
    sim::SimBench sim{clock};
    BenchCore core{sim.bus(), clock, &sim.parallelPort()};
    std::vector<std::pair<std::string, bool>> reports;
};

TEST(LptChoice, ListItemsGiveTheirBasesAndAnythingElseLpt1) {
    EXPECT_EQ(LptPortBase(0), 0x378);
    EXPECT_EQ(LptPortBase(1), 0x278);
    EXPECT_EQ(LptPortBase(2), 0x3BC);
    EXPECT_EQ(LptPortBase(3), 0x378);
    EXPECT_EQ(LptPortBase(-1), 0x378);
    EXPECT_EQ(LptItemIndex(0x3BC), 2);
    EXPECT_EQ(LptItemIndex(0x278), 1);
    EXPECT_EQ(LptItemIndex(0x2F8), 0);
    EXPECT_EQ(kLptItemTexts[LptItemIndex(0x278)], "LPT2 : 0x278");
}

TEST(PortOperations, SendByteA5PresentsEachBitWithARisingAndAFallingClockEdge) {
    ParallelBench b;
    ASSERT_TRUE(b.link().ParInit());  // clock low, frame and initialise lines high
    b.port().LogControlWrites(true);
    b.link().ParSendByte(kLpt1, 0xA5);

    const std::vector<uint8_t> log = b.port().ControlLog();
    const int bits[] = {1, 0, 1, 0, 0, 1, 0, 1};
    ASSERT_EQ(log.size(), 24u);
    for (size_t k = 0; k < 8; ++k) {
        SCOPED_TRACE("bit " + std::to_string(k));
        const uint8_t present = log[3 * k], rise = log[3 * k + 1], fall = log[3 * k + 2];
        EXPECT_EQ(present & 1, bits[k]);
        EXPECT_EQ(present & kClock, 0);
        EXPECT_EQ(rise, present | kClock);
        EXPECT_EQ(fall, present);
        EXPECT_EQ(present & ~1, 0x06);  // the other lines keep their levels
    }
}

TEST(PortOperations, DelayReadsTheDataRegisterCountPlusOneTimes) {
    ParallelBench b;
    ASSERT_TRUE(b.link().ParOpen());
    b.port().ResetCounts();
    b.link().ParDelay(kLpt1, 1000);
    const sim::PortAccessCounts counts = b.port().Counts();
    EXPECT_EQ(counts.reads[kData], 1001u);
    EXPECT_EQ(counts.Total(), 1001u);
}

TEST(PortOperations, AddressesOutsideTheOpenPortReadAnEmptyBus) {
    ParallelBench b;
    ASSERT_TRUE(b.link().ParOpen());
    b.port().ResetCounts();
    EXPECT_EQ(b.link().ParReadPort(0x278), 0xFF);
    b.link().ParWritePort(0x37B, 0x12);
    EXPECT_EQ(b.port().Counts().Total(), 0u);
    EXPECT_TRUE(b.link().IsOpen());
}

TEST(PortInit, ListBasesGetBidirectionalByteModeAndQuietLines) {
    for (uint16_t base : kLptPortBases) {
        SCOPED_TRACE(base);
        ParallelBench b;
        b.link().PortBase = base;
        b.port().WriteRegister(PortRegister::ExtendedControl, 0xF5);
        b.port().WriteRegister(PortRegister::Control, 0xFF);
        b.port().WriteRegister(PortRegister::Data, 0x5A);
        ASSERT_TRUE(b.link().ParInit());
        EXPECT_EQ(b.port().OpenedBase(), base);
        EXPECT_EQ(b.port().ReadRegister(PortRegister::ExtendedControl), 0x35);
        EXPECT_EQ(b.port().ReadRegister(PortRegister::Control), 0xD6);
        EXPECT_EQ(b.port().ReadRegister(PortRegister::Data), 0x00);  // driven again
        const sim::PortAccessCounts counts = b.port().Counts();
        EXPECT_EQ(counts.reads[kEcr], 1u);
        EXPECT_EQ(counts.writes[kEcr], 1u);
        EXPECT_EQ(counts.writes[kData], 1u);
        EXPECT_EQ(counts.writes[kControl], 1u);
        EXPECT_EQ(b.reports.back(), std::make_pair(b.link().PortName() + " On Line", false));
    }
}

TEST(PortInit, OtherBaseOpensThePortButLeavesItsRegistersAlone) {
    ParallelBench b;
    b.link().PortBase = 0x2F8;
    EXPECT_TRUE(b.link().ParInit());
    EXPECT_TRUE(b.link().IsOpen());
    EXPECT_EQ(b.port().OpenedBase(), 0x2F8);
    EXPECT_EQ(b.port().OpenCount(), 1);
    EXPECT_EQ(b.port().Counts().Total(), 0u);
}

TEST(ParallelFrames, WriteAndReadReachTheChipMemoryWithoutAByteCount) {
    ParallelBench b;
    TransferBuffer& buffer = b.chip().buffer();
    buffer[5] = 0xAB;
    buffer[6] = 0xCD;
    const int64_t start = b.clock.NowMs();
    ASSERT_TRUE(b.chip().WriteChip(0x123, 2));
    EXPECT_EQ(b.clock.NowMs() - start, 50);
    EXPECT_EQ(b.Memory(0x123), 0xAB);
    EXPECT_EQ(b.Memory(0x124), 0xCD);
    sim::TwoWireChip::Frame frame = b.port().LastFrame();
    EXPECT_EQ(frame.received, (Bytes{0x40, 0x23, 0x01, 0xAB, 0xCD}));
    EXPECT_TRUE(frame.ended);

    buffer[0] = buffer[1] = 0;
    b.port().ResetCounts();
    ASSERT_TRUE(b.chip().ReadChip(0x123, 2));
    EXPECT_EQ(b.clock.NowMs() - start, 100);
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[1], 0xCD);
    frame = b.port().LastFrame();
    EXPECT_EQ(frame.received, (Bytes{0xC0, 0x23, 0x01}));
    EXPECT_EQ(frame.sent, (Bytes{0xAB, 0xCD}));
    // The chip gets its delay after the start, the command, each address byte and each
    // data byte.
    const sim::PortAccessCounts counts = b.port().Counts();
    EXPECT_EQ(counts.reads[kData], 6u * 1001u);
    EXPECT_EQ(counts.reads[kStatus], 16u);  // eight bits per received byte
}

TEST(ParallelFrames, WriteRegisterStoresTheReadBackValue) {
    ParallelBench b;
    ASSERT_TRUE(b.chip().WriteRegister(0x2A, 0x5A));
    EXPECT_EQ(b.Memory(0x2A), 0x5A);
    EXPECT_EQ(b.chip().GetRegImage(0x2A), 0x5A);
    EXPECT_EQ(b.port().LastFrame().received, (Bytes{0xC0, 0x2A, 0x00}));
}

TEST(ParallelFrames, TraceShowsTheFrameBytes) {
    ParallelBench b;
    test::RecordingTrace trace;
    b.link().SetTrace(&trace);
    b.chip().buffer()[5] = 0x77;
    ASSERT_TRUE(b.chip().WriteChip(0x3FF, 1));
    ASSERT_TRUE(b.chip().ReadChip(0x3FF, 1));
    ASSERT_EQ(trace.packets.size(), 3u);
    EXPECT_EQ(trace.packets[0].bytes, (Bytes{0x40, 0xFF, 0x03, 0x77}));
    EXPECT_EQ(trace.packets[1].bytes, (Bytes{0xC0, 0xFF, 0x03}));
    EXPECT_FALSE(trace.packets[2].outgoing);
    EXPECT_EQ(trace.packets[2].bytes, Bytes{0x77});
}

TEST(ParallelFrames, ANewPortChoiceIsOpenedAndPreparedBeforeTheNextFrame) {
    ParallelBench b;
    ASSERT_TRUE(b.chip().ReadChip(0, 1));
    EXPECT_EQ(b.port().OpenedBase(), 0x378);
    b.link().PortBase = 0x3BC;
    b.port().ResetCounts();
    ASSERT_TRUE(b.chip().ReadChip(0, 1));
    EXPECT_EQ(b.port().OpenedBase(), 0x3BC);
    EXPECT_EQ(b.port().OpenCount(), 2);
    EXPECT_EQ(b.port().Counts().writes[kEcr], 1u);
}

TEST(TwoWireChip, IgnoresFramesWithAnUnknownCommandAndReleasesItsLineOutsideReads) {
    ParallelBench b;
    ParallelLink& link = b.link();
    ASSERT_TRUE(link.ParInit());
    link.ParStart(kLpt1);
    for (uint8_t byte : {0x80, 0x10, 0x00, 0x99}) link.ParSendByte(kLpt1, byte);
    EXPECT_EQ(link.ParReceiveByte(kLpt1), 0xFF);
    link.ParEnd(kLpt1);
    EXPECT_EQ(b.Memory(0x10), 0x00);
    EXPECT_EQ(b.port().LastFrame().received, Bytes{0x80});  // it stopped listening

    // Once the frame line is high again, clocked bytes go nowhere.
    link.ParStart(kLpt1);
    for (uint8_t byte : {0x40, 0x10, 0x00, 0x42}) link.ParSendByte(kLpt1, byte);
    link.ParEnd(kLpt1);
    link.ParSendByte(kLpt1, 0x99);
    EXPECT_EQ(b.Memory(0x10), 0x42);
    EXPECT_EQ(b.Memory(0x11), 0x00);
}

TEST(ParallelFailures, APortThatCannotBeOpenedFailsEveryChipOperationAndSaysWhy) {
    ParallelBench b;
    const std::string why = "/dev/parport0: Permission denied \u2014 add your user to the lp group";
    b.port().SetFaults({why, -1});
    b.chip().SetRegImage(0x2A, 0x11);
    b.chip().buffer()[0] = 0x77;
    EXPECT_FALSE(b.chip().ReadChip(0x2A, 1));
    EXPECT_EQ(b.chip().buffer()[0], 0x77);
    EXPECT_FALSE(b.chip().WriteChip(0x2A, 1));
    EXPECT_FALSE(b.chip().WriteRegister(0x2A, 0x5A));
    EXPECT_EQ(b.chip().GetRegImage(0x2A), 0x11);
    EXPECT_EQ(b.Memory(0x2A), 0x00);
    EXPECT_EQ(b.clock.NowMs(), 0);  // no frame, no wait after it
    EXPECT_EQ(b.link().LastError(), why);
    ASSERT_FALSE(b.reports.empty());
    EXPECT_EQ(b.reports.back(), std::make_pair(why, true));

    // Once the port can be had, the next operation opens it.
    b.port().SetFaults({});
    EXPECT_TRUE(b.chip().WriteRegister(0x2A, 0x5A));
    EXPECT_EQ(b.chip().GetRegImage(0x2A), 0x5A);
    EXPECT_EQ(b.reports.back(), std::make_pair(std::string("simulated port 0x378 On Line"), false));
    EXPECT_TRUE(b.link().LastError().empty());
}

TEST(ParallelFailures, APortLostInAFrameFailsItAndStopsTouchingThePort) {
    ParallelBench b;
    ASSERT_TRUE(b.link().ParInit());
    b.port().ResetCounts();
    b.port().SetFaults({"", 1500});  // inside the second delay of the frame
    EXPECT_FALSE(b.chip().ReadChip(0x10, 4));
    EXPECT_FALSE(b.link().IsOpen());
    EXPECT_EQ(b.port().Counts().Total(), 1500u);
    EXPECT_EQ(b.clock.NowMs(), 0);
    ASSERT_FALSE(b.reports.empty());
    EXPECT_TRUE(b.reports.back().second);
    EXPECT_NE(b.reports.back().first.find("No such device"), std::string::npos);

    b.port().SetFaults({});
    b.sim.chip().Write(0x10, 0x3C);
    ASSERT_TRUE(b.chip().ReadChip(0x10, 1));
    EXPECT_EQ(b.chip().buffer()[0], 0x3C);
    EXPECT_EQ(b.port().OpenCount(), 2);
}

TEST(ParallelFailures, WithoutAPortBackendTheKindFails) {
    VirtualClock clock;
    sim::SimBench sim(clock);
    BenchCore core(sim.bus(), clock);
    core.target().interfaceKind = InterfaceKind::Parallel;
    EXPECT_FALSE(core.chip().ReadChip(0, 1));
    EXPECT_FALSE(core.parallel().LastError().empty());
    EXPECT_FALSE(core.parallel().ParInit());
}

}  // namespace
}  // namespace dmm
