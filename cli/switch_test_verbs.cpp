// The channel switch test from the command line: switchtest.
#include <iomanip>
#include <sstream>

#include "cli/verb.h"
#include "core/analog/switch_test.h"
#include "headless/switch_test_operation.h"

namespace dmm::cli {
namespace {

class SwitchTestVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_flag("--send-only", sendOnly_, "only send the set-up to the firmware and check it");
        app.add_option("--csv-dir", csvDir_,
                       "write VzADCSW0.CSV..VzADCSW7.CSV there (default: the bench directory)");
        app.add_option("--scale", bits_, "result bits b (8..24): samples divided by 2^(24-b)")
            ->transform(Whole(kResultBitsRule));
        app.add_option("--timeout", timeoutMs_,
                       "give up when the firmware has not finished after this many seconds")
            ->transform(Duration(kCaptureTimeoutRule));
    }

    bool Run(Session& s) override {
        headless::SwitchTestRequest request;
        request.sendOnly = sendOnly_;
        request.csvDir = csvDir_;
        request.scaleBits = bits_;
        request.timeoutSeconds = static_cast<double>(timeoutMs_) / 1000.0;
        const auto run = headless::RunSwitchTest(
            s.bench(), request, [&s](const headless::Progress& p) { s.out() << p.text << '\n'; });
        if (!run) return s.Fail(run.failure());
        if (sendOnly_) {
            if (run->failure) return s.Fail(*run->failure);
            s.out() << kDataSendOkText << '\n';
            return true;
        }
        // A run that failed has no tables; one whose files could not be written has.
        if (run->failure && run->tables.empty()) return s.Fail(*run->failure);
        s.out() << kTestOkText << ": " << run->samplesRead << " samples\n";
        for (size_t table = 0; table < run->tables.size(); ++table) {
            const auto& t = run->tables[table];
            std::ostringstream mean;
            mean << std::fixed << std::setprecision(1) << t.mean;
            s.out() << "table " << table << " (channel " << t.channel << "): " << t.samples.size()
                    << " samples, mean " << mean.str() << '\n';
        }
        if (run->failure) return s.Fail(*run->failure);
        s.out() << "wrote VzADCSW0.CSV..VzADCSW7.CSV to " << run->folder.toStdString() << '\n';
        return true;
    }

  private:
    bool sendOnly_ = false;
    std::string csvDir_;
    int bits_ = kMaxResultBits;
    int64_t timeoutMs_ = 600000;
};

}  // namespace

void AddSwitchTestVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"switchtest",
                     "switchtest [--send-only] [--csv-dir DIR] [--scale B] [--timeout S]: run the "
                     "channel switch test of StepADC.txt on the microcontroller's firmware",
                     [] { return std::make_unique<SwitchTestVerb>(); }});
}

}  // namespace dmm::cli
