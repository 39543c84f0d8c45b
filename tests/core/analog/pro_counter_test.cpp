#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/analog/pro_counter.h"
#include "support/demo_chip_bench.h"

namespace dmm {
namespace {

using test::Bytes;

struct StatusHooks : public NullUiHooks {
    void SetStatusText(int panel, const QString& text) override { status[panel] = text; }
    std::map<int, QString> status;
};

// The counter's bench side on the demo chip, with the heartbeat run by hand on virtual
// time: a 10 ms heartbeat and the 100 ms measurement tick.
class ProCounterTest : public ::testing::Test {
  protected:
    ProCounterTest() : up(b.access(), hooks), counter(b.access(), up, hooks, b.f.clock) {
        const auto lookup = [this](std::string_view name) {
            return b.f.core.chipModel().Field(name);
        };
        up.FieldLookup = lookup;
        counter.FieldLookup = lookup;
        QObject::connect(&counter, &ProCounter::ReadingShown,
                         [this](const CounterReading& r) { readings.push_back(r); });
    }

    // Runs the heartbeat and the tick until a reading comes or the time is up.
    bool NextReading(int64_t withinMs = 10000) {
        const size_t before = readings.size();
        for (int64_t t = 0; t < withinMs && readings.size() == before; t += 10) {
            b.f.clock.Advance(10);
            up.Timer1Timer();
            if (t % 100 == 90) counter.Timer1Timer();
        }
        return readings.size() > before;
    }
    static QString Shown(const std::optional<QString>& text) {
        return text ? text->trimmed() : QStringLiteral("(kept)");
    }
    // Frames that wrote (or read) at an address, in the DMM frame's doubled address byte.
    size_t Frames(uint16_t address, bool read, int count) const {
        const auto sent = b.f.trace.Sent();
        return static_cast<size_t>(std::count_if(sent.begin(), sent.end(), [&](const Bytes& p) {
            return p.size() >= 4 && p[0] == 0xC2 && p[2] == uint8_t(2 * address + (read ? 1 : 0)) &&
                   p[3] == count;
        }));
    }

    int argc = 1;
    char name[8] = "test";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    test::DemoChipBench b;
    StatusHooks hooks;
    TVz_UP up;
    ProCounter counter;
    std::vector<CounterReading> readings;
};

TEST_F(ProCounterTest, StartArmsTheCounterAndReadsTheSquareWaveOnCnti) {
    b.Set("CNS", 1);
    b.f.trace.Clear();
    counter.BBGClick();
    EXPECT_TRUE(counter.Running());
    EXPECT_TRUE(up.IntfReading());
    EXPECT_FALSE(counter.Settled());
    EXPECT_EQ(hooks.status[1], "CTAI = 0x400000");
    // Disabled, reloaded with R1 then R2 in one block, enabled.
    const auto sent = b.f.trace.Sent();
    const uint16_t control = static_cast<uint16_t>(b.Field("EN_CTR").registerIndex);
    const uint16_t cta1 = static_cast<uint16_t>(b.Field("CTA1").registerIndex);
    const std::vector<Bytes> expected = {
        {0xC2, 0x00, uint8_t(2 * control), 1, 0x40},  // EN_CTR 0, CNS kept
        {0xC2, 0x00, uint8_t(2 * cta1), 2, 0x00, 0xC0},
        {0xC2, 0x00, uint8_t(2 * control), 1, 0xC0},
    };
    std::vector<Bytes> writes;
    for (const Bytes& p : sent)
        if ((p[2] & 1) == 0) writes.push_back(p);
    EXPECT_EQ(writes, expected);

    ASSERT_TRUE(NextReading());
    EXPECT_EQ(Shown(readings.back().frequency), "1000.00");
    EXPECT_EQ(Shown(readings.back().duty), "30.00");
    EXPECT_EQ(Shown(readings.back().highTime), "300.00");
    EXPECT_EQ(Shown(readings.back().capacitance), "4.05");  // Q 4052 over 1000 Hz
    // The counts went to the image as the report brought them.
    EXPECT_EQ(b.access().GetRegImage(b.Field("CTB0").registerIndex), up.CounterValues[3]);
    EXPECT_TRUE(counter.Settled());
    // The counter was restarted: the next report becomes the next reading.
    b.chip().counterInputs().cntiFrequencyHz = 2000;
    counter.BBGClick();  // stop ...
    EXPECT_FALSE(counter.Running());
    counter.BBGClick();  // ... and start with the new input
    ASSERT_TRUE(NextReading());
    EXPECT_EQ(Shown(readings.back().frequency), "2000.00");
}

TEST_F(ProCounterTest, ArmingWhileTheIntfReadingRunsIsRefusedAndSendsNothing) {
    up.SetIntfReading(true);
    b.f.trace.Clear();
    EXPECT_FALSE(counter.ENCTRClick());
    EXPECT_EQ(hooks.status[1], "Please Stop INTF");
    EXPECT_TRUE(b.f.trace.Sent().empty());
}

TEST_F(ProCounterTest, SixSecondsWithoutAReportReloadTheCounterAndShowDashes) {
    b.Set("CNS", 1);
    b.chip().counterInputs().cntiFrequencyHz = 0;  // nothing on the pin
    counter.BBGClick();
    b.f.trace.Clear();
    const int64_t start = b.f.clock.NowMs();
    ASSERT_TRUE(NextReading(8000));
    EXPECT_GT(b.f.clock.NowMs() - start, ProCounter::kSilenceMs);
    for (const auto* text : {&readings.back().frequency, &readings.back().duty,
                             &readings.back().highTime, &readings.back().capacitance}) {
        EXPECT_EQ(Shown(*text), kNoFigure);
    }
    // The reload wrote the reload bytes again and enabled the counter.
    EXPECT_EQ(Frames(static_cast<uint16_t>(b.Field("CTA1").registerIndex), false, 2), 1u);
    EXPECT_EQ(b.Get("EN_CTR"), 1);
    EXPECT_TRUE(counter.Settled());
}

TEST_F(ProCounterTest, AReloadByteThatIsNoneArmsNothingAndSaysWhich) {
    b.Set("CNS", 1);
    counter.SetEntries({"1C0", "C0", "4915205", "4052"});
    b.f.trace.Clear();
    EXPECT_FALSE(counter.BBGClick());
    EXPECT_TRUE(hooks.status[1].startsWith("CTA<15:8>: 1C0 is not a reload byte"));
    // Disabled at most: no reload byte and no enable reached the chip.
    const uint16_t cta1 = static_cast<uint16_t>(b.Field("CTA1").registerIndex);
    EXPECT_EQ(Frames(cta1, false, 2), 0u);
    EXPECT_EQ(b.Get("EN_CTR"), 0);
}

TEST_F(ProCounterTest, EntriesThatAreNoNumbersSayWhyAndGiveNoFigure) {
    b.Set("CNS", 1);
    counter.SetEntries({"00", "C0", "4.9M", "4052"});
    counter.BBGClick();
    ASSERT_TRUE(NextReading());
    EXPECT_EQ(Shown(readings.back().frequency), kNoFigure);
    EXPECT_EQ(Shown(readings.back().capacitance), kNoFigure);
    EXPECT_EQ(Shown(readings.back().duty), "30.00");
    EXPECT_TRUE(hooks.status[1].startsWith("System Clock: 4.9M is not a system clock"));
    counter.SetEntries({"00", "C0", "4915205", "abc"});
    ASSERT_TRUE(NextReading());
    EXPECT_EQ(Shown(readings.back().frequency), "1000.00");
    EXPECT_EQ(Shown(readings.back().capacitance), kNoFigure);
    EXPECT_TRUE(hooks.status[1].startsWith("Q: abc is not a Q factor"));
}

// Each range reads a capacitor of its scale: Q / frequency in the range's unit (the demo
// chip's calibration), to the display's resolution.
TEST_F(ProCounterTest, EachCapacitanceRangeReadsItsCapacitor) {
    struct Case {
        double farads;
        double unit;
    };
    const Case cases[] = {
        {330e-9, 1e-9}, {3.3e-6, 1e-8}, {47e-6, 1e-7}, {220e-6, 1e-6}, {6.8e-3, 2e-5}};
    const auto ranges = CapacitanceRanges();
    for (size_t i = 0; i < ranges.size(); ++i) {
        SCOPED_TRACE(ranges[i].caption);
        b.chip().counterInputs().capacitorFarads = cases[i].farads;
        ASSERT_TRUE(counter.RangeClick(static_cast<int>(i)));
        // The block is in the chip and, read back by "Read RAM", in the image.
        const auto block = RangeBlock(ranges[i]);
        EXPECT_EQ(b.access().GetRegImage(0x2C), block[0x2C - kRangeBlockAddress]);
        EXPECT_EQ(b.access().GetRegImage(0x20), block[0x20 - kRangeBlockAddress]);
        EXPECT_EQ(counter.entries().q, ranges[i].q);
        EXPECT_EQ(b.Get("CNS"), 0);  // CP_OUT
        if (counter.Running()) counter.BBGClick();
        counter.BBGClick();
        ASSERT_TRUE(NextReading());
        ASSERT_TRUE(readings.back().capacitance);
        const double shown = readings.back().capacitance->toDouble();
        EXPECT_NEAR(shown, cases[i].farads / cases[i].unit, 0.011);
    }
}

TEST_F(ProCounterTest, AShownWindowReadsTheCountersOnEveryRefresh) {
    const uint16_t first = static_cast<uint16_t>(b.Field("CTC0").registerIndex);
    b.f.trace.Clear();
    b.Set("CNS", 1);
    EXPECT_EQ(Frames(first, true, 9), 0u);  // hidden: no reads
    counter.SetShown(true);
    EXPECT_EQ(Frames(first, true, 9), 1u);
    b.Set("CNS", 0);
    EXPECT_EQ(Frames(first, true, 9), 2u);
    // What the read brought is in the image.
    b.Set("CNS", 1);
    b.Set("EN_CTR", 1);
    b.f.clock.Advance(3500);  // reload bytes 0: a gate of 2^24 clocks
    b.Set("ENVS", 1);         // any write refreshes
    EXPECT_NE(b.access().GetRegImage(b.Field("CTB0").registerIndex) |
                  b.access().GetRegImage(b.Field("CTB1").registerIndex),
              0);
    counter.SetShown(false);
    const size_t reads = Frames(first, true, 9);
    b.Set("CNS", 0);
    EXPECT_EQ(Frames(first, true, 9), reads);
}

}  // namespace
}  // namespace dmm
