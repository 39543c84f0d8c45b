#include "core/measure/resistance_meter.h"

#include <cmath>
#include <limits>

namespace dmm {

double CalibratedRangeFactor(int range, double rcalOhms, double n, double voltsPerCount) {
    if (n <= 0) return TVz_UP::kUncalibratedFactor;
    if (RatiometricRange(range)) return rcalOhms * kFullScaleCount / n;
    const double volts = n * voltsPerCount;
    // No volts per count yet: the factor could only be infinite.
    return volts != 0.0 ? rcalOhms / volts : TVz_UP::kUncalibratedFactor;
}

double RangeResistance(int range, double factor, double a, double voltsPerCount) {
    if (RatiometricRange(range)) return a * factor / kFullScaleCount;
    return factor * (a * voltsPerCount);
}

ResistanceMeter::ResistanceMeter(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                                 std::function<double()> voltsPerCount, QObject* parent)
    : QObject(parent),
      chip_(chip),
      up_(up),
      hooks_(hooks),
      clock_(clock),
      voltsPerCount_(std::move(voltsPerCount)),
      Timer1(this) {
    Timer1.setInterval(kTickMs);
    connect(&Timer1, &QTimer::timeout, this, &ResistanceMeter::Timer1Timer);
    up_.ResistanceRange = 0;
    up_.ResetResistance();
}

bool ResistanceMeter::RangeClick(int range) {
    if (range < 0 || range >= kResistanceRangeCount) return false;
    const bool written = SetRange(range);
    Timer1.start();
    return written;
}

bool ResistanceMeter::SetRange(int range) {
    if (range < 0 || range >= kResistanceRangeCount) return false;
    const bool written = WriteDividerBlock(chip_, ResistanceRangeBlock(range));
    emit RangeShown(range);
    currentFactor = up_.RangeFactors[static_cast<size_t>(range)];
    up_.Adc1DisplayOn = true;
    currentRange = range;
    up_.ResistanceRange = range;
    return written;
}

bool ResistanceMeter::CalibrateClick(int range, const QString& calibrationOhms) {
    if (range < 0 || range >= kResistanceRangeCount) return false;
    const ResistanceRange& r = ResistanceRanges()[static_cast<size_t>(range)];
    std::string refusal;
    const std::optional<double> rcal =
        ReadReal(calibrationOhms.toStdString(), kCalibrationResistorRule, &refusal);
    if (!rcal) {
        // Nothing measured: a factor from a resistance that is none would show nonsense.
        hooks_.SetStatusText(
            1, QStringLiteral("Calibration Ref.: ") + QString::fromStdString(refusal));
        return false;
    }
    hooks_.SetStatusText(1, QStringLiteral("Calibration ") + QString::fromUtf8(r.calibrationName) +
                                QStringLiteral(" ......."));
    emit CalibrationPressed(range);
    const bool timerRan = Timer1.isActive();
    Timer1.stop();
    const std::optional<double> n =
        TakeAveragedReading({up_, hooks_, clock_, LiveConsumer::Resistance, stopRequested});
    if (timerRan) Timer1.start();
    bool ok = false;
    if (n) {
        double& factor = up_.RangeFactors[static_cast<size_t>(range)];
        factor = CalibratedRangeFactor(range, *rcal, *n, voltsPerCount_());
        currentFactor = factor;
        ok = true;
    }
    hooks_.SetStatusText(
        1, ok ? QStringLiteral("Calibration OK!") : QStringLiteral("Calibration Fail!!!!!"));
    emit CalibrationPressed(-1);
    return ok;
}

std::optional<double> ResistanceMeter::NextOhms() {
    if (!up_.TakeNewAdc1(LiveConsumer::Resistance)) return std::nullopt;
    const double a = mean_.Next(up_.LatestAdc1);
    lastOhms = RangeResistance(currentRange, currentFactor, a, voltsPerCount_());
    lastOverRange = mean_.LastMeanClipped();
    emit ResistanceShown(static_cast<qint64>(std::nearbyint(lastOhms)), lastOverRange);
    // A reading over the range shows OL: no resistance, but a reading all the same.
    return lastOverRange ? std::numeric_limits<double>::infinity() : lastOhms;
}

std::vector<double> ResistanceMeter::TakeReadings(int count) {
    Timer1.stop();
    return TakeLiveReadings({up_, hooks_, clock_, LiveConsumer::Resistance, stopRequested}, count,
                            kWarmUpReadings, [this] { return NextOhms(); });
}

void ResistanceMeter::Close() {
    Timer1.stop();
    up_.ResistanceOn = false;
}

}  // namespace dmm
