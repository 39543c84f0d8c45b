#include "core/measure/drift_files.h"

#include <QDir>

#include <cmath>
#include <cstdio>

#include "core/app/atomic_write.h"
#include "core/views/big5_text.h"

namespace dmm {
namespace {

QByteArray Figure(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

QByteArray Big5(const QString& text) {
    return ToBig5(text);
}

void AppendFigures(QByteArray& line, const AnalysisResults& figures) {
    for (double value : figures.InOrder()) line += ", " + Figure(value);
}

const QString kFigureHeaders = QStringLiteral(
    "平均值, VPP(nV), RMS Noise(nV), Enob, VPP(count), RMS Noise(count), Noise Free");

// Writes to name, or to the OVER name when name cannot be written.
DriftFileWrite WriteWithFallback(const QDir& dir, const char* name, const char* over,
                                 const QByteArray& bytes, UiHooks& ui) {
    QString error;
    if (WriteFileAtomically(dir.filePath(name), bytes, error)) return {name, {}};
    QString overError;
    if (WriteFileAtomically(dir.filePath(over), bytes, overError)) return {over, {}};
    const QString why = QStringLiteral("%1 (nor %2): %3").arg(name, over, overError);
    ui.ShowError(QStringLiteral("I/O error: ") + why);
    return {{}, why};
}

}  // namespace

std::string MeterValueText(double value) {
    if (!std::isfinite(value)) return {};
    char text[400];
    std::snprintf(text, sizeof text, "%.8f", std::fabs(value));
    std::string digits = text;
    const size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string fraction = digits.substr(point + 1);
    whole.erase(0, whole.find_first_not_of('0'));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (whole.empty() && fraction.empty()) return {};
    std::string out = value < 0 ? "-" : "";
    out += whole;
    if (!fraction.empty()) out += "." + fraction;
    return out;
}

QString MeterUnitText(uint8_t flagsA, uint8_t flagsB) {
    QString unit;
    if (flagsA & 0x01) unit += QStringLiteral("AC ");
    if ((flagsA & 0x02) && !(flagsA & 0x80)) unit += QStringLiteral("DC ");
    if (flagsA & 0x04) unit += QStringLiteral("V");
    if (flagsA & 0x08) unit += QStringLiteral("F");
    if (flagsA & 0x10) unit += QStringLiteral("D");
    if (flagsA & 0x20) unit += QStringLiteral("℃");
    if (flagsA & 0x40) unit += QStringLiteral("℉");
    if (flagsA & 0x80) unit += QStringLiteral("Ω");
    if (flagsB & 0x02) unit += QStringLiteral("A");
    if (flagsB & 0x04) unit += QStringLiteral("Hz");
    if (flagsB & 0x08) unit += QStringLiteral("%");
    if (flagsB & 0x20) unit += QStringLiteral("dB");
    return unit;
}

QByteArray DriftAFileBytes(const DriftResults& results, const QString& temperatureHeader,
                           const QString& humidityHeader) {
    QByteArray out = ", , , Test #0, , , \r\n";
    out += Big5(temperatureHeader) + ", " + Big5(humidityHeader) + ",  ," + Big5(kFigureHeaders) +
           "\r\n";
    for (int s = 1; s <= results.steps(); ++s) {
        const auto& conditions = results.Conditions(s);
        for (int m = 1; m <= results.modes(); ++m) {
            QByteArray line = Figure(conditions.temperature) + ", " + Figure(conditions.humidity) +
                              ", " + QByteArray::number(m);
            AppendFigures(line, results.Figures(s, m));
            out += line + "\r\n";
        }
    }
    return out;
}

QByteArray DriftBFileBytes(const DriftResults& results) {
    QByteArray out = "Test #0, , , \r\n";
    out += " ," + Big5(kFigureHeaders) + "\r\n";
    for (int s = 1; s <= results.steps(); ++s) {
        for (int m = 1; m <= results.modes(); ++m) {
            QByteArray line = QByteArray::number(m);
            AppendFigures(line, results.Figures(s, m));
            out += line + "\r\n";
        }
    }
    return out;
}

QByteArray DriftMeterFileBytes(const DriftResults& results) {
    QByteArray out = ", , ";
    for (int k = 0; k < kDriftMeterChannels; ++k)
        out += ", Test #" + QByteArray::number(k) + ", , ";
    out += "\r\n";
    for (int s = 1; s <= results.steps(); ++s) {
        const auto& conditions = results.Conditions(s);
        for (int m = 1; m <= results.modes(); ++m) {
            QByteArray line =
                Figure(conditions.temperature) + ", " + Figure(conditions.humidity) + ", ";
            for (int k = 0; k < kDriftMeterChannels; ++k) {
                const MeterFigure& meter = results.Meter(k, s, m);
                line += ", " + QByteArray::number(m) + ", " +
                        QByteArray::fromStdString(MeterValueText(meter.value)) + ", " +
                        Big5(meter.unit);
            }
            out += line + "\r\n";
        }
    }
    return out;
}

DriftFileWrites WriteDriftBFiles(const QString& folder, const DriftResults& results, bool meters,
                                 UiHooks& ui) {
    const QDir dir(folder);
    DriftFileWrites writes;
    writes.files.push_back(
        WriteWithFallback(dir, kDriftBFileName, kDriftBOverName, DriftBFileBytes(results), ui));
    if (meters) {
        writes.files.push_back(WriteWithFallback(dir, kDriftMeterFileName, kDriftMeterOverName,
                                                 DriftMeterFileBytes(results), ui));
    }
    return writes;
}

DriftFileWrite WriteDriftAFile(const QString& folder, const DriftResults& results, UiHooks& ui) {
    QString error;
    if (WriteFileAtomically(
            QDir(folder).filePath(kDriftAFileName),
            DriftAFileBytes(results, QStringLiteral("溫度"), QStringLiteral("濕度")), error))
        return {kDriftAFileName, {}};
    const QString why = QStringLiteral("%1: %2").arg(kDriftAFileName, error);
    ui.ShowError(QStringLiteral("I/O error: ") + why);
    return {{}, why};
}

}  // namespace dmm
