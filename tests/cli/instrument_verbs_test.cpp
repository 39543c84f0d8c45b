// The instrument verbs of dmmctl on the simulated bench, in-process through a Session.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sstream>

#include "cli/session.h"
#include "cli/verb.h"
#include "sim/sim_instruments.h"
#include "verb_runner.h"

namespace dmm::cli {
namespace {

class InstrumentVerbs : public ::testing::Test {
  protected:
    void Start(const std::string& kind = "dmm") {
        GlobalOptions options;
        options.sim = true;
        options.dir = bench.path().toStdString();
        options.kind = kind;
        session = std::make_unique<Session>(options, out, err);
    }
    bool Run(const std::string& name, std::vector<std::string> args = {}) {
        if (!session) Start();
        out.str({});
        err.str({});
        return RunVerb(*session, name, std::move(args));
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    QTemporaryDir bench;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

TEST_F(InstrumentVerbs, PortsShowsTheSimulatedInstrumentsOnTheirComIndexes) {
    ASSERT_TRUE(Run("ports"));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[0].rfind("COM1 \u2014 pts", 0), 0u);
    EXPECT_NE(lines[0].find("simulated chip link (RS232)  /dev/pts/"), std::string::npos);
    EXPECT_NE(lines[1].find("simulated calibrator (Fluke 5500A)"), std::string::npos);
    EXPECT_NE(lines[2].find("simulated power supply (HP E3631A)"), std::string::npos);
    EXPECT_NE(lines[3].find("simulated climate chamber"), std::string::npos);
    EXPECT_NE(lines[9].find("simulated meter 6 (BryMen)"), std::string::npos);
    EXPECT_EQ(lines[10], "COM11 \u2014 no device");
    // The simulated bench's layout is fixed.
    EXPECT_FALSE(Run("ports", {"--set", "COM11=/dev/ttyS0"}));
}

TEST_F(InstrumentVerbs, IdentifyAndDriveTheCalibratorAndTheMeterThatWatchesIt) {
    ASSERT_TRUE(Run("identify", {"fluke", "COM2"}));
    EXPECT_EQ(out.str(), "Successful Select Fluke In COM2\n");
    ASSERT_TRUE(Run("fluke", {"OUT 123.4 mV"}));
    EXPECT_EQ(out.str(), "OUT 123.4 mV\n");
    ASSERT_TRUE(Run("fluke", {"OPER"}));
    ASSERT_TRUE(Run("meter", {"0", "--count", "2"}));
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 5), "0.123");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 5), " DC V");
    ASSERT_TRUE(Run("meter", {"2"}));
    EXPECT_EQ(out.str(), "OL Ω\n");
}

TEST_F(InstrumentVerbs, AWrongInstrumentOrAnEmptyPortFailsWithItsMessage) {
    EXPECT_FALSE(Run("identify", {"fluke", "COM3"}));
    EXPECT_NE(err.str().find("此通道連接的不是Fluke5500A!!"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("Fail Select Fluke COM3"), std::string::npos);
    EXPECT_FALSE(Run("identify", {"chamber", "COM12"}));
    EXPECT_EQ(err.str(), "dmmctl: Chamber Uart  not  found: COM12 has no serial port behind it\n");
    EXPECT_FALSE(Run("meter", {"1", "--com", "COM99"}));
    EXPECT_EQ(err.str(), "dmmctl: --com: COM99 is not a COM port (COM1 to COM16)\n");
}

// A port named on the command line is the one tried, also for an instrument identified
// elsewhere; no message names a port that was not used.
TEST_F(InstrumentVerbs, AnInstrumentIdentifiedOnOnePortIsTriedOnTheOneNamed) {
    ASSERT_TRUE(Run("identify", {"fluke", "COM2"}));
    const std::string notOnCom12 =
        "dmmctl: Fluke Uart  not  found: COM12 has no serial port behind it; the calibrator "
        "stays on COM2\n";
    EXPECT_FALSE(Run("identify", {"fluke", "COM12"}));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), notOnCom12);
    EXPECT_FALSE(Run("fluke", {"OPER", "--com", "COM12"}));
    EXPECT_EQ(err.str(), notOnCom12);
    ASSERT_TRUE(Run("identify", {"fluke", "COM2"}));
    EXPECT_EQ(out.str(), "Fluke 已經設定\n");
    ASSERT_TRUE(Run("fluke", {"OPER", "--com", "COM2"}));
    EXPECT_EQ(out.str(), "OPER\n");
}

TEST_F(InstrumentVerbs, TheChamberAndThePowerSupplyByTheirDefaultPorts) {
    ASSERT_TRUE(Run("chamber", {"set", "-5", "0", "3"}));
    ASSERT_TRUE(Run("chamber", {"temp"}));
    EXPECT_EQ(out.str().rfind("temperature 2", 0), 0u) << out.str();
    EXPECT_FALSE(Run("chamber", {"set", "20"}));
    EXPECT_EQ(err.str(), "dmmctl: chamber set wants T H [RAMP]\n");
    ASSERT_TRUE(Run("power", {"*IDN?"}));
    EXPECT_EQ(out.str(), "HEWLETT-PACKARD,E3631A,0,2.1-5.0-1.0\n");
}

TEST_F(InstrumentVerbs, TheRs232KindReachesTheChipOverItsSerialLink) {
    Start("rs232");
    ASSERT_TRUE(Run("write", {"0x44", "0x11", "0x22"}));
    ASSERT_TRUE(Run("read", {"0x44", "2"}));
    EXPECT_EQ(out.str(), "11 22\n");
    ASSERT_TRUE(session->core().target().rs232.connected);
    EXPECT_EQ(session->core().target().rs232.portName, "COM1");
}

}  // namespace
}  // namespace dmm::cli
