// The three identification handshakes side by side: the bytes each puts on the wire, its
// messages, and how long a silent, missing or busy port holds it.
#include <gtest/gtest.h>

#include <functional>

#include "serial_bench.h"

namespace dmm::test {
namespace {

struct Handshake {
    const char* name;  // as the messages name the instrument
    InstrumentId id;
    int device;  // its place on the simulated bench (and so its COM index)
    std::function<bool(Instruments&, int comIndex)> select;
    std::string wire;   // every byte the identification sends
    const char* box;    // the message box of a failed identification
    bool yesBox;        // that box has a Yes button rather than OK
    int64_t silentMin;  // how long a port that never answers holds it (exclusive)
    int64_t silentMax;  // (inclusive)
};

std::vector<Handshake> Handshakes() {
    return {
        {"Fluke", InstrumentId::Calibrator, sim::SimInstruments::Calibrator,
         [](Instruments& i, int com) { return i.calibrator().FlukeSelectClick(com); }, "*OPT\r",
         "此通道連接的不是Fluke5500A!!", true,
         // Two texts of 20 ms each, 500 ms, then a line read that gives up after 5 s.
         540 + kLineTimeoutMs, 540 + kLineTimeoutMs + 2 * kSerialPollMs},
        {"Power Supply", InstrumentId::PowerSupply, sim::SimInstruments::PowerSupply,
         [](Instruments& i, int com) { return i.power().PowerSelectClick(com); },
         "SYST:REM\r\nVOLT 0.0\r\nCURR 0.0\r\nOUTP OFF\r\n*IDN?\r\n",
         "此通道連接的不是Power Supply!!", false,
         // Four queries of half a second each.
         4 * kQueryWaitMs - 1, 4 * kQueryWaitMs},
        {"Chamber", InstrumentId::Chamber, sim::SimInstruments::Chamber,
         [](Instruments& i, int com) { return i.chamber().ChamberSelectClick(com); },
         std::string("\x02"
                     "01RSD,01,0010\r\n"),
         "此通道連接的不是溫控廂!!", false,
         // One read frame with its second for the reply.
         Chamber::kReplyWaitMs, Chamber::kReplyWaitMs + 2 * kSerialPollMs},
    };
}

std::string Sent(sim::SimInstruments& sim, int device) {
    const std::vector<uint8_t>& bytes = sim.device(device).received();
    return std::string(bytes.begin(), bytes.end());
}

TEST(Identification, EachInstrumentIsFoundOnItsPortWithExactlyItsHandshake) {
    for (const Handshake& h : Handshakes()) {
        SCOPED_TRACE(h.name);
        SerialBench bench;
        const std::string port = "COM" + std::to_string(h.device + 1);
        ASSERT_TRUE(h.select(bench.instruments, h.device));
        EXPECT_EQ(Sent(bench.sim, h.device), h.wire);
        EXPECT_EQ(bench.hooks.LastStatus(1),
                  QString("Successful Select %1 In %2").arg(h.name, port.c_str()));
        EXPECT_TRUE(bench.hooks.messages.empty());
        EXPECT_NE(bench.channel.Holder(h.device), "");
    }
}

TEST(Identification, ASilentPortIsRefusedWithTheMessageBoxWithinItsTimeLimits) {
    for (const Handshake& h : Handshakes()) {
        SCOPED_TRACE(h.name);
        SerialBench bench;
        bench.sim.device(h.device).faults().silent = true;
        const int64_t start = bench.clock.NowMs();
        EXPECT_FALSE(h.select(bench.instruments, h.device));
        EXPECT_GT(bench.Elapsed(start), h.silentMin);
        EXPECT_LE(bench.Elapsed(start), h.silentMax);
        const std::string port = "COM" + std::to_string(h.device + 1);
        EXPECT_EQ(bench.hooks.LastStatus(1),
                  QString("Fail Select %1 %2").arg(h.name, port.c_str()));
        ASSERT_EQ(bench.hooks.messages.size(), 1u);
        EXPECT_EQ(bench.hooks.messages[0], h.box);
        EXPECT_EQ(bench.hooks.yesMessages.size(), h.yesBox ? 1u : 0u);
        EXPECT_EQ(bench.channel.Holder(h.device), "");  // the port is closed again
        // The instrument still is on the line: it is found once it answers.
        bench.sim.device(h.device).faults().silent = false;
        EXPECT_TRUE(h.select(bench.instruments, h.device));
    }
}

TEST(Identification, AMissingOrBusyPortIsNotFoundAtOnce) {
    for (const Handshake& h : Handshakes()) {
        SCOPED_TRACE(h.name);
        SerialBench bench;
        int64_t start = bench.clock.NowMs();
        EXPECT_FALSE(h.select(bench.instruments, 12));
        EXPECT_EQ(bench.Elapsed(start), 0);
        EXPECT_EQ(bench.hooks.LastStatus(1), QString("%1 Uart  not  found").arg(h.name));
        EXPECT_EQ(bench.hooks.LastStatus(2), "COM13 has no serial port behind it");
        EXPECT_TRUE(bench.hooks.messages.empty());

        // A meter holds the port: nothing is sent to it.
        const int meterCom = sim::SimInstruments::MeterCom(0);
        ASSERT_TRUE(bench.instruments.meter(0).Select(meterCom));
        bench.sim.device(meterCom).ClearReceived();
        start = bench.clock.NowMs();
        EXPECT_FALSE(h.select(bench.instruments, meterCom));
        EXPECT_EQ(bench.Elapsed(start), 0);
        EXPECT_EQ(bench.hooks.LastStatus(1), QString("%1 Uart  not  found").arg(h.name));
        EXPECT_EQ(bench.hooks.LastStatus(2), "COM5 is in use by meter 1");
        EXPECT_TRUE(bench.sim.device(meterCom).received().empty());
        EXPECT_EQ(bench.channel.Holder(meterCom), "meter 1");
    }
}

// Select on another port than the one the instrument answers on tries that port (and
// says so); the instrument stays where it answers until it answers on the new one.
TEST(Identification, ASelectOnAnotherPortTriesThatPortAndKeepsTheInstrumentUntilItAnswers) {
    for (const Handshake& h : Handshakes()) {
        SCOPED_TRACE(h.name);
        SerialBench bench;
        const SerialInstrument& instrument = bench.instruments.Of(h.id);
        const QString port = QString("COM%1").arg(h.device + 1);
        ASSERT_TRUE(h.select(bench.instruments, h.device));
        auto stillOnItsPort = [&] {
            EXPECT_TRUE(instrument.connected());
            EXPECT_EQ(instrument.record().comIndex, h.device);
            EXPECT_EQ(instrument.Summary().port, port.toStdString());
            EXPECT_NE(bench.channel.Holder(h.device), "");
        };

        // Its own port again: nothing to do, nothing sent.
        bench.sim.device(h.device).ClearReceived();
        EXPECT_TRUE(h.select(bench.instruments, h.device));
        EXPECT_EQ(bench.hooks.LastStatus(1), QString("%1 已經設定").arg(h.name));
        EXPECT_EQ(Sent(bench.sim, h.device), "");

        // A port with nothing behind it.
        EXPECT_FALSE(h.select(bench.instruments, 12));
        EXPECT_EQ(bench.hooks.LastStatus(1), QString("%1 Uart  not  found").arg(h.name));
        EXPECT_EQ(bench.hooks.LastStatus(2).toStdString(), "COM13 has no serial port behind it; " +
                                                               bench.channel.Holder(h.device) +
                                                               " stays on " + port.toStdString());
        stillOnItsPort();

        // A port with another instrument: the handshake goes there, and fails there.
        const int other = h.device == sim::SimInstruments::Calibrator
                              ? sim::SimInstruments::PowerSupply
                              : sim::SimInstruments::Calibrator;
        EXPECT_FALSE(h.select(bench.instruments, other));
        EXPECT_EQ(Sent(bench.sim, other), h.wire);
        EXPECT_EQ(bench.hooks.LastStatus(1),
                  QString("Fail Select %1 COM%2").arg(h.name).arg(other + 1));
        EXPECT_EQ(bench.channel.Holder(other), "");
        stillOnItsPort();
        bench.sim.device(h.device).ClearReceived();
        EXPECT_TRUE(h.select(bench.instruments, h.device));
        EXPECT_EQ(Sent(bench.sim, h.device), "");
    }
}

}  // namespace
}  // namespace dmm::test
