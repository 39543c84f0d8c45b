// Small rules the instrument commands and the meter window follow.
#include <gtest/gtest.h>

#include "core/analog/meter_scan.h"
#include "core/instruments/chip_port.h"
#include "core/instruments/power_supply.h"
#include "core/instruments/rs232_chip_link.h"
#include "core/instruments/step_table.h"

namespace dmm {
namespace {

TEST(CommandRules, PowerSupplyIdentityAndOutputOff) {
    EXPECT_TRUE(IsPowerSupplyIdentity("HEWLETT-PACKARD,E3631A,0,2.1-5.0-1.0\r\n"));
    EXPECT_FALSE(IsPowerSupplyIdentity("HEWLETT-"));   // 8 characters: too short
    EXPECT_FALSE(IsPowerSupplyIdentity("HEWLETT-P"));  // longer, but not the whole name
    EXPECT_FALSE(IsPowerSupplyIdentity("KEITHLEY INSTRUMENTS,2230"));
    EXPECT_TRUE(BeginsWithOutputOff("OUTP OFF"));
    EXPECT_TRUE(BeginsWithOutputOff("outp off; VOLT 0"));
    EXPECT_FALSE(BeginsWithOutputOff("OUTP ON"));
    EXPECT_FALSE(BeginsWithOutputOff(" OUTP OFF"));
    EXPECT_FALSE(BeginsWithOutputOff("OUTP"));
}

TEST(CommandRules, ChipLinkFramesAndSelectors) {
    const std::vector<uint8_t> read = Rs232ReadFrame(0x0123, 4);
    EXPECT_EQ(read, (std::vector<uint8_t>{0xC0, 0x23, 0x01, 0x04}));
    const uint8_t data[] = {0x5A, 0xA5};
    EXPECT_EQ(Rs232WriteFrame(0x0040, data, 2),
              (std::vector<uint8_t>{0x40, 0x40, 0x00, 0x02, 0x5A, 0xA5}));
    EXPECT_EQ(ParityOfIndex(0), SerialParity::None);
    EXPECT_EQ(ParityOfIndex(1), SerialParity::Even);
    EXPECT_EQ(ParityOfIndex(2), SerialParity::Odd);
    EXPECT_EQ(BaudIndexOf(9600), 5);
    EXPECT_EQ(BaudIndexOf(115200), 9);
    EXPECT_EQ(BaudIndexOf(1000), -1);
}

TEST(CommandRules, StepTablesKeepTheirStepsAcrossINI) {
    StepTable table;
    EXPECT_EQ(table.StepCount(), 48);
    table.SetStep(2, {"1", "OUT 1 V"});
    table.SetStep(3, {"0", "OUT 2 V"});
    table.SetStep(4, {"x1", "OUT 3 V"});
    EXPECT_TRUE(table.Active(2));
    EXPECT_FALSE(table.Active(3));
    EXPECT_FALSE(table.Active(4));  // not a hexadecimal number
    table.SetStep(5, {"A", ""});
    EXPECT_TRUE(table.Active(5));
    table.INI(3);
    EXPECT_EQ(table.StepCount(), 3);
    EXPECT_EQ(table.Step(2).command, "OUT 1 V");
    EXPECT_EQ(table.Step(4).command, "");  // outside the table
    table.SetStep(9, {"1", "ignored"});
    EXPECT_EQ(table.StepCount(), 3);
}

TEST(CommandRules, ScanPeriodsComeDueOnTheirTicks) {
    // Which ticks of the first 100 each period is read on.
    const int expected[] = {100, 50, 20, 10, 5, 2};
    for (int period = 0; period < MeterScan::kScanPeriodCount; ++period) {
        int due = 0;
        for (int tick = 1; tick <= 100; ++tick) due += MeterScan::Due(period, tick);
        EXPECT_EQ(due, expected[period]) << "period " << period;
    }
    // "5s": ticks 50, 100, ...
    EXPECT_FALSE(MeterScan::Due(5, 49));
    EXPECT_TRUE(MeterScan::Due(5, 50));
    EXPECT_TRUE(MeterScan::Due(5, 100));
    EXPECT_FALSE(MeterScan::Due(6, 100));
}

}  // namespace
}  // namespace dmm
