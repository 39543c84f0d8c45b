// Timed faults of the simulated bench: the --sim-fault forms, and what the bench does at
// their times (the board off the bus, its chip reset, a meter's node gone and back).
#include <gtest/gtest.h>

#include "core/link/board_link.h"
#include "core/link/stnd.h"
#include "serial_bench.h"
#include "sim/sim_options.h"

namespace dmm::test {
namespace {

using sim::SimFaultKind;

TEST(SimFaultOption, ReadsTimedFaultsAndFirmwareNamesAndRefusesTheRest) {
    sim::SimBenchOptions o;
    std::string error;
    ASSERT_TRUE(sim::ParseSimFault("board:unplug@30+10,meter2:vanish@2m+500ms", o, error)) << error;
    ASSERT_TRUE(sim::ParseSimFault("COM2:slow@1h,ready-stuck", o, error)) << error;
    ASSERT_EQ(o.timedFaults.size(), 3u);
    EXPECT_EQ(o.timedFaults[0].kind, SimFaultKind::Unplug);
    EXPECT_EQ(o.timedFaults[0].device, -1);
    EXPECT_EQ(o.timedFaults[0].atMs, 30000);
    EXPECT_EQ(o.timedFaults[0].forMs, 10000);
    EXPECT_EQ(o.timedFaults[1].device, sim::SimInstruments::MeterCom(1));
    EXPECT_EQ(o.timedFaults[1].atMs, 120000);
    EXPECT_EQ(o.timedFaults[1].forMs, 500);
    EXPECT_EQ(o.timedFaults[2].device, sim::SimInstruments::Calibrator);  // COM2
    EXPECT_EQ(o.timedFaults[2].forMs, -1);                                // to the end
    ASSERT_TRUE(o.firmwareFaults);
    EXPECT_TRUE(o.firmwareFaults->readyStuck);

    for (const char* bad : {"board:silent@1", "meter7:vanish@1", "chamber:melt@1", "board:unplug",
                            "board:unplug@-1", "board:unplug@1+x", "stuck"}) {
        sim::SimBenchOptions untouched;
        EXPECT_FALSE(sim::ParseSimFault(bad, untouched, error)) << bad;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(untouched.timedFaults.empty()) << bad;
    }
}

TEST(SimFaultSchedule, PowerCycleTakesTheBoardAwayAndBringsItBackWithItsChipReset) {
    SerialBench b;
    STND target;
    BoardLink link(target.devc, b.board.bus(), b.clock);
    uint8_t status = 0;
    ASSERT_TRUE(link.OpenBoard(status));
    {
        std::lock_guard lock(b.board.board().mutex());
        b.board.chip().Write(0x30, 0x5A);
    }
    b.sim.ScheduleFaults({{SimFaultKind::PowerCycle, -1, 1000, 2000}});
    b.clock.Advance(1100);
    EXPECT_FALSE(link.CheckBoard());
    EXPECT_FALSE(link.OpenBoard(status));
    b.clock.Advance(2000);
    ASSERT_TRUE(link.OpenBoard(status));
    std::lock_guard lock(b.board.board().mutex());
    EXPECT_NE(b.board.chip().Read(0x30), 0x5A);
}

TEST(SimFaultSchedule, AVanishedMeterLeavesTheListingAndComesBackUnderANewNodeAndItsKey) {
    SerialBench b;
    const int device = sim::SimInstruments::MeterCom(1);
    const std::string before = b.sim.port(device).path();
    b.sim.ScheduleFaults({{SimFaultKind::Vanish, device, 500, 1000}});
    b.clock.Advance(600);
    auto keyed = [&] {
        for (const SerialPortInfo& p : b.sim.Ports())
            if (p.stableKey == "sim-" + std::to_string(device)) return p.path;
        return std::string();
    };
    EXPECT_EQ(keyed(), "");
    b.clock.Advance(1000);
    EXPECT_FALSE(keyed().empty());
    EXPECT_NE(keyed(), before);
}

}  // namespace
}  // namespace dmm::test
