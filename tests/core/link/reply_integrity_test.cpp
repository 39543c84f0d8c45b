// A reply that did not carry what was asked for is a failure, never data; a request
// the link cannot carry is refused with its reason; a failed start is no connection.
#include <gtest/gtest.h>

#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;
using Personality = sim::SimBench::Personality;

constexpr InterfaceKind kBoardKinds[] = {InterfaceKind::SPI, InterfaceKind::Special,
                                         InterfaceKind::UART, InterfaceKind::DMM};

TEST(ShortReplies, AreFailuresForEveryKindAndBothPersonalitiesAndLeaveTheLinkUsable) {
    for (Personality personality : {Personality::Bulk, Personality::Hid}) {
        for (InterfaceKind kind : kBoardKinds) {
            SCOPED_TRACE(std::string(InterfaceKindName(kind)) +
                         (personality == Personality::Hid ? " HID" : " bulk"));
            SimFixture f(personality, kind);
            ASSERT_TRUE(f.Open());
            ChipAccess& chip = f.core.chip();
            for (uint16_t i = 0; i < 4; ++i) f.sim.chip().Write(0x20 + i, 0x11 * (i + 1));

            // Stale bytes in the buffer must not pass for the chip's.
            std::fill(chip.buffer().begin(), chip.buffer().end(), 0xEE);
            f.sim.board().faults().shortReplies = 1;
            EXPECT_FALSE(chip.ReadChip(0x20, 4));
            EXPECT_NE(chip.LastFailure().find("short"), std::string::npos) << chip.LastFailure();
            EXPECT_TRUE(f.core.target().devc.connected);

            ASSERT_TRUE(chip.ReadChip(0x20, 4));
            EXPECT_EQ(Bytes(chip.buffer().begin(), chip.buffer().begin() + 4),
                      (Bytes{0x11, 0x22, 0x33, 0x44}));
            EXPECT_TRUE(chip.LastFailure().empty());

            // A write whose answer is cut short is not confirmed either.
            chip.buffer()[WriteDataOffset(kind)] = 0x5A;
            chip.buffer()[WriteDataOffset(kind) + 1] = 0xA5;
            f.sim.board().faults().shortReplies = 1;
            EXPECT_FALSE(chip.WriteChip(0x20, 2));
            // ...and a register write then keeps the old image value.
            chip.SetRegImage(0x21, 0x42);
            f.sim.board().faults().shortReplies = 2;
            EXPECT_FALSE(chip.WriteRegister(0x21, 0x99));
            EXPECT_EQ(chip.GetRegImage(0x21), 0x42);
        }
    }
}

TEST(ShortReplies, AStreamReplyTooShortForItsRecordsYieldsNone) {
    // A converter that always has a full reply's twelve records waiting.
    class FullStreamChip final : public sim::SimChip {
      public:
        int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) override {
            for (int k = 0; k < max; ++k)
                records[static_cast<size_t>(k)] = {static_cast<uint8_t>(k), 0, 0, 0, 0};
            return max;
        }
    };
    SimFixture f(std::make_unique<FullStreamChip>());
    ASSERT_TRUE(f.Open());
    BoardLink& link = f.core.link();
    ASSERT_TRUE(link.AdcStreamControl(false, true, 1));
    AdcStreamRecords records;
    ASSERT_EQ(link.AdcStreamRead(records), 12);
    // Half a reply holds six records but announces twelve: the rest would be the last
    // reply's bytes, so none of them count.
    f.sim.board().faults().shortReplies = 1;
    EXPECT_EQ(link.AdcStreamRead(records), 0);
    EXPECT_EQ(records.count, 0);
    EXPECT_EQ(link.AdcStreamRead(records), 12);
}

TEST(RefusedRequests, SayWhatAndWhyAndSendNothing) {
    struct Case {
        Personality personality;
        InterfaceKind kind;
        bool read;
        uint16_t address;
        int count;
        std::string failure;
    };
    const Case cases[] = {
        {Personality::Bulk, InterfaceKind::DMM, true, 0x7F, 2,
         "Addresses 07F to 080 cannot be read over the DMM interface: it reaches 000 to 07F"},
        {Personality::Bulk, InterfaceKind::DMM, false, 0xFD, 1,
         "Address 0FD cannot be written over the DMM interface: it reaches 000 to 07F"},
        // A 70-byte write frame would reach the chip as its first 64 bytes only.
        {Personality::Hid, InterfaceKind::SPI, false, 0x80, 70,
         "A HID board carries 64 bytes a packet: a 75-byte request is refused"},
        {Personality::Hid, InterfaceKind::SPI, true, 0x80, 70,
         "A HID board carries 64 bytes a packet: a 70-byte reply is refused"},
        {Personality::Bulk, InterfaceKind::SPI, true, 0x00, 256,
         "A count of 256 cannot be read: one frame carries 1 to 255 bytes"},
        {Personality::Bulk, InterfaceKind::UART, false, 0x00, 0,
         "A count of 0 cannot be written: one frame carries 1 to 255 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failure);
        SimFixture f(c.personality, c.kind);
        ASSERT_TRUE(f.Open());
        std::vector<std::string> reported;
        f.core.chip().OnFailure = [&](const std::string& why) { reported.push_back(why); };
        std::fill(f.core.chip().buffer().begin(), f.core.chip().buffer().end(), 0x3C);
        const bool ok = c.read ? f.core.chip().ReadChip(c.address, c.count)
                               : f.core.chip().WriteChip(c.address, c.count);
        EXPECT_FALSE(ok);
        EXPECT_EQ(f.core.chip().LastFailure(), c.failure);
        EXPECT_EQ(reported, std::vector<std::string>{c.failure});
        EXPECT_TRUE(f.trace.packets.empty());
        // The caller's data stays where it put it.
        EXPECT_EQ(f.core.chip().buffer()[0], 0x3C);
        EXPECT_TRUE(f.core.target().devc.connected);
    }
}

TEST(OpenBoard, AFailedStartSequenceIsNoConnection) {
    SimFixture f;
    // The board answers everything but the link start.
    f.sim.board().faults().replyFilter = [](const Bytes& request, Bytes& reply) {
        if (!request.empty() && request[0] == 0xC5) reply.clear();
    };
    uint8_t status = 0;
    EXPECT_FALSE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_FALSE(f.core.target().devc.connected);
    EXPECT_FALSE(f.core.target().devc.HandleValid());

    f.sim.board().faults().replyFilter = nullptr;
    EXPECT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
}

TEST(OpenBoard, ANewConnectionSwitchesOffAStreamALostLinkLeftRunning) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.core.link().AdcStreamControl(true, true, 0x04));
    ASSERT_TRUE(f.sim.board().streamEnabled());
    // The link is lost before the capture could switch the stream off.
    f.sim.board().faults().dropReplies = 1;
    AdcStreamRecords records;
    EXPECT_EQ(f.core.link().AdcStreamRead(records), 0);
    EXPECT_FALSE(f.core.target().devc.connected);
    EXPECT_FALSE(f.core.link().AdcStreamControl(true, false, 0));
    EXPECT_TRUE(f.core.link().StreamMayBeOn());

    f.trace.Clear();
    uint8_t status = 0;
    ASSERT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_FALSE(f.sim.board().streamEnabled());
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC3, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_FALSE(f.core.link().StreamMayBeOn());
    // Once off, later connections send nothing more.
    f.core.link().CloseBoard();
    f.trace.Clear();
    ASSERT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC5, 0xFF, 0x00, 0x5A}));
}

}  // namespace
}  // namespace dmm
