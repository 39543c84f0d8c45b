#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <string>

#include "core/instruments/instrument_threads.h"
#include "core/instruments/instruments.h"

namespace dmm {

// Where a watched instrument's link stands.
enum class InstrumentLink { Unused, Connected, Lost };

// A change of a watched instrument's link, as the setup dialog and the step tables show it.
struct InstrumentLinkView {
    InstrumentId id = InstrumentId::Calibrator;
    InstrumentLink link = InstrumentLink::Unused;
    bool back = false;  // connected again after its port was lost
    std::string port;   // where it is now, or the port that went away
};

// The view in words: "lost: /dev/ttyUSB0 went away", "back on /dev/ttyUSB1",
// "identified on /dev/ttyUSB0"; "" for an instrument not in use.
QString InstrumentLinkText(const InstrumentLinkView& view);

// Keeps an eye on the calibrator, the power supply and the chamber while nothing else
// talks to them (the meters are watched by the meter window's reading): once a second
// each idle instrument's port is polled on the instrument's own thread, a port that went
// away is looked for under its stable name and, once it is back, reopened and identified
// again. Each change reaches LinkChanged. A procedure that was using the instrument sees
// the loss in its Losses() count, whoever brought the port back.
class InstrumentWatch : public QObject {
    Q_OBJECT
  public:
    explicit InstrumentWatch(InstrumentThreads& threads, QObject* parent = nullptr);

    static constexpr int kPeriodMs = 1000;
    static constexpr std::array<InstrumentId, 3> kWatched{
        InstrumentId::Calibrator, InstrumentId::PowerSupply, InstrumentId::Chamber};

    // Bench thread.
    void Start();
    void Stop();
    // One look at every watched instrument that has no work queued.
    void Check();

  signals:
    void LinkChanged(const dmm::InstrumentLinkView& view);

  private:
    InstrumentThreads& threads_;
    QTimer timer_;
    std::array<InstrumentLink, kWatched.size()> shown_{};
    std::array<bool, kWatched.size()> inFlight_{};
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::InstrumentLinkView)
