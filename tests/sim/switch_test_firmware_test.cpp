// The RX405's simulated switch test firmware, at its registers and through the board.
#include <gtest/gtest.h>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/bench_chips.h"
#include "sim/switch_test_firmware.h"
#include "support/sim_fixture.h"
#include "support/switch_test_chip.h"

namespace dmm {
namespace {

constexpr uint16_t kControl = 0xA4;
constexpr uint16_t kStatus = 0xD2;

// One channel set-up of G samples, L loops, a slots, as the host leaves it in RAM.
void PutSetUp(sim::SwitchTestFirmware& f, uint8_t g, uint16_t loops, uint8_t channels) {
    f.Write(0x120, g);
    f.Write(0x122, static_cast<uint8_t>(loops));
    f.Write(0x123, static_cast<uint8_t>(loops >> 8));
    f.Write(0x124, channels);
    const uint8_t registers[] = {49, 50, 55, 60, 61, 62, 63, 64};
    for (int i = 0; i < 8; ++i) f.Write(static_cast<uint16_t>(0x128 + i), registers[i]);
}

TEST(SwitchTestFirmware, TheBoardReportsItsIdentificationAndTheEndOfARun) {
    auto owned = test::ShippedSwitchTestChip();
    sim::SwitchTestFirmware& f = *owned;
    test::SimFixture bench(std::move(owned), InterfaceKind::Special);
    ASSERT_TRUE(bench.Open());
    std::string info;
    ASSERT_TRUE(bench.core.link().ReadBoardInfo(info));
    EXPECT_EQ(info, "RX405SW1");

    PutSetUp(f, 4, 1, 1);
    f.Write(kControl, 0x10);
    uint8_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(bench.core.link().ReadBoardStatus(a, b, c));
    EXPECT_EQ(a & 0x30, 0);  // started, not ended
    EXPECT_TRUE(f.Running());
    bench.clock.Advance(100);  // 4 conversions at 640 per second
    ASSERT_TRUE(bench.core.link().ReadBoardStatus(a, b, c));
    EXPECT_EQ(a & 0x30, 0x20);
    EXPECT_EQ(f.SamplesKept(), 4);
    EXPECT_EQ(f.memory()[kControl] & 0x10, 0);  // SWGO reads 0 once the run is over
    EXPECT_EQ(f.memory()[kStatus] & 0x20, 0x20);

    f.faults().statusReadFails = true;
    EXPECT_FALSE(bench.core.link().ReadBoardStatus(a, b, c));
}

TEST(SwitchTestFirmware, HandshakesAreAnsweredBetweenTwoHostAccesses) {
    auto f = test::ShippedSwitchTestChip();
    // Ready: bit 7 stays until the firmware's next turn, and stops a run.
    PutSetUp(*f, 64, 256, 8);
    f->Write(kControl, 0x10);
    f->AdvanceTo(0);
    ASSERT_TRUE(f->Running());
    EXPECT_EQ(f->memory()[kStatus] & 0x40, 0);  // 131072 samples: what it keeps at most
    f->Write(kStatus, 0x80);
    EXPECT_EQ(f->Read(kStatus) & 0x80, 0x80);
    f->AdvanceTo(1);
    EXPECT_EQ(f->Read(kStatus) & 0x80, 0);
    EXPECT_FALSE(f->Running());

    // More than it keeps: the overflow flag.
    PutSetUp(*f, 255, 300, 8);
    f->Write(kControl, 0x10);
    f->AdvanceTo(2);
    EXPECT_EQ(f->memory()[kStatus] & 0x40, 0x40);

    // No channels: the run ends at once.
    f->Write(kStatus, 0x80);
    f->AdvanceTo(3);
    PutSetUp(*f, 4, 1, 0);
    f->Write(kControl, 0x10);
    f->AdvanceTo(3);
    EXPECT_FALSE(f->Running());
    EXPECT_EQ(f->memory()[kStatus] & 0x60, 0x20);

    // A block: the bytes at the offset, then SWBLK cleared.
    PutSetUp(*f, 2, 1, 1);
    f->Write(kControl, 0x10);
    f->AdvanceTo(100);  // starts now, converts later
    f->AdvanceTo(200);
    ASSERT_EQ(f->SamplesKept(), 2);
    f->Write(0x170, 3);  // from the second sample on
    f->Write(0x173, 6);
    f->Write(kControl, 0x08);
    f->AdvanceTo(200);
    EXPECT_EQ(f->memory()[kControl] & 0x08, 0);
    const int64_t second =
        f->memory()[0x100] | (f->memory()[0x101] << 8) | (f->memory()[0x102] << 16);
    EXPECT_NEAR(static_cast<double>(second), 0.1 / 1.2 * 8388608, 1500.0);  // AIN0
    EXPECT_EQ(f->memory()[0x103], 0);                                       // past the samples
}

TEST(SwitchTestFirmware, TheBenchCarriesTheChipAskedForByName) {
    std::string error;
    EXPECT_TRUE(dynamic_cast<sim::SwitchTestFirmware*>(
        sim::MakeBenchChip(ShippedDataDirectory(), "rx405", &error).get()))
        << error;
    EXPECT_TRUE(sim::IsSimulatedChipName("VZ6401"));
    EXPECT_TRUE(sim::IsSimulatedChipName(""));
    EXPECT_FALSE(sim::IsSimulatedChipName("RX402"));
    auto plain = sim::MakeBenchChip(ShippedDataDirectory(), "RX402", &error);
    EXPECT_FALSE(dynamic_cast<sim::SwitchTestFirmware*>(plain.get()));
    EXPECT_EQ(error, "no simulated chip RX402");
}

}  // namespace
}  // namespace dmm
