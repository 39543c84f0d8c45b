#include "core/measure/resistor_calibration.h"

#include <algorithm>
#include <cmath>

namespace dmm {
namespace {

constexpr const char* kStepStatus[] = {"Calibration 1M", "Calibration 100K", "Calibration 10K",
                                       "Calibration 1K"};
// Labels of step k: its reference and test readings, its result and the copy of the
// result in the next step's row (none for step 4).
constexpr const char* kReferenceLabel[] = {"ADC10M", "ADC1M1", "ADC100K1", "ADC10K1"};
constexpr const char* kTestLabel[] = {"ADC1M0", "ADC100K0", "ADC10K0", "ADC1K"};
constexpr const char* kResultLabel[] = {"R1M0", "R100K0", "R10K0", "R1K"};
constexpr const char* kCopyLabel[] = {"R1M1", "R100K1", "R10K1", nullptr};
constexpr const char* kAllLabels[] = {"ADC10M",  "ADC1M0",  "ADC1M1", "ADC100K0", "ADC100K1",
                                      "ADC10K0", "ADC10K1", "ADC1K",  "R1M0",     "R1M1",
                                      "R100K0",  "R100K1",  "R10K0",  "R10K1",    "R1K"};
const QString kDashes = QStringLiteral("------");

// A number typed into the window, or nothing, with the refusal in status panel 1 after
// the entry's caption.
std::optional<double> EntryValue(UiHooks& hooks, const char* caption, const QString& text,
                                 const RealRule& rule) {
    std::string refusal;
    const auto value = ReadReal(text.toStdString(), rule, &refusal);
    if (!value)
        hooks.SetStatusText(1, QString::fromLatin1(caption) + QStringLiteral(": ") +
                                   QString::fromStdString(refusal));
    return value;
}

}  // namespace

VoltmeterFigure VoltmeterFigureOf(double volts, int range) {
    VoltmeterFigure f;
    f.decimals = 4 - std::clamp(range, 0, 3);
    f.leadingZeros = volts < 0;
    f.caption = static_cast<qint64>(std::nearbyint(volts * std::pow(10.0, f.decimals)));
    return f;
}

double VoltmeterRangeFactor(double rangeResistor, double eptcOhms, double voltsPerCount) {
    if (rangeResistor == 0.0) return 0.0;
    return (rangeResistor + (ResistorCalibration::kReferenceOhms - eptcOhms)) * voltsPerCount /
           rangeResistor;
}

QString ResistorText(int step, double ohms) {
    switch (step) {
        case 1:
            return QString::asprintf("%3.6f", ohms / 1e6);
        case 2:
            return QString::asprintf("%3.3f", ohms / 1e3);
        case 3:
            return QString::asprintf("%3.4f", ohms / 1e3);
        default:
            return QString::asprintf("%3.5f", ohms / 1e3);
    }
}

ResistorCalibration::ResistorCalibration(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                                         QObject* parent)
    : QObject(parent), chip_(chip), up_(up), hooks_(hooks), clock_(clock), Timer1(this) {
    qRegisterMetaType<VoltmeterFigure>();
    Timer1.setInterval(kTickMs);
    connect(&Timer1, &QTimer::timeout, this, &ResistorCalibration::Timer1Timer);
}

std::optional<double> ResistorCalibration::Reading() {
    // The voltmeter's timer must not take the readings the average is waiting for.
    const bool timerRan = Timer1.isActive();
    Timer1.stop();
    const std::optional<double> value = TakeAveragedReading(
        {up_, hooks_, clock_, LiveConsumer::ResistorCalibration, stopRequested});
    if (timerRan) Timer1.start();
    return value;
}

bool ResistorCalibration::BoardConnected() {
    if (chip_.target().devc.connected) return true;
    // A click while the board is away fails as a step that got no reading does, never
    // silently (status panel 0 says where the board is).
    hooks_.SetStatusText(1, QStringLiteral("Get value false!!!!!"));
    return false;
}

bool ResistorCalibration::ResistorStep(int step) {
    if (step < 1 || step > kStepCount || !BoardConnected()) return false;
    const auto k = static_cast<size_t>(step - 1);
    hooks_.SetStatusText(1, QString::fromLatin1(kStepStatus[k]));
    if (kCopyLabel[k]) emit LabelShown(QString::fromLatin1(kCopyLabel[k]), kDashes);
    for (const char* name : {kReferenceLabel[k], kTestLabel[k], kResultLabel[k]})
        emit LabelShown(QString::fromLatin1(name), kDashes);
    emit StepRunning(step);
    hooks_.ProcessPendingEvents();

    const double referenceOhms = step == 1 ? kReferenceOhms : resistors[k - 1];
    bool ok = false;
    QString result;
    // Every way out of the step enables the window again: a reading that never comes
    // ends in a failure, never in a window left disabled.
    if (WriteDividerBlock(chip_, ResistorStepBlock(step, StepReading::Reference))) {
        if (const auto reference = Reading()) {
            readings[k][0] = *reference;
            emit LabelShown(QString::fromLatin1(kReferenceLabel[k]),
                            QString::number(static_cast<qint64>(*reference)));
            if (WriteDividerBlock(chip_, ResistorStepBlock(step, StepReading::Test))) {
                if (const auto test = Reading()) {
                    readings[k][1] = *test;
                    emit LabelShown(QString::fromLatin1(kTestLabel[k]),
                                    QString::number(static_cast<qint64>(*test)));
                    // A reference that read 0 cannot scale anything: the step fails.
                    if (*reference != 0.0) {
                        resistors[k] = referenceOhms * *test / *reference;
                        result = ResistorText(step, resistors[k]);
                        emit LabelShown(QString::fromLatin1(kResultLabel[k]), result);
                        ok = true;
                    }
                }
            }
        }
    }
    emit StepRunning(0);
    if (ok) {
        hooks_.SetStatusText(1, QStringLiteral("Get value  OK"));
        if (kCopyLabel[k]) emit LabelShown(QString::fromLatin1(kCopyLabel[k]), result);
    } else {
        hooks_.SetStatusText(1, QStringLiteral("Get value false!!!!!"));
    }
    return ok;
}

void ResistorCalibration::ClearLabels() {
    for (const char* name : kAllLabels) emit LabelShown(QString::fromLatin1(name), kDashes);
}

bool ResistorCalibration::PAUTOClick() {
    if (!BoardConnected()) return false;
    ClearLabels();
    emit StepRunning(kStepCount + 1);
    bool ok = true;
    for (int step = 1; step <= kStepCount && ok; ++step) ok = ResistorStep(step);
    emit StepRunning(0);
    return ok;
}

bool ResistorCalibration::PCALVOLClick(const QString& appliedVolts) {
    const std::optional<double> volts =
        EntryValue(hooks_, "CAL. Voltage", appliedVolts, kCalibrationVoltageRule);
    if (!volts) return false;
    hooks_.SetStatusText(1, QStringLiteral("Calibration voltage ......."));
    bool ok = false;
    if (WriteDividerBlock(chip_, VoltageCalibrationBlock())) {
        const std::optional<double> counts = Reading();
        // A zero count would make every later reading infinite: refused like a time-out.
        if (counts && *counts != 0.0) {
            voltsPerCount = *volts / *counts;
            ok = true;
        }
    }
    hooks_.SetStatusText(1, ok ? QStringLiteral("Calibration voltage OK !")
                               : QStringLiteral("Calibration voltage Fail !"));
    return ok;
}

bool ResistorCalibration::SelectRange(int r, const QString& eptcOhms) {
    if (r < 0 || r > 3) return false;
    // A factor from an EPTC that is no resistance would show a voltage that is none.
    const std::optional<double> eptc = EntryValue(hooks_, "EPTC", eptcOhms, kEptcRule);
    if (!eptc) return false;
    const bool written = SetRange(r, *eptc);
    Timer1.start();
    return written;
}

bool ResistorCalibration::SetRange(int r, double eptcOhms) {
    if (r < 0 || r > 3) return false;
    emit RangeShown(r);
    const bool written = WriteDividerBlock(chip_, VoltmeterRangeBlock(r));
    up_.SetIntfReading(true);
    up_.Adc1DisplayOn = true;
    rangeFactor = VoltmeterRangeFactor(resistors[static_cast<size_t>(r)], eptcOhms, voltsPerCount);
    range = r;
    return written;
}

std::optional<double> ResistorCalibration::NextVolts() {
    if (!up_.TakeNewAdc1(LiveConsumer::ResistorCalibration)) return std::nullopt;
    const double a = mean_.Next(up_.LatestAdc1);
    lastVolts = rangeFactor * a;
    emit VoltmeterShown(VoltmeterFigureOf(lastVolts, range));
    return lastVolts;
}

std::vector<double> ResistorCalibration::TakeVoltmeterReadings(int count) {
    Timer1.stop();
    return TakeLiveReadings({up_, hooks_, clock_, LiveConsumer::ResistorCalibration, stopRequested},
                            count, kWarmUpReadings, [this] { return NextVolts(); });
}

}  // namespace dmm
