// dmmctl switchtest on the simulated RX405.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

#include "cli/verb.h"
#include "core/analog/switch_test.h"
#include "core/analog/switch_test_setup.h"

namespace dmm::cli {
namespace {

class SwitchTestVerbTest : public ::testing::Test {
  protected:
    // fault: the firmware's faults (--sim-fault), on a clock 1000 times faster.
    void Open(const std::string& kind, const std::string& fault = {}) {
        GlobalOptions options;
        options.sim = true;
        options.simChip = "RX405";
        options.kind = kind;
        if (!fault.empty()) {
            options.simFaults = {fault};
            options.simSpeed = 1000;
        }
        options.dir = dir.path().toStdString();
        session = std::make_unique<Session>(options, out, err);
    }

    bool Run(std::vector<std::string> args) {
        const std::vector<VerbInfo> verbs = AllVerbs();
        const auto info = std::find_if(verbs.begin(), verbs.end(),
                                       [](const VerbInfo& v) { return v.name == "switchtest"; });
        if (info == verbs.end()) return false;
        CLI::App parser(info->summary, info->name);
        auto verb = info->make();
        verb->Define(parser);
        std::reverse(args.begin(), args.end());
        parser.parse(args);
        return verb->Run(*session);
    }

    // Channels 1 and 2 on AIN2 and AIN5, 4 samples a step, 2 loops.
    void WriteStepFile() {
        SwitchTestSetup setup;
        setup.loopStepIndex = 1;
        setup.enabled[0] = setup.enabled[1] = true;
        setup.values[0][2] = 2;
        setup.values[1][2] = 5;
        QFile file(dir.filePath("StepADC.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(StepFileBytes(setup));
    }

    QTemporaryDir dir;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

TEST_F(SwitchTestVerbTest, RunsTheStepFileAndWritesTheEightResultFiles) {
    WriteStepFile();
    Open("special");
    QTemporaryDir results;
    ASSERT_TRUE(Run({"--csv-dir", results.path().toStdString(), "--scale", "16"})) << err.str();
    const std::string printed = out.str();
    EXPECT_NE(printed.find("channels 1, 2; 4 samples a step, 2 loops"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("Test OK: 16 samples"), std::string::npos) << printed;
    // 0.3 V and 0.6 V of 1.2 V at 16 bits: about 8192 and 16384.
    EXPECT_NE(printed.find("table 0 (channel 1): 8 samples, mean 819"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("table 1 (channel 2): 8 samples, mean 1638"), std::string::npos)
        << printed;
    for (int k = 0; k < 8; ++k) {
        QFile file(results.filePath(QStringLiteral("VzADCSW%1.CSV").arg(k)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << k;
        EXPECT_TRUE(file.readAll().startsWith("  , Data 0, Data 1, Data 2, Data 3\r\n1, ")) << k;
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("VzADCSW0.CSV")));
}

TEST_F(SwitchTestVerbTest, RunsThatMeasureNothingFailAndLeaveTheEarlierResultsAlone) {
    QFile earlier(dir.filePath("VzADCSW0.CSV"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier results\r\n");
    earlier.close();
    // A fresh bench directory's step file ticks no channel.
    Open("special");
    EXPECT_FALSE(Run({}));
    EXPECT_NE(err.str().find(kNoChannelText), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("Test OK"), std::string::npos) << out.str();
    // A firmware that never hands out its samples.
    WriteStepFile();
    Open("special", "block-stuck");
    EXPECT_FALSE(Run({}));
    EXPECT_NE(err.str().find("did not hand out a block of samples"), std::string::npos)
        << err.str();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), "earlier results\r\n");
}

TEST_F(SwitchTestVerbTest, SendOnlyChecksTheSetUpAndRefusalsSayWhy) {
    WriteStepFile();
    Open("spi");
    ASSERT_TRUE(Run({"--send-only"})) << err.str();
    EXPECT_NE(out.str().find("Data Send OK"), std::string::npos);

    EXPECT_FALSE(Run({"--csv-dir", dir.filePath("missing").toStdString()}));
    EXPECT_NE(err.str().find("is not a writable folder"), std::string::npos) << err.str();

    Open("dmm");
    EXPECT_FALSE(Run({}));
    EXPECT_NE(err.str().find("needs the microcontroller's link"), std::string::npos) << err.str();
    EXPECT_THROW(Run({"--scale", "7"}), CLI::ValidationError);
}

}  // namespace
}  // namespace dmm::cli
