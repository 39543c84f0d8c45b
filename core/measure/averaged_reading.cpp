#include "core/measure/averaged_reading.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace dmm {

double MeanWithoutExtremes(std::span<const double> samples, bool sorted) {
    if (samples.size() < 3) return 0.0;
    std::vector<double> v(samples.begin(), samples.end());
    if (sorted) std::sort(v.begin(), v.end(), std::greater<>());
    double sum = 0.0;
    for (size_t i = 1; i + 1 < v.size(); ++i) sum += v[i];
    // nearbyint rounds half-way cases to even in the default rounding mode.
    return std::nearbyint(sum / static_cast<double>(v.size() - 2));
}

double FourSampleMean::Next(double latest) {
    const double mean = (latest + history_[0] + history_[1] + history_[2]) / 4.0;
    lastClipped_ = AtConverterLimit(latest) || AtConverterLimit(history_[0]) ||
                   AtConverterLimit(history_[1]) || AtConverterLimit(history_[2]);
    history_[2] = history_[1];
    history_[1] = history_[0];
    history_[0] = latest;
    return mean;
}

std::optional<double> TakeAveragedReading(const ReadingSource& source) {
    TVz_UP& up = source.up;
    const bool heartbeatRan = up.HeartbeatRunning();
    up.StopHeartbeat();
    up.SetIntfReading(true);
    up.Adc1DisplayOn = true;

    std::array<double, kKeptReadings> kept{};
    int discarded = 0;
    int stored = 0;
    bool ok = true;
    int64_t lastReadingMs = source.clock.NowMs();
    const uint32_t losses = up.LinkLosses();
    while (stored < kKeptReadings) {
        up.Timer1Timer();
        source.hooks.ProcessPendingEvents();
        // A board that dropped out fails the reading at once: results from either side of
        // the gap (a chip that came back reset, perhaps) make no average.
        if (up.LinkLosses() != losses) {
            source.hooks.SetStatusText(2, QStringLiteral("the board link was lost"));
            ok = false;
            break;
        }
        if (up.TakeNewAdc1(source.consumer)) {
            lastReadingMs = source.clock.NowMs();
            if (discarded < kDiscardedReadings)
                ++discarded;
            else
                kept[static_cast<size_t>(stored++)] = up.LatestAdc1;
            continue;
        }
        if (source.clock.NowMs() - lastReadingMs > kReadingGapMs ||
            (source.stopRequested && source.stopRequested())) {
            ok = false;
            break;
        }
        // One heartbeat period between polls, as the timer would have run them.
        source.clock.SleepMs(TVz_UP::kHeartbeatMs);
    }
    if (heartbeatRan) up.StartHeartbeat();
    if (!ok) return std::nullopt;
    return MeanWithoutExtremes(kept);
}

std::vector<double> TakeLiveReadings(const ReadingSource& source, int wanted, int warmUp,
                                     const std::function<std::optional<double>()>& next) {
    std::vector<double> readings;
    int skipped = 0;
    int64_t lastReadingMs = source.clock.NowMs();
    while (static_cast<int>(readings.size()) < wanted) {
        source.up.Timer1Timer();
        source.hooks.ProcessPendingEvents();
        if (const std::optional<double> value = next()) {
            lastReadingMs = source.clock.NowMs();
            if (skipped < warmUp)
                ++skipped;
            else
                readings.push_back(*value);
            continue;
        }
        if (source.clock.NowMs() - lastReadingMs > kReadingGapMs ||
            (source.stopRequested && source.stopRequested()))
            break;
        source.clock.SleepMs(TVz_UP::kHeartbeatMs);
    }
    return readings;
}

bool WriteDividerBlock(ChipAccess& chip, const DividerBlock& block) {
    const size_t data = WriteDataOffset(chip.target().interfaceKind);
    std::copy(block.begin(), block.end(), chip.buffer().begin() + static_cast<ptrdiff_t>(data));
    if (!chip.WriteChip(kDividerBlockAddress, kDividerBlockSize)) return false;
    ReadRamIntoImage(chip);
    return true;
}

}  // namespace dmm
