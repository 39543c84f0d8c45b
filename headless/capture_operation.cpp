#include "headless/capture_operation.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <iomanip>
#include <sstream>

#include "core/measure/adc_analysis.h"
#include "core/measure/adc_csv.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/capture_host.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/figure_table.h"
#include "core/measure/spectral_window.h"

namespace dmm::headless {
namespace {

constexpr int kNameWidth = 25;

bool WritableTarget(const QString& path) {
    const QFileInfo file(path);
    if (file.exists()) return file.isFile() && file.isWritable();
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable();
}

// The hex file goes where the program keeps its result files.
QString HexPath(const HeadlessBench& bench, const std::string& csvPath) {
    const QString folder = bench.benchDir().empty()
                               ? QFileInfo(QString::fromStdString(csvPath)).absolutePath()
                               : QString::fromStdString(bench.benchDir());
    return QDir(folder).filePath(kHexCsvName);
}

// The settings a request makes, or why it makes none.
Result<CaptureSettings> SettingsOf(const CaptureRequest& r) {
    if (SamplePointItemOf(static_cast<int>(std::clamp<int64_t>(r.points, -1, 1 << 20))) < 0)
        return Refused("points must be a power of two from 64 to 65536, not " +
                       std::to_string(r.points));
    if (r.scaleBits < kMinResultBits || r.scaleBits > kMaxResultBits)
        return Refused("scale must be a whole number of result bits from 8 to 24, not " +
                       std::to_string(r.scaleBits));
    bool number = false;
    const double vref = QString::fromStdString(r.vref).toDouble(&number);
    if (!number || !std::isfinite(vref) || vref <= 0)
        return Refused("vref must be a reference voltage in volts above 0, not " + r.vref);
    if (r.flagRegister && (*r.flagRegister < 0 || *r.flagRegister >= kRegisterImageSize))
        return Refused("--flag-reg lies outside the chip's 0x000..0x3FF");
    if (!std::isfinite(r.timeoutSeconds) || r.timeoutSeconds <= 0)
        return Refused("timeout must be a number of seconds above 0");
    const auto window = SpectrumWindowFromName(r.window);
    if (!window) return Refused("window must be rect, hann, bh4 or flattop, not " + r.window);
    if (r.spectra < 1 || r.spectra > 16)
        return Refused("spectra must be 1..16, not " + std::to_string(r.spectra));
    CaptureSettings settings;
    settings.NPointIndex = SamplePointItemOf(static_cast<int>(r.points));
    settings.TXScale = static_cast<int>(r.scaleBits) - kMinResultBits;
    settings.ENInterrupt = !r.poll;
    settings.EREFV = QString::fromStdString(r.vref);
    settings.idleTimeoutMs = static_cast<int64_t>(std::llround(r.timeoutSeconds * 1000.0));
    settings.spectrumWindow = *window;
    settings.spectrumAverages = static_cast<int>(r.spectra);
    return settings;
}

// Why a capture's block is no result, if it is not one.
std::optional<Failure> EndFailure(const CaptureOutcome& outcome, const RunHooks& hooks,
                                  bool writing) {
    // Nothing is written from half a block, nor from none.
    const std::string nothing = writing ? "; nothing written" : "";
    if (hooks.StopWanted()) {
        return Failure{FailureKind::Stopped, "capture stopped by " + hooks.StopName() + " after " +
                                                 std::to_string(outcome.captured) +
                                                 " samples; nothing written"};
    }
    if (!outcome.Complete()) {
        const FailureKind kind = outcome.end == CaptureEnd::TimedOut   ? FailureKind::TimedOut
                                 : outcome.end == CaptureEnd::LinkLost ? FailureKind::Link
                                 : outcome.end == CaptureEnd::Stopped  ? FailureKind::Stopped
                                                                       : FailureKind::Failed;
        return Failure{
            kind, "capture ended early: " + CaptureEndText(outcome.end).toStdString() + nothing};
    }
    if (!outcome.HasSamples())
        return Failure{FailureKind::Failed,
                       WarningText(FigureWarning::NoSamples).toStdString() + nothing};
    return std::nullopt;
}

}  // namespace

Result<CaptureBlock> Capture(HeadlessBench& bench, const CaptureRequest& request) {
    const auto source = CaptureSourceFromName(request.source);
    if (!source) return Refused("source must be adcs, adcf, avg or rms, not " + request.source);
    Result<CaptureSettings> checked = SettingsOf(request);
    if (!checked) return checked.failure();
    CaptureSettings settings = *checked;
    // A file that cannot be written is refused before a long capture, not after it.
    const QString decimalPath = QString::fromStdString(request.csvPath);
    const QString hexPath = HexPath(bench, request.csvPath);
    const bool writing = !request.csvPath.empty();
    if (writing && !WritableTarget(decimalPath)) {
        return Refused("cannot write " + request.csvPath +
                       ": its folder does not exist or is not writable");
    }
    if (writing &&
        QFileInfo(decimalPath).absoluteFilePath() == QFileInfo(hexPath).absoluteFilePath())
        return Refused("--csv " + request.csvPath +
                       " is the hex file the capture writes: choose another");
    if (Done board = bench.EnsureBoard(); !board) return board.failure();

    // The flag register and the gain tables come from the chip description; a flag
    // register given overrides it for chips whose description lacks it.
    if (!request.flagRegister) {
        if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    }
    BenchCore& core = bench.core();
    ApplyChipLayout(core.chipModel(), settings);
    if (request.flagRegister) settings.flags.address = static_cast<uint16_t>(*request.flagRegister);
    const TRegField* flagField = core.chipModel().Field("SADC_IF");
    if (request.poll && !request.flagRegister && !(flagField && flagField->IsDefined())) {
        return Refused(
            "the loaded chip does not say where its interrupt flags are: give "
            "--flag-reg ADDR or capture through the stream (without --poll)");
    }

    RunHooks& hooks = bench.hooks();
    StandaloneCaptureHost host;
    AdcAnalysis analysis(core, host, hooks);
    {
        const ProgressScope scope(
            hooks,
            [&analysis] {
                return Progress{analysis.captureCount(), analysis.targetCount(),
                                "captured " + std::to_string(analysis.captureCount()) + " of " +
                                    std::to_string(analysis.targetCount()) + " samples"};
            },
            [&analysis] { analysis.RequestStop(); });
        analysis.SetSettings(settings);
        analysis.CatchACDCOM(settings.EREFV, *source);
    }

    CaptureBlock block;
    block.outcome = analysis.Outcome();
    block.samples = analysis.blockCounts();
    block.divisor = analysis.BlockDivisor();
    block.resultBits = core.adc().scale.resultBits;
    block.analysisBits = core.adc().scale.analysisBits;
    block.cells.reserve(static_cast<size_t>(analysis.cellCount()));
    for (int i = 0; i < analysis.cellCount(); ++i) block.cells.push_back(analysis.Cell(i));
    block.cellFormat = analysis.cellFormat();
    block.results = analysis.data().results;
    block.hexPath = hexPath;
    if (request.withRecord || writing) {
        const ProvenanceContext context =
            ReadProvenanceContext(core, QString::fromStdString(bench.benchDir()),
                                  bench.instruments().ConnectedSummaries());
        block.record = analysis.ProvenanceJson(context);
    }
    block.failure = EndFailure(block.outcome, hooks, writing);
    if (writing && !block.failure) {
        Result<std::vector<QString>> saved = SaveCaptureBlock(block, decimalPath);
        if (saved)
            block.written = *saved;
        else
            block.failure = saved.failure();
    }
    return block;
}

Result<std::vector<QString>> SaveCaptureBlock(const CaptureBlock& block,
                                              const QString& decimalPath) {
    if (block.failure) return Refused("the block is no result: " + block.failure->message);
    QString error;
    if (!SaveAdcFiles(block.cells, block.cellFormat, block.results, decimalPath, block.hexPath,
                      block.record.isEmpty() ? nullptr : &block.record, error))
        return Failure{FailureKind::Failed, error.toStdString()};
    std::vector<QString> written{decimalPath, block.hexPath};
    if (!block.record.isEmpty()) written.push_back(ProvenancePathFor(decimalPath));
    return written;
}

std::optional<Failure> StrictFailure(const CaptureBlock& block) {
    if (const auto severe = block.outcome.SevereWarning())
        return Failure{FailureKind::Failed, "--strict: " + WarningText(*severe).toStdString()};
    return std::nullopt;
}

std::string CaptureLine(const CaptureOutcome& outcome) {
    std::ostringstream line;
    line << "captured " << outcome.captured << " of " << outcome.target << ' '
         << SourceInfo(outcome.source).caption << " samples in " << outcome.elapsedMs << " ms ("
         << CaptureEndText(outcome.end).toStdString() << ")";
    return line.str();
}

std::vector<FigureRow> ShownFigures(const CaptureOutcome& outcome) {
    std::vector<FigureRow> shown;
    for (const std::vector<FigureRow>* rows : {&outcome.program, &outcome.added}) {
        for (const FigureRow& row : *rows) {
            // Not computed for this block (no tone, no rate); one withheld shows "----".
            if (row.value || !row.withheld.isEmpty()) shown.push_back(row);
        }
    }
    return shown;
}

std::string FigureTableText(const CaptureOutcome& outcome) {
    std::ostringstream table;
    for (const FigureRow& row : ShownFigures(outcome))
        table << std::left << std::setw(kNameWidth) << row.key << FigureText(row).toStdString()
              << '\n';
    return table.str();
}

}  // namespace dmm::headless
