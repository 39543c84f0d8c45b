// dmmctl rescal, volts, ohms and calset on the simulated demo chip.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <sstream>

#include "sim/divider_network.h"
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
    ASSERT_TRUE(RunVerb(*session, "rescal", {"auto", "--cal-volts", "0.25"})) << err.str();
    const double truth[] = {sim::DividerNetwork::k1MOhms, sim::DividerNetwork::k100KOhms,
                            sim::DividerNetwork::k10KOhms, sim::DividerNetwork::k1KOhms};
    const char* names[] = {"R1M", "R100K", "R10K", "R1K"};
    for (int k = 0; k < 4; ++k) {
        const std::vector<double> r = Numbers(names[k]);
        ASSERT_EQ(r.size(), 1u) << out.str();
        EXPECT_NEAR(r[0] / truth[k], 1.0, 0.001) << names[k];
    }
    // The simulated meter input stays at its 0.25 V.
    out.str("");
    ASSERT_TRUE(RunVerb(*session, "volts", {"1V", "--count", "3"})) << err.str();
    const std::vector<double> volts = Numbers("V");
    ASSERT_EQ(volts.size(), 3u) << out.str();
    for (double v : volts) EXPECT_NEAR(v, 0.25, 0.0005);

    out.str("");
    ASSERT_TRUE(RunVerb(*session, "ohms", {"5K", "--cal", "4700", "--count", "3"})) << err.str();
    const std::vector<double> ohms = Numbers("ohm");
    ASSERT_EQ(ohms.size(), 3u) << out.str();
    for (double r : ohms) EXPECT_NEAR(r, 4700, 5);
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
    // The set applied first restores S_AD1IN = 0 (SENSE - SENSE): the gain reads about 0.
    const size_t at = out.str().find("gain ADC1 ");
    ASSERT_NE(at, std::string::npos) << out.str();
    EXPECT_LT(std::abs(std::stod(out.str().substr(at + 10))), 2000.0) << out.str();
    EXPECT_NE(out.str().find(" RMS 0\n"), std::string::npos);
    // An existing set is replaced only with --yes.
    EXPECT_FALSE(RunVerb(*session, "calset", {"save", "0"}));
    EXPECT_NE(err.str().find("--yes"), std::string::npos);
    EXPECT_TRUE(RunVerb(*session, "calset", {"save", "0", "--yes"})) << err.str();
    EXPECT_FALSE(RunVerb(*session, "calset", {"apply", "4"}));
    EXPECT_NE(err.str().find("slot 4 holds no set"), std::string::npos);
}

}  // namespace
}  // namespace dmm::cli
