// The analysis on top of a capture: averaging, gains, the result files, the chart data
// and the window's helper operations.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

#include "capture_bench.h"
#include "core/measure/adc_chart.h"
#include "core/measure/adc_csv.h"

namespace dmm {
namespace {

using test::Bytes;
using test::CaptureBench;
using test::WithSettlingResults;

constexpr int k32Points = -1;  // not an item: set through the capture length directly
constexpr int kScale24 = 16;

std::vector<uint64_t> Raw24(const std::vector<int32_t>& values) {
    std::vector<uint64_t> out;
    for (int32_t v : values) out.push_back(static_cast<uint32_t>(v) & 0xFFFFFF);
    return out;
}

// Captures the given raw values in stream mode.
void Capture(CaptureBench& b, const std::vector<int32_t>& values,
             CaptureSource source = CaptureSource::ADCS, int scaleItem = kScale24) {
    b.Apply(b.Settings(k32Points, scaleItem, true));
    b.core.adc().captureLength = static_cast<int>(values.size());
    b.chip.Queue(WithSettlingResults(Raw24(values)));
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", source));
    ASSERT_EQ(b.analysis.captureCount(), static_cast<int>(values.size()));
}

std::vector<int32_t> Sequence(int n, int32_t first) {
    std::vector<int32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(first + i);
    return out;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string Figure(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

TEST(AdcAveraging, Factor32On256SamplesGivesEightValuesAndAnEightPointSpectrum) {
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, Sequence(256, 0));
    CaptureSettings s = b.analysis.settings();
    s.CMAVR = 5;  // "32"
    b.Apply(s);
    b.analysis.ReCalADC();

    ASSERT_EQ(b.analysis.cellCount(), 8);
    EXPECT_EQ(b.analysis.validCount(), 8);
    for (int j = 0; j < 8; ++j) {
        EXPECT_DOUBLE_EQ(b.analysis.Cell(j), 32.0 * j + 15.5);
        EXPECT_DOUBLE_EQ(b.core.adc().values()[static_cast<size_t>(j)], 32.0 * j + 15.5);
    }
    EXPECT_EQ(b.analysis.CellText(0), "15.500000");
    EXPECT_EQ(b.core.adc().values()[8], 0.0);
    // Eight lines: levels 1..7 are set, line 8 on stays clear.
    for (size_t k = 1; k < 8; ++k) EXPECT_NE(b.core.adc().levels()[k], 0.0) << k;
    EXPECT_EQ(b.core.adc().levels()[8], 0.0);

    const AnalysisResults& r = b.core.adc().results;
    EXPECT_DOUBLE_EQ(r.mean, 127.5);
    EXPECT_NEAR(r.rmsNoiseCounts, 32.0 * std::sqrt(63.0 / 12.0), 1e-9);
    // Peaks 239.5 and 15.5 round to 240 and 16.
    EXPECT_EQ(r.vppCounts, 224.0);
}

TEST(AdcAveraging, FactorsCanBeTriedOneAfterAnotherOnTheSameCapture) {
    CaptureBench b(CaptureSource::ADCS);
    const std::vector<int32_t> values = Sequence(64, -20);
    Capture(b, values);
    CaptureSettings s = b.analysis.settings();
    for (int item : {1, 4, 0}) {  // "2", "16", then "1" brings the capture back
        s.CMAVR = item;
        b.Apply(s);
        b.analysis.ReCalADC();
    }
    ASSERT_EQ(b.analysis.cellCount(), 64);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(b.analysis.Cell(i), values[static_cast<size_t>(i)]);
    EXPECT_EQ(b.analysis.CellText(0), "-20");
    EXPECT_EQ(b.analysis.validCount(), 64);
}

TEST(AdcGain, ProductOfTheSourcesTwoFieldsReadLive) {
    CaptureBench b(CaptureSource::ADCS);
    CaptureSettings s = b.analysis.settings();
    auto field = [](int reg, int shift) {
        TRegField f;
        f.registerIndex = reg;
        f.width = 2;
        f.shift = shift;
        f.defined = 1;
        return f;
    };
    s.gains.AD1GN = {field(0x20, 2), {1.0, 2.0, 4.0, 8.0}};
    s.gains.AD2GN = {field(0x21, 0), {0.5, 1.0, 16.0, 32.0}};
    s.gains.VRGNAD2 = {field(0x22, 6), {1.0, -3.0, 0.0, 2.0}};  // not positive reads as 1
    b.Apply(s);
    b.chip.Write(0x20, 0b00001000);  // AD1GN = 2
    b.chip.Write(0x21, 0b11111100);  // AD2GN = 0
    b.chip.Write(0x22, 0b01000000);  // VRGNAD2 = 1

    b.trace.Clear();
    EXPECT_DOUBLE_EQ(b.analysis.GetGain(CaptureSource::ADCS), 4.0);
    // VRGNAD1 is not on this chip: no read for it.
    EXPECT_EQ(b.trace.Sent(), (std::vector<Bytes>{{0xC2, 0x00, 0x41, 1}}));
    EXPECT_DOUBLE_EQ(b.analysis.GetGain(CaptureSource::ADCF), 0.5);
    EXPECT_DOUBLE_EQ(b.analysis.GetGain(CaptureSource::RMS), 0.5);
    b.chip.Write(0x22, 0b11000000);  // VRGNAD2 = 3
    EXPECT_DOUBLE_EQ(b.analysis.GetGain(CaptureSource::AVG), 1.0);

    // A failed read counts as no gain.
    b.core.link().CloseBoard();
    EXPECT_DOUBLE_EQ(b.analysis.GetGain(CaptureSource::ADCS), 1.0);
}

TEST(AdcGain, AveragingUsesTheAdc1GainWhateverWasCaptured) {
    CaptureBench b(CaptureSource::ADCF);
    CaptureSettings s = b.analysis.settings();
    TRegField ad1gn;
    ad1gn.registerIndex = 0x20;
    ad1gn.width = 2;
    ad1gn.defined = 1;
    s.gains.AD1GN = {ad1gn, {2.0, 2.0, 2.0, 2.0}};
    b.Apply(s);
    // 18 bits: the grid shows the fast results (x64) divided by 64 again.
    Capture(b, {0, 1, 0, 1, 0, 1, 0, 1}, CaptureSource::ADCF, 10);
    EXPECT_DOUBLE_EQ(b.core.adc().results.rmsNoiseCounts, 0.5);
    const double capturedRms = b.core.adc().results.rmsNoiseNanovolts;
    // Factor 1 re-averages the same block in unscaled counts (64 times more) with gain 2.
    b.analysis.ReCalADC();
    EXPECT_DOUBLE_EQ(b.core.adc().results.rmsNoiseCounts, 32.0);
    EXPECT_DOUBLE_EQ(b.core.adc().results.rmsNoiseNanovolts, capturedRms * 64 / 2);
}

class AdcExport : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(AdcExport, BothFilesByteForByte) {
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, Sequence(32, -8));
    QString error;
    ASSERT_TRUE(b.analysis.SaveOut(Path("VzADC.CSV"), Path(kHexCsvName), error))
        << error.toStdString();

    std::string decimal, hex;
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 16; ++i) {
            const int v = -8 + row * 16 + i;
            decimal += std::to_string(v) + ", ";
            char item[16];
            if (v == 0)
                std::snprintf(item, sizeof item, "00h");
            else
                std::snprintf(item, sizeof item, "%Xh", static_cast<unsigned>(v));
            hex += item;
            hex += i == 15 ? "\r\n" : ", ";
        }
        decimal += "\r\n";
    }
    // -8..23: mean 7.5, sigma^2 = (32^2 - 1) / 12, peaks 31 apart; B = 24, 1.2 V, gain 1.
    const double sigma = std::sqrt((32.0 * 32.0 - 1.0) / 12.0);
    const double perCount = 1.2e9 / 8388608.0;
    const std::string figures = Figure(7.5) + "," + Figure(31 * perCount) + "," +
                                Figure(sigma * perCount) + "," + Figure(24 - std::log2(sigma)) +
                                "," + Figure(31) + "," + Figure(sigma) + "," +
                                Figure(24 - std::log2(31.0)) + "\r\n";
    const std::string header =
        "\xA5\xAD\xA7\xA1\xAD\xC8, VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), "
        "Noise Free\r\n";
    EXPECT_EQ(ReadAll(Path("VzADC.CSV")).toStdString(), decimal + header + figures);
    EXPECT_EQ(ReadAll(Path(kHexCsvName)).toStdString(), hex + header + figures);
    EXPECT_NE(hex.find("FFFFFFF8h, FFFFFFF9h"), std::string::npos);
    EXPECT_NE(hex.find("9h, Ah, Bh"), std::string::npos);
}

TEST_F(AdcExport, AStoppedCaptureOf100SamplesWritesSixRows) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(1, kScale24, false));  // 128 points
    b.chip.flagReadsPerResult = 1;
    b.chip.generator = [](int i) { return static_cast<uint64_t>(i); };
    b.ui.onEvents = [&](int) {
        if (b.analysis.captureCount() == 100) b.analysis.RequestStop();
    };
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    ASSERT_EQ(b.analysis.captureCount(), 100);
    QString error;
    ASSERT_TRUE(b.analysis.SaveOut(Path("stopped.csv"), Path(kHexCsvName), error));
    const QList<QByteArray> lines = ReadAll(Path("stopped.csv")).split('\n');
    ASSERT_EQ(lines.size(), 6 + 2 + 1);  // rows, header, figures, nothing after the last CR LF
    // Samples 6.. are stored (0..5 settle): row 6 ends with sample 95, result 101.
    EXPECT_TRUE(lines[5].endsWith("101, \r"));
    EXPECT_TRUE(lines[6].startsWith("\xA5\xAD\xA7\xA1\xAD\xC8"));
    EXPECT_EQ(ReadAll(Path(kHexCsvName)).count("\r\n"), 8);
}

// A capture that took nothing has no figures to write: no file is written, and the files
// of an earlier capture stay as they were.
TEST_F(AdcExport, ACaptureWithoutSamplesWritesNoFileAndReplacesNone) {
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, Sequence(32, 5));
    QString error;
    ASSERT_TRUE(b.analysis.SaveOut(Path("VzADC.CSV"), Path(kHexCsvName), error));
    const QByteArray decimal = ReadAll(Path("VzADC.CSV")), hex = ReadAll(Path(kHexCsvName));

    CaptureSettings s = b.Settings(k32Points, kScale24, true);
    s.idleTimeoutMs = 50;  // the converter is off: nothing comes
    b.Apply(s);
    b.ui.onEvents = [&](int) { b.clock.Advance(10); };
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    ASSERT_EQ(b.analysis.captureCount(), 0);
    const ProvenanceContext context;
    EXPECT_FALSE(b.analysis.SaveOut(Path("VzADC.CSV"), Path(kHexCsvName), error, &context));
    EXPECT_EQ(error, WarningText(FigureWarning::NoSamples));
    EXPECT_FALSE(b.analysis.SaveOut(Path("new.csv"), Path(kHexCsvName), error, &context));
    EXPECT_EQ(ReadAll(Path("VzADC.CSV")), decimal);
    EXPECT_EQ(ReadAll(Path(kHexCsvName)), hex);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(AdcExport, RmsCellsAreWrittenAsShownAndRoundedInHex) {
    CaptureBench b(CaptureSource::RMS);
    b.Apply(b.Settings(k32Points, kScale24, true));
    b.core.adc().captureLength = 16;
    std::vector<uint64_t> raws(16, 2);
    raws[1] = 123456789;  // root 11111.11
    b.chip.Queue(WithSettlingResults(raws));
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::RMS));
    EXPECT_EQ(b.analysis.CellText(1), "11111.11");
    QString error;
    ASSERT_TRUE(b.analysis.SaveOut(Path("rms.csv"), Path(kHexCsvName), error));
    EXPECT_TRUE(ReadAll(Path("rms.csv")).startsWith("1.41, 11111.11, 1.41, "));
    EXPECT_TRUE(ReadAll(Path(kHexCsvName)).startsWith("1h, 2B67h, 1h, "));
}

TEST_F(AdcExport, AFailedWriteSaysWhichFileAndLeavesTheOldFiles) {
    const AdcCsvFiles files = BuildAdcCsv(std::vector<double>(16, 1.0), CellFormat::Integer, {});
    QString error;
    const QString missing = Path("no/such/folder/VzADC.CSV");
    EXPECT_FALSE(WriteAdcCsv(files, missing, Path(kHexCsvName), error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(Path(kHexCsvName)));

    // The decimal file cannot replace a folder: nothing is written, the old hex file stays.
    QFile old(Path(kHexCsvName));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents\r\n");
    old.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("a-folder"));
    error.clear();
    EXPECT_FALSE(WriteAdcCsv(files, Path("a-folder"), Path(kHexCsvName), error));
    EXPECT_TRUE(error.contains("a-folder")) << error.toStdString();
    EXPECT_EQ(ReadAll(Path(kHexCsvName)), "old contents\r\n");
    EXPECT_TRUE(QFileInfo(Path("a-folder")).isDir());
}

TEST(AdcChart, TimeDomainShowsTheGridValuesOverTheCaptureTime) {
    CaptureBench b(CaptureSource::ADCS);
    b.board.faults().replyDelayMs = 1;
    Capture(b, {0x7FFFFF, 0x800000, -5, 3});  // 0x800000 decodes as +8388608
    const AdcChart chart = BuildAdcChart(b.analysis, b.analysis.validCount());
    EXPECT_EQ(chart.title, "Time Domain");
    EXPECT_EQ(chart.bottomTitle, "Time  ms");
    EXPECT_EQ(chart.leftTitle, "Degree");
    EXPECT_EQ(chart.bottomMax, b.analysis.elapsedMs());
    ASSERT_EQ(chart.points.size(), 4u);
    EXPECT_EQ(chart.points[1].y(), 8388608.0);  // the largest positive result stays positive
    EXPECT_EQ(chart.points[2].y(), -5.0);
    EXPECT_DOUBLE_EQ(chart.points[3].x(), 3 * b.analysis.elapsedMs() / 4);
    EXPECT_EQ(TimeDomainValue(-1.0, 65536), 0.0);
    EXPECT_EQ(TimeDomainValue(-65537.0, 65536), -1.0);
}

TEST(AdcChart, FrequencyDomainShowsHalfTheLinesOverTheLineSpacing) {
    CaptureBench b(CaptureSource::ADCS);
    b.board.faults().replyDelayMs = 1;
    Capture(b, Sequence(64, 100));
    b.core.adc().spectrumView = true;
    const AdcChart chart = BuildAdcChart(b.analysis, 64);
    EXPECT_EQ(chart.title, "Frequence Domain");
    EXPECT_EQ(chart.bottomTitle, "Frequence  Hz");
    EXPECT_EQ(chart.leftTitle, "dB");
    ASSERT_EQ(chart.points.size(), 32u);
    EXPECT_DOUBLE_EQ(chart.bottomIncrement, b.analysis.lineSpacingHz());
    EXPECT_DOUBLE_EQ(chart.points[7].x(), 7 * b.analysis.lineSpacingHz());
    EXPECT_EQ(chart.points[7].y(), b.core.adc().levels()[7]);
    EXPECT_LT(chart.points[1].y(), 0.0);
}

TEST(AdcWindowHelpers, ClrTMPClearsEverythingAndReturnsToTimeDomain) {
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, Sequence(32, 5));
    b.core.adc().spectrumView = true;
    b.analysis.ClrTMP();
    EXPECT_FALSE(b.core.adc().spectrumView);
    EXPECT_EQ(b.analysis.cellCount(), 0);
    EXPECT_EQ(b.core.adc().values()[3], 0.0);
    EXPECT_EQ(b.core.adc().spectrumReal()[0], 0.0);
    EXPECT_EQ(b.core.adc().levels()[1], 0.0);
    b.analysis.ReCalADC();  // nothing left to average
    EXPECT_EQ(b.analysis.cellCount(), 0);
}

TEST(AdcWindowHelpers, WaitTRIGERCountsSecondsOnTheClock) {
    CaptureBench b(CaptureSource::ADCS);
    const int64_t start = b.clock.NowMs();
    b.analysis.WaitTRIGER(3);
    EXPECT_EQ(b.clock.NowMs() - start, 3000);
    std::vector<QString> shown;
    for (const auto& [panel, text] : b.ui.statuses) {
        if (panel == 2) shown.push_back(text);
    }
    EXPECT_EQ(shown, (std::vector<QString>{"0", "1", "2"}));
    EXPECT_GE(b.ui.passes, 3);
}

TEST(AdcWindowHelpers, ComFunChangeWritesTheChosenCopyBack) {
    CaptureBench b(CaptureSource::ADCS);
    b.core.chip().ScaleCopy = {1, 2, 3, 4, 5, 6};
    b.core.chip().DmmCopy = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    int refreshes = 0;
    b.core.chip().SubscribeRefresh(PanelOrder::Register, [&] { ++refreshes; });
    CaptureSettings s = b.analysis.settings();
    s.ComFun = ComFunChoice::Dmm;
    b.Apply(s);
    b.trace.Clear();
    ASSERT_TRUE(b.analysis.ComFunChange());
    EXPECT_EQ(b.trace.Sent(),
              (std::vector<Bytes>{{0xC2, 0x00, 0x78, 5, 0x11, 0x22, 0x33, 0x44, 0x55},
                                  {0xC2, 0x00, 0x60, 1, 0x66},
                                  {0xC2, 0x00, 0x79, 5},
                                  {0xC2, 0x00, 0x61, 1}}));
    EXPECT_EQ(b.core.chip().GetRegImage(0x3E), 0x33);
    EXPECT_EQ(b.core.chip().GetRegImage(0x30), 0x66);
    EXPECT_EQ(refreshes, 1);
}

}  // namespace
}  // namespace dmm
