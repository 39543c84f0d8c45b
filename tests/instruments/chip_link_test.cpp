// The RS232 interface kind: chip reads and writes over the chip's own serial link, byte
// for byte, with its waits and its status texts.
#include <gtest/gtest.h>

#include "core/app/bench_core.h"
#include "serial_bench.h"

namespace dmm::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct ChipLinkBench : SerialBench {
    ChipLinkBench() {
        core.serial().SetMap(sim.Map());
        core.target().interfaceKind = InterfaceKind::RS232;
        core.target().serialBaudIndex = 5;  // 9600
        core.chip().rs232().OnStatus = [this](const std::string& text) { link.push_back(text); };
        EXPECT_TRUE(core.chipPort().OpenChipPort(core.target(), hooks));
        chipSim().ClearReceived();
    }
    sim::SimSerialChip& chipSim() { return sim.chip(); }
    void Poke(uint16_t address, uint8_t value) {
        std::lock_guard lock(board.board().mutex());
        board.chip().Write(address, value);
    }
    uint8_t Peek(uint16_t address) {
        std::lock_guard lock(board.board().mutex());
        return board.chip().Read(address);
    }

    BenchCore core{board.bus(), clock, nullptr, &opener};
    std::vector<std::string> link;  // status panel 1 texts of the chip link
};

TEST(ChipLink, AReadIsASyncByteThenTheReadFrame) {
    ChipLinkBench bench;
    bench.Poke(0x40, 0x12);
    bench.Poke(0x41, 0x34);
    const int64_t start = bench.clock.NowMs();
    ASSERT_TRUE(bench.core.chip().ReadChip(0x0040, 2));
    EXPECT_EQ(bench.core.chip().buffer()[0], 0x12);
    EXPECT_EQ(bench.core.chip().buffer()[1], 0x34);
    EXPECT_EQ(bench.chipSim().received(), (Bytes{0x55, 0xC0, 0x40, 0x00, 0x02}));
    EXPECT_EQ(bench.link, std::vector<std::string>{""});  // a clean reply clears the panel
    // The sync, the reply, and the 100 ms that end every read.
    EXPECT_GE(bench.Elapsed(start), 100);
    EXPECT_LT(bench.Elapsed(start), 120);
}

TEST(ChipLink, WriteRegisterWritesAndReadsBack) {
    ChipLinkBench bench;
    ASSERT_TRUE(bench.core.chip().WriteRegister(0x42, 0x5A));
    EXPECT_EQ(bench.Peek(0x42), 0x5A);
    EXPECT_EQ(bench.core.chip().GetRegImage(0x42), 0x5A);
    EXPECT_EQ(bench.chipSim().received(),
              (Bytes{0x55, 0x40, 0x42, 0x00, 0x01, 0x5A, 0x55, 0xC0, 0x42, 0x00, 0x01}));
    // Block writes take their data from byte 5 of the transfer buffer, as on the board.
    TransferBuffer& buffer = bench.core.chip().buffer();
    buffer[5] = 0xA1;
    buffer[6] = 0xB2;
    bench.chipSim().ClearReceived();
    ASSERT_TRUE(bench.core.chip().WriteChip(0x0123, 2));
    EXPECT_EQ(bench.chipSim().received(), (Bytes{0x55, 0x40, 0x23, 0x01, 0x02, 0xA1, 0xB2}));
}

TEST(ChipLink, AWrongSyncAnswerIsTriedThreeTimesFourSecondsApart) {
    ChipLinkBench bench;
    bench.chipSim().wrongSync = true;
    const int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(bench.core.chip().ReadChip(0x0040, 1));
    EXPECT_EQ(bench.chipSim().received(), (Bytes{0x55, 0x55, 0x55}));
    EXPECT_GT(bench.Elapsed(start), 2 * 4000);
    EXPECT_LT(bench.Elapsed(start), 2 * 4000 + 3 * 110);
    // A write makes one attempt, then waits 4 s.
    bench.chipSim().ClearReceived();
    EXPECT_FALSE(bench.core.chip().WriteRegister(0x42, 1));
    EXPECT_EQ(bench.chipSim().received(), Bytes{0x55});
}

TEST(ChipLink, AShortReplyIsAFailureAndNoReplyIsDataEmpty) {
    ChipLinkBench bench;
    bench.chipSim().shortReplies = 1;
    EXPECT_FALSE(bench.core.chip().ReadChip(0x0040, 4));
    EXPECT_EQ(bench.core.chip().LastFailure(), "The chip's reply was short: 2 of 4 bytes");

    bench.chipSim().shortReplies = 1;  // half of one byte: nothing at all
    bench.link.clear();
    const int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(bench.core.chip().ReadChip(0x0040, 1));
    EXPECT_EQ(bench.link, (std::vector<std::string>{"", "Data Empty"}));
    // 4 s waiting for the byte, then 4 s more.
    EXPECT_GT(bench.Elapsed(start), 8000);
    EXPECT_LT(bench.Elapsed(start), 8020);
    // The next read is whole again.
    EXPECT_TRUE(bench.core.chip().ReadChip(0x0040, 4));
}

TEST(ChipLink, WithoutItsPortTheChipLinkFailsAtOnce) {
    SerialBench bench;
    BenchCore core{bench.board.bus(), bench.clock, nullptr, &bench.opener};
    core.target().interfaceKind = InterfaceKind::RS232;
    const int64_t start = bench.clock.NowMs();
    EXPECT_FALSE(core.chip().ReadChip(0, 1));
    EXPECT_FALSE(core.chip().WriteChip(0, 1));
    EXPECT_EQ(bench.Elapsed(start), 0);
    EXPECT_FALSE(core.chip().ReadChip(0, 0));
    EXPECT_EQ(core.chip().LastFailure(),
              "A count of 0 cannot be read: one frame carries 1 to 255 bytes");
}

}  // namespace
}  // namespace dmm::test
