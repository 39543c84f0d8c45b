#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/app/ui_hooks.h"
#include "core/instruments/calibrator.h"
#include "core/instruments/step_table.h"
#include "core/measure/capture_source.h"
#include "core/measure/drift_files.h"
#include "core/measure/drift_journal.h"
#include "core/measure/drift_outcome.h"
#include "core/measure/drift_plan.h"
#include "core/measure/drift_results.h"
#include "core/measure/drift_test_setup.h"
#include "core/measure/instrument_access.h"
#include "core/measure/mode_table.h"

namespace dmm {

class AdcAnalysis;
class BenchCore;

// Where a run is, for the window's progress line.
enum class DriftPhase : int { Idle, Approach, Soak, Measuring, Waiting };

struct DriftView {
    std::shared_ptr<const DriftResults> results;
    bool running = false;
    DriftPhase phase = DriftPhase::Idle;
    int step = 0;  // 1-based, the step being worked on
    int count = 0;
    int mode = 0;  // the mode being measured (Waiting: 0 while the chamber settles)
    int modes = 0;
    int64_t soakLeftMs = 0;
    QString waitingFor;  // Waiting: the links that dropped ("the board, meter 2")
    int64_t waitLeftMs = 0;
    double chamberCelsius = 0;
    int64_t elapsedMs = 0;  // since the run began
    // Once a run has ended (or could not start): how.
    bool ended = false;
    DriftOutcome outcome;
};

// The temperature drift test: steps a climate chamber through the plan's temperatures
// and, once each has settled, runs every mode of the mode table (power supply,
// calibrator, registers, a capture and its analysis, the reference meters), keeping the
// figures in tables and files after every mode.
//
// Thread: the bench thread (the CLI's own thread, a test's); RequestStop(), IsRunning()
// from any thread. The run handles queued events once per pass of its waits. Whatever
// ends a run, the A file is written, the chamber stopped and the calibrator put to
// standby. A run that cannot start (no mode, no chamber for a run with it) says why in an
// error box and touches neither instruments nor files; what a run will leave out (an
// instrument not identified, modes without a delay or a reference) is said in a box
// before it starts. outcome() says how the last run ended.
class DriftTest : public QObject {
    Q_OBJECT
  public:
    DriftTest(BenchCore& core, AdcAnalysis& analysis, InstrumentAccess& instruments, UiHooks& ui,
              QObject* parent = nullptr);

    // The result files' folder (the bench directory).
    QString folder;

    // The run's inputs; set between runs.
    void SetSetup(DriftSetup setup) { setup_ = std::move(setup); }
    const DriftSetup& setup() const { return setup_; }
    const DriftResults& results() const { return results_; }
    DriftView View() const;
    const DriftOutcome& outcome() const { return outcome_; }

    // "T-Begin" and "T-Test".
    DriftEnd TBgClick();
    DriftEnd TTestClick();
    // Goes on with an interrupted run from its journal's first unfinished mode, with or
    // without the chamber as the run began.
    DriftEnd Resume(const DriftJournal& journal);
    // The journal an interrupted run left in the folder, if any.
    static std::optional<DriftJournal> PendingJournal(const QString& folder);
    // "RUN", "Stop" (the chamber stops and the run ends at its next check), "STBY",
    // "ENTER" and "SaveData".
    bool Button1Click();
    void Button2Click();
    std::string Button4Click();
    void LKENTERClick(CalibratorRangeLock lock);
    bool ENSaveClick();

    void RequestStop() { stop_.store(true); }
    // The program is closing: the run going on stops, and none starts any more. Any thread.
    void Shutdown() {
        shutdown_.store(true);
        stop_.store(true);
    }
    bool IsRunning() const { return running_.load(); }
    // Full-capture files written so far (never reset).
    int fileCounter() const { return fileCounter_; }

  signals:
    void Changed(const dmm::DriftView& view);

  private:
    static constexpr int64_t kSecondMs = 1000;
    class RunGuard;

    bool Running() const { return !stop_.load(); }
    DriftEnd Run(bool withChamber);
    DriftEnd Refuse(DriftEnd end, const QString& planRefusal = {});
    void WarnBeforeRun();
    DriftEnd RunWithChamber();
    void TESTINI();
    void WriteJournal(int nextMode);
    void TTESTCOM();
    void MeasureMode(int m, bool boardConnected, bool& meterPassDone);
    // Measures a mode, and again from its start after a link dropped during it, once the
    // link is back; false when a link did not come back in time (the run is interrupted).
    bool MeasureModeThroughGaps(int m, bool boardConnected, bool& meterPassDone);
    // Whether the step's mode m holds everything the run measures of it.
    bool ModeMeasured(int m, bool boardConnected);
    // The links the mode needs that are down now, or dropped since the last look: kBoardLink
    // or an InstrumentId.
    static constexpr int kBoardLink = -1;
    std::vector<int> LostLinks(int m, bool board);
    // Waits for them, trying each once a second, up to the run's limit; false when one
    // did not come back in time (or the run was stopped meanwhile).
    bool AwaitLinks(const std::vector<int>& lost, int m);
    bool LinkBack(int link);
    // An identified instrument that gave nothing during the mode, its port still open: a
    // gap as a lost port is.
    void NoteSilent(InstrumentId id);
    void RecordGap(const DriftGap& gap);
    // Approach and soak at the step's temperature; false when the run ends meanwhile
    // (how in end).
    bool SettleAtPlanTemperature(DriftEnd& end);
    // Reads the chamber; one that does not answer is waited for as a dropped link (its
    // set point then sent again; hadGap says so). False when it did not come back in time
    // or the run was stopped meanwhile.
    bool ReadChamber(int& tenths, int m, bool* hadGap = nullptr);
    // After a gap: a chamber that left its band meanwhile settles and soaks again before
    // the mode is measured. False when the run ends meanwhile.
    bool SoakAgainIfDrifted(int m);
    void ReadMeters(int m);
    // The mode's capture and its record (VzTMP-n.CSV and VzTMP-n.CSV.json).
    void SaveFullCapture(int m);
    bool LoadTemp();
    bool StartChamber();
    bool ReadTemp(int& tenths);
    void EndRun(DriftEnd end);
    // A wait that handles queued events every pass; a stoppable one ends early on "Stop".
    void Wait(int64_t ms, bool stoppable);
    void WaitTRIGER(int seconds);
    bool Connected(InstrumentId id);
    // Takes the instruments' port loss counts as seen: a loss after this is a gap.
    void NoteInstrumentLosses();
    void Publish();

    BenchCore& core_;
    AdcAnalysis& analysis_;
    InstrumentAccess& instruments_;
    UiHooks& ui_;
    DriftSetup setup_;
    DriftResults results_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> shutdown_{false};
    int step_ = 0;
    int registerColumns_ = 0;
    int modeCount_ = 0;
    int fileCounter_ = 0;
    DriftPhase phase_ = DriftPhase::Idle;
    int mode_ = 0;
    int64_t soakLeftMs_ = 0;
    int chamberTenths_ = 0;
    int64_t runStartMs_ = 0;
    bool fullCaptureRefused_ = false;
    bool withChamber_ = true;
    std::optional<DriftJournal> resume_;
    int firstMode_ = 1;
    int workingStep_ = 0;
    DriftFileWrites lastBWrite_;
    // The instruments identified when the run began: the run waits for them when they drop.
    std::array<bool, kInstrumentCount> expected_{};
    uint32_t boardLossesSeen_ = 0;
    // Each instrument's Losses() when last looked at: whoever brought a lost port back
    // meanwhile (the program's watch of the instruments), the loss still broke the mode.
    std::array<int, kInstrumentCount> lossesSeen_{};
    QString waitingFor_;
    int64_t waitLeftMs_ = 0;
    bool interrupted_ = false;
    bool boardExpected_ = false;
    QString lostLink_;
    std::vector<DriftGap> gaps_;
    std::vector<int> silent_;
    bool ended_ = false;
    DriftOutcome outcome_;
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::DriftView)
