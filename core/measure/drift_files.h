#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

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

// The B file (and, with meters, the meter file) in folder; each written to a temporary
// file and renamed, and written under its OVER name when the first name cannot be
// written. False when neither name could be written (the box says why).
bool WriteDriftBFiles(const QString& folder, const DriftResults& results, bool meters, UiHooks& ui);
// The A file; a failure is shown as an input/output error box.
bool WriteDriftAFile(const QString& folder, const DriftResults& results, UiHooks& ui);

}  // namespace dmm
