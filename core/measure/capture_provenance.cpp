#include "core/measure/capture_provenance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "core/app/bench_core.h"
#include "core/chip/chip_loader.h"
#include "core/link/number_text.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/adc_statistics.h"
#include "core/measure/figure_table.h"

namespace dmm {
namespace {

constexpr int kImageBytesPerRow = 16;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// JSON has no infinities: a figure that is not a number is written as null.
QJsonValue Number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QJsonObject Figures(const std::vector<FigureRow>& rows) {
    QJsonObject out;
    for (const FigureRow& row : rows) {
        out.insert(QString::fromStdString(row.key),
                   row.value ? Number(*row.value) : QJsonValue(QJsonValue::Null));
    }
    return out;
}

QJsonObject Conventions(const std::vector<FigureRow>& rows, QJsonObject into) {
    for (const FigureRow& row : rows) into.insert(QString::fromStdString(row.key), row.convention);
    return into;
}

QString EndName(CaptureEnd end) {
    switch (end) {
        case CaptureEnd::Complete:
            return "complete";
        case CaptureEnd::Stopped:
            return "stopped";
        case CaptureEnd::LinkLost:
            return "link lost";
        case CaptureEnd::TimedOut:
            return "timed out";
    }
    return {};
}

QString Hex(uint16_t value, int digits) {
    return QStringLiteral("0x") + QString::fromStdString(HexStr(value, digits));
}

}  // namespace

QString ProvenancePathFor(const QString& resultPath) {
    const QFileInfo info(resultPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".json"));
}

ProvenanceContext ReadProvenanceContext(BenchCore& core, const QString& benchDir,
                                        const std::vector<Instruments::Connected>& instruments) {
    ProvenanceContext context;
    for (const Instruments::Connected& i : instruments) {
        context.instruments.push_back(
            {QString::fromStdString(i.role),
             QString::fromStdString(i.summary.identity + " (" + i.summary.port + ")"),
             QString::fromStdString(i.summary.output)});
    }
    const ChipSelector selector = FillChipSelector(IncludeDirectory(benchDir));
    const size_t index = core.target().chipIndex;
    if (index < selector.texts.size())
        context.chipName = QString::fromStdString(selector.texts[index]);
    std::string info;
    if (core.target().devc.HandleValid() && core.link().ReadBoardInfo(info)) {
        // The info text is fixed-width; trailing NULs are padding.
        while (!info.empty() && info.back() == '\0') info.pop_back();
        context.boardInfo = QString::fromLatin1(info.data(), static_cast<qsizetype>(info.size()));
    }
    return context;
}

QByteArray AdcAnalysis::ProvenanceJson(const ProvenanceContext& context) const {
    const STND& target = core_.target();
    const TChipModel& model = core_.chipModel();
    QJsonObject root;
    root.insert("program", QJsonObject{{"name", "dmmbench"}, {"version", context.programVersion}});
    root.insert("time", captureTime_.isValid() ? captureTime_.toString(Qt::ISODateWithMs)
                                               : QJsonValue(QJsonValue::Null));
    root.insert("chip", QJsonObject{{"index", target.chipIndex},
                                    {"name", context.chipName},
                                    {"productTitle", QString::fromStdString(model.productTitle)}});
    root.insert("interfaceKind", Latin1(InterfaceKindName(target.interfaceKind)));
    const Devc& devc = target.devc;
    root.insert("board", QJsonObject{{"info", context.boardInfo},
                                     {"connection", devc.hid    ? QStringLiteral("hid")
                                                    : devc.bulk ? QStringLiteral("bulk")
                                                                : QStringLiteral("none")},
                                     {"device", QString::fromStdString(devc.deviceName)},
                                     {"vendorId", Hex(devc.VendorId(), 4)},
                                     {"productId", Hex(devc.ProductId(), 4)}});
    QJsonArray image;
    for (int row = 0; row < kRegisterImageSize; row += kImageBytesPerRow) {
        QString line = QString::fromStdString(HexStr(static_cast<uint16_t>(row), 3)) + ":";
        for (int i = row; i < row + kImageBytesPerRow; ++i)
            line += ' ' +
                    QString::fromStdString(HexStr(target.RegisterImage[static_cast<size_t>(i)], 2));
        image.append(line);
    }
    root.insert("registerImage", image);

    const CaptureSettings& s = settings_;
    const BlockFigures& f = figures_;
    root.insert(
        "capture",
        QJsonObject{
            {"source", Latin1(SourceInfo(lastSource_).caption)},
            {"points", data_.captureLength},
            {"resultBits", data_.scale.resultBits},
            {"divisor", data_.scale.divisor},
            {"analysisBits", data_.scale.analysisBits},
            {"interrupt", s.ENInterrupt},
            {"referenceText", s.EREFV},
            {"referenceVolts", ParseReferenceVolts(s.EREFV)},
            {"flagRegister", Hex(s.flags.address, 3)},
            {"timeoutSeconds", static_cast<double>(s.idleTimeoutMs) / 1000.0},
            {"captured", captureCount_},
            {"target", targetCount_},
            {"end", EndName(lastEnd_)},
            {"elapsedMs", elapsedMs_},
            {"lineSpacingHz", lineSpacingHz_},
            {"averageFactor", averageFactor_},
            {"analysedSamples", f.noise.count},
            {"outputRateHz", Number(f.noise.outputRateHz)},
            {"outputRateFrom",
             f.noise.rateFromFields ? QStringLiteral("rate fields") : QStringLiteral("measured")},
            {"spectrumWindow", Latin1(ShapeOf(f.window).name)},
            {"spectrumAverages", f.spectrum.empty() ? f.spectrumAverages : f.spectrum.segments},
        });
    QJsonArray instruments;
    for (const InstrumentRecord& i : context.instruments) {
        instruments.append(
            QJsonObject{{"role", i.role}, {"identity", i.identity}, {"output", i.output}});
    }
    root.insert("instruments", instruments);

    const std::vector<FigureRow> original = OriginalFigureRows(data_.results, f.HasSamples());
    const std::vector<FigureRow> extra = ExtraFigureRows(f, lineSpacingHz_);
    root.insert("figures", QJsonObject{{"program", Figures(original)}, {"added", Figures(extra)}});
    QJsonArray warnings;
    for (FigureWarning w : f.warnings) warnings.append(WarningText(w));
    root.insert("warnings", warnings);
    root.insert(
        "conventions",
        Conventions(extra, Conventions(original, {{"definitions", ConventionsPreamble()}})));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace dmm
