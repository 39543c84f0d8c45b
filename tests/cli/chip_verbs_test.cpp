#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <sstream>

#include "cli/session.h"
#include "cli/verb.h"
#include "sim/sim_bench.h"
#include "verb_runner.h"

namespace dmm::cli {
namespace {

// dmmctl --sim --dir <fresh bench directory>, with its output captured.
class ChipVerbs : public ::testing::Test {
  protected:
    ChipVerbs() {
        GlobalOptions options;
        options.sim = true;
        options.dir = bench.path().toStdString();  // a new bench directory gets the shipped chips
        session = std::make_unique<Session>(options, out, err);
    }

    // Runs one verb as dmmctl does; returns its result and leaves its output in out.
    bool Run(const std::string& name, std::vector<std::string> args = {}) {
        out.str({});
        err.str({});
        return RunVerb(*session, name, std::move(args));
    }

    QTemporaryDir bench;
    std::ostringstream out, err;
    std::unique_ptr<Session> session;
};

TEST_F(ChipVerbs, ChipsListsTheSelectorAndLoadSummarisesTheChip) {
    ASSERT_TRUE(Run("chips"));
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "0  VZ6401  DMM-AFE");
    ASSERT_TRUE(Run("load", {"1"}));
    EXPECT_EQ(out.str().rfind("RX402: ", 0), 0u) << out.str();
    EXPECT_EQ(session->core().chip().ChipTitle, "RX402");
    EXPECT_FALSE(Run("load", {"9"}));
    EXPECT_NE(err.str().find("chip 9"), std::string::npos);
}

TEST_F(ChipVerbs, MapDescribesRegistersAndFieldsAsJson) {
    ASSERT_TRUE(Run("map"));  // loads chip 0 by itself
    QJsonParseError error;
    const QJsonObject map =
        QJsonDocument::fromJson(QByteArray::fromStdString(out.str()), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(map["product"].toString(), "VZ6401");

    QJsonObject intf;
    for (const QJsonValue& r : map["bitRegisters"].toArray()) {
        if (r["address"].toInt() == 0x14) intf = r.toObject();
    }
    EXPECT_EQ(intf["name"].toString(), "INTF");
    EXPECT_EQ(intf["mask"].toInt(), 0xFE);
    EXPECT_EQ(intf["bits"].toArray()[5].toObject()["name"].toString(), "SADC_IF");  // bit 2
    EXPECT_FALSE(intf["description"].toString().isEmpty());

    const QJsonArray fields = map["fields"].toArray();
    EXPECT_EQ(fields.size(), 132);
    int gainFields = 0;
    for (const QJsonValue& f : fields) {
        if (f["name"].toString() != "AD1GN") continue;
        ++gainFields;
        EXPECT_EQ(f["register"].toInt(), 0x3D);
        EXPECT_EQ(f["width"].toInt(), 2);
        EXPECT_EQ(f["shift"].toInt(), 5);
        EXPECT_EQ(f["gains"].toArray().size(), 4);
    }
    EXPECT_EQ(gainFields, 1);
    const QJsonObject firstByte = map["byteRegisters"].toArray()[0].toObject();
    EXPECT_EQ(firstByte["name"].toString(), "AD1D0");
    // The file's description line keeps its closing quote; people read the text without it.
    EXPECT_EQ(firstByte["description"].toString(),
              "AD1D0: ADC1 result bits 7..0 (24-bit two's complement, least significant byte)");
    EXPECT_EQ(map["wordRegisters"].toArray().size(), 4);
}

TEST_F(ChipVerbs, FieldWritesOnlyItsBitsAndReadsBack) {
    ASSERT_TRUE(Run("reg", {"0x3C", "0x05"}));  // other fields of the register
    ASSERT_TRUE(Run("field", {"ad1osr", "6"}));
    EXPECT_EQ(out.str(), "6\n");
    EXPECT_EQ(session->simBench()->chip().memory()[0x3C], 0x65);
    ASSERT_TRUE(Run("field", {"AD1OSR"}));
    EXPECT_EQ(out.str(), "6\n");

    EXPECT_FALSE(Run("field", {"AD1OSR", "8"}));
    EXPECT_NE(err.str().find("VALUE: 8 is not a value of this field (0 \u2264 VALUE \u2264 7)"),
              std::string::npos)
        << err.str();
    EXPECT_FALSE(Run("field", {"NOSUCH"}));
    ASSERT_TRUE(Run("load", {"1"}));
    EXPECT_FALSE(Run("field", {"ENAD_S"}));
    EXPECT_NE(err.str().find("does not bind ENAD_S"), std::string::npos);
}

TEST_F(ChipVerbs, ParallelKindSaysWhyThePortCannotBeHadAndWorksOnceItCan) {
    session->core().target().interfaceKind = InterfaceKind::Parallel;
    sim::SimParallelPort& port = session->simBench()->parallelPort();
    const std::string why = "/dev/parport0: Permission denied \u2014 add your user to the lp group";
    port.SetFaults({why, -1});
    EXPECT_FALSE(Run("field", {"AD1OSR", "6"}));
    EXPECT_EQ(err.str(), "dmmctl: " + why + "\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(Run("read", {"0x3C", "1"}));
    EXPECT_EQ(err.str(), "dmmctl: " + why + "\n");

    port.SetFaults({});
    ASSERT_TRUE(Run("field", {"AD1OSR", "6"})) << err.str();
    EXPECT_EQ(out.str(), "6\n");
    EXPECT_EQ(session->simBench()->chip().memory()[0x3C], 0x60);
    EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace dmm::cli
