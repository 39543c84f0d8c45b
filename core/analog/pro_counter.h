#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/analog/counter_arithmetic.h"
#include "core/app/ui_hooks.h"
#include "core/chip/reg_field.h"
#include "core/link/chip_access.h"
#include "core/link/clock.h"
#include "core/link/processor_centre.h"

namespace dmm {

// The entries of the counter window as the user typed them.
struct CounterEntries {
    QString cta1 = QStringLiteral("00");  // WCTA1, CTA<15:8>
    QString cta2 = QStringLiteral("C0");  // WCTA2, CTA<23:16>
    QString systemClock = QStringLiteral("4915205");
    QString q = QStringLiteral("4052");
};

// The program counter as a frequency, duty-cycle and capacitance meter: CTA is the gate
// counter reloaded from two bytes, CTB counts input periods during the gate and CTC the
// system clocks the input is high. Every 100 ms (Timer1) a fresh counter report from the
// heartbeat becomes a reading and the counter is restarted; after six seconds without a
// report it is reloaded. The five capacitance ranges write their register blocks.
//
// Lives on the bench thread: its waits (a second after the first report) hold only the
// bench, and its readings reach the window through signals.
class ProCounter : public QObject {
    Q_OBJECT
  public:
    ProCounter(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
               QObject* parent = nullptr);

    static constexpr int kTickMs = 100;
    static constexpr int64_t kSilenceMs = 6000;
    static constexpr int64_t kSettleMs = 1000;

    // Field positions of the loaded chip description.
    std::function<const TRegField*(std::string_view)> FieldLookup;

    void SetEntries(const CounterEntries& entries) { entries_ = entries; }
    const CounterEntries& entries() const { return entries_; }

    // ENCTR: disables the counter, writes the reload bytes and enables it again. Refused
    // ("Please Stop INTF") while the INTF reading runs.
    bool ENCTRClick();
    // BBG: starts the measurement (arming the counter and switching the INTF reading on)
    // or stops the measurement tick. False when a start could not arm the counter (a
    // reload byte refused, a field the chip does not bind, a write that failed).
    bool BBGClick();
    bool Running() const { return Timer1.isActive(); }
    // CNS: toggles the counter input between CNTI and CP_OUT.
    bool CNSClick();
    // A capacitance range (index into CapacitanceRanges()): its register block, its Q,
    // then "Read RAM". False when the block could not be written.
    bool RangeClick(int index);
    // The window was closed: the tick stops, the running state stays as it was shown.
    void StopTimer() { Timer1.stop(); }
    // The caller runs the ticks (Timer1Timer) itself, without an event loop: a start
    // leaves the timer alone.
    void TickByHand() { byHand_ = true; }
    // Only a shown window reads the counter registers on every refresh.
    void SetShown(bool shown);

    // One measurement step (Timer1).
    void Timer1Timer();
    // The nine counter registers into the register image.
    bool ReadCounters();

    double ReloadOffsetNow() const { return offset_; }
    bool Settled() const { return settled_; }

  signals:
    void RunningChanged(bool running);
    void ReadingShown(const dmm::CounterReading& reading);
    // The activity pictures: true shows CUP0 and CUP1, false CDown0 and CDown1.
    void ActivityShown(bool up);
    void RangeChosen(int index, const QString& q);

  private:
    const TRegField* Field(std::string_view name) const;
    bool WriteEnable(int value);
    bool WriteReload();
    // Restart after a report (or a reload after silence): disable, reload, enable.
    bool Restart(int disableValue);
    void Settle();
    // An entry's refusal in status panel 1, once for each text; empty: all entries read.
    void Complain(const QString& complaint);

    ChipAccess& chip_;
    TVz_UP& up_;
    UiHooks& hooks_;
    Clock& clock_;
    QTimer Timer1;
    CounterEntries entries_;
    double offset_ = kCounterSpan;
    bool settled_ = false;
    bool reportPending_ = false;
    bool shown_ = false;
    bool byHand_ = false;
    bool activityUp_ = true;
    int64_t lastDataMs_ = 0;
    QString lastEntryComplaint_;
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::CounterReading)
