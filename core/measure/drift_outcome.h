#pragma once

#include <QString>
#include <QStringList>

namespace dmm {

inline constexpr char kChamberRunErrorText[] = "溫控廂 RUN ERROR!!!!!!!";

// How a run ended.
enum class DriftEnd {
    Finished,            // every step measured
    Stopped,             // "Stop" (or the program closing, or a signal)
    ChamberStartFailed,  // the chamber did not start
    ChamberFailed,       // a set point could not be loaded or the temperature read
    Busy,                // a run was already going on: not started
    NoChamber,           // a run with the chamber, none identified: not started
    NoModes,             // the mode table has no mode: not started
    BadPlan,             // a plan row holds what the chamber cannot take: not started
    LinkLost,            // a link that dropped did not come back in time: resumable
};

// What a run came to: how it ended, what it measured and which result files are on disk.
// The window's progress line and dmmctl say the same thing from it.
struct DriftOutcome {
    DriftEnd end = DriftEnd::Finished;
    int step = 0;  // the step the run was working on when it ended
    int steps = 0;
    int modes = 0;
    int measured = 0;        // step-and-mode cells that got figures or a meter's figure
    QStringList written;     // result files on disk, as named there
    QStringList notWritten;  // result files that could not be written, and why
    QString planRefusal;     // BadPlan: the row and the value refused
    int gaps = 0;            // links that dropped and came back (each mode measured again)
    QString lostLink;        // LinkLost: what did not come back ("the board")
    int waitMinutes = 0;     // LinkLost: how long the run waited for it

    bool Started() const {
        return end != DriftEnd::Busy && end != DriftEnd::NoChamber && end != DriftEnd::NoModes &&
               end != DriftEnd::BadPlan;
    }
    // Every step ran, something was measured and the results are on disk.
    bool Succeeded() const {
        return end == DriftEnd::Finished && measured > 0 && notWritten.isEmpty();
    }
};

// One line on how the run ended: "Done: 5 steps of 3 modes", "Stopped at step 2 of 5: 4
// of 15 modes measured", "Failed at step 3 of 5: <why>; ...", "Not started: <why>", and
// which result files could not be written.
QString DriftOutcomeText(const DriftOutcome& outcome);

}  // namespace dmm
