// The machine's board bus as dmmctl and dmmbench use it: libusb first, then hidapi.
#include <gtest/gtest.h>

#include "backend_support.h"
#include "core/app/bench_core.h"
#include "fake_hidraw.h"
#include "fake_usbfs.h"
#include "platform/system_board_bus.h"
#include "sim/sim_chip.h"

namespace dmm::test {
namespace {

TEST(SystemBoardBus, PrefersTheBulkBoardAndFallsBackToHidWhenItIsSilent) {
    VirtualClock clock;
    sim::SimChip bulkChip, hidChip;
    sim::SimBoard bulkBoard(bulkChip, clock), hidBoard(hidChip, clock);
    FakeUsbfsBoard bulkFake(bulkBoard);
    FakeHidrawBoard hidFake(hidBoard);
    DeviceBed bed;
    std::string error;
    ASSERT_TRUE(bulkFake.Plug(bed, UsbPlug{}, error)) << error;
    ASSERT_TRUE(hidFake.Plug(bed, HidPlug{}, error)) << error;

    platform::SystemBoardBus bus;
    BenchCore core(bus, clock);
    uint8_t status = 0;
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_FALSE(core.link().HidMode());
    EXPECT_EQ(core.target().devc.deviceName, "VzUSB-0");
    EXPECT_TRUE(hidFake.OutputReports().empty());
    ASSERT_TRUE(core.chip().WriteRegister(0x12, 0x5A));
    EXPECT_EQ(ChipByte(bulkBoard, 0x12), 0x5A);

    // The bulk board stops answering: its read times out, the link closes, and the next
    // search passes it by for the HID board.
    core.link().CloseBoard();
    SetFaults(bulkBoard, [](sim::BoardFaults& f) { f.dropReplies = 1; });
    ASSERT_TRUE(core.link().OpenBoard(status));
    EXPECT_TRUE(core.link().HidMode());
    EXPECT_EQ(core.target().devc.deviceName, "");
    EXPECT_EQ(hidBoard.connectedIndex(), 0);
    EXPECT_EQ(bulkFake.ClaimedInterfaces(), 0u);
    ASSERT_TRUE(core.chip().WriteRegister(0x12, 0x6B));
    EXPECT_EQ(ChipByte(hidBoard, 0x12), 0x6B);
    EXPECT_EQ(ChipByte(bulkBoard, 0x12), 0x5A);
}

}  // namespace
}  // namespace dmm::test
