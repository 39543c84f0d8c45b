// The analysis beyond the program's own figures: the spectrum through FFTW, the chart's
// dBFS scale and tone markers, the warnings of a capture and its .json record.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <numbers>

#include "capture_bench.h"
#include "core/measure/adc_chart.h"
#include "core/measure/adc_csv.h"
#include "core/measure/fft.h"

namespace dmm {
namespace {

using test::CaptureBench;
using test::WithSettlingResults;

constexpr int kScale24 = 16;

// A 24-bit converter's codes: offset, a tone and a little dither.
std::vector<int32_t> ToneCodes(int n, double line, double amplitude) {
    std::vector<int32_t> v;
    for (int i = 0; i < n; ++i) {
        const double x = 20000.0 + amplitude * std::sin(2 * std::numbers::pi * line * i / n) +
                         amplitude * 1e-3 * std::sin(2 * std::numbers::pi * 2 * line * i / n) +
                         ((i * 7919) % 13) - 6;
        v.push_back(static_cast<int32_t>(std::lround(x)));
    }
    return v;
}

void Capture(CaptureBench& b, const std::vector<int32_t>& codes, int scaleItem = kScale24) {
    CaptureSettings s = b.Settings(-1, scaleItem, true);
    b.Apply(s);
    b.core.adc().captureLength = static_cast<int>(codes.size());
    std::vector<uint64_t> raws;
    for (int32_t c : codes) raws.push_back(static_cast<uint32_t>(c) & 0xFFFFFF);
    b.chip.Queue(WithSettlingResults(raws));
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    ASSERT_EQ(b.analysis.captureCount(), static_cast<int>(codes.size()));
}

TEST(AdcSpectrum, FftwGivesTheLevelsTheRadix2TransformGave) {
    CaptureBench b(CaptureSource::ADCS);
    const std::vector<int32_t> codes = ToneCodes(4096, 37.3, 300000.0);
    Capture(b, codes);
    std::vector<double> re(codes.begin(), codes.end()), im(re.size()), levels(re.size());
    for (size_t i = 0; i < re.size(); ++i) im[i] = -re[i];
    Fft(4096).Transform(re, im);
    SpectrumLevels(re, im, levels);
    for (size_t k = 0; k < levels.size(); ++k) {
        ASSERT_NEAR(b.core.adc().levels()[k], levels[k], 1e-9) << k;
        ASSERT_NEAR(b.core.adc().spectrumReal()[k], re[k], std::abs(re[0]) * 1e-13) << k;
        ASSERT_NEAR(b.core.adc().spectrumImag()[k], im[k], std::abs(re[0]) * 1e-13) << k;
    }
}

TEST(AdcSpectrum, TheChartReadsInDbfsAndMarksTheToneThroughAnyWindow) {
    CaptureBench b(CaptureSource::ADCS);
    b.board.faults().replyDelayMs = 1;
    // A -20 dBFS tone on line 64 of 4096 (full scale is 2^23 at 24 bits).
    const double amplitude = 0.1 * 8388608.0;
    Capture(b, ToneCodes(4096, 64, amplitude));
    b.core.adc().spectrumView = true;
    const AdcChart own = BuildAdcChart(b.analysis, 4096);
    ASSERT_EQ(own.points.size(), 2048u);
    EXPECT_EQ(own.rightTitle, "dBFS");
    // The program's own points, and the tone's line on the right axis at -20 dBFS.
    EXPECT_EQ(own.points[64].y(), b.core.adc().levels()[64]);
    EXPECT_NEAR(own.points[64].y() + own.rightOffset, -20.0, 0.01);
    // The fundamental and the five harmonics counted, the 2nd at -60 dBc.
    ASSERT_EQ(own.markers.size(), 6u);
    EXPECT_EQ(own.markers[0].label, "F");
    EXPECT_EQ(own.markers[5].label, "6");
    EXPECT_NEAR(own.markers[5].x, 6 * 64 * b.analysis.lineSpacingHz(), 1e-6);
    EXPECT_NEAR(own.markers[0].x, 64 * b.analysis.lineSpacingHz(), 1e-6);
    EXPECT_NEAR(own.markers[0].y + own.rightOffset, -20.0, 0.01);
    EXPECT_EQ(own.markers[1].label, "2");
    EXPECT_NEAR(own.markers[1].y - own.markers[0].y, -60.0, 0.1);

    // Through a flat-top window, four spectra averaged: lines four times as wide, the same
    // level in dBFS for the tone.
    b.analysis.SetSpectrumOptions(SpectrumWindow::FlatTop, 4);
    const AdcChart flat = BuildAdcChart(b.analysis, 4096);
    ASSERT_EQ(flat.points.size(), 512u);
    EXPECT_DOUBLE_EQ(flat.bottomIncrement, 4 * b.analysis.lineSpacingHz());
    EXPECT_DOUBLE_EQ(flat.rightOffset, own.rightOffset);
    EXPECT_NEAR(flat.points[16].y() + flat.rightOffset, -20.0, 0.02);
    EXPECT_NEAR(b.analysis.figures().tone.fundamentalDbfs, -20.0, 0.01);
    // The program's own levels are untouched.
    EXPECT_EQ(b.core.adc().levels()[64], own.points[64].y());
}

TEST(AdcSpectrum, ACaptureStuckAtFullScaleOrWithoutSamplesIsFlagged) {
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, std::vector<int32_t>(64, 0x7FFFFF));
    const BlockFigures& stuck = b.analysis.figures();
    EXPECT_TRUE(stuck.Has(FigureWarning::Saturated));
    EXPECT_TRUE(stuck.Has(FigureWarning::NoNoise));
    // The program's own figure still says 24 bits: that is why the warning is there.
    EXPECT_EQ(b.core.adc().results.enob, 24.0);

    // A stream that never brings a record.
    CaptureBench silent(CaptureSource::ADCS);
    CaptureSettings s = silent.Settings(0, kScale24, true);
    s.idleTimeoutMs = 50;
    silent.Apply(s);
    silent.ui.onEvents = [&](int) { silent.clock.Advance(10); };
    ASSERT_TRUE(silent.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    EXPECT_EQ(silent.analysis.lastEnd(), CaptureEnd::TimedOut);
    EXPECT_FALSE(silent.analysis.figures().HasSamples());
    EXPECT_TRUE(silent.analysis.figures().Has(FigureWarning::NoSamples));
}

TEST(AdcRecord, TheJsonBesideTheCsvFilesHoldsSettingsImageInstrumentsAndFigures) {
    QTemporaryDir dir;
    CaptureBench b(CaptureSource::ADCS);
    // The chip's set-up registers hold 0xA5 at 0x3C; the program's copy knows nothing.
    b.core.chipModel().registerAreas[0] = {0x30, 0x3F};
    b.chip.Write(0x3C, 0xA5);
    b.core.chip().SetRegImage(0x3C, 0x11);
    Capture(b, ToneCodes(1024, 16, 1e6), 12);  // scale 20: D = 16
    ProvenanceContext context;
    context.chipName = "VZ6401";
    context.boardInfo = "VZ-EVB 2";
    context.instruments.push_back({"calibrator", "FLUKE,5500A,0,1.0", "OUT 100 mV ,50 Hz"});
    QString error;
    const QString csv = dir.filePath("block.csv");
    ASSERT_TRUE(b.analysis.SaveOut(csv, dir.filePath(kHexCsvName), error, &context))
        << error.toStdString();
    QFile file(ProvenancePathFor(csv));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError parse;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &parse).object();
    ASSERT_EQ(parse.error, QJsonParseError::NoError);

    EXPECT_EQ(root["program"]["version"].toString(), kProgramVersion);
    EXPECT_TRUE(QDateTime::fromString(root["time"].toString(), Qt::ISODateWithMs).isValid());
    EXPECT_EQ(root["chip"]["name"].toString(), "VZ6401");
    EXPECT_EQ(root["interfaceKind"].toString(), "dmm");
    EXPECT_EQ(root["board"]["info"].toString(), "VZ-EVB 2");
    const QJsonArray image = root["registerImage"].toArray();
    ASSERT_EQ(image.size(), 64);
    EXPECT_TRUE(image[3].toString().startsWith("030: ")) << image[3].toString().toStdString();
    EXPECT_EQ(image[3].toString().split(' ')[13], "A5");  // 0x3C
    EXPECT_EQ(image[4].toString().split(' ')[1], "--");   // 0x40: outside the areas
    EXPECT_EQ(root["registerImageRead"].toArray(), QJsonArray{"0x030-0x03F"});
    const QJsonObject capture = root["capture"].toObject();
    EXPECT_EQ(capture["source"].toString(), "ADCS");
    EXPECT_EQ(capture["resultBits"].toInt(), 20);
    EXPECT_EQ(capture["divisor"].toInt(), 16);
    EXPECT_EQ(capture["captured"].toInt(), 1024);
    EXPECT_EQ(capture["end"].toString(), "complete");
    EXPECT_EQ(capture["interrupt"].toBool(), true);
    EXPECT_EQ(root["instruments"][0]["output"].toString(), "OUT 100 mV ,50 Hz");

    const QJsonObject program = root["figures"]["program"].toObject();
    EXPECT_DOUBLE_EQ(program["Enob"].toDouble(), b.core.adc().results.enob);
    EXPECT_DOUBLE_EQ(program["VPP(count)"].toDouble(), b.core.adc().results.vppCounts);
    const QJsonObject added = root["figures"]["added"].toObject();
    EXPECT_DOUBLE_EQ(added["ENOB IEEE 1241"].toDouble(), b.analysis.figures().noise.enobIeee);
    EXPECT_NEAR(added["H2 (dBc)"].toDouble(), -60.0, 0.2);
    EXPECT_TRUE(root["conventions"]["Enob"].toString().contains("log2"));
    EXPECT_TRUE(root["warnings"].isArray());

    // The result files themselves are what they always were.
    QFile decimal(csv);
    ASSERT_TRUE(decimal.open(QIODevice::ReadOnly));
    EXPECT_EQ(decimal.readAll().count("\r\n"), 1024 / 16 + 2);
}

// The record is named after the whole file name, so it never lands on the file it
// describes, nor on the record of another file with the same base name; a decimal file
// named as the hex file is refused.
TEST(AdcRecord, TheRecordNeverLandsOnAFileItsCaptureWritesNorOnAnotherRecord) {
    QTemporaryDir dir;
    CaptureBench b(CaptureSource::ADCS);
    Capture(b, ToneCodes(64, 4, 1e5));
    const ProvenanceContext context;
    QString error;
    const QString hex = dir.filePath(kHexCsvName);
    for (const char* name : {"x.json", "block.csv", "block.txt"})
        ASSERT_TRUE(b.analysis.SaveOut(dir.filePath(name), hex, error, &context)) << name;
    auto read = [&](const QString& name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    EXPECT_TRUE(read("x.json").contains("\xA5\xAD\xA7\xA1\xAD\xC8"));  // still the CSV file
    for (const char* record : {"x.json.json", "block.csv.json", "block.txt.json"})
        EXPECT_TRUE(QJsonDocument::fromJson(read(record)).isObject()) << record;

    const QByteArray hexBefore = read(kHexCsvName);
    EXPECT_FALSE(b.analysis.SaveOut(hex, hex, error, &context));
    EXPECT_TRUE(error.contains(kHexCsvName)) << error.toStdString();
    EXPECT_EQ(read(kHexCsvName), hexBefore);
}

}  // namespace
}  // namespace dmm
