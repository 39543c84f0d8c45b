// dmmctl drift on the simulated bench, its clock sped up.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

#include "cli/verb.h"
#include "core/measure/drift_files.h"

namespace dmm::cli {
namespace {

class DriftVerbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GlobalOptions options;
        options.sim = true;
        options.simSpeed = 100;
        options.dir = dir.path().toStdString();
        session = std::make_unique<Session>(options, out, err);
    }

    bool Run(std::vector<std::string> args) {
        const std::vector<VerbInfo> verbs = AllVerbs();
        const auto info = std::find_if(verbs.begin(), verbs.end(),
                                       [](const VerbInfo& v) { return v.name == "drift"; });
        if (info == verbs.end()) return false;
        CLI::App parser(info->summary, info->name);
        auto verb = info->make();
        verb->Define(parser);
        std::reverse(args.begin(), args.end());
        parser.parse(args);
        return verb->Run(*session);
    }

    void Write(const char* name, const QByteArray& bytes) {
        QFile file(QDir(dir.path()).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // ADC1 on SENSE against the 1.2 V reference, chopped, at two oversampling ratios.
    void WriteStepFiles() {
        Write("Register.txt", "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n");
        Write("Delay.txt", "     1\r\n     1\r\n");
        Write("ACM.txt", "   1.2\r\n   1.2\r\n");
        Write("Fluke.txt", "   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n");
    }
    QByteArray File(const char* name) {
        QFile file(QDir(dir.path()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

TEST_F(DriftVerbTest, RunsThePlanWithTheChamberAndPrintsEachPhase) {
    // A fresh bench directory runs on the simulated bench's demo tables, which are the
    // tables WriteStepFiles writes.
    EXPECT_NE(err.str().find("demo step tables"), std::string::npos) << err.str();
    ASSERT_TRUE(Run({"--count", "2", "--start", "25", "--step", "5", "--soak", "1"})) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("2 modes from Register.txt, 2 temperatures"), std::string::npos);
    EXPECT_NE(text.find("step 2 of 2: soaking"), std::string::npos);
    EXPECT_NE(text.find("step 2 of 2: measuring mode 2 of 2"), std::string::npos);
    EXPECT_NE(text.find("drift run finished"), std::string::npos);
    const QList<QByteArray> a = File(kDriftAFileName).split('\n');
    ASSERT_EQ(a.size(), 2 + 4 + 1);
    EXPECT_TRUE(a[5].startsWith("30.000000, 0.000000, 2, "));
    // 200 mV through the chip reads about twice what 100 mV reads.
    const double first = a[4].split(',')[3].toDouble();
    const double second = a[5].split(',')[3].toDouble();
    EXPECT_NEAR(second / first, 2.0, 0.02);
    EXPECT_FALSE(File(kDriftBFileName).isEmpty());
}

// "wrote" names the files as they are on disk; a run whose results are not there fails.
TEST_F(DriftVerbTest, SaysWhichResultFilesItWroteAndFailsWhenTheyAreNotOnDisk) {
    WriteStepFiles();
    const std::vector<std::string> plan{"--no-chamber", "--count", "1", "--start", "25"};
    ASSERT_TRUE(QDir(dir.path()).mkdir(kDriftBFileName));
    ASSERT_TRUE(Run(plan)) << err.str();
    EXPECT_NE(out.str().find("wrote VzTEMPA.CSV and VzTEMPFOVER.CSV to "), std::string::npos)
        << out.str();

    out.str({});
    err.str({});
    for (const char* name : {kDriftAFileName, kDriftBOverName}) {
        QFile::remove(QDir(dir.path()).filePath(name));
        ASSERT_TRUE(QDir(dir.path()).mkdir(name));
    }
    EXPECT_FALSE(Run(plan));
    EXPECT_EQ(out.str().find("wrote"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("finished"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("results not on disk; not written: VzTEMPA.CSV"), std::string::npos)
        << err.str();
}

TEST_F(DriftVerbTest, RefusesARunWithoutItsStepFileOrItsChamber) {
    QFile::remove(QDir(dir.path()).filePath("Register.txt"));
    EXPECT_FALSE(Run({"--no-chamber"}));
    EXPECT_NE(err.str().find("Register.txt"), std::string::npos);
    EXPECT_TRUE(File(kDriftAFileName).isEmpty());
}

}  // namespace
}  // namespace dmm::cli
