#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/measure/drift_results.h"

namespace dmm {

inline constexpr char kDriftAFileName[] = "VzTEMPA.CSV";
inline constexpr char kDriftBFileName[] = "VzTEMPB.CSV";
inline constexpr char kDriftBOverName[] = "VzTEMPFOVER.CSV";
inline constexpr char kDriftMeterFileName[] = "VzTEMPBryMen.CSV";
inline constexpr char kDriftMeterOverName[] = "VzTEMPBryMenOVER.CSV";
inline constexpr char kDriftCaptureFolder[] = "TEMP";

// A meter value as the pattern "#####.########" writes it: every digit optional, so 0
// gives "", 0.5 gives ".5", -2.25 gives "-2.25" and 12 gives "12"; eight decimals at most,
// rounded.
std::string MeterValueText(double value);
// The unit text of a meter reading from its flag bytes ("DC V", "AC V", "Ω", ...).
QString MeterUnitText(uint8_t flagsA, uint8_t flagsB);

// The result files, Big5, lines ending CR LF, figures "%f", every step and mode of the
// run in step-then-mode order. The A file's two first headers are the plan grid's.
QByteArray DriftAFileBytes(const DriftResults& results, const QString& temperatureHeader,
                           const QString& humidityHeader);
QByteArray DriftBFileBytes(const DriftResults& results);
QByteArray DriftMeterFileBytes(const DriftResults& results);

// What writing one result file came to: the name it has on disk, or why it is not there.
struct DriftFileWrite {
    QString name;   // as written (the OVER name when the first could not be); empty: none
    QString error;  // why it could not be written
    explicit operator bool() const { return !name.isEmpty(); }
};
struct DriftFileWrites {
    std::vector<DriftFileWrite> files;
    explicit operator bool() const {
        for (const DriftFileWrite& f : files)
            if (!f) return false;
        return true;
    }
};

// The B file (and, with meters, the meter file) in folder; each written to a temporary
// file and renamed, and written under its OVER name when the first name cannot be
// written. A file that neither name could take is shown as an input/output error box.
DriftFileWrites WriteDriftBFiles(const QString& folder, const DriftResults& results, bool meters,
                                 UiHooks& ui);
// The A file; a failure is shown as an input/output error box.
DriftFileWrite WriteDriftAFile(const QString& folder, const DriftResults& results, UiHooks& ui);

}  // namespace dmm
