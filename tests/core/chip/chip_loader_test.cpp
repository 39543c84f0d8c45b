#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

void WriteFile(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

// A bench directory with a lower-case include folder and mixed-case file names: the
// loader upper-cases the names it reads from the chip list and must still find them.
struct BenchFolder {
    BenchFolder() {
        include = dir.path() + "/include";
        QDir().mkpath(include);
        WriteFile(include + "/VzSel.inc",
                  "first.inc FIRST CHIP\nSecond.Inc SECOND CHIP\nmissing.inc GONE X\n");
        WriteFile(include + "/First.INC", "#PRODUCT\nRX402\n#REGBYTE\n020H ONE 0FH\n");
        WriteFile(include + "/second.inc", "#PRODUCT\nTWO\n#REGBYTE\n021H TWO 03H\n");
    }
    QTemporaryDir dir;
    QString include;
};

TEST(ChipLoader, LoadsTheSelectedChipFindingFilesWhateverTheirCase) {
    BenchFolder bench;
    test::SimFixture f;
    EXPECT_EQ(IncludeDirectory(bench.dir.path()), bench.include);
    TChipModel& model = f.core.chipModel();

    f.core.target().chipIndex = 1;
    ASSERT_EQ(GetSELUP(bench.include, model, f.core.chip()), 1);
    EXPECT_EQ(model.productTitle, "TWO");
    EXPECT_EQ(f.core.chip().ChipTitle, "TWO");
    EXPECT_EQ(model.RegMask[0x21], 0x03);

    f.core.target().chipIndex = 0;
    ASSERT_EQ(GetSELUP(bench.include, model, f.core.chip(), 7), 1);  // the channel changes nothing
    EXPECT_EQ(f.core.chip().ChipTitle, "RX402");
    EXPECT_EQ(model.RegMask[0x21], 0);
    EXPECT_EQ(model.RegMask[0x20], 0x0F);
}

TEST(ChipLoader, AFailedLoadLeavesTheLoadedChipAsItWas) {
    BenchFolder bench;
    test::SimFixture f;
    TChipModel& model = f.core.chipModel();
    ASSERT_EQ(GetSELUP(bench.include, model, f.core.chip()), 1);
    const auto masks = model.RegMask;
    const uint32_t loads = model.loadCount;

    f.core.target().chipIndex = 2;  // listed, but its file is missing
    EXPECT_EQ(GetSELUP(bench.include, model, f.core.chip()), 0);
    f.core.target().chipIndex = 3;  // beyond the list
    EXPECT_EQ(GetSELUP(bench.include, model, f.core.chip()), 0);
    f.core.target().chipIndex = 0;
    EXPECT_EQ(GetSELUP(bench.dir.path() + "/nowhere", model, f.core.chip()), 0);

    EXPECT_EQ(model.RegMask, masks);
    EXPECT_EQ(model.loadCount, loads);
    EXPECT_EQ(f.core.chip().ChipTitle, "RX402");
}

TEST(ChipLoader, SelectorComesFromTheChipListOrTheFallback) {
    BenchFolder bench;
    const ChipSelector listed = FillChipSelector(bench.include);
    EXPECT_TRUE(listed.fromFile);
    EXPECT_EQ(listed.texts, (std::vector<std::string>{"FIRST  CHIP", "SECOND  CHIP", "GONE  X"}));
    const ChipSelector fallback = FillChipSelector(bench.dir.path());
    EXPECT_FALSE(fallback.fromFile);
    EXPECT_EQ(fallback.texts.size(), 64u);
}

// The shipped demo chips, as dmmbench and the simulated bench load them.
class DemoChips : public ::testing::Test {
  protected:
    void SetUp() override { include = IncludeDirectory(ShippedDataDirectory()); }
    int Load(int index) {
        f.core.target().chipIndex = static_cast<uint16_t>(index);
        return GetSELUP(include, f.core.chipModel(), f.core.chip());
    }
    const TRegField& Field(const char* name) { return *f.core.chipModel().Field(name); }

    QString include;
    test::SimFixture f;
};

TEST_F(DemoChips, TheDmmChipComesFirstAndBindsEveryField) {
    const ChipSelector selector = FillChipSelector(include);
    ASSERT_TRUE(selector.fromFile);
    ASSERT_GE(selector.texts.size(), 2u);
    ASSERT_EQ(Load(0), 1);
    const TChipModel& m = f.core.chipModel();
    EXPECT_EQ(m.productTitle, "VZ6401");
    EXPECT_EQ(m.mainCaption, "VZ6401-DMM V1.40");
    EXPECT_TRUE(m.SecondConverterShown());
    EXPECT_FALSE(m.instrumentUiHidden);
    for (size_t i = 0; i < kFieldDirectorySize; ++i) {
        SCOPED_TRACE(FieldDirectory()[i].name);
        EXPECT_TRUE(m.FieldAt(i).IsDefined());
    }
    for (int page = 0; page < 4; ++page) EXPECT_TRUE(m.pageShown[static_cast<size_t>(page)]);
    EXPECT_TRUE(m.bankShown[0]);
    EXPECT_FALSE(m.bankShown[1]);
}

TEST_F(DemoChips, TheDmmChipAgreesWithTheAddressesTheProgramFixes) {
    ASSERT_EQ(Load(0), 1);
    const TChipModel& m = f.core.chipModel();
    // The interrupt flags share one register with the bits the heartbeat and capture test.
    const int flags = Field("SADC_IF").registerIndex;
    for (const char* name : {"FADC_IF", "LPF_IF", "RMS_IF", "CTIF"}) {
        EXPECT_EQ(Field(name).registerIndex, flags) << name;
    }
    EXPECT_EQ(Field("FADC_IF").Mask(), 0x02);
    EXPECT_EQ(Field("SADC_IF").Mask(), 0x04);
    EXPECT_EQ(Field("LPF_IF").Mask(), 0x08);
    EXPECT_EQ(Field("RMS_IF").Mask(), 0x10);
    EXPECT_GE(flags, 0x0E);  // outside the result block

    // Results 0x00..0x0D, peak hold from 0x0E, the nine counter bytes from 0x15 in order.
    auto byteName = [&](int address) {
        for (int i = 0; i < m.byteRegisters.Count(); ++i) {
            if (m.byteRegisters.Address(i) == address) return m.byteRegisters.Items(i)->name;
        }
        return std::string();
    };
    EXPECT_EQ(byteName(0x00), "AD1D0");
    EXPECT_EQ(byteName(0x03), "AD2D0");
    EXPECT_EQ(byteName(0x06), "LPFD0");
    EXPECT_EQ(byteName(0x09), "RMSD0");
    EXPECT_EQ(byteName(0x0D), "RMSD4");
    EXPECT_EQ(byteName(0x0E), "PKMIN0");
    const char* counters[] = {"CTC0", "CTC1", "CTC2", "CTB0", "CTB1",
                              "CTB2", "CTA0", "CTA1", "CTA2"};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(Field(counters[i]).registerIndex, 0x15 + i) << counters[i];
    for (const auto& [high, low] :
         {std::pair{"CPTH", "CPTL"}, {"CPBH", "CPBL"}, {"CPHH", "CPHL"}, {"CPLH", "CPLL"}}) {
        EXPECT_EQ(Field(high).registerIndex, Field(low).registerIndex + 1) << high;
    }
    // Peak-hold scaling reads SELPKH's bits in 0x29; the ADC set-up lives in 0x3C..0x40 and 0x30.
    EXPECT_EQ(Field("SELPKH").registerIndex, 0x29);
    EXPECT_EQ(Field("SELPKH").Mask(), 0x03);
    for (const char* name : {"ENAD_S", "AD1OSR", "AD1GN", "VRGNAD1", "ENAD_F", "AD2OSR", "AD2GN",
                             "EN_AVG", "EN_RMS"}) {
        const int r = Field(name).registerIndex;
        EXPECT_TRUE((r >= 0x3C && r <= 0x40) || r == 0x30) << name;
    }
    EXPECT_EQ(Field("S_AD1IP").registerIndex, 0x24);  // resistance measurement switches 0x24
    // Calibration sets store one line per bit and byte register, at most 64.
    EXPECT_LE(m.bitRegisters.Count() + m.byteRegisters.Count(), 64);
}

TEST_F(DemoChips, EveryDmmRegisterAndBitIsDescribed) {
    ASSERT_EQ(Load(0), 1);
    const TChipModel& m = f.core.chipModel();
    for (int i = 0; i < m.bitRegisters.Count(); ++i) {
        const TBitRegEntry& e = *m.bitRegisters.Items(i);
        SCOPED_TRACE(e.name);
        EXPECT_FALSE(e.description.empty());
        for (int bit = 0; bit < 8; ++bit) EXPECT_FALSE(e.Bit(bit).description.empty()) << bit;
        EXPECT_EQ(e.description.back(), '"');
    }
    for (int i = 0; i < m.byteRegisters.Count(); ++i) {
        EXPECT_FALSE(m.byteRegisters.Items(i)->description.empty())
            << m.byteRegisters.Items(i)->name;
    }
    for (int i = 0; i < m.wordRegisters.Count(); ++i) {
        EXPECT_FALSE(m.wordRegisters.Items(i)->description.empty())
            << m.wordRegisters.Items(i)->name;
    }
}

TEST_F(DemoChips, TheMicrocontrollerUsesAllPagesAndBanksAndReplacesTheDmmChip) {
    ASSERT_EQ(Load(0), 1);
    ASSERT_EQ(Load(1), 1);
    const TChipModel& m = f.core.chipModel();
    EXPECT_EQ(m.productTitle, "RX402");
    EXPECT_EQ(f.core.chip().ChipTitle, "RX402");
    EXPECT_EQ(m.programMemorySize, 2048u);
    EXPECT_EQ(m.pageShown, (std::array<bool, 4>{true, true, true, true}));
    EXPECT_EQ(m.bankShown, (std::array<bool, 5>{true, true, true, false, false}));
    EXPECT_GT(m.ByteCount(), 0);
    EXPECT_GT(m.WordCount(), 0);
    EXPECT_TRUE(m.instrumentUiHidden);
    EXPECT_FALSE(m.SecondConverterShown());
    EXPECT_FALSE(m.Field("ENAD_S")->IsDefined());  // no DMM field survives the switch
    EXPECT_EQ(m.RegMask[0x3C], 0);
    EXPECT_EQ(m.RegMask[0x0B], 0x3F);  // six-pin port
}

}  // namespace
}  // namespace dmm
