#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "core/measure/block_figures.h"
#include "core/measure/capture_source.h"
#include "core/measure/figure_table.h"

namespace dmm {

// How a capture ended.
enum class CaptureEnd {
    Complete,  // the target count was reached
    Stopped,   // RequestStop() was called
    LinkLost,  // a transfer failed and closed the board link
    TimedOut,  // no sample for CaptureSettings::idleTimeoutMs
};

// The record's word for an end: "complete", "stopped", "link lost", "timed out".
QString CaptureEndName(CaptureEnd end);
// An end in words: "complete", "stopped", "the board link was lost", ...
QString CaptureEndText(CaptureEnd end);

// What a capture came to, as every front end shows it (the analysis window, dmmctl, the
// record, a script's binding): how it ended, and each figure with its value or why it
// has none. A copy: it does not change when the next capture starts.
struct CaptureOutcome {
    CaptureSource source = CaptureSource::ADCS;
    CaptureEnd end = CaptureEnd::Complete;
    bool stream = false;  // taken through the board's stream (else by polling the flags)
    int captured = 0;     // samples taken
    int target = 0;       // samples asked for
    double elapsedMs = 0.0;
    int averageFactor = 1;           // of the analysis the figures come from
    std::vector<FigureRow> program;  // the program's seven, in the result files' order
    std::vector<FigureRow> added;    // the figures beside them
    std::vector<FigureWarning> warnings;

    bool Complete() const { return end == CaptureEnd::Complete; }
    bool HasSamples() const;
    // How an unfinished capture ended, with its count ("stopped at 40 of 256 samples");
    // empty for a complete one.
    QString EndNotice() const;
    // The end notice (if any) and then every warning, as a window lists them.
    QStringList Notices() const;
    // The first warning that makes the block unfit for its figures (what --strict
    // refuses), if any.
    std::optional<FigureWarning> SevereWarning() const;
};

}  // namespace dmm
