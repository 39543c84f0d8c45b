// Verbs that capture and analyse ADC blocks: capture.
#include "cli/verb.h"
#include "core/measure/block_figures.h"
#include "core/measure/capture_settings.h"
#include "core/measure/spectral_window.h"
#include "headless/capture_operation.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

// One of the analysis window's capture lengths.
CLI::Validator CaptureLength() {
    return CLI::Validator(
        [](std::string& text) {
            std::string refusal;
            const auto length = headless::ReadCaptureLength(text, &refusal);
            if (!length) return refusal;
            text = std::to_string(*length);
            return std::string();
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
        headless::CaptureRequest request;
        request.source = source_;
        request.points = points_;
        request.scaleBits = bits_;
        request.poll = poll_;
        request.vref = vref_;
        if (flagRegister_ >= 0) request.flagRegister = flagRegister_;
        request.timeoutSeconds = static_cast<double>(timeoutMs_) / 1000.0;
        request.window = window_;
        request.spectra = spectra_;
        request.csvPath = csv_;
        request.withRecord = json_;
        const auto block = headless::Capture(s.bench(), request);
        if (!block) return s.Fail(block.failure());

        // With --json stdout carries the record alone, whatever the outcome.
        std::ostream& report = json_ ? s.err() : s.out();
        report << headless::CaptureLine(block->outcome) << '\n';
        if (json_)
            s.document() << block->record.toStdString() << std::flush;
        else if (block->outcome.Complete() && block->outcome.HasSamples())
            s.out() << headless::FigureTableText(block->outcome);
        for (FigureWarning w : block->outcome.warnings) {
            if (w != FigureWarning::NoSamples)
                s.hooks().Say("warning: " + WarningText(w).toStdString());
        }
        if (block->failure) return s.Fail(*block->failure);
        if (!block->written.empty()) {
            report << "wrote " << csv_ << ", " << block->written[1].toStdString() << " and "
                   << block->written[2].toStdString() << '\n';
        }
        if (strict_) {
            if (const auto severe = headless::StrictFailure(*block)) return s.Fail(*severe);
        }
        return true;
    }

  private:
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
