// The channel switch test's run against the simulated microcontroller and its firmware.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <numeric>

#include "core/analog/switch_test.h"
#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"
#include "core/measure/capture_bench.h"
#include "sim/switch_test_firmware.h"
#include "support/sim_fixture.h"
#include "support/switch_test_chip.h"

namespace dmm {
namespace {

using test::Bytes;

// The values of AD1IS (0x37) that route input AINk to ADC1's positive input, against AGND.
uint8_t InputSelect(int pin) {
    return static_cast<uint8_t>(pin);
}

// A chip access as the Special kind's frame carries it.
struct ChipFrame {
    bool read = false;
    int address = 0;
    Bytes data;  // what a write carries
    int count = 0;
};

std::vector<ChipFrame> ChipFrames(const test::RecordingTrace& trace) {
    std::vector<ChipFrame> frames;
    for (const Bytes& p : trace.Sent()) {
        if (p.size() < 5 || p[0] != 0xBA) continue;
        ChipFrame f;
        f.read = (p[1] & 0x80) != 0;
        f.address = (((p[1] & 0x7C) >> 2) << 8) | p[2];
        f.count = p[3];
        if (!f.read) f.data.assign(p.begin() + 5, p.end());
        frames.push_back(f);
    }
    return frames;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A bench whose board carries the RX405 with its firmware, on the Special interface kind.
struct SwitchBench {
    SwitchBench() : SwitchBench(test::ShippedSwitchTestChip()) {}
    explicit SwitchBench(std::unique_ptr<sim::SwitchTestFirmware> chip)
        : firmware(chip.get()),
          fixture(std::move(chip), InterfaceKind::Special),
          test(fixture.core, ui) {
        EXPECT_TRUE(fixture.Open());
    }

    // Channels k (0-based) measure input AIN(pins[k]) with gain 1 at the fastest rate.
    void Enable(std::initializer_list<std::pair<int, int>> channelPins) {
        for (auto [channel, pin] : channelPins) {
            test.SwitChClick(channel, true);
            ChannelValues values{};
            values[2] = InputSelect(pin);  // register 55 = 0x37, the input selectors
            SetValues(channel, values);
        }
    }
    void SetValues(int channel, const ChannelValues& values) {
        // Through the step file, as a user's saved set-up arrives.
        SwitchTestSetup setup = test.setup();
        setup.values[static_cast<size_t>(channel)] = values;
        Load(setup);
    }
    void Load(const SwitchTestSetup& setup) {
        const QString path = dir.filePath("StepADC.txt");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(StepFileBytes(setup));
        file.close();
        test.LoadConfig(path);
    }
    double Mean(int table, int count) const {
        const auto& t = test.tables()[static_cast<size_t>(table)];
        return std::accumulate(t.begin(), t.begin() + count, 0.0) / count;
    }

    QTemporaryDir dir;
    sim::SwitchTestFirmware* firmware;
    test::SimFixture fixture;
    test::RecordingUiHooks ui;
    SwitchTest test;
};

TEST(SwitchTestRun, ThreeChannelsEightSamplesFourLoopsFillTheTablesWithEachChannelsInput) {
    SwitchBench b;
    b.Enable({{0, 1}, {1, 4}, {2, 6}});
    SwitchTestSetup setup = b.test.setup();
    setup.evStepLenIndex = 3;  // G = 8
    setup.loopStepIndex = 2;   // L = 4
    b.Load(setup);
    b.test.TXScaleChange(16);  // 24 bits: divisor 1

    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    EXPECT_EQ(b.ui.LastStatus(2), "Test OK");
    EXPECT_EQ(b.test.lastTotal(), 96);
    EXPECT_EQ(b.test.lastRead(), 96);
    EXPECT_FALSE(b.ui.gaugeVisible);
    EXPECT_EQ(b.ui.gaugePositions.back(), 100);

    // Each table's mean is the code the firmware's converter gave its channel's input,
    // within the noise of 32 samples (ADC1 at its fastest rate: a few hundred counts rms).
    const std::vector<int64_t>& ideal = b.firmware->SlotIdealCodes();
    ASSERT_EQ(ideal.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_NEAR(b.Mean(t, 32), static_cast<double>(ideal[static_cast<size_t>(t)]), 300.0) << t;
    }
    // AIN1 (0.2 V), AIN4 (0.5 V), AIN6 (0.7 V) against the 1.2 V reference.
    EXPECT_NEAR(b.Mean(0, 32), 0.2 / 1.2 * 8388608, 600.0);
    EXPECT_NEAR(b.Mean(1, 32), 0.5 / 1.2 * 8388608, 600.0);
    EXPECT_NEAR(b.Mean(2, 32), 0.7 / 1.2 * 8388608, 600.0);
    // Nothing beyond the run's G x L samples, and no table for a channel not enabled.
    EXPECT_EQ(b.test.tables()[0][32], 0);
    EXPECT_EQ(b.Mean(3, 32), 0.0);

    // The grid shows the selected step's table afterwards.
    const SwitchTestView view = b.test.View();
    ASSERT_TRUE(view.cells);
    ASSERT_EQ(view.cells->size(), 32u);
    EXPECT_EQ((*view.cells)[31], b.test.tables()[0][31]);

    // Eight files, one per table: the header, then the loop number and its 8 samples.
    ASSERT_TRUE(b.test.SaveToExcel(b.dir.path()));
    const QByteArray header =
        "  , Data 0, Data 1, Data 2, Data 3, Data 4, Data 5, Data 6, Data 7\r\n";
    for (int t = 0; t < 8; ++t) {
        QByteArray expected = header;
        for (int loop = 0; loop < 4; ++loop) {
            expected += QByteArray::number(loop + 1);
            for (int n = 0; n < 8; ++n)
                expected +=
                    ", " +
                    QByteArray::number(
                        b.test.tables()[static_cast<size_t>(t)][static_cast<size_t>(loop * 8 + n)]);
            expected += "\r\n";
        }
        EXPECT_EQ(ReadFile(b.dir.filePath(QStringLiteral("VzADCSW%1.CSV").arg(t))), expected) << t;
    }
    EXPECT_TRUE(
        ReadFile(b.dir.filePath("VzADCSW7.CSV")).endsWith("\r\n4, 0, 0, 0, 0, 0, 0, 0, 0\r\n"));
}

TEST(SwitchTestRun, TheSetUpGoesOutInOrderAndTheRunStartsAsTheFirmwareExpects) {
    SwitchBench b;
    b.Enable({{0, 2}, {1, 3}});
    ChannelValues second{};
    second = {0x11, 0x12, 3, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B};
    b.SetValues(1, second);
    b.fixture.trace.Clear();
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);

    const std::vector<ChipFrame> frames = ChipFrames(b.fixture.trace);
    std::vector<std::pair<bool, int>> order;
    for (const ChipFrame& f : frames) order.emplace_back(f.read, f.address);
    // PT2OUTLOW, the ready handshake, the set-up with its read-back, the start.
    const std::vector<std::pair<bool, int>> start = {
        {true, 117},  {false, 117}, {true, 116},  {false, 116}, {true, 210},
        {false, 210}, {true, 210},  {false, 296}, {true, 296},  {false, 304},
        {false, 336}, {false, 288}, {false, 290}, {false, 292}, {false, 368},
        {true, 210},  {false, 210}, {true, 164},  {false, 164}};
    ASSERT_GE(order.size(), start.size());
    EXPECT_EQ(std::vector(order.begin(), order.begin() + static_cast<long>(start.size())), start);
    EXPECT_EQ(frames[1].data, Bytes{0x08});  // port 2 bit 3 an output ...
    EXPECT_EQ(frames[3].data, Bytes{0x00});  // ... driven low
    EXPECT_EQ(frames[5].data, Bytes{0x80});
    EXPECT_EQ(frames[7].data, (Bytes{49, 50, 55, 60, 61, 62, 63, 64}));
    Bytes channels1To4(32, 0);
    channels1To4[2] = 2;
    std::copy_n(second.begin(), 8, channels1To4.begin() + 8);
    EXPECT_EQ(frames[9].data, channels1To4);
    EXPECT_EQ(frames[10].data, Bytes(32, 0));
    EXPECT_EQ(frames[11].data, Bytes{4});       // G
    EXPECT_EQ(frames[12].data, (Bytes{1, 0}));  // L, low byte first
    EXPECT_EQ(frames[13].data, Bytes{2});       // two channels
    EXPECT_EQ(frames[14].data, (Bytes{0, 0, 0}));
    EXPECT_EQ(frames[18].data[0] & 0x10, 0x10);  // the start bit
}

TEST(SwitchTestRun, ChannelsOneAndThreeFillTablesZeroAndOneAndStepThreeShowsTableZero) {
    SwitchBench b;
    b.Enable({{0, 0}, {2, 5}});
    SwitchTestSetup setup = b.test.setup();
    setup.values[1][2] = 7;   // channel 2, unticked, would measure AIN7
    setup.loopStepIndex = 3;  // 8 loops of 4 samples
    b.Load(setup);
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    EXPECT_NEAR(b.Mean(0, 32), 0.1 / 1.2 * 8388608, 600.0);
    EXPECT_NEAR(b.Mean(1, 32), 0.6 / 1.2 * 8388608, 600.0);  // channel 3's AIN5
    b.test.PStepSet(2);
    EXPECT_EQ(b.test.setup().selectedStep, 0);
    EXPECT_EQ((*b.test.View().cells)[5], b.test.tables()[0][5]);
}

TEST(SwitchTestRun, TwentySamplesComeInBlocksOfFortyEightAndTwelveBytes) {
    SwitchBench b;
    b.Enable({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});  // 5 channels x 4 samples x 1 loop
    b.fixture.trace.Clear();
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    std::vector<int> blocks;
    std::vector<Bytes> lengths, offsets;
    for (const ChipFrame& f : ChipFrames(b.fixture.trace)) {
        if (f.read && f.address == 256) blocks.push_back(f.count);
        if (!f.read && f.address == 371) lengths.push_back(f.data);
        if (!f.read && f.address == 368) offsets.push_back(f.data);
    }
    EXPECT_EQ(blocks, (std::vector<int>{48, 12}));
    EXPECT_EQ(lengths, (std::vector<Bytes>{{48, 0, 0}, {12, 0, 0}}));
    EXPECT_EQ(offsets, (std::vector<Bytes>{{0, 0, 0}, {0, 0, 0}, {48, 0, 0}}));
    EXPECT_NEAR(b.Mean(4, 4), 0.5 / 1.2 * 8388608, 1000.0);  // the last block's channel
}

TEST(SwitchTestRun, StopDuringTheWaitFailsAndReadsNothing) {
    SwitchBench b;
    b.Enable({{0, 0}});
    b.firmware->faults().neverFinishes = true;
    b.ui.onEvents = [&](int pass) {
        if (pass == 5) b.test.RequestStop();
    };
    EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Stopped);
    EXPECT_EQ(b.ui.LastStatus(2), "Test Fail");
    EXPECT_FALSE(b.ui.gaugeVisible);
    EXPECT_EQ(b.test.lastRead(), 0);
    EXPECT_FALSE(b.test.View().cells);  // the grid stays cleared
    EXPECT_FALSE(b.test.IsRunning());
    // Status panel 1 counted the elapsed seconds, one pass a second: 5 at the fifth.
    EXPECT_EQ(b.ui.LastStatus(1), "5");
}

TEST(SwitchTestRun, FailuresOfTheSendTheStatusAndTheBlocksAreNoSuccess) {
    {
        SwitchBench b;
        b.Enable({{0, 0}});
        b.firmware->faults().setupReadBackDiffers = true;
        EXPECT_FALSE(b.test.SendTORX405Click());
        EXPECT_EQ(b.ui.messages, std::vector<QString>{"Data Send Fail!!"});
        EXPECT_EQ(b.ui.LastStatus(2), "Data Send Fail");
        EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::SendFailed);
        EXPECT_EQ(b.ui.LastStatus(2), "Test Fail");
        b.firmware->faults().setupReadBackDiffers = false;
        EXPECT_TRUE(b.test.SendTORX405Click());
        EXPECT_EQ(b.ui.LastStatus(2), "Data Send OK");
    }
    {
        SwitchBench b;
        b.Enable({{0, 0}});
        b.ui.onEvents = [&](int) {
            if (b.firmware->Running()) b.firmware->faults().statusReadFails = true;
        };
        EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::NotFinished);
        EXPECT_EQ(b.ui.LastStatus(2), "Test Fail");
    }
    {
        // A block lost half way: the tables hold what came, zeros after it, and no "Test OK".
        SwitchBench b;
        b.Enable({{0, 0}});
        SwitchTestSetup setup = b.test.setup();
        setup.evStepLenIndex = 6;  // 64 samples: four blocks
        b.Load(setup);
        b.ui.onEvents = [&](int) {
            if (b.test.lastRead() == 32) b.fixture.sim.board().faults().dropReplies = 1;
        };
        EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::ReadFailed);
        EXPECT_EQ(b.ui.LastStatus(2), "Test Fail");
        EXPECT_EQ(b.test.lastRead(), 32);
        EXPECT_NE(b.test.tables()[0][31], 0);
        EXPECT_EQ(b.test.tables()[0][32], 0);
    }
}

TEST(SwitchTestRun, ARunWithoutAChannelIsRefusedAndTouchesNeitherTheChipNorTheTables) {
    SwitchBench b;
    b.Enable({{0, 2}});
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    const int32_t earlier = b.test.tables()[0][0];
    ASSERT_NE(earlier, 0);
    b.test.SwitChClick(0, false);
    b.fixture.trace.Clear();
    b.ui.Clear();

    EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::NoChannel);
    EXPECT_EQ(b.ui.messages, std::vector<QString>{kNoChannelText});
    EXPECT_NE(b.ui.LastStatus(2), "Test OK");
    EXPECT_TRUE(b.fixture.trace.Sent().empty());
    EXPECT_EQ(b.test.tables()[0][0], earlier);
}

// A firmware that stops answering ends every wait of the run in "Test Fail", on time.
TEST(SwitchTestRun, AFirmwareThatNeverAnswersEndsEachWaitInTestFail) {
    struct Case {
        bool sim::SwitchTestFirmwareFaults::*fault;
        SwitchTestEnd end;
        int64_t atLeastMs, atMostMs;
    };
    // One channel of 4 samples: the wait for the end is allowed a minute and 4 s.
    const Case cases[] = {
        {&sim::SwitchTestFirmwareFaults::readyStuck, SwitchTestEnd::NotReady, kHandshakeTimeoutMs,
         kHandshakeTimeoutMs + 1000},
        {&sim::SwitchTestFirmwareFaults::blockStuck, SwitchTestEnd::BlockTimedOut,
         kHandshakeTimeoutMs, kHandshakeTimeoutMs + 4000},
        {&sim::SwitchTestFirmwareFaults::neverFinishes, SwitchTestEnd::TimedOut, 64000, 66000},
    };
    for (const Case& c : cases) {
        SwitchBench b;
        b.Enable({{0, 1}});
        b.firmware->faults().*c.fault = true;
        const int64_t start = b.fixture.clock.NowMs();
        EXPECT_EQ(b.test.TestBeginClick(), c.end);
        const int64_t took = b.fixture.clock.NowMs() - start;
        EXPECT_GE(took, c.atLeastMs);
        EXPECT_LE(took, c.atMostMs);
        EXPECT_EQ(b.ui.LastStatus(2), "Test Fail");
        EXPECT_FALSE(b.ui.gaugeVisible);
        EXPECT_EQ(b.test.lastRead(), 0);
        EXPECT_FALSE(b.test.IsRunning());
    }
}

TEST(SwitchTestRun, AnEnobBoardWithPhotoReportsTheEndOnBitFourOtherwiseOnBitFive) {
    SwitchBench b;
    b.Enable({{0, 0}});
    b.firmware->SetInfoText("ENOB0405");
    b.firmware->endStatusBits = 0x10;
    b.test.firmwareTimeoutMs = 5000;
    // Without Photo the program waits for bit 5, which this board never raises.
    EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::TimedOut);
    b.fixture.core.chip().Photo = true;
    ASSERT_TRUE(b.fixture.Open());
    EXPECT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
}

TEST(SwitchTestRun, ResultFilesAreAllOrNoneWithTheMessageOfTheFileInTheWay) {
    SwitchBench b;
    b.Enable({{0, 0}});
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    QFile old(b.dir.filePath("VzADCSW0.CSV"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("earlier results\r\n");
    old.close();
    ASSERT_TRUE(QDir(b.dir.path()).mkdir("VzADCSW3.CSV"));  // cannot be created as a file
    EXPECT_FALSE(b.test.SaveToExcel(b.dir.path()));
    EXPECT_EQ(b.ui.messages, std::vector<QString>{"Please Close VzADCSW3.CSV !!!!"});
    EXPECT_EQ(ReadFile(b.dir.filePath("VzADCSW0.CSV")), "earlier results\r\n");
    for (const char* name : {"VzADCSW1.CSV", "VzADCSW2.CSV", "VzADCSW4.CSV", "VzADCSW7.CSV"})
        EXPECT_FALSE(QFile::exists(b.dir.filePath(name))) << name;
    EXPECT_EQ(QDir(b.dir.path()).entryList(QDir::Files).filter(".tmp").size(), 0);
}

TEST(SwitchTestSetUp, AMissingStepFileIsWrittenFromTheDefaultsThenRead) {
    SwitchBench b;
    const QString path = b.dir.filePath("fresh/StepADC.txt");
    QDir(b.dir.path()).mkdir("fresh");
    b.test.LoadConfig(path);
    EXPECT_EQ(ReadFile(path).left(10), "   2   0\r\n");
    EXPECT_EQ(b.test.setup().G(), 4);
    EXPECT_EQ(b.test.setup().L(), 1);
    b.test.SwitChClick(5, true);
    ASSERT_TRUE(b.test.SaveConfig(path));
    EXPECT_EQ(ReadFile(path).split('\n')[1], "   0   0   0   0   0   1   0   0\r");
}

TEST(SwitchTestSetUp, SetTakesTheImageAfterTwoSecondsReviewWritesTheElevenRegisters) {
    SwitchBench b;
    for (size_t i = 0; i < kChannelRegisters.size(); ++i)
        b.fixture.core.chip().SetRegImage(kChannelRegisters[i], static_cast<uint8_t>(0xA0 + i));
    const int64_t before = b.fixture.clock.NowMs();
    ASSERT_TRUE(b.test.PSwitchSetClick(4));
    EXPECT_GE(b.fixture.clock.NowMs() - before, 2000);
    EXPECT_EQ(b.test.setup().values[4][0], 0xA0);
    EXPECT_EQ(b.test.setup().values[4][10], 0xAA);

    b.fixture.trace.Clear();
    ASSERT_TRUE(b.test.PSwReviewClick(4));
    std::vector<int> written;
    for (const ChipFrame& f : ChipFrames(b.fixture.trace)) {
        if (!f.read) written.push_back(f.address);
    }
    EXPECT_EQ(written, (std::vector<int>{49, 50, 55, 60, 61, 62, 63, 64, 48, 73, 52}));
    EXPECT_EQ(b.firmware->memory()[52], 0xAA);
}

TEST(SwitchTestSetUp, TheScaleSetsTheSharedDivisorAndTheShiftReachesTheFirmware) {
    SwitchBench b;
    b.test.TXScaleChange(0);  // "8"
    EXPECT_EQ(b.fixture.core.adc().scale.divisor, 65536);
    EXPECT_EQ(b.fixture.core.adc().scale.analysisBits, 7);
    b.test.TXScaleChange(12);  // "20"
    EXPECT_EQ(b.fixture.core.adc().scale.divisor, 16);

    // Samples are divided by 16 here, and shifted right 4 bits by the firmware too.
    b.Enable({{0, 3}});
    ASSERT_TRUE(b.test.ADShiftChange(4));
    EXPECT_EQ(b.firmware->memory()[173], 4);
    ASSERT_EQ(b.test.TestBeginClick(), SwitchTestEnd::Complete);
    EXPECT_NEAR(b.Mean(0, 4), 0.4 / 1.2 * 8388608 / 256, 20.0);
}

}  // namespace
}  // namespace dmm
