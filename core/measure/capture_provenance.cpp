#include "core/measure/capture_provenance.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
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
// Small enough for a HID board's 64-byte reports.
constexpr int kSnapshotReadBytes = 32;

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

QString Hex(uint16_t value, int digits) {
    return QStringLiteral("0x") + QString::fromStdString(HexStr(value, digits));
}

}  // namespace

QString ProvenancePathFor(const QString& resultPath) {
    return resultPath + QStringLiteral(".json");
}

ChipRegisterSnapshot ReadChipRegisters(ChipAccess& chip, const TChipModel& model,
                                       InterfaceKind kind) {
    ChipRegisterSnapshot snapshot;
    const int reach = kind == InterfaceKind::DMM ? kDmmAddressSpace : kRegisterImageSize;
    for (const AddressRange& area : model.registerAreas) {
        // "0 0" is the description's way of saying there is no such area.
        if (area.end < area.start || (area.start == 0 && area.end == 0)) continue;
        const int end = std::min<int>(area.end, reach - 1);
        for (int at = area.start; at <= end; at += kSnapshotReadBytes) {
            const int count = std::min(kSnapshotReadBytes, end - at + 1);
            if (!chip.ReadChip(static_cast<uint16_t>(at), count)) continue;
            for (int i = 0; i < count; ++i) {
                snapshot.bytes[static_cast<size_t>(at + i)] = chip.buffer()[static_cast<size_t>(i)];
                snapshot.read.set(static_cast<size_t>(at + i));
            }
        }
    }
    return snapshot;
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
    // What the chip held, not the program's copy (which knows only what this run wrote
    // or read): every byte read from the chip as the capture began, "--" for the others.
    const ChipRegisterSnapshot& chipImage = chipRegisters_;
    QJsonArray image;
    QJsonArray readRanges;
    int rangeStart = -1;
    for (int row = 0; row < kRegisterImageSize; row += kImageBytesPerRow) {
        QString line = QString::fromStdString(HexStr(static_cast<uint16_t>(row), 3)) + ":";
        for (int i = row; i < row + kImageBytesPerRow; ++i) {
            const auto at = static_cast<size_t>(i);
            line += ' ' + (chipImage.read.test(at)
                               ? QString::fromStdString(HexStr(chipImage.bytes[at], 2))
                               : QStringLiteral("--"));
        }
        image.append(line);
    }
    for (int i = 0; i <= kRegisterImageSize; ++i) {
        const bool read = i < kRegisterImageSize && chipImage.read.test(static_cast<size_t>(i));
        if (read && rangeStart < 0) rangeStart = i;
        if (!read && rangeStart >= 0) {
            readRanges.append(Hex(static_cast<uint16_t>(rangeStart), 3) + '-' +
                              Hex(static_cast<uint16_t>(i - 1), 3));
            rangeStart = -1;
        }
    }
    root.insert("registerImage", image);
    root.insert("registerImageSource",
                QStringLiteral("read from the chip as the capture began: the loaded "
                               "description's register areas that the interface reaches; "
                               "\"--\" where nothing was read"));
    root.insert("registerImageRead", readRanges);

    const CaptureSettings& s = active_;
    const BlockFigures& f = figures_;
    const CaptureOutcome outcome = Outcome();
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
            {"end", CaptureEndName(lastEnd_)},
            {"endNotice",
             outcome.Complete() ? QJsonValue(QJsonValue::Null) : QJsonValue(outcome.EndNotice())},
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
    if (!context.gaps.isEmpty()) root.insert("gaps", QJsonArray::fromStringList(context.gaps));

    const std::vector<FigureRow>& original = outcome.program;
    const std::vector<FigureRow>& extra = outcome.added;
    QJsonObject withheld;
    for (const std::vector<FigureRow>* rows : {&original, &extra}) {
        for (const FigureRow& row : *rows) {
            if (!row.withheld.isEmpty())
                withheld.insert(QString::fromStdString(row.key), row.withheld);
        }
    }
    root.insert("figures", QJsonObject{{"program", Figures(original)},
                                       {"added", Figures(extra)},
                                       {"withheld", withheld}});
    root.insert("warnings", QJsonArray::fromStringList(outcome.Notices()));
    root.insert(
        "conventions",
        Conventions(extra, Conventions(original, {{"definitions", ConventionsPreamble()}})));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace dmm
