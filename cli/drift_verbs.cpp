// The temperature drift test from the command line: drift.
#include <QDir>
#include <QObject>

#include <cstdio>
#include <tuple>

#include "cli/cli_ui_hooks.h"
#include "cli/interrupt.h"
#include "cli/verb.h"
#include "core/app/script_files.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_test.h"

namespace dmm::cli {
namespace {

std::string PhaseLine(const DriftView& v) {
    char text[160];
    switch (v.phase) {
        case DriftPhase::Approach:
            std::snprintf(text, sizeof text, "step %d of %d: approaching, chamber at %.1f degC",
                          v.step, v.count, v.chamberCelsius);
            break;
        case DriftPhase::Soak:
            std::snprintf(text, sizeof text, "step %d of %d: soaking at %.1f degC", v.step, v.count,
                          v.chamberCelsius);
            break;
        case DriftPhase::Measuring:
            std::snprintf(text, sizeof text, "step %d of %d: measuring mode %d of %d", v.step,
                          v.count, v.mode, v.modes);
            break;
        case DriftPhase::Waiting:
            if (v.mode > 0)
                std::snprintf(text, sizeof text,
                              "step %d of %d: mode %d waits for %s (%lld s left)", v.step, v.count,
                              v.mode, v.waitingFor.toUtf8().constData(),
                              static_cast<long long>(v.waitLeftMs / 1000));
            else
                std::snprintf(text, sizeof text, "step %d of %d: waits for %s (%lld s left)",
                              v.step, v.count, v.waitingFor.toUtf8().constData(),
                              static_cast<long long>(v.waitLeftMs / 1000));
            break;
        case DriftPhase::Idle:
            return {};
    }
    return text;
}

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
            ->transform(Whole({"a meter channel", 1, kMeterChannelCount}));
        app.add_option("--power-delay", powerDelayMs_, "ms after a power-supply step (2000)")
            ->transform(Whole(kPowerDelayRule));
        app.add_flag("--full", full_, "also write every capture to TEMP/VzTMP-n.CSV, with its record VzTMP-n.CSV.json");
        app.add_flag("--keep-fluke", keepFluke_, "no STBY before each calibrator step");
        reconnectWaitOption_ =
            app.add_option("--reconnect-wait", reconnectWait_,
                           "minutes a run waits for a board or instrument that dropped out (10)")
                ->transform(Whole(kReconnectWaitRule));
        app.add_flag("--resume", resume_,
                     "go on with the run that was interrupted in this bench directory");
    }

    bool Run(Session& s) override {
        if (s.benchDir().empty()) return s.Fail("no bench directory to read Register.txt from");
        const auto source = CaptureSourceFromName(source_);
        if (!source) return s.Fail("unknown capture source " + source_);
        const QString folder = QString::fromStdString(s.benchDir());

        CliUiHooks ui(s.err());
        std::optional<DriftJournal> journal;
        if (resume_) {
            journal = DriftTest::PendingJournal(folder);
            if (!journal) return s.Fail("no interrupted drift run to resume in " + s.benchDir());
            noChamber_ = !journal->withChamber;
        }
        DriftSetup setup;
        setup.modes = ModeTable(modes_);
        int used = 0;
        if (!journal && !DownloadReg(setup.modes, folder, ui, used))
            return s.Fail("cannot read Register.txt");
        const int steps = journal ? journal->setup.modes.modeCount() : setup.modes.modeCount();
        ReadFlukeFile(setup.fluke, steps, ReadOptionalFile(folder, kFlukeFileName));
        ReadPowerFile(setup.power, steps, ReadOptionalFile(folder, kPowerFileName));
        int count = count_;
        setup.plan = BuildTemperaturePlan(count, start_, step_);
        if (count != count_ && !journal)
            s.out() << "the plan stops at 150 degC: " << count << " temperatures\n";
        setup.settings.soakMinutes = soak_;
        setup.settings.powerDelayMs = powerDelayMs_;
        setup.settings.source = *source;
        setup.settings.measure = measure_ == "both"     ? DriftMeasure::AdcAndMeters
                                 : measure_ == "meters" ? DriftMeasure::Meters
                                                        : DriftMeasure::Adc;
        setup.settings.fullCaptures = full_;
        setup.settings.reconnectWaitMinutes = reconnectWait_;
        setup.settings.keepCalibratorOn = keepFluke_;
        if (journal) {
            // The wait may be given anew for the rest of the run.
            if (reconnectWaitOption_->count() > 0)
                journal->setup.settings.reconnectWaitMinutes = reconnectWait_;
            setup = journal->setup;
            used = setup.modes.UsedSteps();
            count = static_cast<int>(setup.plan.size());
            s.out() << "resuming at step " << journal->step << ", mode " << journal->nextMode
                    << '\n';
        }

        // Instruments a step needs are connected now; the run says what it leaves out for
        // one that is missing.
        Instruments& instruments = s.instruments();
        auto connect = [&](InstrumentId id, bool needed) {
            return !needed || ConnectInstrument(s, id, "");
        };
        bool anyFluke = false, anyPower = false;
        for (int k = 1; k <= steps; ++k) {
            anyFluke = anyFluke || setup.fluke.Active(k);
            anyPower = anyPower || setup.power.Active(k);
        }
        connect(InstrumentId::Calibrator, anyFluke);
        connect(InstrumentId::PowerSupply, anyPower);
        if (!noChamber_ && !connect(InstrumentId::Chamber, true))
            return s.Fail("no chamber: give --no-chamber to run without one");
        for (int channel : meters_) connect(MeterId(channel - 1), true);
        if (setup.settings.measure != DriftMeasure::Meters && !s.EnsureChip()) return false;

        StandaloneCaptureHost host;
        AdcAnalysis analysis(s.core(), host, ui);
        CaptureSettings capture;
        ApplyChipLayout(s.core().chipModel(), capture);
        analysis.SetSettings(capture);
        DirectInstrumentAccess access(instruments);
        DriftTest test(s.core(), analysis, access, ui);
        test.folder = folder;
        test.SetSetup(std::move(setup));
        s.out() << used << " modes from Register.txt, " << count << " temperatures\n";

        // One line per phase: a new step, phase or mode; the chamber's reading alone is
        // no new phase.
        std::tuple<DriftPhase, int, int> shown{DriftPhase::Idle, 0, 0};
        QObject::connect(&test, &DriftTest::Changed, [&](const DriftView& view) {
            const std::tuple<DriftPhase, int, int> now{view.phase, view.step, view.mode};
            if (view.phase == DriftPhase::Idle || now == shown) return;
            shown = now;
            s.out() << PhaseLine(view) << std::endl;
        });
        ui.onInterrupt = [&] { test.RequestStop(); };
        // A signal that came while the instruments were identified ends before the run.
        if (Interrupted()) return s.Fail(std::string("stopped by ") + InterruptName());
        if (journal)
            test.Resume(*journal);
        else if (noChamber_)
            test.TTestClick();
        else
            test.TBgClick();
        const DriftOutcome& outcome = test.outcome();
        // A run that did not start has said why.
        if (!outcome.Started()) return false;
        if (!outcome.written.isEmpty()) {
            QStringList names = outcome.written;
            const QString last = names.takeLast();
            s.out() << "wrote "
                    << (names.isEmpty() ? last : names.join(", ") + " and " + last).toStdString()
                    << " to " << folder.toStdString() << '\n';
        }
        const std::string text = DriftOutcomeText(outcome).toStdString();
        if (!outcome.Succeeded()) return s.Fail("drift run ended: " + text);
        s.out() << "drift run finished: " << text << '\n';
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
