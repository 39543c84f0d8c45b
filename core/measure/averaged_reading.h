#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/link/chip_access.h"
#include "core/link/clock.h"
#include "core/link/processor_centre.h"
#include "core/measure/divider_blocks.h"

namespace dmm {

// The mean of the samples without the largest and the smallest, rounded to the nearest
// integer (ties to even). With sorted false the samples keep their order and the first
// and last are the ones left out. Fewer than three samples give 0.
double MeanWithoutExtremes(std::span<const double> samples, bool sorted = true);

// A running mean over the latest value and the three before it, as the live displays
// keep it.
class FourSampleMean {
  public:
    double Next(double latest);
    void Clear() { history_ = {}; }
    // Whether a sample of the last mean lay at an end of the converter's scale.
    bool LastMeanClipped() const { return lastClipped_; }

  private:
    std::array<double, 3> history_{};
    bool lastClipped_ = false;
};

// Where an averaged reading gets its ADC1 results: the heartbeat, run by hand.
struct ReadingSource {
    TVz_UP& up;
    UiHooks& hooks;
    Clock& clock;
    LiveConsumer consumer;
    // Asked once per pass; true ends the reading as a failure (the program is closing).
    std::function<bool()> stopRequested;
};

// Four fresh ADC1 results discarded, five kept, the middle three averaged and rounded.
// The heartbeat's timer is off meanwhile (its tick runs here) and back on afterwards if
// it ran; the INTF and ADC1 reading switches are left on. No result for 20 s fails, and so
// does a board link lost meanwhile (at once).
inline constexpr int kDiscardedReadings = 4;
inline constexpr int kKeptReadings = 5;
inline constexpr int64_t kReadingGapMs = 20000;
std::optional<double> TakeAveragedReading(const ReadingSource& source);

// A live display averages the latest value with the three before it: its first three
// values after a change still carry what came before.
inline constexpr int kWarmUpReadings = 3;

// A live display's readings as its timer would show them, the heartbeat and the display's
// tick (next: a fresh value, or none) run by hand once per heartbeat period, queued events
// handled every pass. The first warmUp values (still averaged with what came before them)
// are left out. Fewer than wanted when 20 s pass without a value or the source is asked to
// stop.
std::vector<double> TakeLiveReadings(const ReadingSource& source, int wanted, int warmUp,
                                     const std::function<std::optional<double>()>& next);

// Writes a divider block to chip addresses 30..50 in one transfer and, when it went
// through, runs "Read RAM". False when the block was not written.
bool WriteDividerBlock(ChipAccess& chip, const DividerBlock& block);

}  // namespace dmm
