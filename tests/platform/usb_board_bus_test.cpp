// The libusb backend, unmodified, against an emulated usbfs node answered by the
// simulated board.
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "backend_support.h"
#include "core/app/bench_core.h"
#include "fake_usbfs.h"
#include "sim/sim_board.h"
#include "sim/sim_chip.h"

namespace dmm::test {
namespace {

class BulkBoardOnUsbfs : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fake.Plug(bed, plug, error)) << error;
        // libusb lists the devices present when it starts (later ones arrive as hot-plug
        // events on its own thread): made after the device, the bus sees it at once.
        bus = std::make_unique<UsbOnlyBus>();
        ASSERT_TRUE(bus->usb.available());
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
    FakeUsbfsBoard fake{board};
    UsbPlug plug;
    DeviceBed bed;  // after the fake: destroyed first, with umockdev's thread
    std::unique_ptr<UsbOnlyBus> bus;
    std::unique_ptr<BenchCore> core;
};

TEST_F(BulkBoardOnUsbfs, OpenBoardTakesIdentityAndPipesFromTheUsbDescriptors) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
    const Devc& devc = core->target().devc;
    EXPECT_EQ(devc.deviceName, "VzUSB-0");
    EXPECT_FALSE(core->link().HidMode());

    const Bytes descriptor = UsbDeviceDescriptor(plug);
    EXPECT_TRUE(std::equal(descriptor.begin(), descriptor.end(), devc.deviceDescriptor.begin()));
    EXPECT_TRUE(std::all_of(devc.deviceDescriptor.begin() + 18, devc.deviceDescriptor.end(),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(devc.DeviceRelease(), 0x0140);

    // The descriptors list OUT before IN; the link wants the IN pipe first.
    EXPECT_EQ(devc.pipes[0].endpointAddress, 0x81);
    EXPECT_EQ(devc.pipes[1].endpointAddress, 0x01);
    for (int i : {0, 1}) {
        EXPECT_EQ(devc.pipes[i].maximumPacketSize, 64);
        EXPECT_EQ(devc.pipes[i].pipeType, 2u);
    }
    EXPECT_EQ(devc.maximumPacketSize, 64);
    EXPECT_EQ(fake.ClaimedInterfaces(), 1u);

    // The connect sequence as it went over the wire. The link-start replies are exactly
    // one full packet each: they must arrive without waiting for more.
    const std::vector<Bytes> expected = {{0xF9, 0x02, 0x00, 0x00},
                                         {0xF9, 0x01, 0x00, 0x00},
                                         {0xF9, 0x04, 0x00, 0x5A},
                                         {0xC5, 0xFF, 0x01, 0x00},
                                         {0xC5, 0xFF, 0x00, 0x5A}};
    EXPECT_EQ(fake.Requests(), expected);
    EXPECT_EQ(fake.DiscardedReads(), 0);
    EXPECT_TRUE(devc.connected);
    EXPECT_EQ(board.linkStarts(), 1);

    fake.ClearRequests();
    EXPECT_TRUE(core->link().CheckBoard());
    EXPECT_EQ(fake.Requests(), (std::vector<Bytes>{{0xF9, 0xAC}}));
    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusAnswered);
    EXPECT_EQ(fake.Claims(), 1);
}

TEST_F(BulkBoardOnUsbfs, RegisterWritesAndBlockTransfersReachTheChip) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    ChipAccess& access = core->chip();

    core->target().interfaceKind = InterfaceKind::DMM;
    fake.ClearRequests();
    ASSERT_TRUE(access.WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(board, 0x12), 0x5A);
    EXPECT_EQ(access.GetRegImage(0x12), 0x5A);
    EXPECT_EQ(fake.Requests(),
              (std::vector<Bytes>{{0xC2, 0x00, 0x24, 0x01, 0x5A}, {0xC2, 0x00, 0x25, 0x01}}));

    // Replies of every shape: one short packet, exactly one and two full packets, a full
    // packet followed by a short one, and the longest read.
    core->target().interfaceKind = InterfaceKind::SPI;
    FillChip(board, 0x100, 256, 0x11);
    for (int count : {1, 63, 64, 65, 128, 200, 255}) {
        SCOPED_TRACE(count);
        access.buffer().fill(0xEE);
        ASSERT_TRUE(access.ReadChip(0x100, count));
        EXPECT_EQ(core->link().lastReceivedCount(), static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(access.buffer()[static_cast<size_t>(i)],
                      PatternByte(0x11, static_cast<size_t>(i)))
                << i;
        }
    }
    EXPECT_EQ(fake.DiscardedReads(), 0);

    // The longest write: 5 header bytes and 255 data bytes in one request.
    for (size_t i = 0; i < 255; ++i) access.buffer()[5 + i] = static_cast<uint8_t>(0xA0 ^ i);
    ASSERT_TRUE(access.WriteChip(0x200, 255));
    EXPECT_EQ(fake.Requests().back().size(), 260u);
    for (uint16_t i = 0; i < 255; ++i) {
        ASSERT_EQ(ChipByte(board, static_cast<uint16_t>(0x200 + i)), static_cast<uint8_t>(0xA0 ^ i))
            << i;
    }
    EXPECT_TRUE(core->target().devc.connected);
}

TEST_F(BulkBoardOnUsbfs, ABoardThatDoesNotAnswerTimesOutAndIsReleased) {
    // Silent at the announce: OpenBoard gives up on the device and lets it go.
    SetFaults(board, [](sim::BoardFaults& f) { f.dropReplies = 1; });
    uint8_t status = 0;
    EXPECT_FALSE(Open(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_FALSE(core->target().devc.HandleValid());
    EXPECT_EQ(fake.DiscardedReads(), 1);
    EXPECT_EQ(fake.ClaimedInterfaces(), 0u);

    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);

    // Silent in the middle of a session: the read times out and the link closes.
    core->target().interfaceKind = InterfaceKind::DMM;
    SetFaults(board, [](sim::BoardFaults& f) { f.dropReplies = 1; });
    EXPECT_FALSE(core->chip().ReadChip(0x12, 1));
    const Devc& devc = core->target().devc;
    EXPECT_FALSE(devc.HandleValid());
    EXPECT_FALSE(devc.connected);
    EXPECT_EQ(devc.deviceName, "");
    EXPECT_EQ(core->link().lastError(), -LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(fake.DiscardedReads(), 2);
    EXPECT_EQ(fake.ClaimedInterfaces(), 0u);

    // The next search (the heartbeat's) finds the board again.
    ASSERT_TRUE(Open(status));
    EXPECT_EQ(status, kOpenStatusNewlyOpened);
    ASSERT_TRUE(core->chip().WriteRegister(0x12, 0x33));
    EXPECT_EQ(ChipByte(board, 0x12), 0x33);
    EXPECT_EQ(fake.Claims(), 3);
}

TEST_F(BulkBoardOnUsbfs, WrongSignatureKeepsTheDeviceAndStopsTheSearch) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    SetFaults(board, [](sim::BoardFaults& f) { f.wrongSignature = true; });
    EXPECT_FALSE(core->link().CheckBoard());
    EXPECT_FALSE(Open(status));
    EXPECT_EQ(status, kOpenStatusNone);
    EXPECT_TRUE(core->target().devc.connected);
    EXPECT_EQ(fake.Claims(), 1);  // not opened a second time
    EXPECT_EQ(fake.ClaimedInterfaces(), 1u);

    core->link().CloseBoard();
    EXPECT_EQ(fake.ClaimedInterfaces(), 0u);
    SetFaults(board, [](sim::BoardFaults& f) { f.wrongSignature = false; });
    ASSERT_TRUE(Open(status));
    EXPECT_TRUE(core->link().CheckBoard());
}

TEST_F(BulkBoardOnUsbfs, AnUnpluggedBoardFailsAtOnceAndClosesTheLink) {
    uint8_t status = 0;
    ASSERT_TRUE(Open(status));
    SetFaults(board, [](sim::BoardFaults& f) { f.disconnected = true; });
    EXPECT_FALSE(core->chip().WriteRegister(0x12, 0x5A));
    EXPECT_FALSE(core->target().devc.HandleValid());
    EXPECT_EQ(core->link().lastError(), -LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(fake.DiscardedReads(), 0);  // no time-out was needed to notice
    EXPECT_EQ(ChipByte(board, 0x12), 0x00);
}

// Several boards and a foreign device on two buses, plugged so that sysfs order and
// address order differ.
TEST(BulkBoardsOnUsbfs, DeviceNumbersFollowBusAndAddressOrder) {
    VirtualClock clock;
    sim::SimChip chipA, chipB, chipC, chipForeign;
    sim::SimBoard boardA(chipA, clock), boardB(chipB, clock), boardC(chipC, clock),
        foreign(chipForeign, clock);
    FakeUsbfsBoard fakeA(boardA), fakeB(boardB), fakeC(boardC), fakeForeign(foreign);
    const UsbPlug plugA{0x0547, 0x1004, 0x0141, 1, 9, "1-1"};
    const UsbPlug plugB{0x0547, 0x1004, 0x0142, 1, 3, "1-2"};
    const UsbPlug plugC{0x0547, 0x1004, 0x0143, 2, 1, "2-1"};
    const UsbPlug plugForeign{0x0547, 0x2000, 0x0100, 1, 2, "1-4"};
    DeviceBed bed;
    std::string error;
    ASSERT_TRUE(fakeA.Plug(bed, plugA, error)) << error;
    ASSERT_TRUE(fakeB.Plug(bed, plugB, error)) << error;
    ASSERT_TRUE(fakeC.Plug(bed, plugC, error)) << error;
    ASSERT_TRUE(fakeForeign.Plug(bed, plugForeign, error)) << error;

    {
        platform::UsbBoardBus bus;
        std::vector<uint16_t> releases;
        for (int n = 0; n < 4; ++n) {
            auto device = bus.OpenBulk(n);
            if (!device) break;
            DeviceDescriptorBlock block{};
            ASSERT_TRUE(device->ReadDeviceDescriptor(block));
            releases.push_back(static_cast<uint16_t>(block[12] | (block[13] << 8)));
        }
        EXPECT_EQ(releases, (std::vector<uint16_t>{0x0142, 0x0141, 0x0143}));
        EXPECT_EQ(bus.OpenBulk(-1), nullptr);
    }

    UsbOnlyBus bus;
    BenchCore core(bus, clock);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_EQ(core.target().devc.deviceName, "VzUSB-0");
    EXPECT_EQ(boardB.connectedIndex(), 0);
    ASSERT_TRUE(core.chip().WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(boardB, 0x12), 0x5A);
    EXPECT_EQ(ChipByte(boardA, 0x12), 0x00);
    EXPECT_TRUE(fakeA.Requests().empty());
    EXPECT_TRUE(fakeForeign.Requests().empty());
    EXPECT_EQ(fakeForeign.Claims(), 0);
}

// The bus is made before the board appears, as when the program runs before the board
// is plugged in: libusb learns of the device from udev, and a later search finds it.
TEST(BulkBoardsOnUsbfs, ABoardPluggedInLaterIsFoundByALaterSearch) {
    VirtualClock clock;
    sim::SimChip chip;
    sim::SimBoard board(chip, clock);
    FakeUsbfsBoard fake(board);
    DeviceBed bed;
    UsbOnlyBus bus;
    BenchCore core(bus, clock);
    uint8_t status = 0;
    EXPECT_FALSE(core.link().OpenBoard(status));

    std::string error;
    ASSERT_TRUE(fake.Plug(bed, UsbPlug{}, error)) << error;
    // The hot-plug event reaches libusb on its own thread.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool found = false;
    while (!(found = core.link().OpenBoard(status)) && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(core.target().devc.deviceName, "VzUSB-0");
    ASSERT_TRUE(core.chip().WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(board, 0x12), 0x5A);
}

}  // namespace
}  // namespace dmm::test
