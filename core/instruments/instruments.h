#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/instruments/calibrator.h"
#include "core/instruments/chamber.h"
#include "core/instruments/meter.h"
#include "core/instruments/power_supply.h"

namespace dmm {

inline constexpr int kMeterChannelCount = 6;

// The instruments' order in tables and thread lists.
enum class InstrumentId : int { Calibrator = 0, PowerSupply = 1, Chamber = 2, FirstMeter = 3 };
inline constexpr int kInstrumentCount = 3 + kMeterChannelCount;
inline InstrumentId MeterId(int channel) {
    return static_cast<InstrumentId>(static_cast<int>(InstrumentId::FirstMeter) + channel);
}

// The bench instruments: the calibrator, the power supply, the chamber and six meter
// channels, each with its own port record. Each instrument is used by one thread at a
// time (see InstrumentThreads).
class Instruments {
  public:
    Instruments(SerialChannel& channel, Clock& clock, UiHooks& hooks);

    Calibrator& calibrator() { return calibrator_; }
    PowerSupply& power() { return power_; }
    Chamber& chamber() { return chamber_; }
    Meter& meter(int channel) { return *meters_[static_cast<size_t>(channel)]; }
    SerialInstrument& Of(InstrumentId id);
    SerialChannel& channel() { return channel_; }

    // When the program closes: a connected calibrator goes to standby and a connected
    // power supply switches its output off, so that nothing is left live on the bench.
    // Neither waits for a reply.
    void LeaveBenchSafe();

    // The connected instruments with their role ("calibrator", "meter 1", ...), as their
    // threads last noted them. Any thread.
    struct Connected {
        std::string role;
        InstrumentSummary summary;
    };
    std::vector<Connected> ConnectedSummaries();

  private:
    SerialChannel& channel_;
    Calibrator calibrator_;
    PowerSupply power_;
    Chamber chamber_;
    std::array<std::unique_ptr<Meter>, kMeterChannelCount> meters_;
};

}  // namespace dmm
