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

namespace dmm {
namespace {

using test::Bytes;

std::unique_ptr<sim::SwitchTestFirmware> MakeFirmware() {
    std::string error;
    auto chip = sim::SwitchTestFirmware::FromDescriptionFile(
        FindFileCaseInsensitive(IncludeDirectory(ShippedDataDirectory()),
                                sim::kSwitchTestDescription),
        &error);
    EXPECT_TRUE(chip) << error;
    return chip;
}

// The values of AD1IS (0x37) that route input AINk to ADC1's positive input, against AGND.
uint8_t InputSelect(int pin) {
    return static_cast<uint8_t>(pin);
}

// A bench whose board carries the RX405 with its firmware, on the Special interface kind.
struct SwitchBench {
    SwitchBench() : SwitchBench(MakeFirmware()) {}
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
}

}  // namespace
}  // namespace dmm
