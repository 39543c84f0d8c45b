#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

#include "core/measure/drift_results.h"
#include "core/measure/drift_test_setup.h"

namespace dmm {

inline constexpr char kDriftJournalName[] = "VzTEMP.journal";

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
};

QByteArray DriftJournalBytes(const DriftJournal& journal);
// Nothing for bytes that are no journal (or one whose tables do not fit its plan).
std::optional<DriftJournal> ParseDriftJournal(const QByteArray& bytes);

}  // namespace dmm
