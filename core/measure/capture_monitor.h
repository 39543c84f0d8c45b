#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/measure/capture_source.h"

namespace dmm {

// What a chart needs to draw a capture so far.
struct CaptureSnapshot {
    uint64_t generation = 0;  // counts captures; changes when a new one starts
    bool running = false;
    CaptureSource source = CaptureSource::ADCS;
    int count = 0;  // samples stored so far; entries [0, count) of samples are final
    int target = 0;
    int32_t divisor = 1;    // the analysis scale divisor of this capture
    int64_t elapsedMs = 0;  // capture time up to the latest published sample
    // The stored values (unscaled; roots for RMS) of this capture. Entries below count
    // never change, so a reader may use them without a lock while the capture goes on.
    std::shared_ptr<const std::vector<double>> samples;
};

// Hands the progress of a capture from the bench thread to whoever draws it. The
// capture publishes after every pass; a chart polls Latest() at its own rate, so
// drawing never slows a capture. Latest() may be called from any thread; the other
// calls come from the capturing thread.
class CaptureMonitor {
  public:
    CaptureSnapshot Latest() const;

    // Starts a new capture and returns the array its samples are written into (sized
    // target). A sample must be written before the Publish that counts it.
    std::shared_ptr<std::vector<double>> Begin(CaptureSource source, int target, int32_t divisor);
    void Publish(int count, int64_t elapsedMs);
    void Finish(int count, int64_t elapsedMs);

  private:
    mutable std::mutex mutex_;
    CaptureSnapshot snapshot_;
};

}  // namespace dmm
