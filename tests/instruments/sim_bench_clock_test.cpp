// The programs' simulated bench with its clock sped up, its instruments reached through
// the real termios backend while other work keeps every core busy: each instrument
// answers within its time-outs at any speed the programs accept.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "core/instruments/chamber_frames.h"
#include "serial_bench.h"
#include "sim/sim_bench_clock.h"

namespace dmm::test {
namespace {

using sim::SimInstruments;

// Threads that keep every core busy, as other work on a shared machine does.
class BusyMachine {
  public:
    BusyMachine() {
        const unsigned count = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i)
            threads_.emplace_back([this] {
                while (!stop_.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~BusyMachine() {
        stop_ = true;
        for (auto& t : threads_) t.join();
    }

  private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

TEST(SimBenchClock, InstrumentsAnswerWithinTheirTimeOutsAtEverySpeed) {
    for (double speed : {100.0, 1000.0}) {
        SCOPED_TRACE(speed);
        sim::SimBenchClock clock(speed);
        sim::SimBench board(clock.bench(), DemoDmmChip());
        SimInstruments sim(clock.bench(), &board.board());
        ASSERT_TRUE(sim.ok());
        sim::RunOnClock(sim, clock);
        platform::SystemSerialPorts opener;
        SerialChannel channel(opener);
        channel.SetMap(sim.Map());
        RecordingUiHooks hooks;
        Instruments instruments(channel, clock, hooks);
        {
            const BusyMachine busy;
            EXPECT_TRUE(instruments.calibrator().FlukeSelectClick(SimInstruments::Calibrator));
            EXPECT_TRUE(instruments.power().PowerSelectClick(SimInstruments::PowerSupply));
            EXPECT_TRUE(instruments.chamber().ChamberSelectClick(SimInstruments::Chamber));
            EXPECT_TRUE(instruments.meter(0).Select(SimInstruments::MeterCom(0)));
            int answered = 0;
            for (int i = 0; i < 20; ++i) {
                answered += instruments.chamber().ChamberRead(kChamberTemperature, 2);
                answered += instruments.chamber().ChamberWrite(kChamberSetPoint, {250, 0});
                answered += instruments.meter(0).GetBryMenData().has_value();
            }
            EXPECT_EQ(answered, 3 * 20);
            EXPECT_EQ(instruments.calibrator().Command("OUT 1 V"), "OUT 1 V");
        }
        sim::StopRunningOnClock(sim, clock);
    }
}

}  // namespace
}  // namespace dmm::test
