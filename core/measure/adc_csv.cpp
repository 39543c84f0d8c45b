#include "core/measure/adc_csv.h"

#include <QFileInfo>
#include <QStringEncoder>

#include <cmath>
#include <string>

#include "core/app/atomic_write.h"
#include "core/link/number_text.h"
#include "core/measure/block_figures.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/fixed_text.h"

namespace dmm {
namespace {

constexpr int kItemsPerRow = 16;
constexpr char kLineEnd[] = "\r\n";
constexpr char kHeaderTail[] =
    ", VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), Noise Free";
// The Big5 bytes of the header's first word, for a system whose Qt has no Big5 codec.
constexpr char kAverageBig5[] = "\xA5\xAD\xA7\xA1\xAD\xC8";

// A cell as its grid text. Integer cells are whole numbers within 32 bits.
std::string DecimalItem(double cell, CellFormat format) {
    switch (format) {
        case CellFormat::TwoDecimals:
            return FixedText(cell, 2);
        case CellFormat::SixDecimals:
            return FixedText(cell, 6);
        case CellFormat::Integer:
            break;
    }
    return std::to_string(static_cast<int64_t>(cell));
}

// The hex file holds integers: fractional cells (RMS roots, averages) are rounded to
// the nearest one.
std::string HexItem(double cell) {
    const auto value = static_cast<int32_t>(std::llround(cell));
    if (value == 0) return "00h";
    return HexText32(static_cast<uint32_t>(value)) + "h";
}

bool WriteOne(const QByteArray& bytes, const QString& path, QString& error) {
    QString why;
    if (WriteFileAtomically(path, bytes, why)) return true;
    error = QStringLiteral("Cannot write %1: %2").arg(path, why);
    return false;
}

}  // namespace

QByteArray AdcCsvHeader() {
    QStringEncoder big5("Big5");
    QByteArray word = big5.isValid() ? QByteArray(big5.encode(QStringLiteral("平均值")))
                                     : QByteArray(kAverageBig5);
    if (big5.hasError()) word = QByteArray(kAverageBig5);
    return word + kHeaderTail;
}

AdcCsvFiles BuildAdcCsv(std::span<const double> cells, CellFormat format,
                        const AnalysisResults& results) {
    AdcCsvFiles files;
    const size_t rows = cells.size() / kItemsPerRow;
    files.decimal.reserve(static_cast<qsizetype>(rows * kItemsPerRow * 12 + 200));
    files.hex.reserve(static_cast<qsizetype>(rows * kItemsPerRow * 12 + 200));
    for (size_t i = 0; i < rows * kItemsPerRow; ++i) {
        files.decimal += DecimalItem(cells[i], format);
        files.decimal += ", ";
        files.hex += HexItem(cells[i]);
        if (i % kItemsPerRow == kItemsPerRow - 1) {
            files.decimal += kLineEnd;
            files.hex += kLineEnd;
        } else {
            files.hex += ", ";
        }
    }
    QByteArray tail = AdcCsvHeader() + kLineEnd;
    bool first = true;
    for (double figure : results.InOrder()) {
        if (!first) tail += ',';
        first = false;
        tail += FixedText(figure, 6);
    }
    tail += kLineEnd;
    files.decimal += tail;
    files.hex += tail;
    return files;
}

bool WriteAdcCsv(const AdcCsvFiles& files, const QString& decimalPath, const QString& hexPath,
                 QString& error) {
    error.clear();
    return WriteOne(files.decimal, decimalPath, error) && WriteOne(files.hex, hexPath, error);
}

bool SaveAdcFiles(std::span<const double> cells, CellFormat format, const AnalysisResults& results,
                  const QString& decimalPath, const QString& hexPath, const QByteArray* record,
                  QString& error) {
    // Files of no samples would carry figures of nothing, and would replace real ones.
    if (cells.empty()) {
        error = WarningText(FigureWarning::NoSamples);
        return false;
    }
    if (QFileInfo(decimalPath).absoluteFilePath() == QFileInfo(hexPath).absoluteFilePath()) {
        error = QStringLiteral("%1 is the hex file's own name: choose another").arg(decimalPath);
        return false;
    }
    if (!WriteAdcCsv(BuildAdcCsv(cells, format, results), decimalPath, hexPath, error))
        return false;
    return !record || WriteFileAtomically(ProvenancePathFor(decimalPath), *record, error);
}

}  // namespace dmm
