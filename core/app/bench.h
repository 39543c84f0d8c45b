#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "core/analog/meter_scan.h"
#include "core/analog/pro_counter.h"
#include "core/analog/switch_test.h"
#include "core/app/bench_core.h"
#include "core/app/bench_settings.h"
#include "core/app/deliver_result.h"
#include "core/app/settings_file.h"
#include "core/app/ui_hooks.h"
#include "core/calsets/calset_manager.h"
#include "core/instruments/instrument_threads.h"
#include "core/instruments/instrument_watch.h"
#include "core/instruments/step_table.h"
#include "core/link/processor_centre.h"
#include "core/measure/adc_analysis.h"
#include "core/measure/capture_host.h"
#include "core/measure/drift_test.h"
#include "core/measure/instrument_access.h"
#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"

namespace dmm {

// The capture's view of the heartbeat: a capture stops it and takes the live displays'
// results for itself, and gives both back afterwards.
class HeartbeatCaptureHost final : public CaptureHost {
  public:
    HeartbeatCaptureHost(TVz_UP& up, const std::atomic<bool>& shuttingDown)
        : up_(up), shuttingDown_(shuttingDown) {}
    bool HeartbeatRunning() const override { return up_.HeartbeatRunning(); }
    void SetHeartbeatRunning(bool running) override {
        // A capture that ends because the program closes must not restart the heartbeat.
        if (running && !shuttingDown_)
            up_.StartHeartbeat();
        else if (!running)
            up_.StopHeartbeat();
    }
    LiveFlags SaveAndClearLiveFlags() override {
        const LiveFlags saved{up_.Adc1DisplayOn, up_.Adc2DisplayOn};
        up_.Adc1DisplayOn = false;
        up_.Adc2DisplayOn = false;
        return saved;
    }
    void RestoreLiveFlags(const LiveFlags& flags) override {
        up_.Adc1DisplayOn = flags.adc1Display;
        up_.Adc2DisplayOn = flags.adc2Display;
    }
    uint8_t InterruptFlags() const override { return up_.InterruptFlags; }
    void SetInterruptFlags(uint8_t flags) override { up_.InterruptFlags = flags; }

  private:
    TVz_UP& up_;
    const std::atomic<bool>& shuttingDown_;
};

// A copy of the register image, published to the windows after it changed.
struct RegisterImageSnapshot {
    std::array<uint8_t, kRegisterImageSize> bytes{};
    // false while the image holds only what the program started with: no read of the
    // chip has filled it yet.
    bool read = false;
};
inline RegisterImageSnapshot SnapshotOf(const STND& target) {
    return {target.RegisterImage, target.registerImageRead};
}

// The bench: the core objects of one evaluation bench, living on their own thread.
//
// Everything that exchanges bytes with the board or an instrument runs on the bench
// thread, one action at a time, in the order the actions were posted. Windows never touch
// the core directly; they use the pattern below and paint only what comes back:
//
//   bench.Call([address, value](Bench& b) { return b.chip().WriteRegister(address, value); },
//              this, [this](bool ok) { ... runs on the window's (GUI) thread ... });
//
// Post/Call/RunAndWait are thread-safe. Signals of the bench and of TVz_UP reach GUI
// objects through queued connections (Qt picks them automatically across threads).
class Bench : public QObject {
    Q_OBJECT
  public:
    // The parallel-port link reports on status panel 0, where the board link reports.
    Bench(BoardBus& bus, Clock& clock, UiHooks& hooks, ParallelPortBus* parallelPorts = nullptr,
          SerialPortOpener* serialPorts = nullptr);
    ~Bench() override;

    // Bench-thread accessors: only inside posted work (or before the thread starts).
    BenchCore& core() { return core_; }
    ChipAccess& chip() { return core_.chip(); }
    BoardLink& link() { return core_.link(); }
    STND& target() { return core_.target(); }
    TVz_UP& up() { return up_; }
    // The program counter's measurement (the counter window's bench side).
    ProCounter& counter() { return counter_; }
    UiHooks& hooks() { return hooks_; }
    // The ADC analysis. RequestStop(), IsRunning() and monitor() may be used from any
    // thread; everything else only inside posted work.
    AdcAnalysis& analysis() { return analysis_; }
    // The channel switch test. RequestStop() and IsRunning() from any thread; the rest
    // only inside posted work.
    SwitchTest& switchTest() { return switchTest_; }
    // The bench instruments. Each is used only on its own thread: reach them through
    // instrumentThreads() (Post, Call, Await), never directly from bench work.
    InstrumentThreads& instrumentThreads() { return instrumentThreads_; }
    // What the connected instruments are and put out (any thread).
    std::vector<Instruments::Connected> ConnectedInstruments() {
        return instruments_.ConnectedSummaries();
    }
    // The meter window's reading side (bench thread).
    MeterScan& meterScan() { return meterScan_; }
    // The calibrator's, the power supply's and the chamber's links, watched once a second
    // while the bench thread runs.
    InstrumentWatch& instrumentWatch() { return instrumentWatch_; }
    // The resistor and voltage calibration, the ohmmeter and the calibration sets
    // (bench thread).
    ResistorCalibration& resistorCalibration() { return resistorCalibration_; }
    ResistanceMeter& resistanceMeter() { return resistanceMeter_; }
    CalSetManager& calSets() { return calSets_; }
    // The calibrator's and the power supply's step tables as their windows last gave
    // them (bench thread).
    StepTable& flukeSteps() { return flukeSteps_; }
    StepTable& powerSteps() { return powerSteps_; }
    // The temperature drift test. RequestStop() and IsRunning() from any thread; the rest
    // only inside posted work. It reaches the instruments through their threads.
    DriftTest& driftTest() { return driftTest_; }
    // Stops the instrument threads and leaves the bench safe (calibrator in standby, power
    // supply output off). For shut-down: the instruments are used here directly, once
    // their threads are gone.
    void ShutDownInstruments();

    // The capture settings completed with where the loaded chip keeps its interrupt flags.
    CaptureSettings WithChipLayout(CaptureSettings settings);

    // Runs work(bench) on the bench thread, later.
    template <typename Work>
    void Post(Work work) {
        QMetaObject::invokeMethod(
            this, [this, work = std::move(work)]() mutable { work(*this); }, Qt::QueuedConnection);
    }

    // Runs work(bench) on the bench thread, then done(result) on the thread of context.
    // Nothing is delivered once context is gone.
    template <typename Work, typename Done>
    void Call(Work work, QObject* context, Done done) {
        Post(DeliveringTo<Bench>(context, std::move(work), std::move(done)));
    }

    // Runs work(bench) on the bench thread and waits for it. For start-up and shut-down
    // only: a window must never wait on the bench.
    template <typename Work>
    void RunAndWait(Work work) {
        // Once the bench thread has ended, its caller is the only one left to run the work.
        if (QThread::currentThread() == thread() || !thread()->isRunning()) {
            work(*this);
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, &work]() { work(*this); }, Qt::BlockingQueuedConnection);
    }

    // Asks every running bench procedure to stop and keeps the heartbeat from restarting:
    // the program is closing. Any thread.
    void RequestShutdown();
    bool ShuttingDown() const { return shuttingDown_.load(); }
    // After RequestShutdown, off the bench thread: waits until a drift run has ended. Its
    // end stops the chamber and puts the calibrator in standby through the instruments,
    // which must not shut down before it.
    void AwaitProceduresEnd();

    // Publishes the register image to the windows; coalesced to once per event-loop pass.
    // Bench thread only (the image is the bench thread's).
    void PublishRegisterImage();

    // The bench directory (INCLUDE/ with the chip list and descriptions, result files).
    QString benchDir;
    // What the command line gave for this run: it wins over the settings file when the
    // file is loaded, and the file keeps its own values for it. Set before the bench
    // thread starts; read-only afterwards, so any thread may read it.
    CommandLineSettings commandLine;
    // Loads the selected chip's description (the target's chip index) and publishes it.
    // Returns what GetSELUP returned (1 when a description was read).
    int LoadSelectedChip();
    // The same, unless that chip's description is the one loaded already (a reconnect
    // then leaves the windows as they are, typed cells included).
    int EnsureSelectedChip();
    // The selector text of the selected chip ("" when the chip list has none).
    QString SelectedChipName();
    // Publishes a copy of the loaded chip model to the windows.
    void PublishChipModel();

    // The bench's part of loading the settings file: the target record, the options
    // that shape the frames, the register copies and the parallel port; then the
    // selected chip's description, and the link of the restored interface kind made
    // ready (the chip's serial port opened for RS232, the parallel port initialised for
    // Parallel). Returns what the chip load returned.
    int ApplySettings(const VzAdcConfig& config);
    // The bench's part of the settings, written over config.
    void TakeSettings(VzAdcConfig& config);
    // The setup dialog's link actions: the chip's serial port at the target's indexes
    // (RS232), the parallel port at its base (Parallel). The chip link holds a serial port
    // only on the RS232 kind: on any other kind OpenChipPort opens nothing, gives back the
    // ports the chip link held (so that instruments can have them) and returns false.
    bool OpenChipPort();
    bool InitParallelPort();

  signals:
    void RegisterImageChanged(const dmm::RegisterImageSnapshot& image);
    // After every chip load: an immutable copy that windows read on their own thread.
    void ChipModelChanged(std::shared_ptr<const dmm::TChipModel> model);

  private:
    BenchCore core_;
    UiHooks& hooks_;
    TVz_UP up_;
    ProCounter counter_;
    std::atomic<bool> shuttingDown_{false};
    HeartbeatCaptureHost captureHost_;
    AdcAnalysis analysis_;
    SwitchTest switchTest_;
    Instruments instruments_;
    InstrumentThreads instrumentThreads_;
    MeterScan meterScan_;
    InstrumentWatch instrumentWatch_;
    ResistorCalibration resistorCalibration_;
    ResistanceMeter resistanceMeter_;
    CalSetManager calSets_;
    StepTable flukeSteps_;
    StepTable powerSteps_;
    ThreadedInstrumentAccess driftInstruments_;
    DriftTest driftTest_;
    bool publishPending_ = false;
    int loadedChipIndex_ = -1;
    bool instrumentsShutDown_ = false;
};

// Owns the bench thread: starts the bench's event loop on it and stops it at the end.
class BenchThread {
  public:
    explicit BenchThread(Bench& bench);
    ~BenchThread();
    BenchThread(const BenchThread&) = delete;
    BenchThread& operator=(const BenchThread&) = delete;

    void Start();
    // Stops running procedures and the heartbeat, lets the event loop end and joins the
    // thread. The bench may then be used and destroyed from the calling thread.
    void Stop();
    QThread& thread() { return thread_; }

  private:
    Bench& bench_;
    QThread thread_;
};

}  // namespace dmm

Q_DECLARE_METATYPE(dmm::RegisterImageSnapshot)
Q_DECLARE_METATYPE(std::shared_ptr<const dmm::TChipModel>)
