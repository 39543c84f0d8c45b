// The power supply's identification and step commands against the simulated E3631A.
#include <gtest/gtest.h>

#include "serial_bench.h"

namespace dmm::test {
namespace {

constexpr int kPowerCom = sim::SimInstruments::PowerSupply;

TEST(PowerSupply, IdentificationSetsTheSupplyToASafeStateFirst) {
    SerialBench bench;
    PowerSupply& power = bench.instruments.power();
    const int64_t start = bench.clock.NowMs();
    ASSERT_TRUE(power.PowerSelectClick(kPowerCom));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Successful Select Power Supply In COM3");
    EXPECT_EQ(bench.sim.power().lines(),
              (std::vector<std::string>{"SYST:REM", "VOLT 0.0", "CURR 0.0", "OUTP OFF", "*IDN?"}));
    EXPECT_TRUE(bench.sim.power().remote());
    // 9600 8N2, and four queries of half a second.
    EXPECT_EQ(bench.sim.port(kPowerCom).Line().stopBits, 2);
    EXPECT_EQ(bench.sim.port(kPowerCom).Line().baudRate, 9600);
    EXPECT_EQ(bench.Elapsed(start), 4 * kQueryWaitMs);
    EXPECT_TRUE(power.PowerSelectClick(kPowerCom));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Power Supply 已經設定");
}

TEST(PowerSupply, AnotherMakersIdentityIsRefused) {
    SerialBench bench;
    bench.sim.power().faults().wrongIdentity = true;
    EXPECT_FALSE(bench.instruments.power().PowerSelectClick(kPowerCom));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Fail Select Power Supply COM3");
    ASSERT_EQ(bench.hooks.messages.size(), 1u);
    EXPECT_EQ(bench.hooks.messages[0], "此通道連接的不是Power Supply!!");
    EXPECT_EQ(bench.channel.Holder(kPowerCom), "");

    // The chamber's port does not answer "*IDN?" at all.
    bench.sim.power().faults().wrongIdentity = false;
    EXPECT_FALSE(bench.instruments.power().PowerSelectClick(sim::SimInstruments::Chamber));
    EXPECT_EQ(bench.hooks.messages.size(), 2u);
}

TEST(PowerSupply, StepCommandsAreFollowedByOutputOnUnlessTheySwitchItOff) {
    SerialBench bench;
    PowerSupply& power = bench.instruments.power();
    ASSERT_TRUE(power.PowerSelectClick(kPowerCom));
    const std::vector<std::string>& lines = bench.sim.power().lines();
    const size_t identified = lines.size();

    // A setting answers nothing, so it is sent a second time; so is "OUTP ON".
    power.StepCommand("VOLT 3.3");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(identified), lines.end()),
              (std::vector<std::string>{"VOLT 3.3", "VOLT 3.3", "OUTP ON", "OUTP ON"}));
    EXPECT_DOUBLE_EQ(bench.sim.power().volts(), 3.3);
    EXPECT_TRUE(bench.sim.power().outputOn());

    // "OUTP OFF" in lower-case letters is not followed by "OUTP ON".
    const size_t before = lines.size();
    power.StepCommand("outp off");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end()),
              (std::vector<std::string>{"outp off", "outp off"}));
    EXPECT_FALSE(bench.sim.power().outputOn());

    // A query answers at once: sent once.
    std::string reply;
    EXPECT_TRUE(power.Command("VOLT?", &reply));
    EXPECT_EQ(reply, "+3.30000E+00\r\n");
    EXPECT_EQ(lines.back(), "VOLT?");
    EXPECT_EQ(lines[lines.size() - 2], "outp off");
}

TEST(PowerSupply, TheOutputIsSwitchedOffWhenTheProgramCloses) {
    SerialBench bench;
    PowerSupply& power = bench.instruments.power();
    ASSERT_TRUE(power.PowerSelectClick(kPowerCom));
    power.StepCommand("VOLT 5");
    ASSERT_TRUE(bench.sim.power().outputOn());
    const int64_t start = bench.clock.NowMs();
    bench.instruments.LeaveBenchSafe();
    EXPECT_EQ(bench.Elapsed(start), 0);  // no reply is waited for
    bench.clock.Advance(5);
    EXPECT_FALSE(bench.sim.power().outputOn());
}

}  // namespace
}  // namespace dmm::test
