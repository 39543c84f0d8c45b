#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "core/instruments/instruments.h"
#include "core/link/interface_kind.h"
#include "core/link/stnd.h"

namespace dmm {

class BenchCore;
class ChipAccess;
struct TChipModel;

// The program's version, as the main window's caption shows it.
inline constexpr char kProgramVersion[] = "1.40";

// An instrument connected to the bench at the time of a capture.
struct InstrumentRecord {
    QString role;      // "calibrator", "power supply", ...
    QString identity;  // what it answered to its identification request
    QString output;    // what it was set to put out ("OUT 100 mV ,50 Hz", ...)
};

// What a capture's record needs from outside the analysis.
struct ProvenanceContext {
    QString programVersion = kProgramVersion;
    QString chipName;   // the chip list's text for the selected chip
    QString boardInfo;  // the board's info text; empty when the board did not answer
    std::vector<InstrumentRecord> instruments;
    // The link gaps after which the capture's measurement was made again from its start
    // (a drift run's lines, as its gap record has them); none for most captures.
    QStringList gaps;
};

// Fills a context from the bench: the chip list of the bench directory, the board's info
// text (one exchange, when the board is open) and the connected instruments. Bench thread.
ProvenanceContext ReadProvenanceContext(BenchCore& core, const QString& benchDir,
                                        const std::vector<Instruments::Connected>& instruments);

// What the chip's registers held, as read from the chip; bytes not read are unknown.
struct ChipRegisterSnapshot {
    std::array<uint8_t, kRegisterImageSize> bytes{};
    std::bitset<kRegisterImageSize> read;
};

// Reads the register areas of the loaded description from the chip (those the interface
// reaches). A failed read leaves its bytes unknown. Bench thread.
ChipRegisterSnapshot ReadChipRegisters(ChipAccess& chip, const TChipModel& model,
                                       InterfaceKind kind);

// The record of a result file: its whole name with ".json" added ("block.csv.json"), so
// that it never lands on a file of its own capture nor on another file's record.
QString ProvenancePathFor(const QString& resultPath);

}  // namespace dmm
