#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "core/app/user_numbers.h"
#include "core/measure/averaged_reading.h"

namespace dmm {

// What the voltmeter's segment display shows: the caption (the reading times
// 10^decimals, rounded), the decimal-point count and the leading-zero option.
struct VoltmeterFigure {
    qint64 caption = 0;
    int decimals = 4;
    bool leadingZeros = false;
};
// V volts on range r (0 = 1 V .. 3 = 1000 V): 4 - r decimals, leading zeros only for
// a negative reading.
VoltmeterFigure VoltmeterFigureOf(double volts, int range);
// The range factor K in volts per averaged count: (R + (10000000 - EPTC)) x volts per
// count / R, 0 for a resistor not measured yet.
double VoltmeterRangeFactor(double rangeResistor, double eptcOhms, double voltsPerCount);
// The result texts of the resistor steps: R1M in megohms "%3.6f", R100K and R10K in
// kilohms ("%3.3f", "%3.4f"), R1K in kilohms "%3.5f".
QString ResistorText(int step, double ohms);

// The numbers typed into the window: EPTC, ohms taken off the 10 MΩ reference, and the
// voltage applied for "CAL. Voltage".
inline constexpr RealRule kEptcRule{"a resistance", 0, 1e7, false, false, "R", "\u03A9", true};
inline constexpr RealRule kCalibrationVoltageRule{
    "a calibration voltage", 0, 1000, true, false, "V", "V"};

// The resistor and voltage calibration (the bench side of "Resistor Calibration"): the
// four resistor steps from the 10 MΩ reference, the volts-per-count calibration with a
// known voltage, and a DC voltmeter in four ranges built on them. Bench thread; the
// window gets its labels, status and display through the signals.
class ResistorCalibration : public QObject {
    Q_OBJECT
  public:
    ResistorCalibration(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                        QObject* parent = nullptr);

    static constexpr double kReferenceOhms = 10000000.0;
    static constexpr double kInitialVoltsPerCount = 7.31055251450109e-08;
    // The voltage "CAL. Voltage" proposes (ECALVol); the simulated meter input sits there.
    static constexpr char kDefaultAppliedVolts[] = "0.30000";
    static constexpr int kTickMs = 100;
    static constexpr int kStepCount = 4;

    // The program closes: a reading in progress gives up.
    std::function<bool()> stopRequested;

    // C1..C4 (step 1..4): nothing happens without a connected board. True when the
    // step measured its resistor.
    bool ResistorStep(int step);
    // AUTO: every label cleared, steps 1 to 4, stopping at the first failure.
    bool PAUTOClick();
    // "CAL. Voltage" with the applied voltage as the user typed it (ECALVol).
    bool PCALVOLClick(const QString& appliedVolts);
    // 1V .. 1000V (range 0..3) with the EPTC entry; the voltmeter's timer starts.
    bool SelectRange(int range, const QString& eptcOhms);
    // The same without the timer, with an EPTC already checked (kEptcRule): the range's
    // block written, the INTF and ADC1 readings on, the range factor set. False when the
    // block was not written.
    bool SetRange(int range, double eptcOhms);
    // The voltmeter tick (Timer1, 100 ms).
    void Timer1Timer() { NextVolts(); }
    // The voltmeter's reading from a fresh ADC1 result (shown), or none when none came.
    std::optional<double> NextVolts();
    // count voltmeter readings in volts, the heartbeat and the voltmeter's tick run by
    // hand (the timer stays off). The first three, still averaged with the readings before
    // them, are left out. Fewer when no ADC1 result comes for 20 s or a stop is asked.
    std::vector<double> TakeVoltmeterReadings(int count);
    void StopTimer() { Timer1.stop(); }
    bool TimerRunning() const { return Timer1.isActive(); }

    // The measured resistors R1M, R100K, R10K, R1K (index 0..3), 0 until measured.
    std::array<double, kStepCount> resistors{};
    // Reference and test reading of each step.
    std::array<std::array<double, 2>, kStepCount> readings{};
    double voltsPerCount = kInitialVoltsPerCount;
    int range = 0;
    double rangeFactor = 0.0;
    double lastVolts = 0.0;

  signals:
    // A label of the window by its control name ("ADC10M", "R1M0", ...).
    void LabelShown(const QString& name, const QString& text);
    // A step (1..4, 5 for AUTO) runs: its button is lowered and the window disabled;
    // 0 when none runs any more.
    void StepRunning(int step);
    void RangeShown(int range);
    void VoltmeterShown(const dmm::VoltmeterFigure& figure);

  private:
    // Whether the board is there; a failed step's message when it is not.
    bool BoardConnected();
    std::optional<double> Reading();
    void ClearLabels();

    ChipAccess& chip_;
    TVz_UP& up_;
    UiHooks& hooks_;
    Clock& clock_;
    QTimer Timer1;
    FourSampleMean mean_;
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::VoltmeterFigure)
