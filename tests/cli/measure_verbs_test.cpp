// dmmctl capture on the simulated bench.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

#include "cli/verb.h"
#include "sim/sim_bench.h"

namespace dmm::cli {
namespace {

class CaptureVerbTest : public ::testing::Test {
  protected:
    CaptureVerbTest() { Start("dmm"); }

    void Start(const std::string& kind) {
        session.reset();
        GlobalOptions options;
        options.sim = true;
        options.kind = kind;
        options.dir = dir.path().toStdString();
        session = std::make_unique<Session>(options, out, err);
    }

    // Parses and runs one verb as dmmctl does.
    bool Run(const std::string& name, std::vector<std::string> args) {
        const std::vector<VerbInfo> verbs = AllVerbs();
        const auto info = std::find_if(verbs.begin(), verbs.end(),
                                       [&](const VerbInfo& v) { return v.name == name; });
        if (info == verbs.end()) return false;
        CLI::App parser(info->summary, name);
        auto verb = info->make();
        verb->Define(parser);
        std::reverse(args.begin(), args.end());
        parser.parse(args);
        return verb->Run(*session);
    }

    QByteArray Read(const QString& name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

// The lines of a result file.
QStringList Lines(const QByteArray& bytes) {
    QStringList lines = QString::fromLatin1(bytes).split("\r\n");
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

TEST_F(CaptureVerbTest, PollingCaptureOfTheSimulatedAdc1PrintsTheFiguresAndWritesBothFiles) {
    // The demo chip says where its flags are; ADC1 converts once it is enabled.
    ASSERT_TRUE(Run("field", {"ENAD_S", "1"})) << err.str();
    const std::string csv = dir.filePath("block.csv").toStdString();
    ASSERT_TRUE(Run("capture", {"--source", "adcs", "--points", "64", "--scale", "20", "--vref",
                                "2.5", "--poll", "--csv", csv}))
        << err.str();
    const std::string printed = out.str();
    EXPECT_NE(printed.find("captured 64 of 64 ADCS samples"), std::string::npos) << printed;
    for (const char* figure : {"mean", "VPP(nV)", "RMS Noise(nV)", "Enob", "VPP(count)",
                               "RMS Noise(count)", "Noise Free"}) {
        EXPECT_NE(printed.find(std::string("\n") + figure + " "), std::string::npos) << figure;
    }

    const QStringList decimal = Lines(Read("block.csv"));
    const QStringList hex = Lines(Read("VzADCHex.CSV"));
    ASSERT_EQ(decimal.size(), 6);  // 4 rows of 16 samples, the header, the figures
    ASSERT_EQ(hex.size(), 6);
    EXPECT_EQ(decimal[0].count(", "), 16);
    EXPECT_TRUE(hex[0].endsWith('h'));
    EXPECT_EQ(Read("block.csv").mid(Read("block.csv").indexOf("\xA5\xAD\xA7\xA1\xAD\xC8")),
              Read("VzADCHex.CSV").mid(Read("VzADCHex.CSV").indexOf("\xA5\xAD\xA7\xA1\xAD\xC8")));
    EXPECT_EQ(decimal[5].split(',').size(), 7);
}

TEST_F(CaptureVerbTest, ClearFailures) {
    // The microcontroller demo chip has no converter flags to poll.
    ASSERT_TRUE(Run("load", {"1"})) << err.str();
    EXPECT_FALSE(Run("capture", {"--source", "rms", "--poll"}));
    EXPECT_NE(err.str().find("does not say where its interrupt flags are"), std::string::npos)
        << err.str();

    // A stream that never brings a record ends at the time-out, after printing what it has.
    err.str("");
    EXPECT_FALSE(Run("capture", {"--interrupt", "--timeout", "0.05"}));
    EXPECT_NE(out.str().find("captured 0 of 256 ADCS samples"), std::string::npos);
    EXPECT_NE(err.str().find("capture ended early: no sample came within the time-out"),
              std::string::npos);
    // ... and no figures: there are none to print.
    EXPECT_EQ(out.str().find("Enob"), std::string::npos) << out.str();

    EXPECT_THROW(Run("capture", {"--points", "100"}), CLI::ValidationError);
    EXPECT_THROW(Run("capture", {"--scale", "25"}), CLI::ValidationError);
}

TEST_F(CaptureVerbTest, FiguresFromNoDataAreNotPrinted) {
    // Only the DMM interface kind takes samples: a capture on another ends at once, empty.
    Start("spi");
    EXPECT_FALSE(Run("capture", {"--flag-reg", "0x0E"}));
    EXPECT_NE(out.str().find("captured 0 of 256 ADCS samples"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("Enob"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("24.000000"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("no samples"), std::string::npos) << err.str();
}

TEST_F(CaptureVerbTest, ABlockStuckAtFullScaleIsFlaggedAndFailsUnderStrict) {
    // ADC1 with both references on one node rails at full scale.
    ASSERT_TRUE(Run("field", {"ENAD_S", "1"})) << err.str();
    ASSERT_TRUE(Run("capture", {"--points", "64"})) << err.str();
    EXPECT_NE(out.str().find("mean                     8388607.000000"), std::string::npos)
        << out.str();
    EXPECT_NE(err.str().find("warning: saturated at full scale"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("warning: no noise: check the input and the scale"),
              std::string::npos);
    err.str("");
    EXPECT_FALSE(Run("capture", {"--points", "64", "--strict"}));
    EXPECT_NE(err.str().find("--strict: saturated at full scale"), std::string::npos) << err.str();

    // A converter that works passes --strict.
    ASSERT_TRUE(Run("field", {"S_AD1RL", "2"}));
    err.str("");
    EXPECT_TRUE(Run("capture", {"--points", "64", "--strict"})) << err.str();
    EXPECT_EQ(err.str().find("--strict"), std::string::npos);
}

TEST_F(CaptureVerbTest, JsonPrintsTheCaptureRecordAndCsvWritesItBesideTheFiles) {
    ASSERT_TRUE(Run("field", {"ENAD_S", "1"}));
    ASSERT_TRUE(Run("field", {"S_AD1RL", "2"}));
    out.str("");
    const std::string csv = dir.filePath("block.csv").toStdString();
    ASSERT_TRUE(Run("capture", {"--points", "64", "--json", "--window", "hann", "--csv", csv}))
        << err.str();
    // The record is all that stdout holds; the rest went to stderr.
    const std::string printed = out.str();
    QJsonParseError parse;
    const QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(printed), &parse).object();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << printed;
    EXPECT_NE(err.str().find("captured 64 of 64 ADCS samples"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("wrote "), std::string::npos) << err.str();
    EXPECT_EQ(root["board"]["info"].toString(), "VZSIM140");
    EXPECT_TRUE(root["chip"]["name"].toString().startsWith("VZ6401"));
    EXPECT_EQ(root["capture"]["spectrumWindow"].toString(), "Hann");
    EXPECT_EQ(root["capture"]["outputRateHz"].toDouble(), 640.0);
    EXPECT_GT(root["figures"]["program"]["Enob"].toDouble(), 10.0);
    // The file beside the CSV files holds the same record.
    const QJsonObject saved = QJsonDocument::fromJson(Read("block.csv.json")).object();
    EXPECT_EQ(saved["figures"], root["figures"]);
    EXPECT_EQ(Lines(Read("block.csv")).size(), 6);
}

}  // namespace
}  // namespace dmm::cli

namespace dmm::cli {
namespace {

using CounterVerbTest = CaptureVerbTest;

// The counter from the command line: the gate, then one line per counter report, on the
// core the counter window runs; the simulated CNTI pin carries 1 kHz at 30 % duty.
TEST_F(CounterVerbTest, SwitchesTheInputAndPrintsTheGateAndAReadingPerReport) {
    ASSERT_TRUE(Run("counter", {"--input", "cnti", "--count", "2"})) << err.str();
    EXPECT_EQ(out.str(),
              "CTAI = 0x400000\n"
              "frequency 1000.00 Hz, duty 30.00 %, high time 300.00 us, Q/F 4.05\n"
              "frequency 1000.00 Hz, duty 30.00 %, high time 300.00 us, Q/F 4.05\n");
    // The input went to the chip: CNS 1 is the CNTI pin.
    const TRegField* cns = session->core().chipModel().Field("CNS");
    ASSERT_TRUE(cns);
    EXPECT_EQ(
        cns->Extract(session->simBench()->chip().memory()[static_cast<size_t>(cns->registerIndex)]),
        1);
}

}  // namespace
}  // namespace dmm::cli
