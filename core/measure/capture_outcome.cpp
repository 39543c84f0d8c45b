#include "core/measure/capture_outcome.h"

#include <algorithm>

namespace dmm {

QString CaptureEndName(CaptureEnd end) {
    switch (end) {
        case CaptureEnd::Complete:
            return QStringLiteral("complete");
        case CaptureEnd::Stopped:
            return QStringLiteral("stopped");
        case CaptureEnd::LinkLost:
            return QStringLiteral("link lost");
        case CaptureEnd::TimedOut:
            return QStringLiteral("timed out");
    }
    return {};
}

QString CaptureEndText(CaptureEnd end) {
    switch (end) {
        case CaptureEnd::Complete:
            return QStringLiteral("complete");
        case CaptureEnd::Stopped:
            return QStringLiteral("stopped");
        case CaptureEnd::LinkLost:
            return QStringLiteral("the board link was lost");
        case CaptureEnd::TimedOut:
            return QStringLiteral("no sample came within the time-out");
    }
    return {};
}

bool CaptureOutcome::HasSamples() const {
    // An averaging can leave fewer values than its factor: no figures then either.
    return captured > 0 &&
           std::find(warnings.begin(), warnings.end(), FigureWarning::NoSamples) == warnings.end();
}

QString CaptureOutcome::EndNotice() const {
    const QString count = QStringLiteral("%1 of %2 samples").arg(captured).arg(target);
    switch (end) {
        case CaptureEnd::Complete:
            return {};
        case CaptureEnd::Stopped:
            return QStringLiteral("stopped at ") + count;
        case CaptureEnd::LinkLost:
            return QStringLiteral("the board link was lost at ") + count;
        case CaptureEnd::TimedOut:
            return QStringLiteral("timed out at %1: no sample came within the time-out").arg(count);
    }
    return {};
}

QStringList CaptureOutcome::Notices() const {
    QStringList out;
    if (!Complete()) out << EndNotice();
    for (FigureWarning w : warnings) out << WarningText(w);
    return out;
}

std::optional<FigureWarning> CaptureOutcome::SevereWarning() const {
    const auto severe = std::find_if(warnings.begin(), warnings.end(), IsSevere);
    if (severe == warnings.end()) return std::nullopt;
    return *severe;
}

}  // namespace dmm
