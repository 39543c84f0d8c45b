#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
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

// The calibration set manager (the bench side of "SETDMM"): up to ten sets in one folder,
// each applied to the chip by a click on its slot, two-point calibration of the ADC1 or
// RMS path from the running conversions, and the live reading in engineering units.
// Bench thread; the window gets its slots, controls and display through the signals.
class CalSetManager : public QObject {
    Q_OBJECT
  public:
    CalSetManager(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                  const TChipModel& model, QObject* parent = nullptr);

    static constexpr int kTickMs = 100;
    static constexpr int64_t kSampleGapMs = 20000;

    // DFoldersChange: the folder's sets are read (without writing the chip).
    void DFoldersChange(const QString& folder);
    // Panel1Click on slot 0..9: a set is selected and applied, a "NO FILE" slot clears
    // the selection.
    void Panel1Click(int slot);
    // Applies the set of a slot: the image, the chip (0x00..0x3E in one transfer), the
    // panels, then 0 to 0x1F. False when the file is missing or the chip did not answer.
    bool ApplySet(int slot, bool writeChip = true);
    // "Cal. Offset" (gain false) and "Cal. Gain" (gain true).
    bool Measure(bool gain, const CalSetControls& controls);
    // "Save Register" (Button1).
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
    const std::array<QString, kConfigSetSlots>& captions() const { return captions_; }
    const ConfigSet& loaded() const { return loaded_; }
    const LiveFigures& figures() const { return figures_; }
    QString SlotPath(int slot) const;
    // The two means of the last measurement (ADC1, RMS).
    std::array<double, 2> lastMeans{};
    QString lastDisplay;

  signals:
    // The window's own status bar (the folder, the file applied).
    void StatusShown(const QString& text);
    void SlotsShown(const QStringList& captions, int selected);
    // The controls as the set read last gives them (and the two offsets).
    void ControlsLoaded(const dmm::CalSetControls& controls, double adc1Offset, double rmsOffset);
    void AverageTimesShown(const QString& text);
    void DisplayShown(const QString& text, int decimals);

  private:
    std::optional<ConfigSet> ReadSlot(int slot) const;
    void Loaded(const ConfigSet& set);
    void ShowSlots();
    // The set file of a slot, through a temporary file; false (with a message) on failure.
    bool WriteSlot(int slot, const ConfigSet& set);
    ConfigSet FromControls(const CalSetControls& controls, const ConfigSet& figures, int n) const;
    std::array<RegisterPair, kConfigSetRegisterLines> CurrentRegisters() const;
    int EntryCount() const;

    ChipAccess& chip_;
    TVz_UP& up_;
    UiHooks& hooks_;
    Clock& clock_;
    const TChipModel& model_;
    QTimer Timer1;
    QString folder_;
    std::array<QString, kConfigSetSlots> captions_;
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
