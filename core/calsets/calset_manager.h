#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/calsets/calset_display.h"
#include "core/calsets/config_set_file.h"
#include "core/chip/chip_model.h"
#include "core/link/chip_access.h"
#include "core/link/clock.h"
#include "core/link/processor_centre.h"
#include "core/measure/averaged_reading.h"

namespace dmm {

// The entries of the calibration-set window as the user left them.
struct CalSetControls {
    QString reference = QStringLiteral("40000");  // ECALI
    QString unit = QStringLiteral("mV");          // ECALUNIT
    int adcChoice = 0;                            // TXFORADC: 0 ADC1, 1 RMS
    QString averageTimes = QStringLiteral("5");   // EAVT
    QString name = QStringLiteral("~KV");         // ESNAME
    QString scale = QStringLiteral("66000");      // ESCALE1
    bool cancelOffset = false;                    // Canceloffset
};

// The entries as a set gives them.
CalSetControls ControlsOf(const ConfigSet& set);

inline constexpr char kNoFile[] = "NO FILE";
inline constexpr char kUnreadableSet[] = "UNREADABLE";

// What a slot's file is: none, a set, or a file named like a set that is not one.
enum class SlotState { Empty, Set, Unreadable };

// The calibration set manager (the bench side of "SETDMM"): up to ten sets in one folder,
// applied to the chip, two-point calibration of the ADC1 or RMS path from the running
// conversions, and the live reading in engineering units. The plain operations below are
// what the window's handlers and dmmctl both call; no operation applies a set unless it
// says so. Bench thread; the window gets its slots, controls and display through the
// signals.
class CalSetManager : public QObject {
    Q_OBJECT
  public:
    CalSetManager(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                  const TChipModel& model, QObject* parent = nullptr);

    static constexpr int kTickMs = 100;
    static constexpr int64_t kSampleGapMs = 20000;

    // Reads which slots of the folder hold sets (the chip is not written). The selected
    // slot stays selected, its entries read again, while the same folder still holds it
    // as a set; otherwise the selection clears and the entries are a new set's.
    void ScanFolder(const QString& folder);
    // Selects the set of a slot and shows its entries (the chip is not written). An empty
    // slot (or -1) clears the selection and keeps the entries, as the start of a new set;
    // an unreadable one is refused with a message and changes nothing. True when a set is
    // selected.
    bool Select(int slot);
    // Writes the set of a slot into the image and the chip (0x00..0x3E in one transfer),
    // refreshes the panels, then writes 0 to 0x1F. False when the slot holds no set (an
    // unreadable file is named in a message) or the chip did not take it.
    bool ApplySlot(int slot);
    // The first slot with no file, or -1 when all ten hold one.
    int FirstFreeSlot() const;
    // Stores the image's calibration registers into a slot: a set there keeps its other
    // lines (after "Write To <name>" is answered Yes); an empty slot gets newSet's. Needs a
    // connected board; refuses an unreadable file. The slot is then selected.
    bool StoreRegisters(int slot, const ConfigSet& newSet);
    // "Cal. Offset" (gain false) or "Cal. Gain" (gain true) for the set of a slot: the
    // chosen path's mean of n samples goes into the set with the entries of controls, and
    // the slot is selected. A measurement short of samples saves nothing.
    bool MeasureInto(int slot, bool gain, const CalSetControls& controls);

    // The window's handlers. Panel1Click: a set is selected and applied, a "NO FILE" slot
    // clears the selection. Measure (BReCall, BSave): on the selected slot. SaveRegister
    // (Button1): into the selected slot, or into the first free one.
    void Panel1Click(int slot);
    bool Measure(bool gain, const CalSetControls& controls);
    bool SaveRegister(const CalSetControls& controls);

    // The path the live display follows (TXFORADCChange).
    void SetAdcChoice(int choice) { adcChoice_ = choice == 1 ? 1 : 0; }
    // The live display (Timer1).
    void Timer1Timer();
    void StartTimer() { Timer1.start(); }
    void StopTimer() { Timer1.stop(); }

    QString folder() const { return folder_; }
    int selectedSlot() const { return selected_; }
    int setCount() const { return setCount_; }
    SlotState slotState(int slot) const;
    const std::array<QString, kConfigSetSlots>& captions() const { return captions_; }
    // Why a slot's file is not a set (empty for the others).
    QString SlotFault(int slot) const;
    const ConfigSet& loaded() const { return loaded_; }
    const LiveFigures& figures() const { return figures_; }
    QString SlotPath(int slot) const;
    // The two means of the last measurement that was saved (ADC1, RMS).
    std::array<double, 2> lastMeans{};
    QString lastDisplay;

  signals:
    // The window's own status bar (the folder, the file applied, a measurement not saved).
    void StatusShown(const QString& text);
    void SlotsShown(const QStringList& captions, int selected);
    // The controls as the set read last gives them (and the two offsets).
    void ControlsLoaded(const dmm::CalSetControls& controls, double adc1Offset, double rmsOffset);
    void AverageTimesShown(const QString& text);
    void DisplayShown(const QString& text, int decimals);

  private:
    struct SlotRead {
        SlotState state = SlotState::Empty;
        ConfigSet set;
        int registerLines = 0;
        QString fault;
    };
    SlotRead ReadSlot(int slot) const;
    // The slot's set, or nothing with the message that names the file.
    std::optional<SlotRead> ReadSet(int slot);
    // Keeps what a read found in the slot's caption and state.
    void Note(int slot, const SlotRead& read);
    // Selects a slot just written (its caption from the file).
    bool SelectWritten(int slot);
    void Loaded(const ConfigSet& set);
    void ShowSlots();
    void RefuseUnreadable(int slot, const QString& fault);
    // The set file of a slot, through a temporary file; false (with a message) on failure.
    bool WriteSlot(int slot, const ConfigSet& set);
    ConfigSet FromControls(const CalSetControls& controls, const ConfigSet& figures, int n) const;
    std::array<RegisterPair, kConfigSetRegisterLines> CurrentRegisters() const;
    int EntryCount() const;
    // n samples of a path (0 ADC1, 1 RMS) from the running conversions; fewer when 20 s
    // pass without one.
    std::vector<double> TakeSamples(int path, int n);

    ChipAccess& chip_;
    TVz_UP& up_;
    UiHooks& hooks_;
    Clock& clock_;
    const TChipModel& model_;
    QTimer Timer1;
    QString folder_;
    std::array<QString, kConfigSetSlots> captions_;
    std::array<SlotState, kConfigSetSlots> states_{};
    std::array<QString, kConfigSetSlots> faults_;
    int selected_ = -1;
    int setCount_ = 0;
    int adcChoice_ = 0;
    ConfigSet loaded_;
    LiveFigures figures_;
    FourSampleMean adc1Mean_;
    FourSampleMean rmsMean_;
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::CalSetControls)
