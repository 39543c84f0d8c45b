#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "sim/sim_dmm_chip.h"
#include "sim/sim_options.h"
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
        chip().nodes().noise = false;     // exact codes
    }

    // ADC1 measures SENSE against AGND with VREF against FB as its reference (1.2 V), the
    // chopper on (no offset), at its slowest rate: 5 results per second.
    void WireAdc1() {
        SetField("S_AD1IP", 0);  // SENSE
        SetField("S_AD1IN", 3);  // AGND
        SetField("S_AD1RH", 2);  // VREF
        SetField("S_AD1RL", 0);  // FB
        SetField("AD1CHO", 1);
        SetField("AD1OSR", 7);
    }
    // ADC2 measures OP1O against AGND with VREF against AGND as its reference.
    void WireAdc2() {
        SetField("S_AD2IP", 0);  // OP1O
        SetField("S_AD2IN", 1);  // AGND
        SetField("S_AD2RH", 2);  // VREF
        SetField("S_AD2RL", 1);  // AGND
        SetField("AD2CHO", 1);
        SetField("AD2OSR", 5);  // 2400 results per second; the low-pass filter 37.5
    }
    int64_t PeriodMs(Converter converter) {
        return static_cast<int64_t>(std::ceil(chip().ConversionPeriodMs(converter)));
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
    WireAdc1();
    SetField("ENAD_S", 1);
    ASSERT_EQ(PeriodMs(Converter::Adc1), 200);
    f.clock.Advance(PeriodMs(Converter::Adc1) - 1);
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);
    f.clock.Advance(1);
    EXPECT_EQ(ReadFlags(), adc1Flag);  // nothing else runs
    // 0.3 V of 1.2 V is a quarter of the 24-bit full scale: 0x200000, least significant first.
    EXPECT_EQ(ReadBytes(0x00, 3), (std::vector<uint8_t>{0x00, 0x00, 0x20}));

    // Reading the flag register cleared the flag; the next result sets it again.
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);
    f.clock.Advance(PeriodMs(Converter::Adc1));
    chip().nodes().adc1Input = -1.2 / 4;
    f.clock.Advance(PeriodMs(Converter::Adc1));
    EXPECT_EQ(ReadFlags(), adc1Flag);
    EXPECT_EQ(ReadBytes(0x00, 3), (std::vector<uint8_t>{0x00, 0x00, 0xE0}));  // -0x200000

    SetField("ENAD_S", 0);
    ReadFlags();
    f.clock.Advance(1000);
    EXPECT_EQ(ReadFlags() & adc1Flag, 0);  // a stopped converter raises no flag
}

TEST_F(SimDmmChipTest, WritingOneToAFlagClearsItAndResultsAreReadOnly) {
    SetField("ENAD_S", 1);
    f.clock.Advance(PeriodMs(Converter::Adc1));
    const uint16_t flags = static_cast<uint16_t>(Field("SADC_IF").registerIndex);
    const size_t at = WriteDataOffset(InterfaceKind::DMM);
    f.core.chip().buffer()[at] = Field("SADC_IF").Mask();
    ASSERT_TRUE(f.core.chip().WriteChip(flags, 1));
    EXPECT_EQ(ReadFlags(), 0);

    const std::vector<uint8_t> result = ReadBytes(0x00, 2);
    f.core.chip().buffer()[at] = static_cast<uint8_t>(result[0] ^ 0x12);
    f.core.chip().buffer()[at + 1] = static_cast<uint8_t>(result[1] ^ 0x34);
    ASSERT_TRUE(f.core.chip().WriteChip(0x00, 2));
    EXPECT_EQ(ReadBytes(0x00, 2), result);
}

TEST_F(SimDmmChipTest, FastLowPassAndRmsResultsFollowAdc2) {
    const uint8_t fast = Field("FADC_IF").Mask(), lowPass = Field("LPF_IF").Mask(),
                  rms = Field("RMS_IF").Mask();
    // The filters work on ADC2's samples: on their own they produce nothing.
    SetField("EN_AVG", 1);
    SetField("EN_RMS", 1);
    f.clock.Advance(1000);
    EXPECT_EQ(ReadFlags(), 0);

    WireAdc2();
    SetField("ENAD_F", 1);
    f.clock.Advance(PeriodMs(Converter::Adc2Fast));
    EXPECT_EQ(ReadFlags(), fast);
    // -0.6 V is minus half of ADC2's 18-bit full scale: -0x10000 in the 24-bit registers.
    EXPECT_EQ(ReadBytes(0x03, 3), (std::vector<uint8_t>{0x00, 0x00, 0xFF}));

    f.clock.Advance(PeriodMs(Converter::Rms));
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
    // User RAM lies where the DMM frames (seven address bits) reach it.
    ASSERT_TRUE(f.core.chip().WriteRegister(0x60, 0x5A));
    EXPECT_EQ(f.core.chip().GetRegImage(0x60), 0x5A);
    f.core.target().interfaceKind = InterfaceKind::SPI;
    ASSERT_TRUE(f.core.chip().WriteRegister(0x90, 0x5A));
    EXPECT_EQ(f.core.chip().GetRegImage(0x90), 0);
}

TEST_F(SimDmmChipTest, SleepStopsEveryConverterUntilTheChipIsWoken) {
    WireAdc1();
    SetField("AD1OSR", 0);
    SetField("ENAD_S", 1);
    f.trace.Clear();
    ASSERT_TRUE(f.core.chip().SleepChip());
    // The DMM frame carries the sleep register's address 0x7D doubled: 0xFA.
    EXPECT_EQ(f.trace.Sent().front(), (test::Bytes{0xC2, 0x00, 0xFA, 0x01, 0xA5}));
    EXPECT_TRUE(chip().Asleep());
    ReadFlags();
    f.clock.Advance(100);
    EXPECT_EQ(ReadFlags(), 0);
    f.core.chip().buffer()[4] = 0x00;
    ASSERT_TRUE(f.core.chip().WriteChip(0x7D, 1));
    EXPECT_FALSE(chip().Asleep());
    f.clock.Advance(100);
    EXPECT_EQ(ReadFlags(), Field("SADC_IF").Mask());
}

TEST_F(SimDmmChipTest, TheBoardStreamCarriesTheRecordsOfTheChosenChannels) {
    chip().nodes().adc1Input = 0x123456 / 8388608.0 * 1.2;
    WireAdc1();
    ASSERT_TRUE(f.core.link().AdcStreamControl(false, true, Field("SADC_IF").Mask()));
    SetField("ENAD_S", 1);
    SetField("ENAD_F", 1);  // not in the stream
    f.clock.Advance(3 * PeriodMs(Converter::Adc1));
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

// Streams one converter for a while and returns its results as signed numbers.
class SimDmmConverterTest : public SimDmmChipTest {
  protected:
    std::vector<int64_t> Collect(const char* flag, int wanted, int64_t stepMs) {
        EXPECT_TRUE(f.core.link().AdcStreamControl(false, true, Field(flag).Mask()));
        std::vector<int64_t> values;
        for (int guard = 0; static_cast<int>(values.size()) < wanted && guard < 100000; ++guard) {
            f.clock.Advance(stepMs);
            AdcStreamRecords records;
            for (int n; (n = f.core.link().AdcStreamRead(records)) > 0;) {
                for (int i = 0; i < n; ++i) {
                    const auto& r = records.records[static_cast<size_t>(i)];
                    values.push_back(SignExtend24(r[0] | (r[1] << 8) | (r[2] << 16)));
                }
            }
        }
        EXPECT_TRUE(f.core.link().AdcStreamControl(false, false, 0));
        return values;
    }
    // Results in one second, counted through the stream.
    int ResultsPerSecond(const char* flag) {
        EXPECT_TRUE(f.core.link().AdcStreamControl(false, true, Field(flag).Mask()));
        f.clock.Advance(5);  // let the first result come
        AdcStreamRecords records;
        while (f.core.link().AdcStreamRead(records) > 0) {
        }
        int count = 0;
        for (int ms = 0; ms < 1000; ++ms) {
            f.clock.Advance(1);
            for (int n; (n = f.core.link().AdcStreamRead(records)) > 0;) count += n;
        }
        EXPECT_TRUE(f.core.link().AdcStreamControl(false, false, 0));
        return count;
    }
    static double Sigma(const std::vector<int64_t>& values) {
        double mean = 0, squares = 0;
        for (int64_t v : values) mean += static_cast<double>(v);
        mean /= static_cast<double>(values.size());
        for (int64_t v : values)
            squares += (static_cast<double>(v) - mean) * (static_cast<double>(v) - mean);
        return std::sqrt(squares / static_cast<double>(values.size()));
    }
};

TEST_F(SimDmmConverterTest, RatesFollowTheOversamplingAndTheClockFields) {
    WireAdc1();
    SetField("ENAD_S", 1);
    SetField("AD1OSR", 0);
    EXPECT_NEAR(ResultsPerSecond("SADC_IF"), 640, 1);  // 4.9152 MHz / 30 / 256
    SetField("AD1OSR", 3);
    EXPECT_NEAR(ResultsPerSecond("SADC_IF"), 80, 1);
    SetField("ENI_XI", 1);  // the 4 MHz external clock
    EXPECT_NEAR(ResultsPerSecond("SADC_IF"), 65, 1);
    SetField("ENAD_S", 0);

    WireAdc2();
    SetField("ENAD_F", 1);
    SetField("ENI_XI", 0);
    EXPECT_NEAR(ResultsPerSecond("FADC_IF"), 2400, 2);  // 4.9152 MHz / 2 / 1024
    SetField("FCLK_SEL", 1);
    EXPECT_NEAR(ResultsPerSecond("FADC_IF"), 1200, 2);
    SetField("AD2OSR", 7);  // the divider stops at 1024
    EXPECT_NEAR(ResultsPerSecond("FADC_IF"), 1200, 2);
    SetField("EN_AVG", 1);
    SetField("SELAVG", 1);  // 128 samples per low-pass result
    EXPECT_NEAR(ResultsPerSecond("LPF_IF"), 1200.0 / 128, 1);
}

TEST_F(SimDmmConverterTest, SelectorsGainsOffsetAndReferenceShapeTheCode) {
    WireAdc1();
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), 0x200000);  // 0.3 V of 1.2 V
    SetField("AD1GN", 1);                                         // x2 from the gain table
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), 0x400000);
    SetField("DCOS", 5);  // minus a quarter of the reference, after the gain
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), 0x200000);
    SetField("VRGNAD1", 1);  // the reference halved: 2 x 0.3 / 0.6 - 1/4
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), 0x600000);
    SetField("S_AD1IP", 7);  // VREF: far beyond full scale
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), 0x7FFFFF);
    SetField("S_AD1IP", 8);  // PB<0>, pinned below AGND
    chip().nodes().pinned["PB<0>"] = 1.5 - 0.15;
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), -0x600000);

    // Without the chopper the input offset shows: 40 uV x 2 against 0.6 V.
    SetField("AD1CHO", 0);
    EXPECT_NEAR(static_cast<double>(chip().ConversionCode(Converter::Adc1) + 0x600000),
                40e-6 * 2 / 0.6 * 0x800000, 1);
    // Both references on one node: no reference, and the result rails with the input's sign.
    SetField("S_AD1RH", 0);
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1), -0x800000);
    // The analog ground moves every node but the supply rails with it.
    WireAdc2();
    chip().nodes().adc2Input = 0.3;
    SetField("S_AGND", 1);
    EXPECT_EQ(chip().ConversionCode(Converter::Adc2Fast), 0x8000);  // 18 bits: a quarter
}

TEST_F(SimDmmConverterTest, NoiseFallsWithOversamplingAndEffectiveBitsRise) {
    chip().nodes().noise = true;
    chip().nodes().adc1Input = 0.1;
    WireAdc1();
    SetField("ENAD_S", 1);
    auto enobAt = [&](int osr, int64_t stepMs) {
        SetField("AD1OSR", osr);
        const std::vector<int64_t> values = Collect("SADC_IF", 1024, stepMs);
        double mean = 0;
        for (int64_t v : values)
            mean += static_cast<double>(v) / static_cast<double>(values.size());
        // The block centres on the ideal code.
        EXPECT_NEAR(mean, static_cast<double>(chip().ConversionCode(Converter::Adc1)),
                    4 * Sigma(values) / 32);
        return 24 - std::log2(Sigma(values));
    };
    const double fast = enobAt(0, 20);
    const double slow = enobAt(4, 200);
    EXPECT_GT(fast, 15.5);
    EXPECT_LT(fast, 17.5);
    // Sixteen times the oversampling: a quarter of the noise, two more bits.
    EXPECT_NEAR(slow - fast, 2.0, 0.35);
}

TEST_F(SimDmmConverterTest, EachRunDrawsItsOwnNoiseAndASeedMakesItRepeat) {
    // Two sources, as two runs of a program make them, draw different noise.
    sim::NoiseSource one, other;
    std::vector<double> a, b;
    for (int i = 0; i < 8; ++i) {
        a.push_back(one.Next(1.0));
        b.push_back(other.Next(1.0));
    }
    EXPECT_NE(a, b);

    // The programs' --sim-seed: the same seed, the same results.
    std::string error;
    EXPECT_EQ(sim::ParseSimSeed("42", error), 42u);
    EXPECT_FALSE(sim::ParseSimSeed("-1", error));
    EXPECT_FALSE(sim::ParseSimSeed("4x", error));
    chip().nodes().noise = true;
    WireAdc1();
    SetField("AD1OSR", 0);
    SetField("ENAD_S", 1);
    sim::SimBenchOptions seeded;
    seeded.seed = 42;
    const auto run = [&] {
        ReadFlags();  // conversions due so far are made before the seed is set
        EXPECT_TRUE(sim::ApplySimOptions(f.sim, seeded, error)) << error;
        return Collect("SADC_IF", 64, 20);
    };
    const std::vector<int64_t> first = run();
    EXPECT_GT(Sigma(first), 1.0);
    EXPECT_EQ(run(), first);
}

TEST_F(SimDmmConverterTest, PollingAndTheStreamReadTheSameConverter) {
    chip().nodes().noise = true;
    WireAdc1();
    SetField("AD1OSR", 0);
    SetField("ENAD_S", 1);
    ASSERT_TRUE(f.core.link().AdcStreamControl(false, true, Field("SADC_IF").Mask()));
    for (int round = 0; round < 5; ++round) {
        f.clock.Advance(3);
        std::array<uint8_t, 5> last{};
        AdcStreamRecords records;
        for (int n; (n = f.core.link().AdcStreamRead(records)) > 0;)
            last = records.records[static_cast<size_t>(n - 1)];
        // The result registers hold the newest result, the one the stream delivered last.
        EXPECT_EQ(ReadBytes(0x00, 3), (std::vector<uint8_t>{last[0], last[1], last[2]}));
    }
}

TEST_F(SimDmmConverterTest, PeakHoldKeepsTheExtremesOfItsSourceSinceItWasSwitchedOn) {
    chip().nodes().noise = true;
    const auto peaks = [&] {
        const std::vector<uint8_t> b = ReadBytes(0x0E, 6);
        return std::pair{SignExtend24(b[0] | (b[1] << 8) | (b[2] << 16)),
                         SignExtend24(b[3] | (b[4] << 8) | (b[5] << 16))};
    };
    WireAdc2();
    SetField("AD2OSR", 0);  // the noisiest fast results
    SetField("ENAD_F", 1);
    SetField("ENPKH", 1);
    const std::vector<int64_t> fast = Collect("FADC_IF", 400, 1);
    auto [low, high] = peaks();
    EXPECT_EQ(low, *std::min_element(fast.begin(), fast.end()));
    EXPECT_EQ(high, *std::max_element(fast.begin(), fast.end()));
    EXPECT_LT(low, high);

    // ADC1 as the source: its results with five bits less.
    SetField("ENAD_F", 0);
    WireAdc1();
    SetField("AD1OSR", 0);
    SetField("SELPKH", 1);
    SetField("ENPKH", 0);
    SetField("ENPKH", 1);  // starts afresh
    SetField("ENAD_S", 1);
    const std::vector<int64_t> slow = Collect("SADC_IF", 100, 5);
    std::tie(low, high) = peaks();
    EXPECT_EQ(low, *std::min_element(slow.begin(), slow.end()) >> 5);
    EXPECT_EQ(high, *std::max_element(slow.begin(), slow.end()) >> 5);
}

TEST_F(SimDmmConverterTest, TheFastConverterDeliversEveryConversionAtItsFullRate) {
    WireAdc2();
    SetField("AD2OSR", 0);  // 4.9152 MHz / 2 / 32: 76800 results per second
    SetField("ENAD_F", 1);
    EXPECT_NEAR(ResultsPerSecond("FADC_IF"), 76800, 2);
}

// The amplitude of one frequency in a block, by correlation.
double Amplitude(const std::vector<int64_t>& values, double cyclesPerSample) {
    double re = 0, im = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const double phase = 2 * std::numbers::pi * cyclesPerSample * static_cast<double>(i);
        re += static_cast<double>(values[i]) * std::cos(phase);
        im += static_cast<double>(values[i]) * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(values.size());
}

TEST_F(SimDmmConverterTest, AToneOnTheInputNodeIsSampledAtEachConversionsMoment) {
    WireAdc1();
    SetField("AD1OSR", 0);  // 640 results per second
    chip().nodes().adc1Input = 0.0;
    // 50 Hz, 0.3 V peak (a quarter of the reference), second harmonic at -40 dBc.
    chip().nodes().tones["SENSE"] = sim::Tone{0.3, 50.0, {-40.0}};
    SetField("ENAD_S", 1);
    const std::vector<int64_t> values = Collect("SADC_IF", 640, 5);
    ASSERT_GE(values.size(), 640u);
    const std::vector<int64_t> second(values.begin(), values.begin() + 640);
    const double fundamental = Amplitude(second, 50.0 / 640);
    EXPECT_NEAR(fundamental, 0x200000, 0x200000 * 1e-3);
    EXPECT_NEAR(20 * std::log10(Amplitude(second, 100.0 / 640) / fundamental), -40.0, 0.1);
    EXPECT_LT(Amplitude(second, 150.0 / 640), fundamental * 1e-5);  // no third harmonic given

    // The same tone on the negative input inverts the result; a pinned node takes none.
    SetField("S_AD1IP", 3);  // AGND
    SetField("S_AD1IN", 0);  // SENSE
    const std::vector<int64_t> inverted = Collect("SADC_IF", 64, 5);
    EXPECT_LT(*std::min_element(inverted.begin(), inverted.end()), -0x100000);
    chip().nodes().pinned["SENSE"] = 1.5;
    EXPECT_EQ(chip().ConversionCode(Converter::Adc1),
              chip().State(Converter::Adc1).IdealCodeAt(0.0123));
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
