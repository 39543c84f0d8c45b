#pragma once

#include <QObject>
#include <QTimer>

#include <array>
#include <optional>
#include <string>

#include "core/instruments/instrument_threads.h"
#include "core/instruments/meter_frames.h"

namespace dmm {

// The meter channel settings the meter window's rows stand for.
struct MeterChannelState {
    bool inUse = false;       // the channel's port is selected
    int scanPeriodIndex = 0;  // "100ms", "200ms", "500ms", "1s", "2s", "5s"
    bool store = false;       // values marked for continuous storing
};
using MeterChannelStates = std::array<MeterChannelState, kMeterChannelCount>;

// What one meter read gave a row: the reading shown as the window shows it, or, after a
// read that got no reply, fresh = false: the row keeps showing its last reading as old,
// or, when the meter has not answered since its port was selected (hasReading false),
// shows no reading at all.
struct MeterRowView {
    int channel = 0;
    bool fresh = false;
    bool hasReading = false;
    bool lost = false;  // the meter's port went away; it is watched for at every scan
    BryMenDisplay display;
    double value = 0;
};

// How a meter section's Select ended: whether the channel is in use (and on which port)
// and whether a meter answered on the port chosen.
struct MeterSelectResult {
    int channel = 0;
    int comIndex = 0;     // the port chosen
    bool opened = false;  // the chosen port is open; the channel is in use there
    bool answered = false;
    std::string inUseOn;  // the port the channel is in use on ("COM5"), "" when none
};

// The meter window's reading side, on the bench thread: its 100 ms tick, the scan
// schedule and the meter channel settings. Each due meter is read on its own instrument
// thread (a silent meter delays nobody); a meter whose last read has not come back yet
// is not asked again until it does.
class MeterScan : public QObject {
    Q_OBJECT
  public:
    explicit MeterScan(InstrumentThreads& threads, QObject* parent = nullptr);

    static constexpr int kTickMs = 100;
    static constexpr int kScanPeriodCount = 6;
    // True when a scan period (by selector index) is due on tick n.
    static bool Due(int scanPeriodIndex, int tick);

    // Bench-thread calls.
    const MeterChannelStates& CkSel() const { return states_; }
    void SetScanPeriod(int channel, int index);
    void SetStore(int channel, bool store);
    // Opens a channel's port (on the meter's thread), marks it in use once it is open and
    // shows the meter's first answer in its row (no reading when it gave none).
    void Select(int channel, int comIndex);
    // RDandStop: starts or stops the tick; returns whether it now reads.
    bool Toggle();
    void Stop();
    bool Reading() const { return Timer1.isActive(); }
    int tick() const { return tick_; }
    // The last reading of a channel that answered, for the measurement procedures.
    const std::optional<BryMenReading>& Latest(int channel) const {
        return latest_[static_cast<size_t>(channel)];
    }

    void Timer1Timer();

  signals:
    void RowRead(const dmm::MeterRowView& view);
    void ChannelsChanged(const dmm::MeterChannelStates& states);
    void Selected(const dmm::MeterSelectResult& result);
    void ReadingChanged(bool reading);

  private:
    static bool Valid(int channel) { return channel >= 0 && channel < kMeterChannelCount; }

    InstrumentThreads& threads_;
    QTimer Timer1;
    int tick_ = 0;
    MeterChannelStates states_{};
    std::array<bool, kMeterChannelCount> inFlight_{};
    std::array<std::optional<BryMenReading>, kMeterChannelCount> latest_{};
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::MeterRowView)
Q_DECLARE_METATYPE(dmm::MeterChannelStates)
Q_DECLARE_METATYPE(dmm::MeterSelectResult)
