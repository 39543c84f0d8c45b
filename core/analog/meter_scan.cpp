#include "core/analog/meter_scan.h"

#include <algorithm>

namespace dmm {

MeterScan::MeterScan(InstrumentThreads& threads, QObject* parent)
    : QObject(parent), threads_(threads), Timer1(this) {
    qRegisterMetaType<MeterRowView>();
    qRegisterMetaType<MeterChannelStates>();
    qRegisterMetaType<MeterSelectResult>();
    Timer1.setInterval(kTickMs);
    connect(&Timer1, &QTimer::timeout, this, &MeterScan::Timer1Timer);
}

bool MeterScan::Due(int scanPeriodIndex, int tick) {
    static constexpr int kEvery[kScanPeriodCount] = {1, 2, 5, 10, 20, 50};
    if (scanPeriodIndex < 0 || scanPeriodIndex >= kScanPeriodCount) return false;
    return tick % kEvery[scanPeriodIndex] == 0;
}

void MeterScan::SetScanPeriod(int channel, int index) {
    if (!Valid(channel)) return;
    states_[static_cast<size_t>(channel)].scanPeriodIndex =
        std::clamp(index, 0, kScanPeriodCount - 1);
}

void MeterScan::SetStore(int channel, bool store) {
    if (Valid(channel)) states_[static_cast<size_t>(channel)].store = store;
}

void MeterScan::Select(int channel, int comIndex) {
    if (!Valid(channel)) return;
    struct Outcome {
        MeterSelectResult result;
        std::optional<BryMenReading> reading;
    };
    threads_.Call(
        MeterId(channel),
        [channel, comIndex](Instruments& i) {
            Meter& meter = i.meter(channel);
            Outcome outcome;
            outcome.result.channel = channel;
            outcome.result.comIndex = comIndex;
            outcome.result.opened = meter.Select(comIndex, &outcome.reading);
            outcome.result.answered = outcome.reading.has_value();
            if (meter.connected()) outcome.result.inUseOn = meter.record().portName;
            return outcome;
        },
        this,
        [this, channel](const Outcome& outcome) {
            const size_t at = static_cast<size_t>(channel);
            states_[at].inUse = !outcome.result.inUseOn.empty();
            emit ChannelsChanged(states_);
            if (outcome.result.opened) {
                // A reading from before belongs to the port the channel was on then.
                latest_[at] = outcome.reading;
                MeterRowView view;
                view.channel = channel;
                view.fresh = view.hasReading = outcome.reading.has_value();
                if (outcome.reading) {
                    view.display = DisplayOf(*outcome.reading);
                    view.value = outcome.reading->value;
                }
                emit RowRead(view);
            }
            emit Selected(outcome.result);
        });
}

bool MeterScan::Toggle() {
    if (Timer1.isActive())
        Stop();
    else {
        Timer1.start();
        emit ReadingChanged(true);
    }
    return Timer1.isActive();
}

void MeterScan::Stop() {
    if (!Timer1.isActive()) return;
    Timer1.stop();
    emit ReadingChanged(false);
}

void MeterScan::Timer1Timer() {
    ++tick_;
    for (int k = 0; k < kMeterChannelCount; ++k) {
        const size_t at = static_cast<size_t>(k);
        if (!states_[at].inUse || inFlight_[at] || !Due(states_[at].scanPeriodIndex, tick_))
            continue;
        inFlight_[at] = true;
        struct Read {
            std::optional<BryMenReading> reading;
            bool lost = false;
        };
        threads_.Call(
            MeterId(k),
            [k](Instruments& i) {
                // A meter whose port went away is looked for instead of read, until it is back.
                Meter& meter = i.meter(k);
                Read r;
                if (meter.PortLost() && !meter.Reconnect()) {
                    r.lost = true;
                    return r;
                }
                r.reading = meter.GetBryMenData();
                r.lost = meter.PortLost();
                return r;
            },
            this,
            [this, k, at](const Read& read) {
                inFlight_[at] = false;
                const std::optional<BryMenReading>& reading = read.reading;
                MeterRowView view;
                view.channel = k;
                view.lost = read.lost;
                view.fresh = reading.has_value();
                if (reading) latest_[at] = reading;
                view.hasReading = latest_[at].has_value();
                if (reading) {
                    view.display = DisplayOf(*reading);
                    view.value = reading->value;
                }
                emit RowRead(view);
            });
    }
}

}  // namespace dmm
