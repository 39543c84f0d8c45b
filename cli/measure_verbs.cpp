// Verbs that capture and analyse ADC blocks: capture.
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <iomanip>

#include "cli/cli_ui_hooks.h"
#include "cli/interrupt.h"
#include "cli/verb.h"
#include "core/link/number_text.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/adc_csv.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/capture_host.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/figure_table.h"
#include "core/measure/fixed_text.h"

namespace dmm::cli {
namespace {

constexpr int kNameWidth = 25;

// One of the analysis window's capture lengths.
CLI::Validator CaptureLength() {
    return CLI::Validator(
        [](std::string& text) {
            constexpr WholeRule kAny{"a capture length", 1, 65536};
            const auto length = ReadWhole(text, kAny);
            if (length && SamplePointItemOf(static_cast<int>(*length)) >= 0) {
                text = std::to_string(*length);
                return std::string();
            }
            return Refusal(text, "a capture length", "64, 128, 256, ... 65536");
        },
        "64..65536");
}

class CaptureVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--source", source_, "result register: adcs, adcf, avg or rms")
            ->check(CLI::IsMember({"adcs", "adcf", "avg", "rms"}, CLI::ignore_case));
        app.add_option("--points", points_, "capture length: 64, 128, ... 65536")
            ->transform(CaptureLength());
        app.add_option("--scale", bits_, "result bits b (8..24): divisor 2^(24-b)")
            ->transform(Whole(kResultBitsRule));
        // The stream is the default: the board queues every result in order, so the block
        // has a time axis, while polling the flags over USB misses results above a few
        // hundred a second. Every source of the family's chips has a stream channel.
        auto* interrupt = app.add_flag("--interrupt", stream_,
                                       "read through the board's ADC stream (the default)");
        app.add_flag("--poll", poll_,
                     "poll the interrupt-flag register instead of the stream, as the analysis "
                     "window does by default")
            ->excludes(interrupt);
        app.add_option("--vref", vref_, "reference voltage in volts (default 1.2)")
            ->transform(Real(kReferenceVoltageRule));
        app.add_option("--flag-reg", flagRegister_,
                       "address of the interrupt-flag register (the register of SADC_IF); needed "
                       "for polling")
            ->transform(Address("an interrupt-flag register"));
        app.add_option("--timeout", timeoutMs_, "give up after this many seconds without a sample")
            ->transform(Duration(kCaptureTimeoutRule));
        app.add_option("--csv", csv_,
                       "write the block and its figures to FILE, the hex file VzADCHex.CSV to "
                       "the bench directory, and the capture's record to FILE.json");
        app.add_option("--window", window_,
                       "window of the added spectrum figures: rect, hann, bh4 or flattop")
            ->check(CLI::IsMember({"rect", "hann", "bh4", "flattop"}, CLI::ignore_case));
        app.add_option("--spectra", spectra_, "spectra averaged for the noise spectrum: 1..16")
            ->transform(Whole(kSpectraRule));
        app.add_flag("--json", json_,
                     "print the capture's record (settings, register image, every figure) as "
                     "JSON instead of the table; stdout then holds the record alone");
        app.add_flag("--strict", strict_,
                     "fail when the block is saturated at full scale, shows no noise or "
                     "missed results");
    }

    bool PrintsDocument() const override { return json_; }

    bool Run(Session& s) override {
        const int flagRegister = flagRegister_;
        // A file that cannot be written is refused before a long capture, not after it.
        const QString decimalPath = QString::fromStdString(csv_);
        const QString hexPath = HexPath(s);
        if (!csv_.empty() && !WritableTarget(decimalPath)) {
            return s.Fail("cannot write " + csv_ +
                          ": its folder does not exist or is not writable");
        }
        if (!csv_.empty() &&
            QFileInfo(decimalPath).absoluteFilePath() == QFileInfo(hexPath).absoluteFilePath())
            return s.Fail("--csv " + csv_ + " is the hex file the capture writes: choose another");
        if (!s.EnsureBoard()) return false;

        const CaptureSource source = *CaptureSourceFromName(source_);
        CaptureSettings settings;
        settings.NPointIndex = SamplePointItemOf(points_);
        settings.TXScale = bits_ - kMinResultBits;
        settings.ENInterrupt = !poll_;
        settings.EREFV = QString::fromStdString(vref_);
        // The flag register and the gain tables come from the chip description; --flag-reg
        // overrides the register for chips whose description lacks it.
        if (flagRegister < 0 && !s.EnsureChip()) return false;
        ApplyChipLayout(s.core().chipModel(), settings);
        if (flagRegister >= 0) settings.flags.address = static_cast<uint16_t>(flagRegister);
        const TRegField* flagField = s.core().chipModel().Field("SADC_IF");
        if (poll_ && flagRegister < 0 && !(flagField && flagField->IsDefined())) {
            return s.Fail(
                "the loaded chip does not say where its interrupt flags are: give "
                "--flag-reg ADDR or capture through the stream (without --poll)");
        }
        settings.idleTimeoutMs = timeoutMs_;

        settings.spectrumWindow = *SpectrumWindowFromName(window_);
        settings.spectrumAverages = spectra_;

        StandaloneCaptureHost host;
        CliUiHooks ui(s.err());
        AdcAnalysis analysis(s.core(), host, ui);
        ui.progress = [&] {
            return "captured " + std::to_string(analysis.captureCount()) + " of " +
                   std::to_string(analysis.targetCount()) + " samples";
        };
        ui.onInterrupt = [&] { analysis.RequestStop(); };
        analysis.SetSettings(settings);
        analysis.CatchACDCOM(settings.EREFV, source);
        ui.progress = nullptr;
        const CaptureOutcome outcome = analysis.Outcome();

        // With --json stdout carries the record alone, whatever the outcome.
        std::ostream& report = json_ ? s.err() : s.out();
        report << "captured " << outcome.captured << " of " << outcome.target << ' '
               << SourceInfo(source).caption << " samples in " << outcome.elapsedMs << " ms ("
               << CaptureEndText(outcome.end).toStdString() << ")\n";
        std::optional<ProvenanceContext> context;
        if (json_ || !csv_.empty())
            context = ReadProvenanceContext(s.core(), QString::fromStdString(s.benchDir()),
                                            s.instruments().ConnectedSummaries());
        if (json_)
            s.document() << analysis.ProvenanceJson(*context).toStdString() << std::flush;
        else if (outcome.Complete() && outcome.HasSamples())
            PrintFigures(s, outcome);
        for (FigureWarning w : outcome.warnings) {
            if (w != FigureWarning::NoSamples)
                s.err() << "dmmctl: warning: " << WarningText(w).toStdString() << '\n';
        }
        // Nothing is written from half a block, nor from none.
        const std::string nothing = csv_.empty() ? "" : "; nothing written";
        if (Interrupted()) {
            return s.Fail(std::string("capture stopped by ") + InterruptName() + " after " +
                          std::to_string(outcome.captured) + " samples; nothing written");
        }
        if (!outcome.Complete())
            return s.Fail("capture ended early: " + CaptureEndText(outcome.end).toStdString() +
                          nothing);
        if (!outcome.HasSamples())
            return s.Fail(WarningText(FigureWarning::NoSamples).toStdString() + nothing);
        if (!csv_.empty() && !Save(s, analysis, decimalPath, hexPath, *context)) return false;
        if (strict_) {
            if (const auto severe = outcome.SevereWarning())
                return s.Fail("--strict: " + WarningText(*severe).toStdString());
        }
        return true;
    }

  private:
    static bool WritableTarget(const QString& path) {
        const QFileInfo file(path);
        if (file.exists()) return file.isFile() && file.isWritable();
        const QFileInfo folder(file.absolutePath());
        return folder.isDir() && folder.isWritable();
    }

    // The hex file goes where the program keeps its result files.
    QString HexPath(Session& s) const {
        const QString folder = s.benchDir().empty()
                                   ? QFileInfo(QString::fromStdString(csv_)).absolutePath()
                                   : QString::fromStdString(s.benchDir());
        return QDir(folder).filePath(kHexCsvName);
    }

    static void PrintFigures(Session& s, const CaptureOutcome& outcome) {
        for (const std::vector<FigureRow>* rows : {&outcome.program, &outcome.added}) {
            for (const FigureRow& row : *rows) {
                // Not computed for this block (no tone, no rate); one withheld shows "----".
                if (!row.value && row.withheld.isEmpty()) continue;
                s.out() << std::left << std::setw(kNameWidth) << row.key
                        << FigureText(row).toStdString() << '\n';
            }
        }
    }

    bool Save(Session& s, const AdcAnalysis& analysis, const QString& decimalPath,
              const QString& hexPath, const ProvenanceContext& context) const {
        QString error;
        if (!analysis.SaveOut(decimalPath, hexPath, error, &context))
            return s.Fail(error.toStdString());
        (json_ ? s.err() : s.out()) << "wrote " << csv_ << ", " << hexPath.toStdString() << " and "
                                    << ProvenancePathFor(decimalPath).toStdString() << '\n';
        return true;
    }

    std::string source_ = "adcs";
    int points_ = kDefaultCaptureLength;
    int bits_ = kMaxResultBits;
    bool stream_ = false;  // --interrupt: the default, kept for scripts that name it
    bool poll_ = false;
    std::string vref_ = kDefaultReferenceText;
    int flagRegister_ = -1;  // none given: the chip description's
    int64_t timeoutMs_ = 10000;
    std::string csv_;
    std::string window_ = "rect";
    int spectra_ = 1;
    bool json_ = false;
    bool strict_ = false;
};

}  // namespace

void AddMeasureVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"capture",
                     "capture [--source S] [--points N] [--scale B] [--poll] [--vref V] "
                     "[--flag-reg A] [--csv FILE] [--window W] [--spectra N] [--json] [--strict]: "
                     "capture an ADC block, print its noise figures",
                     [] { return std::make_unique<CaptureVerb>(); }});
}

}  // namespace dmm::cli
