#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

#include "core/app/ui_hooks.h"
#include "core/chip/reg_field.h"
#include "core/link/chip_access.h"

namespace dmm {

// Bits of the accumulated interrupt flags.
inline constexpr uint8_t kFlagAdc2Fast = 1u << 1;
inline constexpr uint8_t kFlagAdc1 = 1u << 2;
inline constexpr uint8_t kFlagLowPass = 1u << 3;
inline constexpr uint8_t kFlagRms = 1u << 4;

// Said once when no board answers: what the program looks for and how to get going.
inline constexpr char kNoBoardHint[] =
    "No evaluation board answered. The program looks for the bulk board (USB 0547:1004) and "
    "the HID board (USB 04D8:2008, release 0727); a normal user needs the udev rule "
    "udev/60-dmmbench.rules (see the README, \"Using a real board\"). Without a board, start "
    "the program with --sim for the simulated bench.";
// Said when a live display is switched on while nothing reads the chip's flags.
inline constexpr char kIntfOffHint[] =
    "Live readings come while INTF reads the chip: click \"INTF\" in the menu bar";

// A 24-bit result at an end of the converter's scale: the input lies at or beyond it, and
// the result says only that.
inline bool AtConverterLimit(double count) {
    return count >= 8388607.0 || count <= -8388608.0;
}

// Said (status panel 1) when a board that came back holds a chip whose registers lost
// what was written (it lost its power): %1 registers, %2 whether they were written again.
inline constexpr char kChipResetText[] =
    "The chip was reset while the board was away: %1 registers differed from what was "
    "written, %2";

// Readers of the latest ADC1 and RMS values; each has its own new-value flag.
enum class LiveConsumer : int { CalibrationSets = 0, Resistance = 1, ResistorCalibration = 2 };
inline constexpr int kLiveConsumerCount = 3;

// The live-reading switches a capture saves, clears and restores.
struct LiveSwitches {
    bool intfReading = false;
    bool adc1Display = false;
    bool adc2Display = false;
    bool resistance = false;
};

// The uP Center: the program's heartbeat. Every 10 ms it counts link silence and
// reconnects a silent board; with the DMM interface and INTF reading on it polls the
// chip's interrupt flags, fetches fresh results and publishes the live displays.
// Lives on the bench thread; the displays reach the windows through its signals.
class TVz_UP : public QObject {
    Q_OBJECT
  public:
    TVz_UP(ChipAccess& chip, UiHooks& hooks, QObject* parent = nullptr);

    static constexpr int kHeartbeatMs = 10;
    static constexpr uint32_t kSilentTicksBeforeRecheck = 2999;
    // A board that was connected and dropped out is looked for every second (a hub reset
    // or a re-plug comes back well before the long silence re-check).
    static constexpr uint32_t kLostBoardRecheckTicks = 100;

    // The heartbeat timer (Timer1). Start/stop on the bench thread.
    void StartHeartbeat();
    void StopHeartbeat();
    bool HeartbeatRunning() const { return Timer1.isActive(); }
    // How often the board link was lost so far: a reading that spans a loss is not one.
    uint32_t LinkLosses() const { return chip_.link().LinkLosses(); }

    // One heartbeat step; windows that wait for results call it themselves.
    void Timer1Timer();

    // The connect step of "USB Scan": open the board and check its signature; a board
    // that answers is read at once (ReadRam).
    bool USBConnect();
    // "Read RAM": the chip's first 64 bytes into the register image and every panel; the
    // interrupt flags the read took from the chip are kept for the poll. Every new board
    // connection (USB Scan, or the re-check finding the board again) runs it by itself,
    // so that the panels show what the chip holds and not the image the program started
    // with. The RS232 and Parallel kinds are never read unasked: a parallel port without
    // a chip reads as a chip, and a silent serial chip holds the bench for its time-out;
    // their panels say "not read yet" until a read succeeds.
    bool ReadRam();
    // Toggles a live display; switching one on while INTF reading is off says what else
    // it needs (status panel 2). Returns the new state.
    bool ToggleAdc1Display();
    bool ToggleAdc2Display();

    // Field positions come from the loaded chip description; until one defines them the
    // flag poll does nothing.
    std::function<const TRegField*(std::string_view)> FieldLookup;

    LiveSwitches Switches() const;
    void SetSwitches(const LiveSwitches& switches);
    void SetIntfReading(bool on);
    bool IntfReading() const { return intfReading_; }

    // Live-display switches.
    bool Adc1DisplayOn = false;
    bool Adc2DisplayOn = false;
    bool ResistanceOn = false;

    // Program-wide output-bits divisors of the ADC1 and ADC2 panels (2^(24-b); "8" bits at start).
    int64_t Adc1Divisor = 65536;
    int64_t Adc2Divisor = 65536;

    // The ohmmeter's range factors ("50M" .. "500"), shared with the resistance window,
    // and the range it selected last. The display shows factor x measurement / reference
    // of that range in the unit of its magnitude: range 0 in megohms ("%.3f M ohm") down
    // to range 5 in ohms ("%.2f ohm"), so the digits follow the range the user chose.
    static constexpr int kRangeCount = 6;
    static constexpr double kUncalibratedFactor = 100000.0;
    std::array<double, kRangeCount> RangeFactors{kUncalibratedFactor, kUncalibratedFactor,
                                                 kUncalibratedFactor, kUncalibratedFactor,
                                                 kUncalibratedFactor, kUncalibratedFactor};
    int ResistanceRange = 0;
    // The format index of a range: 5 for range 0 ("%.3f M ohm") .. 0 for range 5.
    static int DisplayIndexOfRange(int range);
    void ResetResistance();
    uint8_t ResistanceState() const { return resistanceState_; }
    double ReferenceAverage() const { return referenceAverage_; }
    double MeasurementAverage() const { return measurementAverage_; }

    uint8_t InterruptFlags = 0;
    // Another reader read the chip's interrupt-flag register (which clears the flags it
    // returns): the flags it saw are kept for the poll as if the poll had read them.
    void AccumulateFlags(uint16_t address, uint8_t value);

    // Results of the last fetches (least significant byte first).
    std::array<uint8_t, 9> CounterValues{};
    std::array<uint8_t, 3> Adc1Result{};
    std::array<uint8_t, 3> Adc2FastResult{};
    std::array<uint8_t, 3> LowPassResult{};
    std::array<uint8_t, 5> RmsResult{};

    double LatestAdc1 = 0.0;
    double LatestRms = 0.0;
    // Takes the new-value flag of a consumer: true once per fresh value.
    bool TakeNewAdc1(LiveConsumer consumer);
    bool TakeNewRms(LiveConsumer consumer);

    // Channel indicators: which of each pair ("..01" or "..00") is visible.
    bool Ad1Cho01Visible() const { return ad1Cho01Visible_; }
    bool Ad2Cho01Visible() const { return ad2Cho01Visible_; }
    bool AdpCho01Visible() const { return adpCho01Visible_; }

    // Text of a resistance in ohms in the format of a display index (0 = "%.2f ohm",
    // 1..3 kilohms, 4..5 megohms).
    static QString ResistanceText(double ohms, int displayIndex);

  signals:
    void Connected();                             // run USBClient
    void Adc1Display(qint64 value);               // SADCLCD
    void Adc2Display(const QString& text);        // LADF
    void LowPassDisplay(qint64 value);            // ADFLPF
    void RmsDisplay(const QString& text);         // LRMS
    void ResistanceDisplay(const QString& text);  // PDMMRES
    void ChannelIndicators(bool ad1Cho01, bool ad2Cho01, bool adpCho01);
    void CountersFetched();
    void IntfReadingChanged(bool on);
    // A board came back with its chip reset; its written registers were written again.
    void ChipWasReset(int registers);

  private:
    void RecheckLink();
    void WatchLostBoard();
    void CheckChipKeptItsRegisters();
    void ReportNoBoard();
    void HintIntfWhenOff(bool displayOn);
    void PollInterruptFlags();
    bool FlagSet(std::string_view field) const;
    bool FetchInto(uint16_t address, uint8_t* into, int count);
    void UpdateChannelIndicators();
    void ShowAdc1();
    void ShowAdc2AndLowPass();
    void StepResistance(int32_t sample);
    int FieldValue(std::string_view name) const;

    ChipAccess& chip_;
    UiHooks& hooks_;
    QTimer Timer1;
    bool intfReading_ = false;
    uint32_t tickCount_ = 0;
    bool noBoardHintShown_ = false;
    bool boardWasConnected_ = false;
    bool boardLost_ = false;
    uint32_t lostTicks_ = 0;
    std::array<bool, kLiveConsumerCount> adc1New_{};
    std::array<bool, kLiveConsumerCount> rmsNew_{};
    bool ad1Cho01Visible_ = false;
    bool ad2Cho01Visible_ = false;
    bool adpCho01Visible_ = false;
    uint8_t resistanceState_ = 0;
    double referenceAccumulator_ = 0.0;
    double measurementAccumulator_ = 0.0;
    double referenceAverage_ = 0.0;
    double measurementAverage_ = 0.0;
    // A sample of this measurement lay at an end of the converter's scale.
    bool resistanceClipped_ = false;
};

}  // namespace dmm
