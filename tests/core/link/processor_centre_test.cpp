#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/link/processor_centre.h"
#include "support/sim_fixture.h"

namespace dmm {
namespace {

using test::Bytes;
using test::SimFixture;
using Personality = sim::SimBench::Personality;

constexpr uint16_t kFlagRegister = 0x14;

// Records what the heartbeat publishes and what it writes to the status bar.
struct Published : public NullUiHooks {
    void SetStatusText(int panel, const QString& text) override { status[panel] = text; }
    std::map<int, QString> status;
};

struct HeartbeatFixture {
    explicit HeartbeatFixture(InterfaceKind kind = InterfaceKind::DMM)
        : f(Personality::Bulk, kind), up(f.core.chip(), hooks) {
        fields["SADC_IF"] = {kFlagRegister, 1, 2, 0, 1};
        fields["FADC_IF"] = {kFlagRegister, 1, 1, 0, 1};
        fields["LPF_IF"] = {kFlagRegister, 1, 3, 0, 1};
        fields["RMS_IF"] = {kFlagRegister, 1, 4, 0, 1};
        fields["CTIF"] = {kFlagRegister, 1, 5, 0, 1};
        fields["AD1CHO"] = {0x3D, 2, 0, 0, 1};
        fields["AD2CHO"] = {0x3E, 1, 0, 0, 1};
        fields["ADPCHO"] = {0x3E, 1, 1, 0, 1};
        up.FieldLookup = [this](std::string_view name) -> const TRegField* {
            auto it = fields.find(std::string(name));
            return it == fields.end() ? nullptr : &it->second;
        };
        QObject::connect(&up, &TVz_UP::Adc1Display, [this](qint64 v) { adc1.push_back(v); });
        QObject::connect(&up, &TVz_UP::RmsDisplay, [this](const QString& t) { rms.push_back(t); });
        QObject::connect(&up, &TVz_UP::Adc2Display,
                         [this](const QString& t) { adc2.push_back(t); });
        QObject::connect(&up, &TVz_UP::ResistanceDisplay,
                         [this](const QString& t) { resistance.push_back(t); });
    }
    void SetChip(uint16_t address, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) f.sim.chip().Write(address++, b);
    }
    void RaiseFlags(uint8_t flags) { f.sim.chip().Write(kFlagRegister, flags); }

    SimFixture f;
    Published hooks;
    TVz_UP up;
    std::map<std::string, TRegField> fields;
    std::vector<qint64> adc1;
    std::vector<QString> rms, adc2, resistance;
};

TEST(Heartbeat, ReopensTheLinkAfter3000SilentTicks) {
    HeartbeatFixture h;
    for (int i = 0; i < 2999; ++i) h.up.Timer1Timer();
    EXPECT_FALSE(h.f.core.target().devc.connected);
    EXPECT_TRUE(h.hooks.status.empty());
    h.up.Timer1Timer();  // the 3000th silent tick
    EXPECT_TRUE(h.f.core.target().devc.connected);
    EXPECT_EQ(h.hooks.status[0], "USB On Line");
    EXPECT_EQ(h.f.core.link().IdleTicks, 0u);

    // A board that has gone away is reported at the next check.
    h.f.sim.board().faults().disconnected = true;
    h.f.core.link().IdleTicks = TVz_UP::kSilentTicksBeforeRecheck;
    h.up.Timer1Timer();
    EXPECT_FALSE(h.f.core.target().devc.connected);
    EXPECT_EQ(h.hooks.status[0], "USB not Connect !!!");
}

TEST(Heartbeat, ALostBoardIsShownAtOnceAndComesBackWithinASecondWithItsRegistersWrittenAgain) {
    HeartbeatFixture h;
    h.up.SetIntfReading(true);
    ASSERT_TRUE(h.f.Open());
    ASSERT_TRUE(h.f.core.chip().WriteRegister(0x3C, 0x21));
    ASSERT_TRUE(h.f.core.chip().WriteRegister(0x3D, 0x02));
    int resets = 0;
    QObject::connect(&h.up, &TVz_UP::ChipWasReset, [&](int n) { resets = n; });
    h.up.Timer1Timer();

    h.f.sim.board().faults().disconnected = true;
    h.up.Timer1Timer();  // the flag poll fails and closes the link
    h.up.Timer1Timer();
    EXPECT_EQ(h.hooks.status[0], "USB not Connect !!!");
    // Back with a chip that lost its power.
    h.f.sim.board().PowerCycle();
    h.f.sim.board().faults().disconnected = false;
    int ticks = 0;
    while (!h.f.core.target().devc.connected && ticks < 200) {
        h.up.Timer1Timer();
        ++ticks;
    }
    EXPECT_LE(ticks, int(TVz_UP::kLostBoardRecheckTicks) + 1);
    EXPECT_EQ(h.hooks.status[0], "USB On Line");
    EXPECT_EQ(resets, 2);
    EXPECT_TRUE(h.hooks.status[1].startsWith("The chip was reset while the board was away: 2 "));
    EXPECT_EQ(h.f.sim.chip().Read(0x3C), 0x21);
    EXPECT_EQ(h.f.sim.chip().Read(0x3D), 0x02);

    // A reset pulse of the program's own is no loss: nothing is said after it.
    resets = 0;
    ASSERT_TRUE(h.f.core.link().ResetTarget());
    h.f.sim.board().faults().disconnected = true;
    h.up.Timer1Timer();
    h.f.sim.board().faults().disconnected = false;
    for (int i = 0; i < 200 && !h.f.core.target().devc.connected; ++i) h.up.Timer1Timer();
    EXPECT_TRUE(h.f.core.target().devc.connected);
    EXPECT_EQ(resets, 0);
}

TEST(Heartbeat, NeverChecksTheLinkForSerialOrParallelKinds) {
    for (InterfaceKind kind : {InterfaceKind::RS232, InterfaceKind::Parallel}) {
        HeartbeatFixture h(kind);
        for (int i = 0; i < 7000; ++i) h.up.Timer1Timer();
        EXPECT_EQ(h.f.sim.bus().bulkOpenAttempts(), 0);
        EXPECT_TRUE(h.hooks.status.empty());
        EXPECT_LT(h.f.core.link().IdleTicks, 3000u);  // the counter still wraps
    }
}

TEST(Heartbeat, PollsOnlyWithIntfReadingOnAndTheFlagFieldDefined) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.RaiseFlags(0x04);
    h.up.Timer1Timer();
    EXPECT_TRUE(h.f.trace.packets.empty());  // INTF off
    h.up.SetIntfReading(true);
    h.fields.erase("SADC_IF");
    h.up.Timer1Timer();
    EXPECT_TRUE(h.f.trace.packets.empty());  // no description defines the flag register
    h.fields["SADC_IF"] = {kFlagRegister, 1, 2, 0, 1};
    h.up.Timer1Timer();
    ASSERT_FALSE(h.f.trace.packets.empty());
    EXPECT_EQ(h.f.trace.Sent()[0],
              (Bytes{0xC2, 0x00, static_cast<uint8_t>(2 * kFlagRegister + 1), 1}));
}

TEST(Heartbeat, FlagsAccumulateAndAreClearedPerConsumedResult) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.Adc1Divisor = 1;
    h.up.Adc2Divisor = 1;
    h.SetChip(0x00, {0x10, 0x00, 0x00});        // ADC1 = 16
    h.SetChip(0x03, {0x20, 0x00, 0x00});        // ADC2 fast = 32
    h.SetChip(0x09, {0x10, 0x00, 0x00, 0, 0});  // RMS = 16

    h.RaiseFlags(0x04);
    h.up.Timer1Timer();
    h.RaiseFlags(0x12);  // ADC2 fast and RMS arrive; ADC1 stays unconsumed
    h.up.Timer1Timer();
    EXPECT_EQ(h.up.InterruptFlags, 0x16);  // OR-ed; nothing consumed while the displays are off
    EXPECT_EQ(h.up.Adc1Result[0], 0x10);
    EXPECT_EQ(h.up.RmsResult[0], 0x10);

    h.RaiseFlags(0x00);
    h.up.Adc1DisplayOn = true;
    h.up.Timer1Timer();
    EXPECT_EQ(h.up.InterruptFlags, 0x12);  // only the ADC1 bit was consumed
    EXPECT_EQ(h.adc1, (std::vector<qint64>{16}));
    EXPECT_TRUE(h.up.TakeNewAdc1(LiveConsumer::CalibrationSets));
    EXPECT_FALSE(h.up.TakeNewAdc1(LiveConsumer::CalibrationSets));
    EXPECT_TRUE(h.up.TakeNewAdc1(LiveConsumer::Resistance));  // each consumer has its own flag

    h.up.Adc2DisplayOn = true;
    h.up.Timer1Timer();
    EXPECT_EQ(h.up.InterruptFlags, 0x00);
    EXPECT_EQ(h.adc2, (std::vector<QString>{"32"}));
    EXPECT_EQ(h.rms, (std::vector<QString>{"4.00"}));
    EXPECT_DOUBLE_EQ(h.up.LatestRms, 16.0);
    EXPECT_TRUE(h.up.TakeNewRms(LiveConsumer::Resistance));

    // A failed poll leaves flags and results alone.
    h.RaiseFlags(0x04);
    h.SetChip(0x00, {0x99, 0x00, 0x00});
    h.up.Adc1DisplayOn = false;
    h.f.sim.board().faults().dropReplies = 1;
    h.up.Timer1Timer();
    EXPECT_EQ(h.up.InterruptFlags, 0x00);
    EXPECT_EQ(h.up.Adc1Result[0], 0x10);
}

TEST(Heartbeat, ACounterReportIsFetchedOnceAndAFailedFetchIsTriedAgain) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    int fetched = 0;
    QObject::connect(&h.up, &TVz_UP::CountersFetched, [&] { ++fetched; });
    h.up.SetIntfReading(true);
    h.SetChip(0x15, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    // The first counter read comes back short: no report, the flag is kept.
    int cut = 1;
    h.f.sim.board().faults().replyFilter = [&](const std::vector<uint8_t>&,
                                               std::vector<uint8_t>& reply) {
        if (reply.size() == 9 && cut-- > 0) reply.resize(4);
    };
    h.RaiseFlags(0x20);  // CTIF
    h.up.Timer1Timer();
    EXPECT_EQ(fetched, 0);
    EXPECT_EQ(h.up.InterruptFlags & 0x20, 0x20);
    EXPECT_EQ(h.up.CounterValues[0], 0);
    h.RaiseFlags(0x00);  // this chip's read does not clear it; the kept flag retries
    h.up.Timer1Timer();
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(h.up.CounterValues, (std::array<uint8_t, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // Taken: the same counts are not reported again on the following ticks.
    h.up.Timer1Timer();
    h.up.Timer1Timer();
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(h.up.InterruptFlags & 0x20, 0);
}

TEST(Heartbeat, FlagsAnotherReaderTookAreKeptForThePoll) {
    HeartbeatFixture h;
    h.up.AccumulateFlags(0x27, 0x04);  // not the flag register
    EXPECT_EQ(h.up.InterruptFlags, 0);
    h.up.AccumulateFlags(kFlagRegister, 0x04);
    h.up.AccumulateFlags(kFlagRegister, 0x02);
    EXPECT_EQ(h.up.InterruptFlags, 0x06);
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.Adc1DisplayOn = true;
    h.SetChip(0x00, {0x10, 0x00, 0x00});
    h.up.Adc1Divisor = 1;
    h.up.Timer1Timer();  // the chip shows no flag now; the kept one still counts
    EXPECT_EQ(h.adc1, (std::vector<qint64>{16}));
}

TEST(Heartbeat, Adc1ValuesAreSignedBeforeTheIntegerDivision) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.Adc1DisplayOn = true;
    h.SetChip(0x00, {0xFF, 0xFF, 0xFF});
    h.RaiseFlags(0x04);
    h.up.Adc1Divisor = 65536;
    h.up.Timer1Timer();
    h.up.Adc1Divisor = 1;
    h.up.Timer1Timer();
    EXPECT_EQ(h.adc1, (std::vector<qint64>{0, -1}));
    EXPECT_DOUBLE_EQ(h.up.LatestAdc1, -1.0);
    h.SetChip(0x00, {0x00, 0x00, 0xFF});  // -65536
    h.up.Adc1Divisor = 256;
    h.up.Timer1Timer();
    EXPECT_EQ(h.adc1.back(), -256);
}

TEST(Heartbeat, RmsOfZeroShowsZeroWithTwoDecimals) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.Adc2DisplayOn = true;
    h.RaiseFlags(0x10);
    h.up.Timer1Timer();
    EXPECT_EQ(h.rms, (std::vector<QString>{"0.00"}));
    h.SetChip(0x09, {0x00, 0x00, 0x00, 0x00, 0x01});  // 2^32: all five bytes count
    h.up.Timer1Timer();
    EXPECT_EQ(h.rms.back(), "65536.00");
}

TEST(Heartbeat, ResistanceCycleTakes14ResultsAndSwitchesTheDividerTwice) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.ResistanceOn = true;
    // The factor of the range the resistance window chose ("500": shown in ohms).
    h.up.ResistanceRange = 5;
    h.up.RangeFactors[5] = 1000.0;
    h.up.RangeFactors[0] = 7.0;
    h.RaiseFlags(0x04);

    // Reference phase: 3 settling samples (ignored), then 4 samples averaging 100.
    // Measurement phase: 3 settling samples, then 4 samples averaging 250.
    const int32_t samples[] = {9999, 9999, 9999, 90, 110, 95, 105, -5, -5, -5, 240, 260, 245, 255};
    std::vector<Bytes> dividerWrites;
    for (size_t i = 0; i < std::size(samples); ++i) {
        const int32_t s = samples[i];
        h.SetChip(0x00, {static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8),
                         static_cast<uint8_t>(s >> 16)});
        h.f.trace.Clear();
        h.up.Timer1Timer();
        for (const Bytes& p : h.f.trace.Sent()) {
            if (p.size() == 5 && p[2] == 2 * 0x24) dividerWrites.push_back(p);
        }
        if (i < 13) {
            EXPECT_TRUE(h.resistance.empty()) << "after sample " << i;
        }
        if (i == 6) {
            EXPECT_EQ(dividerWrites.size(), 1u);
        }
    }
    ASSERT_EQ(dividerWrites.size(), 2u);
    EXPECT_EQ(dividerWrites[0], (Bytes{0xC2, 0x00, 0x48, 0x01, 0x38}));
    EXPECT_EQ(dividerWrites[1], (Bytes{0xC2, 0x00, 0x48, 0x01, 0x11}));
    EXPECT_EQ(h.f.core.chip().GetRegImage(0x24), 0x11);
    EXPECT_DOUBLE_EQ(h.up.ReferenceAverage(), 100.0);
    EXPECT_DOUBLE_EQ(h.up.MeasurementAverage(), 250.0);
    EXPECT_EQ(h.resistance, (std::vector<QString>{"2500.00 ohm"}));
    EXPECT_EQ(h.up.ResistanceState(), 0);
    EXPECT_TRUE(h.adc1.empty());

    // With the ADC1 display on, the display takes every fresh result: the resistance
    // step never runs, so it never rewrites ADC1's input selector under the reading.
    h.up.Adc1DisplayOn = true;
    h.f.trace.Clear();
    for (int i = 0; i < 20; ++i) h.up.Timer1Timer();
    for (const Bytes& p : h.f.trace.Sent()) EXPECT_FALSE(p.size() == 5 && p[2] == 2 * 0x24);
    EXPECT_EQ(h.adc1.size(), 20u);
    EXPECT_EQ(h.up.ResistanceState(), 0);
}

TEST(Heartbeat, ChannelIndicatorsFollowTheFieldsEveryTenthTick) {
    HeartbeatFixture h;
    std::vector<std::array<bool, 3>> shown;
    QObject::connect(&h.up, &TVz_UP::ChannelIndicators, [&](bool a, bool b, bool c) {
        shown.push_back({a, b, c});
    });
    h.f.core.chip().SetRegImage(0x3D, 3);  // AD1CHO = 3: blinking
    h.f.core.chip().SetRegImage(0x3E, 1);  // AD2CHO = 1 (blinking), ADPCHO = 0 (steady "00")
    for (int i = 0; i < 30; ++i) h.up.Timer1Timer();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(shown[1], (std::array<bool, 3>{false, false, false}));
    EXPECT_EQ(shown[2], (std::array<bool, 3>{true, true, false}));
    h.f.core.chip().SetRegImage(0x3D, 1);
    for (int i = 0; i < 20; ++i) h.up.Timer1Timer();
    EXPECT_TRUE(shown.back()[0]);
    EXPECT_TRUE(shown[shown.size() - 2][0]);
}

TEST(Heartbeat, UsbConnectReportsTheLinkAndAsksForTheClientStep) {
    HeartbeatFixture h;
    int connected = 0;
    QObject::connect(&h.up, &TVz_UP::Connected, [&] { ++connected; });
    EXPECT_TRUE(h.up.USBConnect());
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(h.hooks.status[0], "USB On Line");
    h.f.core.target().linkStatus = {1, 2};
    h.f.sim.board().faults().wrongSignature = true;
    EXPECT_FALSE(h.up.USBConnect());
    EXPECT_EQ(h.hooks.status[0], "USB not Connect !!!");
    EXPECT_EQ(h.f.core.target().linkStatus, (std::array<uint8_t, 2>{0, 0}));
    EXPECT_EQ(connected, 1);
}

// A board that comes on line is read at once, so that the panels show what the chip holds:
// at USB Scan, and when the re-check finds the board again after it was lost. The flags
// that read took from the chip are kept for the poll.
TEST(Heartbeat, ANewConnectionReadsTheChipIntoTheImage) {
    HeartbeatFixture h;
    h.SetChip(0x2A, {0x5A});
    h.RaiseFlags(kFlagAdc1);
    ASSERT_TRUE(h.up.USBConnect());
    EXPECT_TRUE(h.f.core.target().registerImageRead);
    EXPECT_EQ(h.f.core.chip().GetRegImage(0x2A), 0x5A);
    EXPECT_EQ(h.up.InterruptFlags & kFlagAdc1, kFlagAdc1);

    h.f.sim.board().faults().disconnected = true;
    h.f.core.link().IdleTicks = TVz_UP::kSilentTicksBeforeRecheck;
    h.up.Timer1Timer();
    ASSERT_FALSE(h.f.core.target().devc.connected);
    h.SetChip(0x2A, {0x3C});
    h.f.sim.board().faults().disconnected = false;
    h.f.core.link().IdleTicks = TVz_UP::kSilentTicksBeforeRecheck;
    h.up.Timer1Timer();
    ASSERT_TRUE(h.f.core.target().devc.connected);
    EXPECT_EQ(h.f.core.chip().GetRegImage(0x2A), 0x3C);
}

// A measurement with a sample at an end of the converter's scale is beyond the range.
TEST(Heartbeat, AResistanceAtTheConvertersLimitShowsOL) {
    HeartbeatFixture h;
    ASSERT_TRUE(h.f.Open());
    h.up.SetIntfReading(true);
    h.up.ResistanceOn = true;
    h.RaiseFlags(kFlagAdc1);
    const int32_t samples[] = {0, 0, 0, 100, 100, 100, 100, 0, 0, 0, 8388607, 8388607, 300, 300};
    for (int32_t s : samples) {
        h.SetChip(0x00, {static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8),
                         static_cast<uint8_t>(s >> 16)});
        h.up.Timer1Timer();
    }
    EXPECT_EQ(h.resistance, (std::vector<QString>{"OL"}));
}

}  // namespace
}  // namespace dmm
