// The hidapi (hidraw) backend, unmodified, against emulated hidraw nodes answered by the
// simulated board.
#include <gtest/gtest.h>

#include <cerrno>

#include "backend_support.h"
#include "core/app/bench_core.h"
#include "fake_hidraw.h"
#include "sim/sim_chip.h"

namespace dmm::test {
namespace {

class HidBoardOnHidraw : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fake.Plug(bed, plug, error)) << error;
        bus = std::make_unique<HidOnlyBus>();
        core = std::make_unique<BenchCore>(*bus, clock);
    }
    void TearDown() override {
        core.reset();
        bus.reset();
    }
    bool Open(uint8_t& status) { return core->link().OpenBoard(status); }

    VirtualClock clock;
    sim::SimChip chip;
    sim::SimBoard board{chip, clock};
    FakeHidrawBoard fake{board};
    HidPlug plug;
    DeviceBed bed;  // after the fake: destroyed first, with umockdev's thread
    std::unique_ptr<HidOnlyBus> bus;
    std::unique_ptr<BenchCore> core;
};

// The payload of an output report starts with these bytes.
::testing::AssertionResult StartsWith(const Bytes& report, const Bytes& head) {
    if (report.size() != 65)
        return ::testing::AssertionFailure() << "report of " << report.size() << " bytes";
    if (report[0] != 0) return ::testing::AssertionFailure() << "report id " << int(report[0]);
    if (!std::equal(head.begin(), head.end(), report.begin() + 1)) {
        return ::testing::AssertionFailure()
               << "payload starts with " << int(report[1]) << " " << int(report[2]);
    }
    return ::testing::AssertionSuccess();
}

TEST_F(HidBoardOnHidraw, OpenBoardFindsTheBoardAndSpeaksInFullReports) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
    EXPECT_TRUE(core->link().HidMode());
    const HidAttributes& a = core->link().hidAttributes();
    EXPECT_EQ(a.vendorId, 0x04D8);
    EXPECT_EQ(a.productId, 0x2008);
    EXPECT_EQ(a.versionNumber, 0x0727);  // from the USB device's bcdDevice
    EXPECT_EQ(a.inputReportLength, 65);
    EXPECT_EQ(a.outputReportLength, 65);
    EXPECT_EQ(core->target().devc.maximumPacketSize, 64);
    EXPECT_TRUE(core->target().devc.connected);
    EXPECT_EQ(board.connectedIndex(), 0);
    EXPECT_EQ(board.linkStarts(), 1);

    // Announce, connect, confirm, HID confirm, the two link-start steps: each one output
    // report of report id 0 and 64 payload bytes.
    const auto reports = fake.OutputReports();
    ASSERT_EQ(reports.size(), 6u);
    EXPECT_TRUE(StartsWith(reports[0], {0xF9, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(StartsWith(reports[1], {0xF9, 0x01, 0x00, 0x00}));
    EXPECT_TRUE(StartsWith(reports[2], {0xF9, 0x04, 0x00, 0x5A}));
    EXPECT_TRUE(StartsWith(reports[3], {0xF9, 0x06, 0xA5, 0x5A}));
    EXPECT_TRUE(StartsWith(reports[4], {0xC5, 0xFF, 0x01, 0x00}));
    EXPECT_TRUE(StartsWith(reports[5], {0xC5, 0xFF, 0x00, 0x5A}));
    EXPECT_EQ(fake.QueuedInputReports(), 0u);  // every reply was read

    fake.ClearOutputReports();
    EXPECT_TRUE(core->link().CheckBoard());
    ASSERT_EQ(fake.OutputReports().size(), 1u);
    EXPECT_TRUE(StartsWith(fake.OutputReports()[0], {0xF9, 0xAC}));
}

TEST_F(HidBoardOnHidraw, RegisterWritesAndReadsReachTheChip) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    ChipAccess& access = core->chip();

    core->target().interfaceKind = InterfaceKind::DMM;
    fake.ClearOutputReports();
    ASSERT_TRUE(access.WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(board, 0x12), 0x5A);
    EXPECT_EQ(access.GetRegImage(0x12), 0x5A);
    const auto reports = fake.OutputReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(StartsWith(reports[0], {0xC2, 0x00, 0x24, 0x01, 0x5A}));
    EXPECT_TRUE(StartsWith(reports[1], {0xC2, 0x00, 0x25, 0x01}));

    // A read that fills the whole report.
    core->target().interfaceKind = InterfaceKind::SPI;
    FillChip(board, 0x140, 64, 0x21);
    access.buffer().fill(0xEE);
    ASSERT_TRUE(access.ReadChip(0x140, 64));
    for (size_t i = 0; i < 64; ++i) ASSERT_EQ(access.buffer()[i], PatternByte(0x21, i)) << i;
}

TEST_F(HidBoardOnHidraw, NoReplyTimesOutAndClosesTheLink) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    SetFaults(board, [](sim::BoardFaults& f) { f.dropReplies = 1; });
    EXPECT_FALSE(core->chip().ReadChip(0x12, 1));
    EXPECT_FALSE(core->target().devc.HandleValid());
    EXPECT_FALSE(core->target().devc.connected);
    EXPECT_EQ(core->link().lastError(), ETIMEDOUT);

    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
    EXPECT_TRUE(core->link().HidMode());
    EXPECT_TRUE(core->chip().ReadChip(0x12, 1));
}

TEST_F(HidBoardOnHidraw, WrongSignatureOrUnpluggedBoard) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    SetFaults(board, [](sim::BoardFaults& f) { f.wrongSignature = true; });
    fake.ClearOutputReports();
    EXPECT_FALSE(Open(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_TRUE(core->target().devc.connected);
    EXPECT_EQ(fake.OutputReports().size(), 1u);  // only the signature request, no new search

    SetFaults(board, [](sim::BoardFaults& f) {
        f.wrongSignature = false;
        f.disconnected = true;
    });
    EXPECT_FALSE(core->chip().WriteRegister(0x12, 0x5A));
    EXPECT_FALSE(core->target().devc.HandleValid());
    EXPECT_EQ(core->link().lastError(), ENODEV);
    EXPECT_EQ(ChipByte(board, 0x12), 0x00);
}

// An older board (release 0x0726) enumerates first; only the board with the expected
// release gets any request.
TEST(HidBoardsOnHidraw, ABoardWithAnotherReleaseIsSkipped) {
    VirtualClock clock;
    sim::SimChip oldChip, newChip;
    sim::SimBoard oldBoard(oldChip, clock), newBoard(newChip, clock);
    FakeHidrawBoard oldFake(oldBoard), newFake(newBoard);
    HidPlug oldPlug;
    oldPlug.usb.release = 0x0726;
    HidPlug newPlug;
    newPlug.usb.address = 4;
    newPlug.usb.port = "1-4";
    newPlug.minor = 1;
    newPlug.instance = 2;
    DeviceBed bed;
    std::string error;
    ASSERT_TRUE(oldFake.Plug(bed, oldPlug, error)) << error;
    ASSERT_TRUE(newFake.Plug(bed, newPlug, error)) << error;

    HidOnlyBus bus;
    BenchCore core(bus, clock);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_TRUE(core.link().HidMode());
    EXPECT_EQ(core.link().hidAttributes().versionNumber, 0x0727);
    EXPECT_EQ(newBoard.connectedIndex(), 1);
    EXPECT_TRUE(oldFake.OutputReports().empty());
    ASSERT_TRUE(core.chip().WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(newBoard, 0x12), 0x5A);
    EXPECT_EQ(ChipByte(oldBoard, 0x12), 0x00);
}

}  // namespace
}  // namespace dmm::test
