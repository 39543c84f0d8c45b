// Captures end to end: the analysis, the board link and the simulated board with a
// scripted converter, on virtual time.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "capture_bench.h"

namespace dmm {
namespace {

using test::Bytes;
using test::CaptureBench;
using test::WithSettlingResults;

constexpr int k64Points = 0;
constexpr int k128Points = 1;
constexpr int k256Points = 2;
constexpr int kScale24 = 16;
constexpr int kScale8 = 0;

std::vector<uint64_t> Ramp(int n, uint64_t first = 1000) {
    std::vector<uint64_t> out;
    for (int i = 0; i < n; ++i) out.push_back(first + static_cast<uint64_t>(i) * 3);
    return out;
}

const Bytes kStreamOff{0xC3, 0x00, 0x00, 0x00, 0x00};

TEST(AdcCapture, PollingReadsTheFlagThenTheResultAndNeverStoresTheFirstSix) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(k64Points, kScale24, false));
    b.chip.otherFlags = 0x01;  // a counter flag the heartbeat will want later
    b.chip.Queue(WithSettlingResults(Ramp(64)));

    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.lastEnd(), CaptureEnd::Complete);
    ASSERT_EQ(b.analysis.captureCount(), 64);
    std::vector<double> expected;
    for (uint64_t raw : Ramp(64)) expected.push_back(static_cast<double>(raw));
    EXPECT_EQ(b.Cells(), expected);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(b.core.adc().values()[static_cast<size_t>(i)], expected[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(b.chip.resultsTaken(), 70);

    // Each pass reads the flag register; a raised flag is followed by the 3 result bytes.
    const std::vector<Bytes> sent = b.trace.Sent();
    const Bytes flagRead{0xC2, 0x00, 2 * test::kFlagRegister + 1, 1};
    const Bytes resultRead{0xC2, 0x00, 0x01, 3};
    int flagReads = 0, resultReads = 0;
    for (size_t i = 0; i + 1 < sent.size(); ++i) {
        if (sent[i] == flagRead) ++flagReads;
        if (sent[i] == resultRead) {
            ++resultReads;
            EXPECT_EQ(sent[i - 1], flagRead);
        }
    }
    EXPECT_EQ(resultReads, 70);
    EXPECT_EQ(flagReads, 140);  // the scripted flag shows on every second read
    // The stream is switched off after a polling capture too.
    EXPECT_EQ(sent.back(), kStreamOff);
    // The consumed source bit is cleared; the other block's flag stays for the heartbeat.
    EXPECT_EQ(b.host.interruptFlags, 0x01);

    EXPECT_EQ(b.ui.LastStatus(2), kReadCompleteText);
    EXPECT_FALSE(b.ui.gaugeVisible);
    EXPECT_EQ(b.ui.gaugePositions.back(), 100);
    EXPECT_EQ(b.ui.gaugeMaximum, 100);
    EXPECT_EQ(b.analysis.validCount(), 64);
}

TEST(AdcCapture, StreamModeDecodesEverySourceThroughTheBoard) {
    struct Case {
        CaptureSource source;
        int scaleItem;
        std::vector<uint64_t> raws;
        std::vector<double> values;  // stored, unscaled
        std::vector<double> cells;   // as the grid shows them
    };
    const std::vector<Case> cases = {
        // 0x800000 stays positive, 0x800001 is the most negative but one.
        {CaptureSource::ADCS,
         kScale24,
         {0x800000, 0x800001, 0xFFFFFF, 5},
         {8388608, -8388607, -1, 5},
         {8388608, -8388607, -1, 5}},
        // Scale 8 divides by 65536, truncating toward zero: -1 shows 0.
        {CaptureSource::ADCS,
         kScale8,
         {0xFFFFFF, 0x030005, 0xFEFFFF, 0x7FFFFF},
         {-1, 196613, -65537, 8388607},
         {0, 3, -1, 127}},
        // The fast and averaged results are 64 times finer.
        {CaptureSource::ADCF, kScale24, {1, 0xFFFFFF, 0, 2}, {64, -64, 0, 128}, {64, -64, 0, 128}},
        {CaptureSource::AVG, 10, {1, 0xFFFFFF, 1000, 2}, {64, -64, 64000, 128}, {1, -1, 1000, 2}},
        // RMS: the root of a 40-bit accumulator, shown with two decimals.
        {CaptureSource::RMS,
         kScale24,
         {0xFFFFFFFFFF, 2, 0, 123456789},
         {std::sqrt(1099511627775.0), std::sqrt(2.0), 0, std::sqrt(123456789.0)},
         {1048576.00, 1.41, 0, 11111.11}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.source));
        CaptureBench b(c.source);
        b.Apply(b.Settings(k64Points, c.scaleItem, true));
        std::vector<uint64_t> raws;
        for (int i = 0; i < 16; ++i) raws.insert(raws.end(), c.raws.begin(), c.raws.end());
        b.chip.Queue(WithSettlingResults(raws));

        ASSERT_TRUE(b.analysis.ReadADCALL(c.source));
        ASSERT_EQ(b.analysis.captureCount(), 64);
        for (int i = 0; i < 64; ++i) {
            const auto k = static_cast<size_t>(i % 4);
            EXPECT_DOUBLE_EQ(b.core.adc().values()[static_cast<size_t>(i)], c.values[k]) << i;
            EXPECT_DOUBLE_EQ(b.core.adc().spectrumReal()[static_cast<size_t>(i)], c.values[k]);
            EXPECT_DOUBLE_EQ(b.core.adc().spectrumImag()[static_cast<size_t>(i)], -c.values[k]);
            EXPECT_DOUBLE_EQ(b.analysis.Cell(i), c.cells[k]) << i;
        }
        const std::vector<Bytes> sent = b.trace.Sent();
        const Bytes on{0xC3, 0x00, 0x00, 0x01, SourceInfo(c.source).streamMask};
        EXPECT_EQ(sent.front(), on);
        EXPECT_EQ(sent.back(), kStreamOff);
        EXPECT_FALSE(b.chip.streaming());
    }
}

TEST(AdcCapture, AnOversizedStreamReplyGivesNoSample) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(k64Points, kScale24, true));
    b.chip.Queue(Ramp(200));
    // The first reply announces 13 records: its five records are lost, so the six
    // discarded ones are results 5..10 and the first stored one is result 11.
    b.board.faults().oversizedStreamCount = 13;
    ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.Cell(0), static_cast<double>(Ramp(200)[11]));
    EXPECT_EQ(b.analysis.Cell(63), static_cast<double>(Ramp(200)[74]));
}

TEST(AdcCapture, RepliesCutShortInEitherModeStoreNothingStale) {
    for (bool stream : {false, true}) {
        SCOPED_TRACE(stream ? "stream" : "polling");
        CaptureBench b(CaptureSource::ADCS);
        b.Apply(b.Settings(k64Points, kScale24, stream));
        b.chip.recordsPerReply = 12;
        // Results far from anything a stale buffer holds, each one distinct.
        b.chip.generator = [](int i) { return static_cast<uint64_t>(0x100000 + 7 * i); };
        // Every fifth reply that carries results arrives cut short.
        int resultReplies = 0;
        b.board.faults().replyFilter = [&](const Bytes& request, Bytes& reply) {
            const bool results = request[0] == 0xC3 ? request[1] == 0x01 : request[3] == 3;
            if (results && ++resultReplies % 5 == 0) reply.resize(stream ? 20 : 1);
        };
        ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCS));
        ASSERT_EQ(b.analysis.captureCount(), 64);
        double previous = 0;
        for (double v : b.Cells()) {
            const double step = v - 0x100000;
            EXPECT_EQ(std::fmod(step, 7.0), 0.0) << v;  // one of the converter's results
            EXPECT_GT(v, previous);                     // each taken once, in order
            previous = v;
        }
    }
}

TEST(AdcCapture, AFullReplyNeverStoresPastTheTarget) {
    CaptureBench b(CaptureSource::ADCF);
    CaptureSettings s = b.Settings(10, kScale24, true);  // 65536 points
    b.Apply(s);
    b.chip.recordsPerReply = 12;
    b.chip.generator = [](int i) { return static_cast<uint64_t>(i & 0xFFFF); };
    ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCF));
    EXPECT_EQ(b.analysis.captureCount(), 65536);
    EXPECT_EQ(b.analysis.Cell(65535), 64.0 * ((65535 + 6) & 0xFFFF));
    // 6 + 65536 results need 5462 replies of 12; the last one brings 2 more than needed.
    EXPECT_EQ(b.chip.resultsTaken(), 5462 * 12);
}

TEST(AdcCapture, OtherInterfaceKindsFinishAtOnceWithNoSample) {
    CaptureBench b(CaptureSource::ADCS, InterfaceKind::SPI);
    b.host.heartbeat = true;
    b.chip.Queue(Ramp(100));
    b.trace.Clear();
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.captureCount(), 0);
    EXPECT_EQ(b.ui.LastStatus(2), kReadCompleteText);
    EXPECT_EQ(b.chip.resultsTaken(), 0);
    // Only the stream switch-off goes to the board (the gain fields are not defined).
    EXPECT_EQ(b.trace.Sent(), (std::vector<Bytes>{kStreamOff}));
    EXPECT_TRUE(b.host.heartbeat);
    // No samples: no noise, and the block keeps its bits.
    EXPECT_EQ(b.core.adc().results.vppCounts, 0.0);
    EXPECT_EQ(b.core.adc().results.enob, b.core.adc().scale.analysisBits);
}

TEST(AdcCapture, StopRequestEndsTheCaptureWithFiguresOverTheSamplesTaken) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(k256Points, kScale24, false));
    b.chip.flagReadsPerResult = 1;
    b.chip.generator = [](int i) { return static_cast<uint64_t>(i % 2 ? 110 : 90); };
    // A second click on the capture button arrives while the 40th sample is stored.
    b.ui.onEvents = [&](int) {
        if (b.analysis.captureCount() == 40) b.analysis.RequestStop();
    };
    ASSERT_TRUE(b.analysis.CatchACDCOM("1.2", CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.lastEnd(), CaptureEnd::Stopped);
    EXPECT_EQ(b.analysis.captureCount(), 40);
    EXPECT_EQ(b.analysis.validCount(), 40);
    EXPECT_EQ(b.ui.LastStatus(2), kReadErrorText);
    EXPECT_DOUBLE_EQ(b.analysis.mean(), 100.0);
    EXPECT_DOUBLE_EQ(b.core.adc().results.mean, 100.0);
    EXPECT_DOUBLE_EQ(b.core.adc().results.rmsNoiseCounts, 10.0);
    EXPECT_EQ(b.core.adc().results.vppCounts, 20.0);
    // No spectrum for a stopped capture.
    EXPECT_EQ(b.core.adc().levels()[1], 0.0);
    EXPECT_FALSE(b.analysis.IsRunning());
    EXPECT_EQ(b.trace.Sent().back(), kStreamOff);
}

TEST(AdcCapture, AStopFromAnotherThreadIsHonoured) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(10, kScale24, false));
    b.chip.flagReadsPerResult = 1;
    b.chip.generator = [](int i) { return static_cast<uint64_t>(i); };
    // The chip is endless and the target (65536) far: only the stop can end the capture
    // early. Once 100 samples are in, the capture waits for the other thread's stop, so
    // the outcome does not depend on how the two threads are scheduled.
    std::atomic<bool> stopSent{false};
    std::thread gui([&] {
        while (b.analysis.monitor().Latest().count < 100) std::this_thread::yield();
        b.analysis.RequestStop();
        stopSent = true;
    });
    b.ui.onEvents = [&](int) {
        if (b.analysis.captureCount() < 100) return;
        while (!stopSent) std::this_thread::yield();
    };
    const bool complete = b.analysis.ReadADCALL(CaptureSource::ADCS);
    gui.join();
    EXPECT_FALSE(complete);
    EXPECT_EQ(b.analysis.lastEnd(), CaptureEnd::Stopped);
    EXPECT_EQ(b.analysis.captureCount(), 100);
}

TEST(AdcCapture, HeartbeatAndLiveDisplaysAreRestoredAfterEveryCapture) {
    for (auto [stream, failing] :
         {std::pair{false, false}, {false, true}, {true, false}, {true, true}}) {
        SCOPED_TRACE(::testing::Message() << "stream " << stream << " failing " << failing);
        CaptureBench b(CaptureSource::ADCS);
        b.Apply(b.Settings(k64Points, kScale24, stream));
        b.chip.recordsPerReply = 1;
        b.host.heartbeat = true;
        b.host.live = {true, true};
        b.chip.generator = [](int) { return uint64_t{7}; };
        bool heartbeatSeenOff = false, displaysSeenOff = false;
        b.ui.onEvents = [&](int pass) {
            heartbeatSeenOff = !b.host.heartbeat;
            displaysSeenOff = !b.host.live.adc1Display && !b.host.live.adc2Display;
            if (failing && pass == 20) b.board.faults().dropReplies = 1;
        };
        const bool complete = b.analysis.ReadADCALL(CaptureSource::ADCS);
        EXPECT_EQ(complete, !failing);
        EXPECT_EQ(b.analysis.lastEnd(), failing ? CaptureEnd::LinkLost : CaptureEnd::Complete);
        EXPECT_TRUE(heartbeatSeenOff);
        EXPECT_TRUE(displaysSeenOff);
        EXPECT_TRUE(b.host.heartbeat);
        EXPECT_TRUE(b.host.live.adc1Display);
        EXPECT_TRUE(b.host.live.adc2Display);
        EXPECT_FALSE(b.analysis.IsRunning());
    }
}

TEST(AdcCapture, ASilentChipEndsAtTheIdleTimeOut) {
    CaptureBench b(CaptureSource::ADCS);
    CaptureSettings s = b.Settings(k64Points, kScale24, true);
    s.idleTimeoutMs = 500;
    b.Apply(s);
    b.board.faults().replyDelayMs = 2;
    EXPECT_FALSE(b.analysis.ReadADCALL(CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.lastEnd(), CaptureEnd::TimedOut);
    EXPECT_GE(b.analysis.elapsedMs(), 500.0);
}

TEST(AdcCapture, ElapsedTimeGivesTheLineSpacing) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(k64Points, kScale24, true));
    b.chip.Queue(WithSettlingResults(Ramp(64)));
    // No time passes on the virtual clock: the spacing falls back to 1 Hz.
    ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.elapsedMs(), 0.0);
    EXPECT_EQ(b.analysis.lineSpacingHz(), 1.0);

    // Each exchange costs 1 ms: the stream switch-on and 14 reads of 5 records make 15 ms
    // (the switch-off comes after the capture's end).
    b.board.faults().replyDelayMs = 1;
    b.chip.Queue(WithSettlingResults(Ramp(64)));
    ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCS));
    EXPECT_EQ(b.analysis.elapsedMs(), 15.0);
    EXPECT_DOUBLE_EQ(b.analysis.lineSpacingHz(), 1000.0 / 15.0);
}

TEST(AdcCapture, SnapshotsShowTheSamplesSoFar) {
    CaptureBench b(CaptureSource::ADCS);
    b.Apply(b.Settings(k128Points, kScale24, true));
    b.chip.Queue(WithSettlingResults(Ramp(128)));
    std::vector<int> counts;
    b.ui.onEvents = [&](int) {
        const CaptureSnapshot snap = b.analysis.monitor().Latest();
        ASSERT_TRUE(snap.running);
        ASSERT_EQ(snap.target, 128);
        counts.push_back(snap.count);
        for (int i = 0; i < snap.count; ++i) {
            ASSERT_EQ((*snap.samples)[static_cast<size_t>(i)],
                      static_cast<double>(Ramp(128)[static_cast<size_t>(i)]));
        }
    };
    const uint64_t before = b.analysis.monitor().Latest().generation;
    ASSERT_TRUE(b.analysis.ReadADCALL(CaptureSource::ADCS));
    EXPECT_EQ(counts.front(), 0);  // the first reply holds settling results only
    EXPECT_EQ(counts.back(), 128);
    EXPECT_TRUE(std::is_sorted(counts.begin(), counts.end()));
    const CaptureSnapshot done = b.analysis.monitor().Latest();
    EXPECT_FALSE(done.running);
    EXPECT_EQ(done.generation, before + 1);
}

}  // namespace
}  // namespace dmm
