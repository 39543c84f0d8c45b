#pragma once

#include <QByteArray>
#include <QString>

#include <span>

#include "core/measure/analysis_results.h"
#include "core/measure/sample_decoding.h"

namespace dmm {

inline constexpr char kDefaultCsvName[] = "VzADC.CSV";
inline constexpr char kHexCsvName[] = "VzADCHex.CSV";

// The two result files of an analysis, as bytes.
struct AdcCsvFiles {
    QByteArray decimal;
    QByteArray hex;
};

// Builds both files from the grid values and the figures: rows of 16 samples (a last
// row of fewer samples is left out), then the header line and the figures line, each
// line ending CR LF. Decimal items are the cell as the grid shows it followed by ", ";
// hex items are the cell as an integer in upper-case hex (32-bit two's complement when
// negative, "00" for 0) followed by "h", with ", " between items.
AdcCsvFiles BuildAdcCsv(std::span<const double> cells, CellFormat format,
                        const AnalysisResults& results);

// The header line without its line end, in Big5 ("平均值, VPP(nV), ...").
QByteArray AdcCsvHeader();

// Writes both files. Each is written to a temporary file and renamed into place, so a
// failure leaves the old file (or none) and never a half-written one. On failure error
// names the file and the reason.
bool WriteAdcCsv(const AdcCsvFiles& files, const QString& decimalPath, const QString& hexPath,
                 QString& error);

// Saves a captured block: both files from its grid and figures and, with a record, the
// record beside the decimal file (ProvenancePathFor). Refuses (and writes nothing) a block
// without cells, or two paths that name one file.
bool SaveAdcFiles(std::span<const double> cells, CellFormat format, const AnalysisResults& results,
                  const QString& decimalPath, const QString& hexPath, const QByteArray* record,
                  QString& error);

}  // namespace dmm
