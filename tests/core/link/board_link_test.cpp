#include <gtest/gtest.h>

#include <cstring>

#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;
using Personality = sim::SimBench::Personality;

TEST(OpenBoard, FindsTheBulkBoardAndRunsTheConnectSequence) {
    SimFixture f;
    uint8_t status = 0;
    ASSERT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
    const Devc& devc = f.core.target().devc;
    EXPECT_TRUE(devc.connected);
    EXPECT_EQ(devc.deviceName, "VzUSB-0");
    EXPECT_EQ(devc.VendorId(), 0x0547);
    EXPECT_EQ(devc.ProductId(), 0x1004);
    EXPECT_EQ(devc.pipes[0].endpointAddress, 0x81);
    EXPECT_EQ(devc.pipes[1].endpointAddress, 0x01);
    EXPECT_EQ(devc.maximumPacketSize, 64);
    EXPECT_EQ(devc.linkMarker, 1);
    EXPECT_EQ(devc.openMarker, 1);
    EXPECT_FALSE(f.core.link().HidMode());

    // F9 02 (announce), F9 01 n, F9 04 <reply of 1>, then the two link-start packets,
    // the second one carrying byte 3 as the first reply left it.
    const auto sent = f.trace.Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[0], (Bytes{0xF9, 0x02, 0x00, 0x00}));
    EXPECT_EQ(sent[1], (Bytes{0xF9, 0x01, 0x00, 0x00}));
    EXPECT_EQ(sent[2], (Bytes{0xF9, 0x04, 0x00, 0x5A}));
    EXPECT_EQ(sent[3], (Bytes{0xC5, 0xFF, 0x01, 0x00}));
    EXPECT_EQ(sent[4], (Bytes{0xC5, 0xFF, 0x00, 0x5A}));
    EXPECT_EQ(f.sim.board().linkStarts(), 1);

    // A second call finds the open board by its signature.
    f.trace.Clear();
    ASSERT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusAnswered);
    EXPECT_EQ(f.trace.Sent(), (std::vector<Bytes>{{0xF9, 0xAC}}));
}

TEST(OpenBoard, WithNoDeviceTriesEveryNumberAndEveryHidIndex) {
    VirtualClock clock;
    sim::SimBus bus;
    BenchCore core(bus, clock);
    uint8_t status = 0;
    EXPECT_FALSE(core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_EQ(bus.bulkOpenAttempts(), 32);
    EXPECT_EQ(bus.hidOpenAttempts(), 128);
    EXPECT_FALSE(core.target().devc.connected);
    EXPECT_FALSE(core.target().devc.HandleValid());
}

TEST(OpenBoard, SkipsDevicesWithAnotherProductIdOrNoAnswer) {
    VirtualClock clock;
    sim::SimChip chipA, chipB, chipC;
    sim::SimBoard foreign(chipA, clock), mute(chipB, clock), board(chipC, clock);
    mute.faults().dropReplies = 1;  // does not answer command 2
    sim::SimBus bus;
    bus.AddBulk(0, foreign, {0x0547, 0x2000, 0x0100});
    bus.AddBulk(1, mute);
    bus.AddBulk(5, board);
    BenchCore core(bus, clock);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_EQ(core.target().devc.deviceName, "VzUSB-5");
    EXPECT_EQ(board.connectedIndex(), 5);
    EXPECT_EQ(bus.bulkOpenAttempts(), 6);
    EXPECT_EQ(bus.hidOpenAttempts(), 0);
}

TEST(OpenBoard, HidBoardNeedsTheExactVersionAndGetsCommandSix) {
    VirtualClock clock;
    sim::SimChip chipA, chipB;
    sim::SimBoard old(chipA, clock), board(chipB, clock);
    sim::SimBus bus;
    bus.AddHid(0, old, {0x04D8, 0x2008, 0x0726});
    bus.AddHid(3, board);
    BenchCore core(bus, clock);
    test::RecordingTrace trace;
    core.link().SetTrace(&trace);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_TRUE(core.link().HidMode());
    EXPECT_EQ(board.connectedIndex(), 3);
    EXPECT_EQ(core.target().devc.maximumPacketSize, 64);
    for (const auto& pipe : core.target().devc.pipes) EXPECT_EQ(pipe.maximumPacketSize, 64);
    const auto sent = trace.Sent();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[1], (Bytes{0xF9, 0x01, 0x03, 0x00}));
    EXPECT_EQ(sent[3][1], 0x06);
    EXPECT_EQ(sent[3][2], sent[2][2] ^ 0xA5);  // argument of 6 = reply of 4
}

TEST(OpenBoard, WrongSignatureFailsAndDoesNotSearchAgainWhileConnected) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    f.sim.board().faults().wrongSignature = true;
    const int attempts = f.sim.bus().bulkOpenAttempts();
    uint8_t status = 0;
    EXPECT_FALSE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_FALSE(f.core.link().OpenBoard(status));
    EXPECT_EQ(f.sim.bus().bulkOpenAttempts(), attempts);
    EXPECT_TRUE(f.core.target().devc.connected);

    // Closing the link lets the next call search again.
    f.sim.board().faults().wrongSignature = false;
    f.core.link().CloseBoard();
    EXPECT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
}

TEST(BoardLink, AFailedReceiveClosesTheLinkAndLaterChipOperationsFailAtOnce) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    f.sim.board().faults().dropReplies = 1;
    EXPECT_FALSE(f.core.chip().ReadChip(0x10, 1));
    EXPECT_FALSE(f.core.target().devc.HandleValid());
    EXPECT_FALSE(f.core.target().devc.connected);
    EXPECT_EQ(f.core.target().devc.deviceName, "");
    EXPECT_EQ(f.core.target().devc.VendorId(), 0);
    EXPECT_EQ(f.core.link().lastError(), 121);

    f.trace.Clear();
    EXPECT_FALSE(f.core.chip().ReadChip(0x10, 1));
    f.core.chip().buffer()[4] = 1;
    EXPECT_FALSE(f.core.chip().WriteChip(0x10, 1));
    EXPECT_TRUE(f.trace.packets.empty());  // nothing went out

    uint8_t status = 0;
    ASSERT_TRUE(f.core.link().OpenBoard(status));
    EXPECT_TRUE(f.core.chip().ReadChip(0x10, 1));
}

TEST(BoardLink, SuccessfulTransfersClearTheIdleCounter) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    f.core.link().IdleTicks = 2500;
    ASSERT_TRUE(f.core.chip().ReadChip(0, 1));
    EXPECT_EQ(f.core.link().IdleTicks, 0u);
}

TEST(BoardLink, RefusesCountsThatWouldNotFitTheBuffer) {
    SimFixture f(Personality::Bulk, InterfaceKind::SPI);
    ASSERT_TRUE(f.Open());
    EXPECT_FALSE(f.core.link().SendPacket(261));
    EXPECT_FALSE(f.core.link().ReceivePacket(261));
    EXPECT_TRUE(f.core.target().devc.connected);  // a refused count is not a link failure
    EXPECT_FALSE(f.core.chip().ReadChip(0, 0));
    EXPECT_FALSE(f.core.chip().ReadChip(0, 256));
    EXPECT_FALSE(f.core.chip().WriteChip(0, 256));
    EXPECT_TRUE(f.trace.packets.empty());
    // The largest frames still fit: a 255-byte write is 260 bytes on the wire.
    EXPECT_TRUE(f.core.chip().WriteChip(0, 255));
    ASSERT_FALSE(f.trace.Sent().empty());
    EXPECT_EQ(f.trace.Sent().back().size(), 260u);
}

TEST(BoardLink, BulkEndpointsMustPointTheRightWay) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    f.core.target().devc.pipes[1].endpointAddress = 0x82;
    EXPECT_FALSE(f.core.link().SendPacket(2));
    EXPECT_FALSE(f.core.target().devc.HandleValid());
    ASSERT_TRUE(f.Open());
    f.core.target().devc.pipes[0].endpointAddress = 0x02;
    EXPECT_FALSE(f.core.link().ReceivePacket(2));
    EXPECT_FALSE(f.core.target().devc.HandleValid());
}

TEST(BoardCommands, FramesAndRepliesByteForByte) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    BoardLink& link = f.core.link();

    uint16_t word = 0x1234;
    ASSERT_TRUE(link.BoardCommand(0x02, word));
    EXPECT_EQ(word, 0xFFFF);
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xF9, 0x02, 0x34, 0x12}));

    std::string info;
    ASSERT_TRUE(link.ReadBoardInfo(info));
    EXPECT_EQ(info, "VZSIM140");
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xF9, 0x05, 0, 0, 0, 0, 0, 0}));

    ASSERT_TRUE(link.SetDmmMode(true));
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xF9, 0x10, 0x01}));
    EXPECT_TRUE(f.sim.board().dmmMode());

    uint8_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(link.ReadBoardStatus(a, b, c));
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xB5, 0x07, 0x00}));
    EXPECT_EQ(b, 1);  // the simulated board reports DMM mode in status byte b

    ASSERT_TRUE(link.SetupUartLink());
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC0, 0x00, 0x00, 0x06, 0x81, 0x02}));

    ASSERT_TRUE(link.AdcStreamControl(true, true, 4));
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC3, 0x00, 0x01, 0x01, 0x04}));
    ASSERT_TRUE(link.AdcStreamControl(false, false, 4));
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC3, 0x00, 0x00, 0x00, 0x00}));

    AdcStreamRecords records;
    EXPECT_EQ(link.AdcStreamRead(records), 0);
    EXPECT_EQ(f.trace.Sent().back(), (Bytes{0xC3, 0x01}));

    f.trace.Clear();
    f.core.target().devc.connected = true;
    link.ReleaseBoard();
    EXPECT_EQ(f.trace.Sent(), (std::vector<Bytes>{{0xF9, 0x01, 0xFF, 0xFF}}));
    EXPECT_FALSE(f.core.target().devc.HandleValid());
}

TEST(BoardCommands, ResetTargetPulsesTheLineWithItsWaits) {
    SimFixture f;
    ASSERT_TRUE(f.Open());
    const int64_t start = f.clock.NowMs();
    ASSERT_TRUE(f.core.link().ResetTarget());
    EXPECT_EQ(f.trace.Sent(),
              (std::vector<Bytes>{{0xB5, 0x01, 0x01}, {0xB5, 0x01, 0x00}, {0xB5, 0x01, 0x01}}));
    EXPECT_EQ(f.clock.NowMs() - start, 2200);

    // The sequence stops at the first failed transfer.
    f.trace.Clear();
    f.sim.board().faults().dropReplies = 1;
    EXPECT_FALSE(f.core.link().ResetTarget());
    EXPECT_EQ(f.trace.Sent().size(), 1u);
}

TEST(BoardCommands, AdcConversionReadFramePerKindAndPhoto) {
    struct Case {
        InterfaceKind kind;
        bool photo;
        uint8_t prefix;
        uint8_t special;
    };
    for (const Case& c :
         {Case{InterfaceKind::SPI, true, 0xBD, 0}, Case{InterfaceKind::SPI, false, 0xBB, 0},
          Case{InterfaceKind::Special, true, 0xBE, 1}, Case{InterfaceKind::Special, false, 0xBA, 1},
          Case{InterfaceKind::DMM, true, 0xBE, 0}, Case{InterfaceKind::UART, false, 0xBA, 0}}) {
        SimFixture f;
        ASSERT_TRUE(f.Open());
        // Two 24-bit values in chip memory at 0xD4: -2 and 0x123456.
        for (auto [at, v] : {std::pair{0xD4, 0xFE},
                             {0xD5, 0xFF},
                             {0xD6, 0xFF},
                             {0xD7, 0x56},
                             {0xD8, 0x34},
                             {0xD9, 0x12}}) {
            f.sim.chip().Write(static_cast<uint16_t>(at), static_cast<uint8_t>(v));
        }
        int32_t first = 0, second = 0;
        ASSERT_TRUE(f.core.link().ReadAdcConversion(c.kind, c.photo, 3, 0xD4, first, second));
        EXPECT_EQ(f.trace.Sent().back(),
                  (Bytes{c.prefix, c.special, 3, 0xD4, 0x00, 0xF0, 0x00, 0x08, 0x64}));
        EXPECT_EQ(first, -2);
        EXPECT_EQ(second, 0x123456);
    }
}

TEST(BoardCommands, StreamReadRestoresRecordByteOrderAndRefusesOversizedCounts) {
    // A chip that streams two known records, least significant byte first; the board
    // sends each one most significant byte first.
    class StreamingChip final : public sim::SimChip {
      public:
        int TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int) override {
            records[0] = {1, 2, 3, 4, 5};
            records[1] = {6, 7, 8, 9, 10};
            return 2;
        }
    };
    VirtualClock clock;
    StreamingChip chip;
    sim::SimBoard board(chip, clock);
    sim::SimBus bus;
    bus.AddBulk(0, board);
    BenchCore core(bus, clock);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    ASSERT_TRUE(core.link().AdcStreamControl(false, true, 1));
    AdcStreamRecords records;
    ASSERT_EQ(core.link().AdcStreamRead(records), 2);
    EXPECT_EQ(records.records[0], (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(records.records[1], (std::array<uint8_t, 5>{6, 7, 8, 9, 10}));

    board.faults().oversizedStreamCount = 13;
    EXPECT_EQ(core.link().AdcStreamRead(records), 0);
    EXPECT_EQ(records.count, 0);
}

// A HID device that records the raw reports and answers from the simulated board.
class RecordingHid final : public HidDevice {
  public:
    explicit RecordingHid(sim::SimBoard& board) : board_(board) {}
    bool GetAttributes(HidAttributes& out) override {
        out = {65, 65, 0x04D8, 0x2008, 0x0727};
        return true;
    }
    bool WriteReport(const uint8_t* report, size_t length) override {
        written.emplace_back(report, report + length);
        return board_.Receive(report + 1, 64);
    }
    bool ReadReport(uint8_t* report, size_t length, size_t& received) override {
        std::memset(report, 0xEE, length);  // the id byte must be dropped, whatever it holds
        size_t got = 0;
        received = length;
        return board_.Reply(report + 1, length - 1, got);
    }
    int LastError() const override { return 0; }
    std::vector<Bytes> written;

  private:
    sim::SimBoard& board_;
};

class RecordingHidBus final : public BoardBus {
  public:
    explicit RecordingHidBus(sim::SimBoard& board) : board_(board) {}
    std::unique_ptr<BulkDevice> OpenBulk(int) override { return nullptr; }
    std::unique_ptr<HidDevice> OpenHid(int index) override {
        if (index != 0) return nullptr;
        auto device = std::make_unique<RecordingHid>(board_);
        last = device.get();
        return device;
    }
    RecordingHid* last = nullptr;

  private:
    sim::SimBoard& board_;
};

TEST(HidMode, PacketsTravelAsFullReportsAndRepliesComeFromReportBytes1To64) {
    VirtualClock clock;
    sim::SimChip chip;
    sim::SimBoard board(chip, clock);
    RecordingHidBus bus(board);
    STND target;
    target.interfaceKind = InterfaceKind::DMM;
    BoardLink link(target.devc, bus, clock);
    ChipAccess access(target, link, clock);
    uint8_t status = 0;
    ASSERT_TRUE(link.OpenBoard(status));
    ASSERT_TRUE(link.HidMode());
    for (const Bytes& report : bus.last->written) {
        EXPECT_EQ(report.size(), 65u);
        EXPECT_EQ(report[0], 0x00);
    }
    chip.Write(0x21, 0x77);
    bus.last->written.clear();
    ASSERT_TRUE(access.ReadChip(0x21, 1));
    ASSERT_EQ(bus.last->written.size(), 1u);
    EXPECT_EQ(bus.last->written[0].size(), 65u);
    EXPECT_EQ((Bytes(bus.last->written[0].begin() + 1, bus.last->written[0].begin() + 5)),
              (Bytes{0xC2, 0x00, 0x43, 0x01}));
    EXPECT_EQ(link.buffer()[0], 0x77);
}

}  // namespace
}  // namespace dmm
