#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

#include "core/app/user_numbers.h"
#include "core/measure/averaged_reading.h"

namespace dmm {

// A range's factor after calibrating it against rcal ohms with the averaged count n:
// ranges 0-2 in ohms per volt (rcal / (n x volts per count)), ranges 3-5 in ohms at full
// scale (rcal x 8388607 / n). 100000 when n is not positive.
double CalibratedRangeFactor(int range, double rcalOhms, double n, double voltsPerCount);
// The resistance of an averaged count a on a range with its factor.
double RangeResistance(int range, double factor, double a, double voltsPerCount);
inline constexpr double kFullScaleCount = 8388607.0;
// The calibration resistor (EBCM, "Calibration Ref."): up to the 50 MΩ range's top and a
// good margin more.
inline constexpr RealRule kCalibrationResistorRule{"a resistance", 0,   1e8,      true,
                                                   false,          "R", "\u03A9", true};

// The ohmmeter (the bench side of "Resister Measure"): six ranges, each a divider block
// and a factor that a calibration against a known resistor sets. The factors are the
// heartbeat's (TVz_UP::RangeFactors), which its resistance display reads as well.
// Volts per count come from the resistor calibration. Bench thread.
class ResistanceMeter : public QObject {
    Q_OBJECT
  public:
    ResistanceMeter(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                    std::function<double()> voltsPerCount, QObject* parent = nullptr);

    static constexpr int kTickMs = 100;
    std::function<bool()> stopRequested;

    // A range button: labels, block, "Read RAM", then the range is selected and the
    // display's timer runs.
    bool RangeClick(int range);
    // The same without the timer. False when the block was not written.
    bool SetRange(int range);
    // A "Cal." button: the factor of range k from the resistor typed in EBCM.
    bool CalibrateClick(int range, const QString& calibrationOhms);
    // The live display (Timer1).
    void Timer1Timer() { NextOhms(); }
    // The display's resistance from a fresh ADC1 result (shown), or none when none came;
    // infinity for a reading over the range (OL).
    std::optional<double> NextOhms();
    // count readings in ohms (infinity: OL), the heartbeat and the display's tick run by hand (the
    // timer stays off). The first three, still averaged with the readings before them, are left
    // out. Fewer when no ADC1 result comes for 20 s or a stop is asked.
    std::vector<double> TakeReadings(int count);
    // The window closed: the display stops and so does the heartbeat's measurement.
    void Close();
    bool TimerRunning() const { return Timer1.isActive(); }

    double currentFactor = 10000.0;
    int currentRange = 0;
    double lastOhms = 0.0;
    // The last reading lies beyond the range: a sample of its mean was at an end of the
    // converter's scale, so the ohms say nothing (the display shows "OL").
    bool lastOverRange = false;

  signals:
    void RangeShown(int range);
    // The "Cal." button pressed (-1: all raised).
    void CalibrationPressed(int range);
    void ResistanceShown(qint64 ohms, bool overRange);

  private:
    ChipAccess& chip_;
    TVz_UP& up_;
    UiHooks& hooks_;
    Clock& clock_;
    std::function<double()> voltsPerCount_;
    QTimer Timer1;
    FourSampleMean mean_;
};

}  // namespace dmm
