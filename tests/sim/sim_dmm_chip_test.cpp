#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/sim_dmm_chip.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

using Converter = sim::SimDmmChip::Converter;

QString DemoDescription() {
    return FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()),
                                   sim::kDemoDmmDescription);
}

// The demo DMM chip on the simulated board, and the program's own view of it: the
// chip model the bench loads from the same shipped description.
class SimDmmChipTest : public ::testing::Test {
  protected:
    SimDmmChipTest() : f(MakeChip()) {}

    static std::unique_ptr<sim::SimChip> MakeChip() {
        std::string error;
        auto chip = sim::SimDmmChip::FromDescriptionFile(DemoDescription(), &error);
        EXPECT_NE(chip, nullptr) << error;
        return chip;
    }

    void SetUp() override {
        ASSERT_TRUE(f.Open());
        f.core.target().chipIndex = 0;
        ASSERT_EQ(
            GetSELUP(IncludeDirectory(ShippedDataDirectory()), f.core.chipModel(), f.core.chip()),
            1);
        chip().nodes().adc1Input = 0.3;   // a quarter of the 1.2 V reference
        chip().nodes().adc2Input = -0.6;  // minus half of it
    }

    sim::SimDmmChip& chip() { return static_cast<sim::SimDmmChip&>(f.sim.chip()); }
    const TRegField& Field(const char* name) { return *f.core.chipModel().Field(name); }

    // Sets a field through the program's read-modify-write of its register.
    void SetField(const char* name, int value) {
        const TRegField& field = Field(name);
        ASSERT_TRUE(f.core.chip().ReadChip(static_cast<uint16_t>(field.registerIndex), 1));
        const uint8_t current = f.core.chip().buffer()[0];
        ASSERT_TRUE(f.core.chip().WriteRegister(static_cast<uint16_t>(field.registerIndex),
                                                field.Insert(current, value)));
    }
    uint8_t ReadFlags() {
        EXPECT_TRUE(
            f.core.chip().ReadChip(static_cast<uint16_t>(Field("SADC_IF").registerIndex), 1));
        return f.core.chip().buffer()[0];
    }
    std::vector<uint8_t> ReadBytes(uint16_t address, int count) {
        EXPECT_TRUE(f.core.chip().ReadChip(address, count));
        return {f.core.chip().buffer().data(), f.core.chip().buffer().data() + count};
    }

    test::SimFixture f;
};

TEST_F(SimDmmChipTest, Adc1ResultArrivesAtItsRateWithItsFlagWhereTheDescriptionSays) {
    const uint8_t adc1Flag = Field("SADC_IF").Mask();
    SetField("ENAD_S", 1);
    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Adc1) - 1);
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);
    f.clock.Advance(1);
    EXPECT_EQ(ReadFlags(), adc1Flag);  // nothing else runs
    // 0.3 V of 1.2 V is a quarter of the 24-bit full scale: 0x200000, least significant first.
    EXPECT_EQ(ReadBytes(0x00, 3), (std::vector<uint8_t>{0x00, 0x00, 0x20}));

    // Reading the flag register cleared the flag; the next result sets it again.
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);
    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Adc1));
    chip().nodes().adc1Input = -1.2 / 4;
    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Adc1));
    EXPECT_EQ(ReadFlags(), adc1Flag);
    EXPECT_EQ(ReadBytes(0x00, 3), (std::vector<uint8_t>{0x00, 0x00, 0xE0}));  // -0x200000

    SetField("ENAD_S", 0);
    ReadFlags();
    f.clock.Advance(1000);
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);  // a stopped converter raises no flag
}

TEST_F(SimDmmChipTest, WritingOneToAFlagClearsItAndResultsAreReadOnly) {
    SetField("ENAD_S", 1);
    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Adc1));
    const uint16_t flags = static_cast<uint16_t>(Field("SADC_IF").registerIndex);
    const size_t at = WriteDataOffset(InterfaceKind::DMM);
    f.core.chip().buffer()[at] = Field("SADC_IF").Mask();
    ASSERT_TRUE(f.core.chip().WriteChip(flags, 1));
    EXPECT_EQ(ReadFlags(), 0);

    f.core.chip().buffer()[at] = 0x12;
    f.core.chip().buffer()[at + 1] = 0x34;
    ASSERT_TRUE(f.core.chip().WriteChip(0x00, 2));
    EXPECT_EQ(ReadBytes(0x00, 2), (std::vector<uint8_t>{0x00, 0x00}));
}

TEST_F(SimDmmChipTest, FastLowPassAndRmsResultsFollowAdc2) {
    const uint8_t fast = Field("FADC_IF").Mask(), lowPass = Field("LPF_IF").Mask(),
                  rms = Field("RMS_IF").Mask();
    // The filters work on ADC2's samples: on their own they produce nothing.
    SetField("EN_AVG", 1);
    SetField("EN_RMS", 1);
    f.clock.Advance(1000);
    EXPECT_EQ(ReadFlags(), 0);

    SetField("ENAD_F", 1);
    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Adc2Fast));
    EXPECT_EQ(ReadFlags(), fast);
    // -0.6 V is minus half of ADC2's 18-bit full scale: -0x10000 in the 24-bit registers.
    EXPECT_EQ(ReadBytes(0x03, 3), (std::vector<uint8_t>{0x00, 0x00, 0xFF}));

    f.clock.Advance(sim::SimDmmChip::ConversionPeriodMs(Converter::Rms));
    EXPECT_EQ(ReadFlags(), fast | lowPass | rms);
    EXPECT_EQ(ReadBytes(0x06, 3), (std::vector<uint8_t>{0x00, 0x00, 0xFF}));
    // The mean square of -0x10000 is 0x100000000: five bytes, least significant first.
    EXPECT_EQ(ReadBytes(0x09, 5), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x01}));
}

TEST_F(SimDmmChipTest, UnimplementedBitsAndUnmappedAddressesReadZero) {
    ASSERT_TRUE(f.core.chip().WriteRegister(0x24, 0xFF));
    EXPECT_EQ(f.core.chip().GetRegImage(0x24), f.core.chipModel().RegMask[0x24]);
    EXPECT_EQ(f.core.chip().GetRegImage(0x24), 0x7F);
    ASSERT_TRUE(f.core.chip().WriteRegister(0x35, 0x5A));  // no register there
    EXPECT_EQ(f.core.chip().GetRegImage(0x35), 0);
    ASSERT_TRUE(f.core.chip().WriteRegister(0x90, 0x5A));  // user RAM
    EXPECT_EQ(f.core.chip().GetRegImage(0x90), 0x5A);
}

TEST_F(SimDmmChipTest, TheBoardStreamCarriesTheRecordsOfTheChosenChannels) {
    chip().nodes().adc1Input = 0x123456 / 8388608.0 * 1.2;
    ASSERT_TRUE(f.core.link().AdcStreamControl(false, true, Field("SADC_IF").Mask()));
    SetField("ENAD_S", 1);
    SetField("ENAD_F", 1);  // not in the stream
    f.clock.Advance(3 * sim::SimDmmChip::ConversionPeriodMs(Converter::Adc1));
    AdcStreamRecords records;
    ASSERT_EQ(f.core.link().AdcStreamRead(records), 3);
    // The board sends each record most significant byte first; stored reversed, byte 0 is
    // the least significant.
    EXPECT_EQ(records.records[0], (std::array<uint8_t, 5>{0x56, 0x34, 0x12, 0x00, 0x00}));
    EXPECT_EQ(f.core.link().AdcStreamRead(records), 0);
}

TEST_F(SimDmmChipTest, ResetStopsTheConverters) {
    SetField("ENAD_S", 1);
    ASSERT_TRUE(f.core.link().ResetTarget());
    ReadFlags();
    f.clock.Advance(1000);
    EXPECT_EQ(ReadFlags(), 0);
}

TEST(SimDmmChipLayout, ADescriptionWithoutTheConverterFieldsIsRefused) {
    TChipModel model;
    ReadChipDescription("#REGBYTE\n000H AD1D0\n#ADS\n03CH ENAD_S 1 7\n", model);
    std::string error;
    EXPECT_EQ(sim::SimDmmChip::FromModel(model, &error), nullptr);
    EXPECT_EQ(error, "no SADC_IF field");
}

TEST(SimDmmChipLayout, TheBenchFallsBackToPlainMemoryWithoutTheDescription) {
    QTemporaryDir empty;
    std::string error;
    auto chip = sim::MakeBenchChip(empty.path(), &error);
    ASSERT_NE(chip, nullptr);
    EXPECT_EQ(dynamic_cast<sim::SimDmmChip*>(chip.get()), nullptr);
    EXPECT_FALSE(error.empty());

    error.clear();
    chip = sim::MakeBenchChip(ShippedDataDirectory(), &error);
    EXPECT_NE(dynamic_cast<sim::SimDmmChip*>(chip.get()), nullptr);
    EXPECT_TRUE(error.empty());
}

}  // namespace
}  // namespace dmm
