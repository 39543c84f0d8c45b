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
#include "core/measure/fixed_text.h"

namespace dmm::cli {
namespace {

// The figures in the order and with the names of the result files' header.
constexpr const char* kFigureNames[] = {"mean",       "VPP(nV)",          "RMS Noise(nV)", "Enob",
                                        "VPP(count)", "RMS Noise(count)", "Noise Free"};

std::string EndText(CaptureEnd end) {
    switch (end) {
        case CaptureEnd::Complete:
            return "complete";
        case CaptureEnd::Stopped:
            return "stopped";
        case CaptureEnd::LinkLost:
            return "the board link was lost";
        case CaptureEnd::TimedOut:
            return "no sample came within the time-out";
    }
    return {};
}

class CaptureVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--source", source_, "result register: adcs, adcf, avg or rms")
            ->check(CLI::IsMember({"adcs", "adcf", "avg", "rms"}, CLI::ignore_case));
        app.add_option("--points", points_, "capture length: 64, 128, ... 65536")
            ->check([](const std::string& t) {
                int64_t v = 0;
                return ParseCliNumber(t, v) && SamplePointItemOf(static_cast<int>(v)) >= 0
                           ? std::string()
                           : "must be a power of two from 64 to 65536";
            });
        app.add_option("--scale", bits_, "result bits b (8..24): divisor 2^(24-b)")
            ->check(WholeNumberIn(kMinResultBits, kMaxResultBits, "result bits"));
        app.add_flag("--interrupt", stream_,
                     "read through the board's ADC stream instead of polling");
        app.add_option("--vref", vref_, "reference voltage in volts (default 1.2)")
            ->check(NumberAboveZero("a reference voltage in volts"));
        app.add_option("--flag-reg", flagRegister_,
                       "address of the interrupt-flag register (the register of SADC_IF); needed "
                       "for polling")
            ->check(CliNumber());
        app.add_option("--timeout", timeoutSeconds_,
                       "give up after this many seconds without a sample")
            ->check(NumberAboveZero("a number of seconds"));
        app.add_option("--csv", csv_,
                       "write the block and its figures to FILE, and the hex file VzADCHex.CSV "
                       "to the bench directory");
    }

    bool Run(Session& s) override {
        int64_t points = 0, flagRegister = -1;
        ParseCliNumber(points_, points);
        if (!flagRegister_.empty()) ParseCliNumber(flagRegister_, flagRegister);
        if (flagRegister >= kRegisterImageSize)
            return s.Fail("--flag-reg lies outside the chip's 0x000..0x3FF");
        // A file that cannot be written is refused before a long capture, not after it.
        if (!csv_.empty() && !WritableTarget(QString::fromStdString(csv_))) {
            return s.Fail("cannot write " + csv_ +
                          ": its folder does not exist or is not writable");
        }
        if (!s.EnsureBoard()) return false;

        const CaptureSource source = *CaptureSourceFromName(source_);
        CaptureSettings settings;
        settings.NPointIndex = SamplePointItemOf(static_cast<int>(points));
        settings.TXScale = bits_ - kMinResultBits;
        settings.ENInterrupt = stream_;
        settings.EREFV = QString::fromStdString(vref_);
        // The flag register and the gain tables come from the chip description; --flag-reg
        // overrides the register for chips whose description lacks it.
        if (flagRegister < 0 && !s.EnsureChip()) return false;
        ApplyChipLayout(s.core().chipModel(), settings);
        if (flagRegister >= 0) settings.flags.address = static_cast<uint16_t>(flagRegister);
        const TRegField* flagField = s.core().chipModel().Field("SADC_IF");
        if (!stream_ && flagRegister < 0 && !(flagField && flagField->IsDefined())) {
            return s.Fail(
                "the loaded chip does not say where its interrupt flags are: give "
                "--flag-reg ADDR or use --interrupt");
        }
        settings.idleTimeoutMs = static_cast<int64_t>(std::llround(timeoutSeconds_ * 1000.0));

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
        if (Interrupted()) {
            // Stopped cleanly (the stream is off); nothing is written from half a block.
            return s.Fail("capture stopped by Ctrl-C after " +
                          std::to_string(analysis.captureCount()) + " samples; nothing written");
        }

        s.out() << "captured " << analysis.captureCount() << " of " << analysis.targetCount() << ' '
                << SourceInfo(source).caption << " samples in " << analysis.elapsedMs() << " ms ("
                << EndText(analysis.lastEnd()) << ")\n";
        const auto figures = s.core().adc().results.InOrder();
        for (size_t i = 0; i < figures.size(); ++i) {
            s.out() << std::left << std::setw(18) << kFigureNames[i] << FixedText(figures[i], 6)
                    << '\n';
        }
        if (!csv_.empty() && !Save(s, analysis)) return false;
        if (analysis.lastEnd() != CaptureEnd::Complete) {
            return s.Fail("capture ended early: " + EndText(analysis.lastEnd()));
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

    bool Save(Session& s, const AdcAnalysis& analysis) const {
        const QString decimalPath = QString::fromStdString(csv_);
        // The hex file goes where the program keeps its result files.
        const QString folder = s.benchDir().empty() ? QFileInfo(decimalPath).absolutePath()
                                                    : QString::fromStdString(s.benchDir());
        const QString hexPath = QDir(folder).filePath(kHexCsvName);
        QString error;
        if (!analysis.SaveOut(decimalPath, hexPath, error)) return s.Fail(error.toStdString());
        s.out() << "wrote " << csv_ << " and " << hexPath.toStdString() << '\n';
        return true;
    }

    std::string source_ = "adcs";
    std::string points_ = "256";
    int bits_ = kMaxResultBits;
    bool stream_ = false;
    std::string vref_ = kDefaultReferenceText;
    std::string flagRegister_;
    double timeoutSeconds_ = 10.0;
    std::string csv_;
};

}  // namespace

void AddMeasureVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"capture",
                     "capture [--source S] [--points N] [--scale B] [--interrupt] [--vref V] "
                     "[--flag-reg A] [--csv FILE]: capture an ADC block, print its noise figures",
                     [] { return std::make_unique<CaptureVerb>(); }});
}

}  // namespace dmm::cli
