// The calibrator's identification, commands and range lock against the simulated 5500A,
// and its output on the simulated chip's input.
#include <gtest/gtest.h>

#include <cmath>

#include "serial_bench.h"

namespace dmm::test {
namespace {

constexpr int kCalibratorCom = sim::SimInstruments::Calibrator;

TEST(Calibrator, IdentificationSucceedsOnceAndSaysSoAfterwards) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    EXPECT_TRUE(cal.connected());
    EXPECT_EQ(bench.hooks.LastStatus(1), "Successful Select Fluke In COM2");
    EXPECT_EQ(bench.sim.calibrator().lines(), std::vector<std::string>{"*OPT"});
    EXPECT_EQ(bench.sim.port(kCalibratorCom).Line().stopBits, 0);
    EXPECT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Fluke 已經設定");
    EXPECT_EQ(bench.sim.calibrator().lines().size(), 1u);  // nothing sent the second time
    EXPECT_TRUE(bench.hooks.messages.empty());
}

TEST(Calibrator, AnotherInstrumentOnThePortIsRefusedWithTheMessageBox) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    // The power supply's port: it neither echoes nor answers "*OPT".
    EXPECT_FALSE(cal.FlukeSelectClick(sim::SimInstruments::PowerSupply));
    EXPECT_EQ(bench.hooks.LastStatus(1), "Fail Select Fluke COM3");
    ASSERT_EQ(bench.hooks.messages.size(), 1u);
    EXPECT_EQ(bench.hooks.messages[0], "此通道連接的不是Fluke5500A!!");
    EXPECT_FALSE(cal.connected());
    EXPECT_EQ(bench.channel.Holder(sim::SimInstruments::PowerSupply), "");  // closed again

    // A calibrator that answers as something else.
    bench.sim.calibrator().faults().wrongIdentity = true;
    EXPECT_FALSE(cal.FlukeSelectClick(kCalibratorCom));
    EXPECT_EQ(bench.hooks.messages.size(), 2u);
}

TEST(Calibrator, CommandsComeBackAsTheirEchoAndDriveTheChipsInput) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    sim::SimDmmChip* dmm = bench.dmm();
    ASSERT_NE(dmm, nullptr);
    const double before = dmm->nodes().adc1Input;

    EXPECT_EQ(cal.Command("OUT 600 mV ,0 Hz "), "OUT 600 mV ,0 Hz ");
    EXPECT_EQ(dmm->nodes().adc1Input, before);  // standby: the output is not live yet
    EXPECT_TRUE(cal.Operate());
    EXPECT_DOUBLE_EQ(dmm->nodes().adc1Input, 0.6);

    // AC: an RMS amplitude on the calibrator, a peak on the node.
    bench.sim.SetCalibratorHarmonics({-60.0});
    EXPECT_EQ(cal.Command("OUT 100 mV ,50 Hz"), "OUT 100 mV ,50 Hz");
    ASSERT_EQ(dmm->nodes().tones.count("SENSE"), 1u);
    const sim::Tone& tone = dmm->nodes().tones.at("SENSE");
    EXPECT_NEAR(tone.peakVolts, 0.1 * std::sqrt(2.0), 1e-12);
    EXPECT_EQ(tone.frequencyHz, 50.0);
    EXPECT_EQ(tone.harmonicsDbc, std::vector<double>{-60.0});
    EXPECT_EQ(dmm->nodes().adc1Input, 0.0);

    // Standby gives the input back as it was.
    EXPECT_EQ(cal.Standby(), "STBY");
    EXPECT_EQ(dmm->nodes().adc1Input, before);
    EXPECT_EQ(dmm->nodes().tones.count("SENSE"), 0u);
}

TEST(Calibrator, AnOldEchoIsNeverTakenForTheNextReply) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    cal.Send("RANGELCK OFF");  // its echo stays on the line
    EXPECT_EQ(cal.Command("OPER"), "OPER");
}

TEST(Calibrator, StepCommandsTryTwiceOnlyWithoutAReply) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    EXPECT_EQ(cal.StepCommand("OUT 1 V"), "OUT 1 V");
    EXPECT_EQ(bench.sim.calibrator().lines().back(), "OUT 1 V");
    const size_t seen = bench.sim.calibrator().lines().size();
    bench.sim.calibrator().faults().silent = true;
    EXPECT_EQ(cal.StepCommand("OUT 2 V"), "");
    EXPECT_EQ(bench.sim.calibrator().lines().size(), seen + 2);
}

TEST(Calibrator, TheRangeLockSequence) {
    SerialBench bench;
    Calibrator& cal = bench.instruments.calibrator();
    ASSERT_TRUE(cal.FlukeSelectClick(kCalibratorCom));
    const std::vector<std::string>& lines = bench.sim.calibrator().lines();
    cal.RangeLock(CalibratorRangeLock::Lock3V3);
    bench.clock.Advance(10);  // the last line reaches the calibrator
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{"STBY", "RANGELCK OFF", "OUT 600 mV ,0 Hz", "RANGELCK ON",
                                        "OUT 0 V ,0 Hz"}));
    EXPECT_TRUE(bench.sim.calibrator().rangeLocked());
    cal.RangeLock(CalibratorRangeLock::Lock330mV);
    bench.clock.Advance(10);
    EXPECT_EQ(lines[8], "OUT 100 mV ,0 Hz");
    cal.RangeLock(CalibratorRangeLock::None);
    bench.clock.Advance(10);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"STBY", "RANGELCK OFF"}));
    EXPECT_FALSE(bench.sim.calibrator().rangeLocked());
}

TEST(Calibrator, TheBenchIsLeftInStandbyWhenTheProgramCloses) {
    SerialBench bench;
    ASSERT_TRUE(bench.instruments.calibrator().FlukeSelectClick(kCalibratorCom));
    ASSERT_TRUE(bench.instruments.calibrator().Operate());
    ASSERT_TRUE(bench.sim.calibrator().output().operate);
    bench.instruments.LeaveBenchSafe();
    bench.clock.Advance(10);
    EXPECT_FALSE(bench.sim.calibrator().output().operate);
    EXPECT_EQ(bench.sim.calibrator().lines().back(), "STBY");
}

}  // namespace
}  // namespace dmm::test
