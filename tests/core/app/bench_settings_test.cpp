#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/app/bench_settings.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;

VzAdcConfig Chosen() {
    VzAdcConfig c;
    c.chipIndex = 2;
    c.interfaceKind = static_cast<int>(InterfaceKind::Parallel);
    c.serialPortIndex = 4;
    c.serialBaudIndex = 6;
    c.serialParityIndex = 2;
    c.CLPT = 2;
    c.Photo = true;
    c.scaleCopy = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15};
    c.dmmCopy = {0x20, 0x21, 0x22, 0x23, 0x24, 0x25};
    return c;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(BenchSettings, WrittenReadAndAppliedTheBenchComesBackAsItWas) {
    QTemporaryDir dir;
    const QString path = SettingsFilePath(dir.path());
    EXPECT_TRUE(path.endsWith("/VzADC.cfg"));
    QString error;
    ASSERT_TRUE(WriteSettingsFile(path, Chosen(), error)) << error.toStdString();
    EXPECT_EQ(FileBytes(path), FormatVzAdcConfig(Chosen()));

    VzAdcConfig read;
    EXPECT_EQ(ReadSettingsFile(path, read).recordsRead, kSettingsRecordCount);
    SimFixture f;
    ApplyBenchSettings(f.core, read);
    const STND& t = f.core.target();
    EXPECT_EQ(t.chipIndex, 2);
    EXPECT_EQ(t.interfaceKind, InterfaceKind::Parallel);
    EXPECT_EQ(t.serialPortIndex, 4);
    EXPECT_EQ(t.serialBaudIndex, 6);
    EXPECT_EQ(t.serialParityIndex, 2);
    // Record 6 item 2 is PRN1.
    EXPECT_EQ(f.core.parallel().PortBase, 0x3BC);
    EXPECT_TRUE(f.core.chip().Photo);
    EXPECT_EQ(f.core.chip().ScaleCopy, Chosen().scaleCopy);
    EXPECT_EQ(f.core.chip().DmmCopy, Chosen().dmmCopy);

    // Taken back from the bench, the file is the same byte for byte.
    VzAdcConfig taken;
    TakeBenchSettings(f.core, taken);
    EXPECT_EQ(FormatVzAdcConfig(taken), FormatVzAdcConfig(Chosen()));

    // The other port items.
    VzAdcConfig lpt2 = read;
    lpt2.CLPT = 1;
    ApplyBenchSettings(f.core, lpt2);
    EXPECT_EQ(f.core.parallel().PortBase, 0x278);
    lpt2.CLPT = 9;
    ApplyBenchSettings(f.core, lpt2);
    EXPECT_EQ(f.core.parallel().PortBase, 0x378);
    TakeBenchSettings(f.core, taken);
    EXPECT_EQ(taken.CLPT, 0);
}

TEST(BenchSettings, ValuesNoSelectorOffersKeepTheBenchAsItIs) {
    SimFixture f;
    ApplyBenchSettings(f.core, Chosen());
    VzAdcConfig damaged = Chosen();
    damaged.chipIndex = -1;
    damaged.interfaceKind = 9;  // no such kind: the link would build no frame at all
    damaged.serialPortIndex = 16;
    damaged.serialBaudIndex = 10;
    damaged.serialParityIndex = 3;
    ApplyBenchSettings(f.core, damaged);
    const STND& t = f.core.target();
    EXPECT_EQ(t.chipIndex, 2);
    EXPECT_EQ(t.interfaceKind, InterfaceKind::Parallel);
    EXPECT_EQ(t.serialPortIndex, 4);
    EXPECT_EQ(t.serialBaudIndex, 6);
    EXPECT_EQ(t.serialParityIndex, 2);
}

TEST(BenchSettings, PhotoFromTheFileShapesTheRegisterWriteFrames) {
    for (const auto kind : {InterfaceKind::DMM, InterfaceKind::SPI}) {
        SimFixture f(sim::SimBench::Personality::Bulk, kind);
        ASSERT_TRUE(f.Open());
        for (const bool photo : {true, false}) {
            VzAdcConfig c;
            TakeBenchSettings(f.core, c);
            c.Photo = photo;
            ApplyBenchSettings(f.core, c);
            f.trace.Clear();
            ASSERT_TRUE(f.core.chip().WriteRegister(0x12, 0x5A));
            const std::vector<Bytes> sent = f.trace.Sent();
            ASSERT_GE(sent.size(), 2u);
            if (kind == InterfaceKind::DMM) {
                // C2 Q A' n d, then the read-back C2 Q A n.
                const uint8_t q = photo ? 1 : 0;
                EXPECT_EQ(sent[0], (Bytes{0xC2, q, 0x24, 0x01, 0x5A}));
                EXPECT_EQ(sent[1], (Bytes{0xC2, q, 0x25, 0x01}));
            } else {
                // P1 40 lo hi n d with P1 = BC (Photo) or B1.
                const uint8_t p1 = photo ? 0xBC : 0xB1;
                EXPECT_EQ(sent[0], (Bytes{p1, 0x40, 0x12, 0x00, 0x01, 0x5A}));
                EXPECT_EQ(sent[1], (Bytes{p1, 0xC0, 0x12, 0x00, 0x01}));
            }
        }
    }
}

TEST(BenchSettings, AMissingFileIsWrittenFromTheStartUpSettingsAndReadBack) {
    QTemporaryDir dir;
    const QString path = SettingsFilePath(dir.path());
    VzAdcConfig startup;
    startup.EModenum = "";  // an empty mode count is written as 48
    const ConfigRead read = LoadSettingsFile(path, startup);
    EXPECT_TRUE(read.versionMatched);
    EXPECT_EQ(read.recordsRead, kSettingsRecordCount);
    const QByteArray bytes = FileBytes(path);
    EXPECT_TRUE(bytes.startsWith("DMM V1.40\r\n   0   5   0   0   0\r\n"));
    EXPECT_NE(bytes.indexOf("\r\n    48\r\n0B3F7\r\n"), -1);
    EXPECT_EQ(startup.EModenum, "48");
    // A folder that cannot hold the file: nothing is read, nothing applied.
    VzAdcConfig untouched = Chosen();
    EXPECT_FALSE(
        LoadSettingsFile(dir.filePath("no/such/folder/VzADC.cfg"), untouched).versionMatched);
    EXPECT_EQ(FormatVzAdcConfig(untouched), FormatVzAdcConfig(Chosen()));
}

TEST(BenchSettings, TheCommandLineReadsOnlyAFileOfThisVersion) {
    QTemporaryDir dir;
    EXPECT_FALSE(ReadBenchSettings(dir.path()).has_value());
    EXPECT_FALSE(ReadBenchSettings(QString()).has_value());
    QString error;
    ASSERT_TRUE(WriteSettingsFile(SettingsFilePath(dir.path()), Chosen(), error));
    const auto settings = ReadBenchSettings(dir.path());
    ASSERT_TRUE(settings.has_value());
    EXPECT_EQ(settings->interfaceKind, static_cast<int>(InterfaceKind::Parallel));
    EXPECT_TRUE(settings->Photo);
    // The first line differs in one character: the file is not used, and not rewritten.
    QFile file(SettingsFilePath(dir.path()));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes[8] = '1';  // "DMM V1.41"
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_FALSE(ReadBenchSettings(dir.path()).has_value());
    EXPECT_EQ(FileBytes(SettingsFilePath(dir.path())), bytes);
}

TEST(BenchSettings, TheCalibrationSetFolderKeepsItsBytesUntilAnotherFolderIsChosen) {
    // "D:\校正資料\SET1" as the Windows program writes it, in Big5.
    const std::string big5 = "D:\\\xAE\xD5\xA5\xBF\xB8\xEA\xAE\xC6\\SET1";
    const QString shown = CalibrationSetFolder(big5);
    EXPECT_EQ(CalibrationSetRecord(shown, big5), big5);
    // A folder chosen here reads back as the same folder, whatever its name.
    for (const QString& chosen :
         {QStringLiteral("/home/lab/校正資料/SET1"), QStringLiteral("/tmp/sets")}) {
        const std::string record = CalibrationSetRecord(chosen, big5);
        EXPECT_EQ(CalibrationSetFolder(record), chosen);
    }
}

TEST(BenchSettings, CapturesShorterThan256SamplesStartAt256) {
    const int item256 = SamplePointItemOf(256);
    EXPECT_EQ(StartupSamplePointIndex(SamplePointItemOf(64)), item256);
    EXPECT_EQ(StartupSamplePointIndex(SamplePointItemOf(128)), item256);
    EXPECT_EQ(StartupSamplePointIndex(item256), item256);
    EXPECT_EQ(StartupSamplePointIndex(SamplePointItemOf(4096)), SamplePointItemOf(4096));
    EXPECT_EQ(StartupSamplePointIndex(SamplePointItemOf(65536)), SamplePointItemOf(65536));
    EXPECT_EQ(StartupSamplePointIndex(-1), item256);
    EXPECT_EQ(StartupSamplePointIndex(11), item256);
}

TEST(BenchSettings, EachProductVariantNamesItsChipInTheCaption) {
    EXPECT_EQ(ProductVariantCaption(1), "VZ640x-DMM V1.40");
    EXPECT_EQ(ProductVariantCaption(2), "VZ6403-DMM V1.40");
    EXPECT_EQ(ProductVariantCaption(3), "VZ640XENG-DMM V1.40");
    EXPECT_EQ(ProductVariantCaption(0), "VZ6401-DMM V1.40");
    EXPECT_EQ(ProductVariantCaption(7), "VZ6401-DMM V1.40");
}

}  // namespace
}  // namespace dmm
