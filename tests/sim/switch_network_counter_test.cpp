#include <gtest/gtest.h>

#include <cmath>

#include "sim/switch_network.h"
#include "support/demo_chip_bench.h"

namespace dmm {
namespace {

using Converter = sim::SimDmmChip::Converter;
using test::DemoChipBench;

constexpr double kSupply = 3.0;
constexpr double kAgnd = kSupply / 2;  // S_AGND 0

TEST(DividerTaps, LaddersAndGroundStepsByName) {
    EXPECT_DOUBLE_EQ(*sim::DividerTapVolts("VDSC<9>", kSupply, kAgnd), 1.5);
    EXPECT_DOUBLE_EQ(*sim::DividerTapVolts("VDS<18>", kSupply, kAgnd), 3.0);
    EXPECT_DOUBLE_EQ(*sim::DividerTapVolts("VDSC", kSupply, kAgnd), 3.0);
    EXPECT_DOUBLE_EQ(*sim::DividerTapVolts("VDS<40>", kSupply, kAgnd), 3.0);  // the top, no higher
    EXPECT_NEAR(*sim::DividerTapVolts("AGNDP<4>", kSupply, kAgnd), 1.6, 1e-12);
    EXPECT_NEAR(*sim::DividerTapVolts("AGNDN<6>", kSupply, kAgnd), 1.35, 1e-12);
    for (const char* none : {"SENSE", "VDS", "VDS<>", "VDS<1", "VDS<x>", "AGNDP<-1>", "PB<6>"})
        EXPECT_FALSE(sim::DividerTapVolts(none, kSupply, kAgnd)) << none;
}

// The comparator: SENSE against VDSC<10> (1.667 V) and VDSC<8> (1.333 V), AGND at 1.5 V.
class SimComparator : public ::testing::Test {
  protected:
    void SetUp() override {
        b.Set("S_CMPI", 0);   // SENSE
        b.Set("S_CMPRH", 3);  // VDSC<10>
        b.Set("S_CMPRL", 3);  // VDSC<8>
    }
    void Sense(double volts) { b.chip().nodes().adc1Input = volts - kAgnd; }
    DemoChipBench b;
};

TEST_F(SimComparator, SwitchesWithHysteresisAndLatchesTheRise) {
    Sense(1.75);
    EXPECT_EQ(b.Get("ACPO"), 0);  // off: the output is low
    b.Set("EN_CMP", 1);
    EXPECT_EQ(b.Get("ACPO"), 1);
    EXPECT_EQ(b.Get("FGRISE"), 1);
    Sense(1.5);  // between the thresholds: holds
    EXPECT_EQ(b.Get("ACPO"), 1);
    Sense(1.2);
    EXPECT_EQ(b.Get("ACPO"), 0);
    EXPECT_EQ(b.Get("FGRISE"), 1);  // latched
    Sense(1.5);
    EXPECT_EQ(b.Get("ACPO"), 0);
    // Switching on again clears the latch; between the thresholds it starts low.
    b.Set("EN_CMP", 0);
    b.Set("EN_CMP", 1);
    EXPECT_EQ(b.Get("ACPO"), 0);
    EXPECT_EQ(b.Get("FGRISE"), 0);
    // A tone on the input reaches the comparator at the moment it is looked at.
    b.chip().nodes().tones["SENSE"] = {0.4, 1.0, {}};
    b.f.clock.Advance(250);  // the sine's peak
    EXPECT_EQ(b.Get("ACPO"), 1);
}

TEST_F(SimComparator, StatusBitsAreTheChipsWhileFlagsBesideThemClearOnRead) {
    Sense(1.75);
    b.Set("EN_CMP", 1);
    const TRegField& ctif = b.Field("CTIF");
    ASSERT_EQ(ctif.registerIndex, b.Field("ACPO").registerIndex);
    // The host writes ones everywhere: flags clear, the status stays.
    b.access().buffer()[WriteDataOffset(InterfaceKind::DMM)] = 0xFF;
    ASSERT_TRUE(b.access().WriteChip(static_cast<uint16_t>(ctif.registerIndex), 1));
    EXPECT_EQ(b.Get("ACPO"), 1);
    EXPECT_EQ(b.Get("FGRISE"), 1);
    Sense(1.0);
    b.Set("EN_CMP", 0);
    b.access().buffer()[WriteDataOffset(InterfaceKind::DMM)] = 0xFF;
    ASSERT_TRUE(b.access().WriteChip(static_cast<uint16_t>(ctif.registerIndex), 1));
    EXPECT_EQ(b.Get("ACPO"), 0);
}

TEST(SimOpAmps, AnEnabledFollowerDrivesItsOutputNodeWithItsTone) {
    DemoChipBench b;
    b.chip().nodes().adc1Input = 0.4;   // SENSE = AGND + 0.4
    b.chip().nodes().adc2Input = 0.25;  // OP1O as its pad drives it
    b.Set("S_AD2IP", 0);                // OP1O
    b.Set("S_AD2IN", 1);                // AGND
    b.Set("S_OP1P", 0);                 // SENSE
    const auto adc2Input = [&] { return b.chip().State(Converter::Adc2Fast).inputVolts; };
    EXPECT_DOUBLE_EQ(adc2Input(), 0.25);
    b.Set("EN_OP1", 1);
    EXPECT_DOUBLE_EQ(adc2Input(), 0.25);  // its output switch is still open
    b.Set("OPS1", 1);
    EXPECT_NEAR(adc2Input(), 0.4, 1e-12);
    b.chip().nodes().tones["SENSE"] = {0.1, 50.0, {}};
    EXPECT_EQ(b.chip().State(Converter::Adc2Fast).tones.size(), 1u);
    b.Set("S_OP1P", 3);  // AGND
    EXPECT_NEAR(adc2Input(), 0.0, 1e-12);
    EXPECT_TRUE(b.chip().State(Converter::Adc2Fast).tones.empty());
    b.Set("EN_OP1", 0);
    EXPECT_DOUBLE_EQ(adc2Input(), 0.25);

    // OP2P is op-amp 2's positive input, whatever the amplifier does.
    b.Set("S_AD1IP", 4);  // OP2P
    b.Set("S_AD1IN", 3);  // AGND
    b.Set("S_OP2P", 0);   // SENSE
    EXPECT_NEAR(b.chip().State(Converter::Adc1).inputVolts, 0.4, 1e-12);
}

TEST(SimClock, TheClockFieldsSetTheRatesAndWithoutAClockNothingConverts) {
    DemoChipBench b;
    EXPECT_EQ(b.Get("EN_OSC"), 1);  // from power-up
    b.Set("AD1OSR", 0);
    b.Set("ENAD_S", 1);
    const double crystalPeriod = b.chip().ConversionPeriodMs(Converter::Adc1);
    EXPECT_NEAR(crystalPeriod, 1000.0 / (sim::DmmFrontEnd::kCrystalHz / 30 / 256), 1e-9);
    b.Set("ENI_XI", 1);
    EXPECT_NEAR(b.chip().ConversionPeriodMs(Converter::Adc1) / crystalPeriod,
                sim::DmmFrontEnd::kCrystalHz / sim::DmmFrontEnd::kExternalClockHz, 1e-12);
    // The external clock alone keeps the converter running ...
    b.Set("EN_OSC", 0);
    const uint8_t flag = b.Field("SADC_IF").Mask();
    const auto flags = [&] {
        EXPECT_TRUE(
            b.access().ReadChip(static_cast<uint16_t>(b.Field("SADC_IF").registerIndex), 1));
        return b.access().buffer()[0];
    };
    flags();
    b.f.clock.Advance(100);
    EXPECT_NE(flags() & flag, 0);
    // ... neither clock stops it.
    b.Set("ENI_XI", 0);
    EXPECT_EQ(b.chip().SystemClockHz(), 0.0);
    flags();
    b.f.clock.Advance(1000);
    EXPECT_EQ(flags() & flag, 0);
    b.Set("EN_OSC", 1);
    b.f.clock.Advance(100);
    EXPECT_NE(flags() & flag, 0);
    // A reset of the chip starts the crystal again.
    b.Set("EN_OSC", 0);
    b.chip().Reset();
    EXPECT_EQ(b.Get("EN_OSC"), 1);
}

// The counters measuring the CNTI square wave: C0 00 reloads the gate counter to count
// 2^24 - 0xC00000 system clocks.
class SimCounters : public ::testing::Test {
  protected:
    static constexpr double kOffset = 4194304.0;
    void SetUp() override { b.Set("CNS", 1); }
    void Arm(uint8_t cta1 = 0x00, uint8_t cta2 = 0xC0) {
        const size_t data = WriteDataOffset(InterfaceKind::DMM);
        b.access().buffer()[data] = cta1;
        b.access().buffer()[data + 1] = cta2;
        ASSERT_TRUE(b.access().WriteChip(static_cast<uint16_t>(b.Field("CTA1").registerIndex), 2));
        b.Set("EN_CTR", 0);
        b.Set("EN_CTR", 1);
    }
    bool ReportRaised() { return b.Get("CTIF") != 0; }
    struct Counts {
        double c, b, a;
    };
    Counts ReadCounts() {
        EXPECT_TRUE(b.access().ReadChip(static_cast<uint16_t>(b.Field("CTC0").registerIndex), 9));
        const auto& buf = b.access().buffer();
        auto count = [&](int at) { return double(buf[at] | buf[at + 1] << 8 | buf[at + 2] << 16); };
        return {count(0), count(3), count(6)};
    }
    DemoChipBench b;
};

TEST_F(SimCounters, AReciprocalMeasurementOfWholePeriodsRaisesCtif) {
    const double clock = sim::DmmFrontEnd::kCrystalHz;
    Arm();
    const int64_t gateMs = static_cast<int64_t>(kOffset / clock * 1000);
    b.f.clock.Advance(gateMs - 1);
    EXPECT_FALSE(ReportRaised());
    b.f.clock.Advance(3);
    ASSERT_TRUE(ReportRaised());
    const Counts n = ReadCounts();
    const double t = n.a + kOffset;
    // Whole periods of 1 kHz, high 30 % of each, and the gate's tail past 2^24 is less
    // than one period.
    EXPECT_NEAR(t, n.b * clock / 1000.0, 1.0);
    EXPECT_NEAR(n.b / t * clock, 1000.0, 1e-3);
    EXPECT_NEAR(n.c / t, 0.30, 1e-6);
    EXPECT_LT(n.a, clock / 1000.0);
    // Reading cleared the flag; the counts stay until the counter is started again.
    EXPECT_FALSE(ReportRaised());
    b.f.clock.Advance(3000);
    EXPECT_FALSE(ReportRaised());
    EXPECT_EQ(ReadCounts().b, n.b);

    // The counts are the chip's: a write to them is lost; the reload bytes take writes.
    b.access().buffer()[WriteDataOffset(InterfaceKind::DMM)] = 0x55;
    ASSERT_TRUE(b.access().WriteChip(static_cast<uint16_t>(b.Field("CTB0").registerIndex), 1));
    EXPECT_EQ(ReadCounts().b, n.b);
    b.access().buffer()[WriteDataOffset(InterfaceKind::DMM)] = 0x55;
    ASSERT_TRUE(b.access().WriteChip(static_cast<uint16_t>(b.Field("CTA1").registerIndex), 1));
    EXPECT_EQ(b.Get("CTA1"), 0x55);
}

// An input at the system clock's own rate: every gate clock is one period, so B is the
// gate's 2^22 clocks exactly and nothing is past the span, however long the bench has run.
TEST_F(SimCounters, AGateOfWholePeriodsCountsThemExactlyLateInARun) {
    b.chip().counterInputs() = {sim::DmmFrontEnd::kCrystalHz, 0.5, 0};
    for (int64_t runMs : {int64_t{0}, int64_t{300000}, int64_t{90000000}}) {
        b.f.clock.Advance(runMs);
        Arm();
        b.f.clock.Advance(1000);
        ASSERT_TRUE(ReportRaised()) << runMs;
        const Counts n = ReadCounts();
        EXPECT_EQ(n.b, kOffset) << runMs;
        EXPECT_EQ(n.a, 0.0) << runMs;
        EXPECT_EQ(n.c, kOffset / 2) << runMs;
    }
}

TEST_F(SimCounters, TheInputAndTheGateAreWhatTheyAreSetTo) {
    b.chip().counterInputs() = {2500.0, 0.75, 0};
    Arm(0x00, 0xF0);  // a gate a quarter as long
    b.f.clock.Advance(220);
    ASSERT_TRUE(ReportRaised());
    const Counts n = ReadCounts();
    const double t = n.a + 1048576.0;
    EXPECT_NEAR(n.b / t * sim::DmmFrontEnd::kCrystalHz, 2500.0, 1e-2);
    EXPECT_NEAR(n.c / t, 0.75, 1e-6);
}

TEST_F(SimCounters, NoReportWithoutAClockOrAnInputThatToggles) {
    // The clock stops in the middle of a measurement.
    Arm();
    b.f.clock.Advance(300);
    b.Set("EN_OSC", 0);
    b.f.clock.Advance(2000);
    EXPECT_FALSE(ReportRaised());
    b.Set("EN_OSC", 1);
    // A pin that does not toggle.
    b.chip().counterInputs().cntiFrequencyHz = 0;
    Arm();
    b.f.clock.Advance(3000);
    EXPECT_FALSE(ReportRaised());
    // Disabled half-way: nothing either.
    b.chip().counterInputs().cntiFrequencyHz = 1000;
    Arm();
    b.f.clock.Advance(300);
    b.Set("EN_CTR", 0);
    b.f.clock.Advance(2000);
    EXPECT_FALSE(ReportRaised());
}

TEST(SimCapacitanceOscillator, TheChargeResistorsAndTheOpAmpsSetThePeriod) {
    DemoChipBench b;
    const double c = 1e-6;
    const auto period = [&] {
        return b.chip().counters().CapacitanceOscillator(b.chip().memory(), c).periodSeconds;
    };
    EXPECT_EQ(period(), 0.0);  // no resistor
    b.Set("FS3", 1);
    EXPECT_EQ(period(), 0.0);  // no op-amp drives the charge
    b.Set("EN_OP2", 1);
    const double tenK = period();
    EXPECT_GT(tenK, 0.0);
    b.Set("FS3", 0);
    b.Set("FS4", 1);
    const double hundredK = period();
    EXPECT_NEAR(hundredK / tenK, 10.0, 1e-9);
    b.Set("FS3", 1);  // both: in parallel
    EXPECT_NEAR(period(), 1.0 / (1.0 / tenK + 1.0 / hundredK), 1e-12);
    b.Set("EN_OP1", 1);  // the booster charges faster
    EXPECT_LT(period(), 1.0 / (1.0 / tenK + 1.0 / hundredK) / 5);
    EXPECT_EQ(b.chip().counters().CapacitanceOscillator(b.chip().memory(), 0).periodSeconds, 0.0);
}

}  // namespace
}  // namespace dmm
