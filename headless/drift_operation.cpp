#include "headless/drift_operation.h"

#include <QObject>

#include <cstdio>
#include <tuple>

#include "core/app/script_files.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/capture_chip_layout.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_plan.h"
#include "core/measure/drift_test.h"
#include "headless/instrument_operations.h"

namespace dmm::headless {
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
            // A gap while the step settles belongs to no mode.
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

std::optional<DriftMeasure> MeasureOf(const std::string& name) {
    if (name == "adc") return DriftMeasure::Adc;
    if (name == "meters") return DriftMeasure::Meters;
    if (name == "both") return DriftMeasure::AdcAndMeters;
    return std::nullopt;
}

}  // namespace

Result<DriftRun> RunDrift(HeadlessBench& bench, const DriftRequest& request,
                          const std::function<void(const Progress&)>& onLine) {
    auto say = [&onLine](const std::string& text) {
        if (onLine) onLine(Progress{0, 0, text});
    };
    if (bench.benchDir().empty())
        return Failure{FailureKind::Failed, "no bench directory to read Register.txt from"};
    const auto source = CaptureSourceFromName(request.source);
    if (!source) return Refused("unknown capture source " + request.source);
    const auto measure = MeasureOf(request.measure);
    if (!measure) return Refused("measure must be adc, meters or both, not " + request.measure);
    if (request.soakMinutes < 0 || request.soakMinutes > 100000)
        return Refused("soak must be 0..100000 minutes");
    if (request.reconnectWaitMinutes && (*request.reconnectWaitMinutes < kReconnectWaitRule.low ||
                                         *request.reconnectWaitMinutes > kReconnectWaitRule.high))
        return Refused("the reconnect wait must be 0..100000 minutes");
    for (int channel : request.meters) {
        if (channel < 1 || channel > kMeterChannelCount)
            return Refused("meter channels are 1..6, not " + std::to_string(channel));
    }
    const QString folder = QString::fromStdString(bench.benchDir());
    RunHooks& hooks = bench.hooks();

    bool withChamber = request.withChamber;
    std::optional<DriftJournal> journal;
    if (request.resume) {
        journal = DriftTest::PendingJournal(folder);
        if (!journal)
            return Failure{FailureKind::Failed,
                           "no interrupted drift run to resume in " + bench.benchDir()};
        withChamber = journal->withChamber;
    }
    DriftSetup setup;
    setup.modes = ModeTable(ParseModeCount(std::to_string(request.modes)));
    int used = 0;
    if (!journal && !DownloadReg(setup.modes, folder, hooks, used))
        return Failure{FailureKind::Failed, "cannot read Register.txt"};
    const int steps = journal ? journal->setup.modes.modeCount() : setup.modes.modeCount();
    ReadFlukeFile(setup.fluke, steps, ReadOptionalFile(folder, kFlukeFileName));
    ReadPowerFile(setup.power, steps, ReadOptionalFile(folder, kPowerFileName));
    int count = request.count;
    setup.plan = BuildTemperaturePlan(count, request.start, request.step);
    if (count != request.count && !journal)
        say("the plan stops at 150 degC: " + std::to_string(count) + " temperatures");
    setup.settings.soakMinutes = request.soakMinutes;
    setup.settings.powerDelayMs = request.powerDelayMs;
    setup.settings.source = *source;
    setup.settings.measure = *measure;
    setup.settings.fullCaptures = request.fullCaptures;
    setup.settings.keepCalibratorOn = request.keepCalibratorOn;
    if (request.reconnectWaitMinutes)
        setup.settings.reconnectWaitMinutes = *request.reconnectWaitMinutes;
    if (journal) {
        // The wait may be given anew for the rest of the run.
        if (request.reconnectWaitMinutes)
            journal->setup.settings.reconnectWaitMinutes = *request.reconnectWaitMinutes;
        setup = journal->setup;
        used = setup.modes.UsedSteps();
        count = static_cast<int>(setup.plan.size());
        say("resuming at step " + std::to_string(journal->step) + ", mode " +
            std::to_string(journal->nextMode));
    }

    // Instruments a step needs are connected now; the run says what it leaves out for
    // one that is missing.
    bool anyFluke = false, anyPower = false;
    for (int k = 1; k <= steps; ++k) {
        anyFluke = anyFluke || setup.fluke.Active(k);
        anyPower = anyPower || setup.power.Active(k);
    }
    // Connects an instrument; says why when it does not answer.
    auto connect = [&bench, &hooks](InstrumentId id) {
        Done connected = ConnectInstrument(bench, id, "");
        if (!connected) hooks.Say(connected.failure().message);
        return connected.ok();
    };
    if (anyFluke) connect(InstrumentId::Calibrator);
    if (anyPower) connect(InstrumentId::PowerSupply);
    if (withChamber && !connect(InstrumentId::Chamber))
        return InstrumentFailure("no chamber: give --no-chamber to run without one");
    for (int channel : request.meters) connect(MeterId(channel - 1));
    if (setup.settings.measure != DriftMeasure::Meters) {
        if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    }

    BenchCore& core = bench.core();
    StandaloneCaptureHost host;
    AdcAnalysis analysis(core, host, hooks);
    CaptureSettings capture;
    ApplyChipLayout(core.chipModel(), capture);
    analysis.SetSettings(capture);
    DirectInstrumentAccess access(bench.instruments());
    DriftTest test(core, analysis, access, hooks);
    test.folder = folder;
    test.SetSetup(std::move(setup));
    say(std::to_string(used) + " modes from Register.txt, " + std::to_string(count) +
        " temperatures");

    // One line per phase: a new step, phase or mode; the chamber's reading alone is no
    // new phase.
    std::tuple<DriftPhase, int, int> shown{DriftPhase::Idle, 0, 0};
    QObject::connect(&test, &DriftTest::Changed, [&](const DriftView& view) {
        const std::tuple<DriftPhase, int, int> now{view.phase, view.step, view.mode};
        if (view.phase == DriftPhase::Idle || now == shown) return;
        shown = now;
        if (onLine)
            onLine(Progress{int64_t{view.step - 1} * view.modes + view.mode,
                            int64_t{view.count} * view.modes, PhaseLine(view)});
    });
    // A stop that came while the instruments were identified ends before the run.
    if (hooks.StopWanted()) return Failure{FailureKind::Stopped, "stopped by " + hooks.StopName()};
    {
        const ProgressScope scope(hooks, nullptr, [&test] { test.RequestStop(); });
        if (journal)
            test.Resume(*journal);
        else if (!withChamber)
            test.TTestClick();
        else
            test.TBgClick();
    }

    DriftRun run;
    run.outcome = test.outcome();
    run.outcomeText = DriftOutcomeText(run.outcome).toStdString();
    run.folder = folder;
    run.modes = used;
    run.temperatures = count;
    // A run that did not start has said why.
    if (!run.outcome.Started()) return Failure{FailureKind::Refused, hooks.LastSaid(), true};
    if (!run.outcome.Succeeded()) {
        const FailureKind kind =
            run.outcome.end == DriftEnd::Stopped ? FailureKind::Stopped : FailureKind::Failed;
        run.failure = Failure{kind, "drift run ended: " + run.outcomeText};
    }
    return run;
}

std::string DriftFilesLine(const DriftRun& run) {
    if (run.outcome.written.isEmpty()) return {};
    QStringList names = run.outcome.written;
    const QString last = names.takeLast();
    return "wrote " + (names.isEmpty() ? last : names.join(", ") + " and " + last).toStdString() +
           " to " + run.folder.toStdString();
}

}  // namespace dmm::headless
