// dmmctl capture on the simulated bench.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

#include "cli/verb.h"

namespace dmm::cli {
namespace {

class CaptureVerbTest : public ::testing::Test {
  protected:
    CaptureVerbTest() {
        GlobalOptions options;
        options.sim = true;
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

TEST_F(CaptureVerbTest, PollingCapturePrintsTheFiguresAndWritesBothFiles) {
    // The plain simulated chip keeps what is written: a raised ADC1 flag in register 0x0E
    // and a result of -3 make every pass deliver the same sample.
    ASSERT_TRUE(Run("write", {"0x0E", "0x04"}));
    ASSERT_TRUE(Run("write", {"0", "0xFD", "0xFF", "0xFF"}));
    const std::string csv = dir.filePath("block.csv").toStdString();
    ASSERT_TRUE(Run("capture", {"--source", "adcs", "--points", "64", "--scale", "24", "--flag-reg",
                                "0x0E", "--vref", "2.5", "--csv", csv}))
        << err.str();
    const std::string printed = out.str();
    EXPECT_NE(printed.find("captured 64 of 64 ADCS samples"), std::string::npos) << printed;
    EXPECT_NE(printed.find("mean              -3.000000\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Enob              24.000000\n"), std::string::npos);
    EXPECT_NE(printed.find("Noise Free        24.000000\n"), std::string::npos);

    std::string row, hexRow;
    for (int i = 0; i < 16; ++i) {
        row += "-3, ";
        hexRow += i < 15 ? "FFFFFFFDh, " : "FFFFFFFDh\r\n";
    }
    row += "\r\n";
    const std::string tail =
        "\xA5\xAD\xA7\xA1\xAD\xC8, VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), "
        "Noise Free\r\n"
        "-3.000000,0.000000,0.000000,24.000000,0.000000,0.000000,24.000000\r\n";
    EXPECT_EQ(Read("block.csv").toStdString(), row + row + row + row + tail);
    EXPECT_EQ(Read("VzADCHex.CSV").toStdString(), hexRow + hexRow + hexRow + hexRow + tail);
}

TEST_F(CaptureVerbTest, ClearFailures) {
    EXPECT_FALSE(Run("capture", {"--source", "rms"}));
    EXPECT_NE(err.str().find("polling needs --flag-reg"), std::string::npos);

    // A stream that never brings a record ends at the time-out, after printing what it has.
    err.str("");
    EXPECT_FALSE(Run("capture", {"--interrupt", "--timeout", "0.05"}));
    EXPECT_NE(out.str().find("captured 0 of 256 ADCS samples"), std::string::npos);
    EXPECT_NE(err.str().find("capture ended early: no sample came within the time-out"),
              std::string::npos);

    EXPECT_THROW(Run("capture", {"--points", "100"}), CLI::ValidationError);
    EXPECT_THROW(Run("capture", {"--scale", "25"}), CLI::ValidationError);
}

}  // namespace
}  // namespace dmm::cli
