#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "core/measure/drift_results.h"
#include "core/measure/drift_test_setup.h"

namespace dmm {

inline constexpr char kDriftJournalName[] = "VzTEMP.journal";
// The gaps of the last run, a line each, kept after the run as its record.
inline constexpr char kDriftGapsFileName[] = "VzTEMP.gaps";

// A link that dropped during a run: which ("the board", "meter 2"), where the run was,
// when (since the run began, on the bench clock) and for how long; recovered is false for
// the one the run gave up on.
struct DriftGap {
    QString what;
    int step = 0;
    int mode = 0;
    int64_t atMs = 0;
    int64_t lastedMs = 0;
    bool recovered = true;
};
// "step 2, mode 1: the board dropped out; waited 0:00:12 from 0:31:05 of the run, mode
// measured again".
QString DriftGapLine(const DriftGap& gap);

// Where an interrupted drift run stood: its inputs, the figures so far and the next mode
// to measure. Written after every mode, so that a run lost to a crash or a power cut can
// go on from its first unfinished mode and end with the files an unbroken run writes.
struct DriftJournal {
    DriftSetup setup;
    bool withChamber = true;
    int step = 1;      // the step being measured
    int nextMode = 1;  // its first mode not measured yet
    int fileCounter = 0;
    DriftResults results;
    std::vector<DriftGap> gaps;
};

QByteArray DriftJournalBytes(const DriftJournal& journal);
// Nothing for bytes that are no journal (or one whose tables do not fit its plan).
std::optional<DriftJournal> ParseDriftJournal(const QByteArray& bytes);

}  // namespace dmm
