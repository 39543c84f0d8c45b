#include <gtest/gtest.h>

#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;
using Personality = sim::SimBench::Personality;

struct FrameCase {
    InterfaceKind kind;
    bool photo;
    std::string title;
    Bytes read;        // request of ReadChip(0x123, 2) (0x23 on the DMM kind)
    size_t readReply;  // bytes asked for
    Bytes write;       // request of WriteChip(0x123, 2) with data 0xAB 0xCD
    size_t writeReply;
    int64_t waitMs;  // wait after each successful frame
};

std::vector<FrameCase> FrameCases() {
    return {
        {InterfaceKind::SPI,
         true,
         "",
         {0xBC, 0xC0, 0x23, 0x01, 2},
         2,
         {0xBC, 0x40, 0x23, 0x01, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::SPI,
         false,
         "",
         {0xB1, 0xC0, 0x23, 0x01, 2},
         2,
         {0xB1, 0x40, 0x23, 0x01, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::Special,
         true,
         "",
         {0xBE, 0x84, 0x23, 2, 2},
         2,
         {0xBE, 0x04, 0x23, 2, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::Special,
         false,
         "",
         {0xBA, 0x84, 0x23, 2, 2},
         2,
         {0xBA, 0x04, 0x23, 2, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::Special,
         false,
         "RX402",
         {0xBA, 0xC0, 0x23, 2, 2},
         2,
         {0xBA, 0x40, 0x23, 2, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::Special,
         true,
         "RX520",
         {0xBE, 0xC0, 0x23, 2, 2},
         2,
         {0xBE, 0x40, 0x23, 2, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::UART,
         true,
         "",
         {0xC1, 0x80, 0x23, 0x01, 2},
         3,
         {0xC1, 0x00, 0x23, 0x01, 2, 0xAB, 0xCD},
         1,
         50},
        {InterfaceKind::UART,
         false,
         "",
         {0xC1, 0x80, 0x23, 0x01, 2},
         3,
         {0xC1, 0x00, 0x23, 0x01, 2, 0xAB, 0xCD},
         1,
         50},
        // DMM: the address travels doubled (bit 0 set for a read); the cases use 0x23.
        {InterfaceKind::DMM,
         true,
         "",
         {0xC2, 0x01, 0x47, 2},
         2,
         {0xC2, 0x01, 0x46, 2, 0xAB, 0xCD},
         2,
         0},
        {InterfaceKind::DMM,
         false,
         "",
         {0xC2, 0x00, 0x47, 2},
         2,
         {0xC2, 0x00, 0x46, 2, 0xAB, 0xCD},
         2,
         0},
    };
}

TEST(ChipFrames, EveryKindWithPhotoOnAndOffByteForByte) {
    for (const FrameCase& c : FrameCases()) {
        SCOPED_TRACE(std::string(InterfaceKindName(c.kind)) + (c.photo ? " photo" : "") + " " +
                     c.title);
        SimFixture f(Personality::Bulk, c.kind);
        ASSERT_TRUE(f.Open());
        ChipAccess& chip = f.core.chip();
        chip.Photo = c.photo;
        chip.ChipTitle = c.title;

        const uint16_t address = c.kind == InterfaceKind::DMM ? 0x23 : 0x123;
        const size_t at = WriteDataOffset(c.kind);
        chip.buffer()[at] = 0xAB;
        chip.buffer()[at + 1] = 0xCD;
        int64_t start = f.clock.NowMs();
        ASSERT_TRUE(chip.WriteChip(address, 2));
        EXPECT_EQ(f.clock.NowMs() - start, c.waitMs);
        ASSERT_EQ(f.trace.packets.size(), 2u);
        EXPECT_EQ(f.trace.packets[0].bytes, c.write);
        EXPECT_EQ(f.trace.packets[1].bytes.size(), c.writeReply);

        f.trace.Clear();
        start = f.clock.NowMs();
        ASSERT_TRUE(chip.ReadChip(address, 2));
        EXPECT_EQ(f.clock.NowMs() - start, c.waitMs);
        ASSERT_EQ(f.trace.packets.size(), 2u);
        EXPECT_EQ(f.trace.packets[0].bytes, c.read);
        EXPECT_EQ(f.trace.packets[1].bytes.size(), c.readReply);
        EXPECT_EQ(chip.buffer()[0], 0xAB);
        EXPECT_EQ(chip.buffer()[1], 0xCD);
    }
}

TEST(ChipFrames, SpiAndSpecialReadsNeedAConnectedBoard) {
    for (InterfaceKind kind : {InterfaceKind::SPI, InterfaceKind::Special}) {
        SimFixture f(Personality::Bulk, kind);
        ASSERT_TRUE(f.Open());
        f.core.target().devc.connected = false;
        EXPECT_FALSE(f.core.chip().ReadChip(0x10, 1));
        EXPECT_TRUE(f.trace.packets.empty());
        // A write is attempted in any case.
        EXPECT_TRUE(f.core.chip().WriteChip(0x10, 1));
    }
}

TEST(ChipFrames, UartSuccessDependsOnTheAcknowledgementBytes) {
    SimFixture f(Personality::Bulk, InterfaceKind::UART);
    ASSERT_TRUE(f.Open());
    f.sim.chip().Write(0x40, 0x11);
    f.sim.chip().Write(0x41, 0x22);
    f.sim.board().faults().replyFilter = [](const Bytes&, Bytes& reply) { reply.back() ^= 0xFF; };
    EXPECT_FALSE(f.core.chip().ReadChip(0x40, 2));  // no 0xFA after the data
    f.core.chip().buffer()[5] = 1;
    EXPECT_FALSE(f.core.chip().WriteChip(0x40, 1));  // no 0xAA
    EXPECT_TRUE(f.core.target().devc.connected);     // a refusal is not a link failure
    f.sim.board().faults().replyFilter = nullptr;
    EXPECT_TRUE(f.core.chip().ReadChip(0x40, 2));
}

TEST(ChipFrames, DmmFramesRefuseAddressesTheirDoubledByteCannotCarry) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    EXPECT_TRUE(f.core.chip().ReadChip(0x7F, 1));
    f.trace.Clear();
    EXPECT_FALSE(f.core.chip().ReadChip(0x80, 1));   // would read 0x00
    EXPECT_FALSE(f.core.chip().ReadChip(0x70, 17));  // would run past 0x7F
    f.core.chip().buffer()[4] = 1;
    EXPECT_FALSE(f.core.chip().WriteChip(0x93, 1));  // would write 0x13
    EXPECT_FALSE(f.core.chip().WriteRegister(0x93, 1));
    EXPECT_TRUE(f.trace.packets.empty());
    EXPECT_TRUE(f.core.target().devc.connected);
}

TEST(ChipFrames, Rs232AndParallelReportFailureUntilTheirPortsExist) {
    for (InterfaceKind kind : {InterfaceKind::RS232, InterfaceKind::Parallel}) {
        SimFixture f(Personality::Bulk, kind);
        ASSERT_TRUE(f.Open());
        EXPECT_FALSE(f.core.chip().ReadChip(0, 1));
        EXPECT_FALSE(f.core.chip().WriteChip(0, 1));
        EXPECT_TRUE(f.trace.packets.empty());
    }
}

TEST(RegisterImage, OutOfRangeAddressesReadZeroAndAreIgnored) {
    SimFixture f;
    ChipAccess& chip = f.core.chip();
    chip.SetRegImage(1023, 9);
    EXPECT_EQ(chip.GetRegImage(1023), 9);
    EXPECT_EQ(chip.GetRegImage(1024), 0);
    EXPECT_EQ(chip.GetRegImage(-1), 0);
    chip.SetRegImage(-1, 5);
    chip.SetRegImage(1024, 5);
    for (uint8_t b : f.core.target().RegisterImage) {
        if (b == 5) ADD_FAILURE() << "an out-of-range write reached the image";
    }
}

TEST(WriteRegister, DmmKindWritesAtPosition4AndStoresTheReadBack) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    f.core.chip().Photo = true;
    int refreshes = 0;
    f.core.chip().SubscribeRefresh(PanelOrder::Register, [&] { ++refreshes; });
    ASSERT_TRUE(f.core.chip().WriteRegister(0x12, 0x5A));
    EXPECT_EQ(f.trace.Sent(),
              (std::vector<Bytes>{{0xC2, 0x01, 0x24, 0x01, 0x5A}, {0xC2, 0x01, 0x25, 0x01}}));
    EXPECT_EQ(f.core.chip().GetRegImage(0x12), 0x5A);
    EXPECT_EQ(refreshes, 1);
}

TEST(WriteRegister, ImageKeepsTheValueReadBackNotTheValueWritten) {
    // A chip whose register 0x20 has read-only upper bits.
    class MaskingChip final : public sim::SimChip {
      public:
        void Write(uint16_t a, uint8_t v) override {
            SimChip::Write(a, a == 0x20 ? (v & 0x0F) : v);
        }
    };
    VirtualClock clock;
    MaskingChip chip;
    sim::SimBoard board(chip, clock);
    sim::SimBus bus;
    bus.AddBulk(0, board);
    BenchCore core(bus, clock);
    uint8_t status;
    ASSERT_TRUE(core.link().OpenBoard(status));
    ASSERT_TRUE(core.chip().WriteRegister(0x20, 0xFF));
    EXPECT_EQ(core.chip().GetRegImage(0x20), 0x0F);
}

TEST(WriteRegister, PairAddressWritesBothBytesAndLeavesZero) {
    SimFixture f(Personality::Bulk, InterfaceKind::SPI);
    ASSERT_TRUE(f.Open());
    f.core.chip().SetRegImage(0x1A, 0x3C);
    f.core.chip().SetRegImage(0x1B, 0x77);
    ASSERT_TRUE(f.core.chip().WriteRegister(0x1B, 0x99));
    EXPECT_EQ(f.trace.Sent(), (std::vector<Bytes>{{0xB1, 0x40, 0x1A, 0x00, 2, 0x3C, 0x99}}));
    EXPECT_EQ(f.sim.chip().memory()[0x1A], 0x3C);
    EXPECT_EQ(f.sim.chip().memory()[0x1B], 0x99);
    EXPECT_EQ(f.core.chip().GetRegImage(0x1B), 0);
}

TEST(WriteRegister, LateRegistersAreReadBackAfterOneSecondEvenWhenTheWriteIsNotAnswered) {
    for (uint16_t address : {0x31, 0x32}) {
        SimFixture f(Personality::Bulk, InterfaceKind::UART);
        ASSERT_TRUE(f.Open());
        f.sim.chip().Write(address, 0x42);
        // The chip refuses the write (no 0xAA) and keeps its value.
        f.sim.board().faults().replyFilter = [&](const Bytes& request, Bytes& reply) {
            if (request[0] == 0xC1 && request[1] == 0x00) {
                reply = {0x55};
                f.sim.chip().Write(address, 0x42);
            }
        };
        const int64_t start = f.clock.NowMs();
        ASSERT_TRUE(f.core.chip().WriteRegister(address, 0x10));
        // No wait after the refused write, then one second, then the read's 50 ms.
        EXPECT_EQ(f.clock.NowMs() - start, 1050);
        EXPECT_EQ(f.core.chip().GetRegImage(address), 0x42);
        const auto sent = f.trace.Sent();
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[2], (Bytes{0xC1, 0x80, static_cast<uint8_t>(address), 0x00, 1}));
    }
}

TEST(WriteRegister, UartKindNeedsTheLinkSetupFirst) {
    SimFixture f(Personality::Bulk, InterfaceKind::UART);
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.core.chip().WriteRegister(0x22, 0x33));
    const auto sent = f.trace.Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], (Bytes{0xC0, 0x00, 0x00, 0x06, 0x81, 0x02}));
    EXPECT_EQ(sent[1], (Bytes{0xC1, 0x00, 0x22, 0x00, 1, 0x33}));
    EXPECT_EQ(sent[2], (Bytes{0xC1, 0x80, 0x22, 0x00, 1}));

    f.trace.Clear();
    f.sim.board().faults().dropReplies = 1;
    EXPECT_FALSE(f.core.chip().WriteRegister(0x22, 0x44));
    EXPECT_EQ(f.trace.Sent().size(), 1u);
    EXPECT_EQ(f.core.chip().GetRegImage(0x22), 0x33);
}

TEST(WriteRegister, AFailedWriteKeepsTheOldImageValue) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.core.chip().WriteRegister(0x12, 0x01));
    f.sim.board().faults().dropReplies = 1;
    EXPECT_FALSE(f.core.chip().WriteRegister(0x12, 0x02));
    EXPECT_EQ(f.core.chip().GetRegImage(0x12), 0x01);
}

TEST(WriteRegister, AdcSetupRegistersAreRememberedPerFunction) {
    for (InterfaceKind kind : {InterfaceKind::SPI, InterfaceKind::DMM}) {
        SimFixture f(Personality::Bulk, kind);
        ASSERT_TRUE(f.Open());
        ChipAccess& chip = f.core.chip();
        chip.ComFun = ComFunChoice::Scale;
        ASSERT_TRUE(chip.WriteRegister(0x3C, 0x11));
        ASSERT_TRUE(chip.WriteRegister(0x40, 0x15));
        ASSERT_TRUE(chip.WriteRegister(0x30, 0x30));
        chip.ComFun = ComFunChoice::Dmm;
        ASSERT_TRUE(chip.WriteRegister(0x3C, 0x21));
        ASSERT_TRUE(chip.WriteRegister(0x41, 0x99));  // outside the remembered set
        EXPECT_EQ(chip.ScaleCopy, (FunctionRegisterCopy{0x11, 0, 0, 0, 0x15, 0x30}));
        EXPECT_EQ(chip.DmmCopy, (FunctionRegisterCopy{0x21, 0, 0, 0, 0, 0}));
    }
}

TEST(RefreshPanels, VisitsPanelsInTheirFixedOrder) {
    SimFixture f;
    std::vector<int> order;
    ChipAccess& chip = f.core.chip();
    for (PanelOrder p :
         {PanelOrder::Counter, PanelOrder::Ram, PanelOrder::Adc1, PanelOrder::Register,
          PanelOrder::OpAmp, PanelOrder::AdcClock, PanelOrder::Adc2, PanelOrder::SwitchNetwork}) {
        chip.SubscribeRefresh(p, [&order, p] { order.push_back(static_cast<int>(p)); });
    }
    chip.UpdateRegister(5, 1);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(chip.GetRegImage(5), 1);
}

}  // namespace
}  // namespace dmm
