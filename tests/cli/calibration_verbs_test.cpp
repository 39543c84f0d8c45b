// dmmctl rescal, volts, ohms and calset on the simulated demo chip.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <sstream>

#include "core/calsets/config_set_file.h"
#include "core/measure/averaged_reading.h"
#include "sim/divider_network.h"
#include "sim/sim_bench.h"
#include "sim/sim_instruments.h"
#include "verb_runner.h"

namespace dmm::cli {
namespace {

class CalibrationVerbs : public ::testing::Test {
  protected:
    void Open(const std::string& simRx = {}) {
        GlobalOptions options;
        options.sim = true;
        options.simRx = simRx;
        options.dir = dir.path().toStdString();
        session = std::make_unique<Session>(options, out, err);
    }
    // ADC1 against VREF - FB, chopped.
    void StartAdc1() {
        for (auto [name, value] : {std::pair{"S_AD1RH", "2"}, {"AD1CHO", "1"}, {"ENAD_S", "1"}})
            ASSERT_TRUE(RunVerb(*session, "field", {name, value})) << err.str();
        out.str("");
    }
    // The number after the word on the lines of the output.
    std::vector<double> Numbers(const std::string& word) const {
        std::vector<double> values;
        std::istringstream lines(out.str());
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream words(line);
            std::string first, second, third;
            words >> first >> second >> third;
            if (first == word) values.push_back(std::stod(second));
            if (second == word) values.push_back(std::stod(first));
        }
        return values;
    }
    // A field as the simulated chip holds it.
    int ChipField(const char* name) {
        const TRegField& field = *session->core().chipModel().Field(name);
        return field.Extract(session->simBench()->chip().memory()[field.registerIndex]);
    }
    // A field as a set file holds it (-1: not in the set).
    int SetField(int slot, const char* name) {
        const TRegField& field = *session->core().chipModel().Field(name);
        QFile file(dir.filePath(ConfigSetFileName(slot)));
        if (!file.open(QIODevice::ReadOnly)) return -1;
        for (const RegisterPair& pair : ReadConfigSet(file.readAll()).registers) {
            if (pair.address == field.registerIndex) return field.Extract(pair.value);
        }
        return -1;
    }
    QByteArray SetBytes(int slot) const {
        QFile file(dir.filePath(ConfigSetFileName(slot)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Well above what SENSE - SENSE reads.
    static constexpr double kInputCounts = 20000;
    QTemporaryDir dir;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

TEST_F(CalibrationVerbs, RefuseToWaitForAnAdcThatIsOff) {
    Open();
    EXPECT_FALSE(RunVerb(*session, "rescal", {"auto"}));
    EXPECT_NE(err.str().find("ADC1 is off (ENAD_S is 0)"), std::string::npos) << err.str();
}

TEST_F(CalibrationVerbs, RescalThenVoltmeterAndOhmmeter) {
    Open("4.7k");
    StartAdc1();
    ASSERT_TRUE(RunVerb(*session, "rescal", {"auto", "--cal-volts", "0.3"})) << err.str();
    const double truth[] = {sim::DividerNetwork::k1MOhms, sim::DividerNetwork::k100KOhms,
                            sim::DividerNetwork::k10KOhms, sim::DividerNetwork::k1KOhms};
    const char* names[] = {"R1M", "R100K", "R10K", "R1K"};
    for (int k = 0; k < 4; ++k) {
        const std::vector<double> r = Numbers(names[k]);
        ASSERT_EQ(r.size(), 1u) << out.str();
        EXPECT_NEAR(r[0] / truth[k], 1.0, 0.001) << names[k];
    }
    // The simulated meter input stays at its 0.3 V. The calibration and each reading are
    // averages of noisy results shown to 0.1 mV: a reading may land on 0.3005 (or 0.2995).
    out.str("");
    ASSERT_TRUE(RunVerb(*session, "volts", {"1V", "--count", "3"})) << err.str();
    const std::vector<double> volts = Numbers("V");
    ASSERT_EQ(volts.size(), 3u) << out.str();
    for (double v : volts) EXPECT_NEAR(v, 0.3, 0.001);

    out.str("");
    ASSERT_TRUE(RunVerb(*session, "ohms", {"5K", "--cal", "4700", "--count", "3"})) << err.str();
    const std::vector<double> ohms = Numbers("ohm");
    ASSERT_EQ(ohms.size(), 3u) << out.str();
    for (double r : ohms) EXPECT_NEAR(r, 4700, 5);
}

TEST_F(CalibrationVerbs, RescalOnABoardThatGoesAwayFailsAtOnceSayingSo) {
    Open();
    StartAdc1();
    const int64_t start = session->core().clock().NowMs();
    session->simInstruments()->ScheduleFaults({{sim::SimFaultKind::Unplug, -1, start + 100, -1}});
    EXPECT_FALSE(RunVerb(*session, "rescal", {"auto"}));
    EXPECT_NE(err.str().find("false!!!!!: the board link was lost"), std::string::npos)
        << err.str();
    EXPECT_LT(session->core().clock().NowMs() - start, kReadingGapMs);
}

TEST_F(CalibrationVerbs, CalsetSavesListsMeasuresAndAsksBeforeReplacing) {
    Open();
    StartAdc1();
    ASSERT_TRUE(RunVerb(*session, "calset", {"save"})) << err.str();
    EXPECT_TRUE(QFile::exists(dir.filePath("VZCONFIG-0.txt")));
    out.str("");
    ASSERT_TRUE(RunVerb(*session, "calset", {"list"}));
    EXPECT_EQ(out.str().substr(0, 16), "0 ~KV\n1 NO FILE\n");
    // The meter input against AGND, then its gain reading.
    ASSERT_TRUE(RunVerb(*session, "field", {"S_AD1IN", "3"}));
    out.str("");
    ASSERT_TRUE(RunVerb(*session, "calset", {"gain", "0"})) << err.str();
    // The chip as it stands, not the set's S_AD1IN = 0 (SENSE - SENSE, about 0): measuring
    // applies nothing.
    const size_t at = out.str().find("gain ADC1 ");
    ASSERT_NE(at, std::string::npos) << out.str();
    EXPECT_GT(std::abs(std::stod(out.str().substr(at + 10))), kInputCounts) << out.str();
    EXPECT_EQ(ChipField("S_AD1IN"), 3);
    EXPECT_NE(out.str().find(" RMS 0\n"), std::string::npos);
    // An existing set is replaced only with --yes.
    EXPECT_FALSE(RunVerb(*session, "calset", {"save", "0"}));
    EXPECT_NE(err.str().find("--yes"), std::string::npos);
    EXPECT_TRUE(RunVerb(*session, "calset", {"save", "0", "--yes"})) << err.str();
    EXPECT_FALSE(RunVerb(*session, "calset", {"apply", "4"}));
    EXPECT_NE(err.str().find("slot 4 holds no set"), std::string::npos);
}

// Saving stores the chip's registers into the slot named, and applies nothing first.
TEST_F(CalibrationVerbs, CalsetSaveStoresTheChipsRegistersIntoTheSlotNamed) {
    Open();
    StartAdc1();
    ASSERT_TRUE(RunVerb(*session, "calset", {"save", "0"})) << err.str();
    ASSERT_EQ(SetField(0, "S_AD1IN"), 0);
    ASSERT_TRUE(RunVerb(*session, "field", {"S_AD1IN", "3"}));
    ASSERT_TRUE(RunVerb(*session, "calset", {"save", "0", "--yes"})) << err.str();
    EXPECT_EQ(SetField(0, "S_AD1IN"), 3);
    EXPECT_EQ(ChipField("S_AD1IN"), 3);

    // Sets 0, 1 and 3: "save 7" writes slot 7, "save" the gap; set 3 stays as it was.
    for (int slot : {1, 3})
        ASSERT_TRUE(
            QFile::copy(dir.filePath("VZCONFIG-0.txt"), dir.filePath(ConfigSetFileName(slot))));
    const QByteArray three = SetBytes(3);
    ASSERT_TRUE(RunVerb(*session, "field", {"S_AD1IN", "5"}));
    out.str("");
    ASSERT_TRUE(RunVerb(*session, "calset", {"save", "7"})) << err.str();
    EXPECT_EQ(SetField(7, "S_AD1IN"), 5);
    ASSERT_TRUE(RunVerb(*session, "calset", {"save"})) << err.str();
    EXPECT_EQ(SetField(2, "S_AD1IN"), 5);
    EXPECT_EQ(SetBytes(3), three);
    EXPECT_EQ(out.str(), "wrote slot 7: " + dir.filePath("VZCONFIG-7.txt").toStdString() +
                             "\nwrote slot 2: " + dir.filePath("VZCONFIG-2.txt").toStdString() +
                             "\n");
}

// An RMS set measures the RMS converter, with ADC1 off.
TEST_F(CalibrationVerbs, CalsetGainOfAnRmsSetReadsTheRmsConverter) {
    Open();
    ConfigSet set;
    set.name = "ac";
    set.adcChoice = 1;
    QFile file(dir.filePath("VZCONFIG-0.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(WriteConfigSet(set));
    file.close();
    for (const char* enable : {"ENAD_F", "EN_RMS"})
        ASSERT_TRUE(RunVerb(*session, "field", {enable, "1"})) << err.str();
    ASSERT_TRUE(RunVerb(*session, "calset", {"gain", "0"})) << err.str();
    const ConfigSet saved = ReadConfigSet(SetBytes(0));
    EXPECT_GT(saved.rmsGain, 0);
    EXPECT_EQ(saved.adc1Gain, 0);
    EXPECT_EQ(saved.name, "ac");
}

// A file named like a set that is not one is listed as such and never applied.
TEST_F(CalibrationVerbs, CalsetRefusesAFileThatIsNotASet) {
    Open();
    QFile readme(dir.filePath("VZCONFIG-2.txt"));
    ASSERT_TRUE(readme.open(QIODevice::WriteOnly));
    readme.write("Calibration sets of bench 4\n");
    readme.close();
    ASSERT_TRUE(RunVerb(*session, "calset", {"list"})) << err.str();
    const std::string path = dir.filePath("VZCONFIG-2.txt").toStdString();
    EXPECT_NE(out.str().find("2 UNREADABLE (" + path + ": 1 lines where a set has 75)\n"),
              std::string::npos)
        << out.str();
    EXPECT_FALSE(RunVerb(*session, "calset", {"apply", "2"}));
    EXPECT_NE(err.str().find("Not a calibration set: " + path), std::string::npos) << err.str();
}

}  // namespace
}  // namespace dmm::cli
