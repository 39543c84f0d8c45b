#include "core/measure/drift_test.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/app/atomic_write.h"
#include "core/app/bench_core.h"
#include "core/instruments/chamber_frames.h"
#include "core/instruments/power_supply.h"
#include "core/link/number_text.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/adc_csv.h"
#include "core/measure/capture_provenance.h"
#include "core/measure/drift_files.h"

namespace dmm {
namespace {

constexpr int64_t kPassMs = 50;
constexpr int64_t kSettleMs = 4000;
constexpr int64_t kMeterRetryMs = 1000;
constexpr int kMeterReadings = 4;
constexpr int64_t kCaptureIdleTimeoutMs = 20000;
constexpr uint16_t kChipTemperatureAddress = 224;
constexpr int kChipTemperatureBytes = 4;

bool BeginsWithStandby(const std::string& text) {
    static constexpr std::string_view kStby = "STBY";
    if (text.size() < kStby.size()) return false;
    for (size_t i = 0; i < kStby.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != kStby[i]) return false;
    }
    return true;
}

}  // namespace

// Marks the run as going on; at its end, whatever the reason, the end of run happens.
class DriftTest::RunGuard {
  public:
    RunGuard(DriftTest& test, const DriftEnd& end) : test_(test), end_(end) {
        test_.stop_.store(false);
        // A shutdown that came while the run was being set up still stops it.
        if (test_.shutdown_.load()) test_.stop_.store(true);
        test_.running_.store(true);
        test_.runStartMs_ = test_.core_.clock().NowMs();
    }
    ~RunGuard() {
        test_.EndRun(end_);
        test_.running_.store(false);
        test_.phase_ = DriftPhase::Idle;
        test_.Publish();
    }

  private:
    DriftTest& test_;
    const DriftEnd& end_;
};

DriftTest::DriftTest(BenchCore& core, AdcAnalysis& analysis, InstrumentAccess& instruments,
                     UiHooks& ui, QObject* parent)
    : QObject(parent), core_(core), analysis_(analysis), instruments_(instruments), ui_(ui) {
    qRegisterMetaType<DriftView>();
}

DriftView DriftTest::View() const {
    DriftView view;
    view.results = std::make_shared<const DriftResults>(results_);
    view.running = running_.load();
    view.phase = phase_;
    view.step = step_;
    view.count = static_cast<int>(setup_.plan.size());
    view.mode = mode_;
    view.modes = modeCount_;
    view.soakLeftMs = soakLeftMs_;
    view.waitingFor = waitingFor_;
    view.waitLeftMs = waitLeftMs_;
    view.chamberCelsius = chamberTenths_ / 10.0;
    view.elapsedMs = running_.load() ? core_.clock().NowMs() - runStartMs_ : 0;
    view.ended = ended_;
    view.outcome = outcome_;
    return view;
}

void DriftTest::Publish() {
    emit Changed(View());
}

bool DriftTest::Connected(InstrumentId id) {
    return instruments_.Ask<bool>(id, [id](Instruments& i) { return i.Of(id).connected(); });
}

void DriftTest::Wait(int64_t ms, bool stoppable) {
    Clock& clock = core_.clock();
    const int64_t start = clock.NowMs();
    for (int64_t elapsed = 0; elapsed < ms; elapsed = clock.NowMs() - start) {
        ui_.ProcessPendingEvents();
        if (stoppable && !Running()) return;
        clock.SleepMs(std::min(kPassMs, ms - elapsed));
    }
}

void DriftTest::WaitTRIGER(int seconds) {
    Clock& clock = core_.clock();
    const int64_t start = clock.NowMs();
    const int64_t waitMs = int64_t{seconds} * 1000;
    int64_t shown = -1;
    for (int64_t elapsed = 0; elapsed < waitMs && Running(); elapsed = clock.NowMs() - start) {
        const int64_t second = (elapsed / 1000) % 60;
        if (second != shown) {
            shown = second;
            ui_.SetStatusText(2, QString::number(second));
        }
        ui_.ProcessPendingEvents();
        clock.SleepMs(std::min(kPassMs, waitMs - elapsed));
    }
}

void DriftTest::TESTINI() {
    step_ = 1;
    workingStep_ = 1;
    firstMode_ = 1;
    registerColumns_ = setup_.modes.AddressColumns();
    modeCount_ = setup_.modes.UsedSteps();
    // The tables take the whole plan, however long: nothing is ever stored past them.
    results_.Resize(static_cast<int>(setup_.plan.size()), modeCount_);
    gaps_.clear();
    silent_.clear();
    interrupted_ = false;
    lostLink_.clear();
    boardExpected_ = false;
    boardLossesSeen_ = core_.link().LinkLosses();
    if (resume_) {
        gaps_ = resume_->gaps;
    } else {
        // The gaps on record are the last run's.
        QFile::remove(QDir(folder).filePath(kDriftGapsFileName));
    }
    if (resume_) {
        results_ = resume_->results;
        step_ = resume_->step;
        firstMode_ = resume_->nextMode;
        fileCounter_ = resume_->fileCounter;
        if (firstMode_ > modeCount_) {
            ++step_;
            firstMode_ = 1;
        }
        resume_.reset();
        workingStep_ = step_;
    }
    Publish();
}

void DriftTest::WriteJournal(int nextMode) {
    DriftJournal journal;
    journal.setup = setup_;
    journal.withChamber = withChamber_;
    journal.step = step_;
    journal.nextMode = nextMode;
    journal.fileCounter = fileCounter_;
    journal.results = results_;
    journal.gaps = gaps_;
    QString error;
    if (!WriteFileAtomically(QDir(folder).filePath(kDriftJournalName), DriftJournalBytes(journal),
                             error))
        ui_.SetStatusText(1, QStringLiteral("Run journal not written: ") + error);
}

std::optional<DriftJournal> DriftTest::PendingJournal(const QString& folder) {
    QFile file(QDir(folder).filePath(kDriftJournalName));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ParseDriftJournal(file.readAll());
}

DriftEnd DriftTest::Resume(const DriftJournal& journal) {
    if (running_.load()) return DriftEnd::Busy;
    setup_ = journal.setup;
    resume_ = journal;
    return Run(journal.withChamber);
}

void DriftTest::TTESTCOM() {
    BoardLink& link = core_.link();
    link.ReleaseBoard();
    uint8_t status = 0;
    bool connected = link.OpenBoard(status);
    ui_.SetStatusText(
        0, connected ? QStringLiteral("USB On Line") : QStringLiteral("USB not Connect !!!"));
    boardLossesSeen_ = link.LinkLosses();
    NoteInstrumentLosses();
    // A run that began with the board waits for it when it is away; one without it goes on
    // with the instruments alone.
    boardExpected_ = boardExpected_ || connected;
    connected = connected || boardExpected_;
    bool meterPassDone = false;
    workingStep_ = step_;
    const int first = firstMode_;
    firstMode_ = 1;
    for (int m = first; m <= modeCount_; ++m) {
        mode_ = m;
        phase_ = DriftPhase::Measuring;
        Publish();
        if (!MeasureModeThroughGaps(m, connected, meterPassDone)) {
            // Resumable from this mode, measured again from its start.
            WriteJournal(m);
            return;
        }
        if (!Running()) {
            // A stop before or during the mode leaves it to the resumed run, never skipped.
            WriteJournal(ModeMeasured(m, connected) ? m + 1 : m);
            break;
        }
        if (setup_.settings.fullCaptures && connected &&
            setup_.settings.measure != DriftMeasure::Meters)
            SaveFullCapture(m);
        WriteJournal(m + 1);
    }
    ++step_;
}

bool DriftTest::ModeMeasured(int m, bool boardConnected) {
    const DriftMeasure measure = setup_.settings.measure;
    if (measure != DriftMeasure::Meters && boardConnected && !results_.HasFigures(step_, m))
        return false;
    if (measure == DriftMeasure::Adc) return true;
    for (int k = 0; k < kDriftMeterChannels; ++k) {
        if (Connected(MeterId(k))) return results_.HasMeters(step_, m);
    }
    return true;
}

void DriftTest::MeasureMode(int m, bool boardConnected, bool& meterPassDone) {
    const int s = step_;
    const DriftSettings& settings = setup_.settings;
    const ModeTable& modes = setup_.modes;
    ChipAccess& chip = core_.chip();
    if (boardConnected) {
        core_.link().ResetTarget();
        chip.ReadChip(kChipTemperatureAddress, kChipTemperatureBytes);
        const PlanRow& row = setup_.plan[static_cast<size_t>(s - 1)];
        results_.SetConditions(s, {row.temperature, row.humidity});
        ui_.SetStatusText(1, QStringLiteral("Channel - %1 , Step - %2")
                                 .arg(meterPassDone ? kDriftMeterChannels : 0)
                                 .arg(m));
    }
    if (setup_.power.Active(m) && Connected(InstrumentId::PowerSupply)) {
        const StepRow row = setup_.power.Step(m);
        // The supply answers nothing to a step; a silent one is caught by asking its output.
        const bool heard = instruments_.Ask<bool>(InstrumentId::PowerSupply, [row](Instruments& i) {
            i.power().StepCommand(row.command);
            return i.power().OutputOn().has_value();
        });
        if (!heard) NoteSilent(InstrumentId::PowerSupply);
        Wait(settings.powerDelayMs, false);
        ui_.SetStatusText(0, QString::fromStdString(row.active + " - " + row.command));
    }
    const bool calibratorStep = setup_.fluke.Active(m);
    const StepRow fluke = setup_.fluke.Step(m);
    if (calibratorStep && Connected(InstrumentId::Calibrator)) {
        const bool standbyFirst = !settings.keepCalibratorOn;
        const std::string reply = instruments_.Ask<std::string>(
            InstrumentId::Calibrator, [fluke, standbyFirst](Instruments& i) {
                std::string line;
                for (int attempt = 0; attempt < 2 && line.empty(); ++attempt) {
                    if (standbyFirst) i.calibrator().Send("STBY");
                    line = i.calibrator().Command(fluke.command);
                }
                return line;
            });
        ui_.SetStatusText(2, QString::fromStdString(reply));
        if (reply.empty()) NoteSilent(InstrumentId::Calibrator);
    }
    if (boardConnected) {
        for (int c = 1; c <= registerColumns_; ++c) {
            chip.WriteRegister(static_cast<uint16_t>(HexText(modes.Cell(0, c))),
                               static_cast<uint8_t>(HexText(modes.Cell(m, c))));
        }
    }
    if (calibratorStep && !BeginsWithStandby(fluke.command) &&
        Connected(InstrumentId::Calibrator)) {
        const std::string reply =
            instruments_.Ask<std::string>(InstrumentId::Calibrator, [](Instruments& i) {
                std::string line;
                if (!i.calibrator().Operate(&line)) i.calibrator().Operate(&line);
                return line;
            });
        ui_.SetStatusText(2, QString::fromStdString(reply));
    }
    Wait(kSettleMs, false);
    analysis_.ClrTMP();
    const int delaySeconds = static_cast<int>(DecText(modes.Cell(m, ModeTable::kDelayColumn)));
    WaitTRIGER(delaySeconds);
    if (Running()) WaitTRIGER(delaySeconds);

    if (settings.measure != DriftMeasure::Meters && boardConnected) {
        const QString reference = QString::fromStdString(modes.Cell(m, ModeTable::kAcmColumn));
        // An unattended run must not wait all night for a converter that never delivers.
        const CaptureSettings chosen = analysis_.settings();
        if (chosen.idleTimeoutMs == 0) {
            CaptureSettings bounded = chosen;
            bounded.idleTimeoutMs = kCaptureIdleTimeoutMs;
            analysis_.SetSettings(bounded);
        }
        analysis_.CatchACDCOM(reference, settings.source);
        if (chosen.idleTimeoutMs == 0) analysis_.SetSettings(chosen);
        // A capture that did not get every sample it asked for gives no figures.
        if (analysis_.lastEnd() == CaptureEnd::Complete)
            results_.SetFigures(s, m, analysis_.data().results);
    }
    if (settings.measure != DriftMeasure::Adc) {
        ReadMeters(m);
        meterPassDone = true;
    }
    lastBWrite_ = WriteDriftBFiles(folder, results_, settings.measure != DriftMeasure::Adc, ui_);
    Publish();
}

void DriftTest::ReadMeters(int m) {
    for (int k = 0; k < kDriftMeterChannels; ++k) {
        if (!Connected(MeterId(k))) continue;
        std::vector<BryMenReading> readings;
        for (int r = 0; r < kMeterReadings; ++r) {
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (attempt > 0) Wait(kMeterRetryMs, false);
                const auto reading = instruments_.Ask<std::optional<BryMenReading>>(
                    MeterId(k), [k](Instruments& i) { return i.meter(k).GetBryMenData(); });
                if (reading) {
                    readings.push_back(*reading);
                    break;
                }
            }
        }
        // Readings that never came are left out rather than counted as zeros; a meter that
        // gave none is waited for and the mode measured again.
        if (readings.empty()) {
            NoteSilent(MeterId(k));
            continue;
        }
        std::vector<double> values;
        for (const auto& r : readings) values.push_back(r.value);
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
        const BryMenReading& last = readings.back();
        results_.SetMeter(k, step_, m, {median, MeterUnitText(last.flagsA, last.flagsB)});
    }
}

void DriftTest::SaveFullCapture(int m) {
    const QString dir = QDir(folder).filePath(kDriftCaptureFolder);
    if (!QDir().mkpath(dir)) {
        // Said once; the run goes on with its result files.
        if (!fullCaptureRefused_) ui_.ShowError(QStringLiteral("Cannot create ") + dir + "/");
        fullCaptureRefused_ = true;
        return;
    }
    std::vector<double> cells(static_cast<size_t>(analysis_.cellCount()));
    for (int i = 0; i < analysis_.cellCount(); ++i)
        cells[static_cast<size_t>(i)] = analysis_.Cell(i);
    const AdcCsvFiles files = BuildAdcCsv(cells, analysis_.cellFormat(), analysis_.data().results);
    QString error;
    const QString path = QDir(dir).filePath(QStringLiteral("VzTMP-%1.CSV").arg(fileCounter_));
    if (!WriteFileAtomically(path, files.decimal, error))
        ui_.ShowError(QStringLiteral("I/O error: %1").arg(error));
    // Its record, naming the gaps after which the mode was measured again.
    ProvenanceContext context = ReadProvenanceContext(
        core_, folder,
        instruments_.Ask<std::vector<Instruments::Connected>>(
            InstrumentId::Calibrator, [](Instruments& i) { return i.ConnectedSummaries(); }));
    for (const DriftGap& gap : gaps_)
        if (gap.step == step_ && gap.mode == m && gap.recovered) context.gaps << DriftGapLine(gap);
    if (!WriteFileAtomically(ProvenancePathFor(path), analysis_.ProvenanceJson(context), error))
        ui_.ShowError(QStringLiteral("I/O error: %1").arg(error));
    ++fileCounter_;
}

DriftEnd DriftTest::TBgClick() {
    if (running_.load()) return DriftEnd::Busy;
    resume_.reset();
    return Run(true);
}

DriftEnd DriftTest::TTestClick() {
    if (running_.load()) return DriftEnd::Busy;
    resume_.reset();
    return Run(false);
}

DriftEnd DriftTest::Refuse(DriftEnd end, const QString& planRefusal) {
    resume_.reset();
    outcome_ = {};
    outcome_.end = end;
    outcome_.planRefusal = planRefusal;
    outcome_.steps = static_cast<int>(setup_.plan.size());
    outcome_.modes = setup_.modes.UsedSteps();
    ended_ = true;
    ui_.ShowError(DriftOutcomeText(outcome_));
    Publish();
    return end;
}

namespace {

// "mode 3", "modes 1, 2, 5", "modes 1, 2, 3, 4, 5, ... (40 modes)".
QString ModesText(const std::vector<int>& modes) {
    constexpr size_t kNamed = 5;
    QStringList numbers;
    for (size_t i = 0; i < std::min(modes.size(), kNamed); ++i)
        numbers << QString::number(modes[i]);
    QString text = (modes.size() == 1 ? QStringLiteral("mode ") : QStringLiteral("modes ")) +
                   numbers.join(QStringLiteral(", "));
    if (modes.size() > kNamed) text += QStringLiteral(", ... (%1 modes)").arg(modes.size());
    return text;
}

}  // namespace

void DriftTest::WarnBeforeRun() {
    const int modes = setup_.modes.UsedSteps();
    const DriftMeasure measure = setup_.settings.measure;
    std::vector<int> fluke, power, noDelay, noReference;
    for (int m = 1; m <= modes; ++m) {
        if (setup_.fluke.Active(m)) fluke.push_back(m);
        if (setup_.power.Active(m)) power.push_back(m);
        auto empty = [&](int column) {
            return QString::fromStdString(setup_.modes.Cell(m, column)).trimmed().isEmpty();
        };
        if (empty(ModeTable::kDelayColumn)) noDelay.push_back(m);
        if (measure != DriftMeasure::Meters && empty(ModeTable::kAcmColumn))
            noReference.push_back(m);
    }
    QStringList lines;
    if (!fluke.empty() && !Connected(InstrumentId::Calibrator))
        lines << QStringLiteral("No calibrator identified: the calibrator steps of %1 are left out")
                     .arg(ModesText(fluke));
    if (!power.empty() && !Connected(InstrumentId::PowerSupply))
        lines << QStringLiteral(
                     "No power supply identified: the power-supply steps of %1 are left out")
                     .arg(ModesText(power));
    if (measure != DriftMeasure::Adc) {
        bool anyMeter = false;
        for (int k = 0; k < kDriftMeterChannels && !anyMeter; ++k) anyMeter = Connected(MeterId(k));
        if (!anyMeter) lines << QStringLiteral("No meter identified: no meter figures are taken");
    }
    if (!noDelay.empty())
        lines << QStringLiteral("No delay for %1 (is %2 missing?): they wait 0 s")
                     .arg(ModesText(noDelay), QString::fromLatin1("Delay.txt"));
    if (!noReference.empty())
        lines << QStringLiteral(
                     "No reference voltage for %1 (is %2 missing?): the analysis takes its "
                     "default reference")
                     .arg(ModesText(noReference), QString::fromLatin1("ACM.txt"));
    if (!lines.isEmpty()) ui_.ShowMessage(lines.join(QLatin1Char('\n')));
}

DriftEnd DriftTest::Run(bool withChamber) {
    if (shutdown_.load()) return DriftEnd::Stopped;
    withChamber_ = withChamber;
    // A run that could not do anything must not overwrite the files of the last one.
    if (setup_.modes.UsedSteps() == 0) return Refuse(DriftEnd::NoModes);
    if (withChamber && !Connected(InstrumentId::Chamber)) return Refuse(DriftEnd::NoChamber);
    // Every row goes to the chamber (or into the result files as the step's temperature):
    // a value it cannot take stops the run before it begins, not at that step.
    for (size_t r = 0; r < setup_.plan.size(); ++r) {
        const PlanRow& row = setup_.plan[r];
        const std::string why = ChamberSetPointRefusal(
            {row.temperature, row.humidity, row.temperatureRamp, row.humidityRamp});
        if (!why.empty())
            return Refuse(
                DriftEnd::BadPlan,
                QStringLiteral("plan row %1: %2").arg(r + 1).arg(QString::fromStdString(why)));
    }
    WarnBeforeRun();
    for (int i = 0; i < kInstrumentCount; ++i)
        expected_[static_cast<size_t>(i)] = Connected(static_cast<InstrumentId>(i));
    outcome_ = {};
    ended_ = false;
    lastBWrite_ = {};
    DriftEnd end = DriftEnd::Finished;
    {
        RunGuard guard(*this, end);
        TESTINI();
        if (withChamber) {
            end = RunWithChamber();
        } else {
            const int count = static_cast<int>(setup_.plan.size());
            while (Running() && !interrupted_ && step_ <= count) TTESTCOM();
            end = interrupted_    ? DriftEnd::LinkLost
                  : step_ > count ? DriftEnd::Finished
                                  : DriftEnd::Stopped;
        }
    }
    // A finished run with its results on disk needs no journal; any other end keeps it
    // for a resume (which writes the files again).
    if (end == DriftEnd::Finished && outcome_.notWritten.isEmpty())
        QFile::remove(QDir(folder).filePath(kDriftJournalName));
    return end;
}

void DriftTest::EndRun(DriftEnd end) {
    const DriftFileWrite a = WriteDriftAFile(folder, results_, ui_);
    if (Connected(InstrumentId::Chamber)) {
        instruments_.Run(InstrumentId::Chamber, [](Instruments& i) { i.chamber().ChamberStop(); });
    }
    if (Connected(InstrumentId::Calibrator)) {
        ui_.SetStatusText(2, QString::fromStdString(Button4Click()));
    }
    outcome_.end = end;
    outcome_.step = workingStep_;
    outcome_.steps = static_cast<int>(setup_.plan.size());
    outcome_.modes = modeCount_;
    outcome_.measured = results_.MeasuredCount();
    outcome_.gaps = static_cast<int>(
        std::count_if(gaps_.begin(), gaps_.end(), [](const DriftGap& g) { return g.recovered; }));
    outcome_.lostLink = lostLink_;
    outcome_.waitMinutes = setup_.settings.reconnectWaitMinutes;
    std::vector<DriftFileWrite> files{a};
    files.insert(files.end(), lastBWrite_.files.begin(), lastBWrite_.files.end());
    for (const DriftFileWrite& file : files) {
        if (file)
            outcome_.written << file.name;
        else
            outcome_.notWritten << file.error;
    }
    ended_ = true;
}

bool DriftTest::Button1Click() {
    return instruments_.Ask<bool>(InstrumentId::Chamber,
                                  [](Instruments& i) { return i.chamber().ChamberRun(); });
}

void DriftTest::Button2Click() {
    instruments_.Run(InstrumentId::Chamber, [](Instruments& i) { i.chamber().ChamberStop(); });
    RequestStop();
}

std::string DriftTest::Button4Click() {
    return instruments_.Ask<std::string>(InstrumentId::Calibrator,
                                         [](Instruments& i) { return i.calibrator().Standby(); });
}

void DriftTest::LKENTERClick(CalibratorRangeLock lock) {
    instruments_.Run(InstrumentId::Calibrator,
                     [lock](Instruments& i) { i.calibrator().RangeLock(lock); });
}

bool DriftTest::ENSaveClick() {
    return static_cast<bool>(
        WriteDriftBFiles(folder, results_, setup_.settings.measure != DriftMeasure::Adc, ui_));
}

}  // namespace dmm
