#include "core/instruments/instrument_watch.h"

#include "core/instruments/serial_line.h"

namespace dmm {

QString InstrumentLinkText(const InstrumentLinkView& view) {
    const QString port = QString::fromStdString(view.port);
    switch (view.link) {
        case InstrumentLink::Lost:
            return QStringLiteral("lost: %1 went away").arg(port);
        case InstrumentLink::Connected:
            return (view.back ? QStringLiteral("back on %1") : QStringLiteral("identified on %1"))
                .arg(port);
        case InstrumentLink::Unused:
            break;
    }
    return {};
}

InstrumentWatch::InstrumentWatch(InstrumentThreads& threads, QObject* parent)
    : QObject(parent), threads_(threads), timer_(this) {
    qRegisterMetaType<InstrumentLinkView>();
    timer_.setInterval(kPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &InstrumentWatch::Check);
}

void InstrumentWatch::Start() { timer_.start(); }

void InstrumentWatch::Stop() { timer_.stop(); }

void InstrumentWatch::Check() {
    for (size_t k = 0; k < kWatched.size(); ++k) {
        const InstrumentId id = kWatched[k];
        // Work queued for the instrument uses its port and notices a loss itself.
        if (inFlight_[k] || threads_.Pending(id) > 0) continue;
        inFlight_[k] = true;
        threads_.Call(
            id,
            [id](Instruments& instruments) {
                SerialInstrument& instrument = instruments.Of(id);
                InstrumentLinkView view;
                view.id = id;
                // A poll finds a port whose device went away; nothing is read or sent.
                if (instrument.connected()) PollPort(instrument.record());
                if (instrument.PortLost()) instrument.Reconnect();
                if (instrument.PortLost()) {
                    view.link = InstrumentLink::Lost;
                    view.port = instrument.LostPort();
                } else if (instrument.connected()) {
                    view.link = InstrumentLink::Connected;
                    view.port = instrument.record().portName;
                }
                return view;
            },
            this,
            [this, k](InstrumentLinkView view) {
                inFlight_[k] = false;
                if (view.link == shown_[k]) return;
                view.back = shown_[k] == InstrumentLink::Lost && view.link == InstrumentLink::Connected;
                shown_[k] = view.link;
                emit LinkChanged(view);
            });
    }
}

}  // namespace dmm
