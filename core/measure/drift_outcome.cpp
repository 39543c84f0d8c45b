#include "core/measure/drift_outcome.h"

namespace dmm {
namespace {

QString NotStartedWhy(const DriftOutcome& o) {
    switch (o.end) {
        case DriftEnd::Busy:
            return QStringLiteral("a run is already going on");
        case DriftEnd::NoChamber:
            return QStringLiteral("no chamber is identified (Setup); T-Test runs without one");
        case DriftEnd::NoModes:
            return QStringLiteral(
                "the mode table has no mode (its first row holds no register value)");
        case DriftEnd::BadPlan:
            return o.planRefusal;
        default:
            return {};
    }
}

QString FailedWhy(DriftEnd end) {
    switch (end) {
        case DriftEnd::ChamberStartFailed:
            return QStringLiteral("the chamber did not start (%1)")
                .arg(QString::fromUtf8(kChamberRunErrorText));
        case DriftEnd::ChamberFailed:
            return QStringLiteral("the chamber did not take its set point or could not be read");
        default:
            return {};
    }
}

}  // namespace

QString DriftOutcomeText(const DriftOutcome& o) {
    if (!o.Started()) return QStringLiteral("Not started: ") + NotStartedWhy(o);
    const int cells = o.steps * o.modes;
    const QString measured = QStringLiteral("%1 of %2 modes measured").arg(o.measured).arg(cells);
    const QString at = QStringLiteral("at step %1 of %2").arg(o.step).arg(o.steps);
    QString text;
    switch (o.end) {
        case DriftEnd::Finished:
            if (o.measured == 0)
                text = QStringLiteral("Failed: %1 steps of %2 modes ran, nothing was measured")
                           .arg(o.steps)
                           .arg(o.modes);
            else if (!o.notWritten.isEmpty())
                text = QStringLiteral("Failed: %1 steps of %2 modes ran, %3, results not on disk")
                           .arg(o.steps)
                           .arg(o.modes)
                           .arg(measured);
            else if (o.measured < cells)
                text = QStringLiteral("Done: %1 steps of %2 modes, %3")
                           .arg(o.steps)
                           .arg(o.modes)
                           .arg(measured);
            else
                text = QStringLiteral("Done: %1 steps of %2 modes").arg(o.steps).arg(o.modes);
            break;
        case DriftEnd::Stopped:
            text = QStringLiteral("Stopped %1: %2").arg(at, measured);
            break;
        case DriftEnd::LinkLost:
            text = QStringLiteral(
                       "Interrupted %1: %2 did not come back within %3 minutes; %4; the run "
                       "can be resumed once it is back")
                       .arg(at, o.lostLink)
                       .arg(o.waitMinutes)
                       .arg(measured);
            break;
        default:
            text = QStringLiteral("Failed %1: %2; %3").arg(at, FailedWhy(o.end), measured);
            break;
    }
    if (o.gaps > 0)
        // A gap while the chamber approached or soaked broke no mode.
        text += QStringLiteral("; %1, each mode one broke measured again from its start (%2)")
                    .arg(o.gaps == 1 ? QStringLiteral("1 link gap")
                                     : QStringLiteral("%1 link gaps").arg(o.gaps))
                    .arg(QString::fromLatin1("VzTEMP.gaps"));
    if (!o.notWritten.isEmpty())
        text += QStringLiteral("; not written: ") + o.notWritten.join(QStringLiteral("; "));
    return text;
}

}  // namespace dmm
