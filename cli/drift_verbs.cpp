// The temperature drift test from the command line: drift.
#include <iostream>

#include "cli/verb.h"
#include "core/measure/drift_plan.h"
#include "core/measure/mode_table.h"
#include "headless/drift_operation.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

class DriftVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--count", count_, "number of temperatures (default 5)")
            ->transform(Whole(kPlanCountRule));
        app.add_option("--start", start_, "first temperature, degC (default -40)")
            ->transform(Real(kPlanStartRule));
        app.add_option("--step", step_, "temperature step, degC (default 10)")
            ->transform(Real(kPlanStepRule));
        app.add_option("--soak", soak_, "minutes at each temperature before measuring (20)")
            ->transform(Whole(kSoakMinutesRule));
        app.add_option("--modes", modes_, "rows of the mode table (default 1000)")
            ->transform(Whole(kModeCountRule));
        app.add_flag("--no-chamber", noChamber_, "run every step at once, without the chamber");
        app.add_option("--measure", measure_, "what each mode measures: adc, meters or both")
            ->check(CLI::IsMember({"adc", "meters", "both"}));
        app.add_option("--source", source_, "capture source: ADCS, ADCF, AVG or RMS")
            ->transform(OneOf({"ADCS", "ADCF", "AVG", "RMS"}, "a capture source"));
        app.add_option("--meters", meters_, "meter channels in use, 1..6 (e.g. 1,4)")
            ->delimiter(',')
            ->transform(Whole(headless::kDriftMeterRule));
        app.add_option("--power-delay", powerDelayMs_, "ms after a power-supply step (2000)")
            ->transform(Whole(kPowerDelayRule));
        app.add_flag("--full", full_,
                     "also write every capture to TEMP/VzTMP-n.CSV, with its record "
                     "VzTMP-n.CSV.json");
        app.add_flag("--keep-fluke", keepFluke_, "no STBY before each calibrator step");
        reconnectWaitOption_ =
            app.add_option("--reconnect-wait", reconnectWait_,
                           "minutes a run waits for a board or instrument that dropped out (10)")
                ->transform(Whole(kReconnectWaitRule));
        app.add_flag("--resume", resume_,
                     "go on with the run that was interrupted in this bench directory");
    }

    bool Run(Session& s) override {
        headless::DriftRequest request;
        request.count = count_;
        request.start = start_;
        request.step = step_;
        request.soakMinutes = soak_;
        request.modes = modes_;
        request.withChamber = !noChamber_;
        request.measure = measure_;
        request.source = source_;
        request.meters = meters_;
        request.powerDelayMs = powerDelayMs_;
        request.fullCaptures = full_;
        request.keepCalibratorOn = keepFluke_;
        request.resume = resume_;
        if (reconnectWaitOption_->count() > 0) request.reconnectWaitMinutes = reconnectWait_;
        const auto run = headless::RunDrift(s.bench(), request, [&s](const headless::Progress& p) {
            s.out() << p.text << std::endl;
        });
        if (!run) return s.Fail(run.failure());
        if (const std::string files = headless::DriftFilesLine(*run); !files.empty())
            s.out() << files << '\n';
        if (run->failure) return s.Fail(*run->failure);
        s.out() << "drift run finished: " << run->outcomeText << '\n';
        return true;
    }

  private:
    int count_ = 5;
    double start_ = -40.0;
    double step_ = 10.0;
    int soak_ = 20;
    int modes_ = ModeTable::kStartModes;
    bool noChamber_ = false;
    std::string measure_ = "adc";
    std::string source_ = "ADCS";
    std::vector<int> meters_;
    int powerDelayMs_ = 2000;
    bool full_ = false;
    bool keepFluke_ = false;
    bool resume_ = false;
    int reconnectWait_ = 10;
    CLI::Option* reconnectWaitOption_ = nullptr;
};

}  // namespace

void AddDriftVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"drift",
                     "drift [--count N] [--start C] [--step C] [--soak MIN] [--no-chamber] ...: "
                     "the temperature drift test of Register.txt, Fluke.txt and Power.txt",
                     [] { return std::make_unique<DriftVerb>(); }});
}

}  // namespace dmm::cli
