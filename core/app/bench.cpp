#include "core/app/bench.h"

#include <QTimer>

#include "core/app/bench_settings.h"
#include "core/chip/chip_loader.h"
#include "core/measure/capture_chip_layout.h"

namespace dmm {

Bench::Bench(BoardBus& bus, Clock& clock, UiHooks& hooks, ParallelPortBus* parallelPorts,
             SerialPortOpener* serialPorts)
    : core_(bus, clock, parallelPorts, serialPorts),
      hooks_(hooks),
      up_(core_.chip(), hooks, this),
      counter_(core_.chip(), up_, hooks, clock, this),
      captureHost_(up_, shuttingDown_),
      analysis_(core_, captureHost_, hooks),
      switchTest_(core_, hooks, this),
      instruments_(core_.serial(), clock, hooks),
      instrumentThreads_(instruments_),
      meterScan_(instrumentThreads_, this),
      instrumentWatch_(instrumentThreads_, this),
      resistorCalibration_(core_.chip(), up_, hooks, clock, this),
      resistanceMeter_(
          core_.chip(), up_, hooks, clock, [this] { return resistorCalibration_.voltsPerCount; },
          this),
      calSets_(core_.chip(), up_, hooks, clock, core_.chipModel(), this),
      driftInstruments_(instrumentThreads_, hooks),
      driftTest_(core_, analysis_, driftInstruments_, hooks, this) {
    // A reading that waits for the chip gives up when the program closes.
    resistorCalibration_.stopRequested = [this] { return shuttingDown_.load(); };
    resistanceMeter_.stopRequested = resistorCalibration_.stopRequested;
    qRegisterMetaType<RegisterImageSnapshot>();
    qRegisterMetaType<std::shared_ptr<const TChipModel>>();
    core_.chip().SubscribeRefresh(PanelOrder::Ram, [this] { PublishRegisterImage(); });
    up_.FieldLookup = [this](std::string_view name) { return core_.chipModel().Field(name); };
    counter_.FieldLookup = up_.FieldLookup;
    // A request the link refused, or a reply cut short, says why in the status bar.
    core_.chip().OnFailure = [this](const std::string& why) {
        hooks_.SetStatusText(1, QString::fromStdString(why));
    };
    // The chip's serial link reports its line errors in the same panel.
    core_.chip().rs232().OnStatus = [this](const std::string& text) {
        hooks_.SetStatusText(1, QString::fromStdString(text));
    };
    core_.parallel().SetStatusHandler([this](const std::string& text, bool) {
        hooks_.SetStatusText(0, QString::fromStdString(text));
    });
}

Bench::~Bench() = default;

void Bench::ShutDownInstruments() {
    if (instrumentsShutDown_) return;
    instrumentsShutDown_ = true;
    meterScan_.Stop();
    instrumentWatch_.Stop();
    instrumentThreads_.Stop();
    instruments_.LeaveBenchSafe();
}

CaptureSettings Bench::WithChipLayout(CaptureSettings settings) {
    ApplyChipLayout(core_.chipModel(), settings);
    return settings;
}

void Bench::RequestShutdown() {
    shuttingDown_ = true;
    analysis_.RequestStop();
    switchTest_.RequestStop();
    driftTest_.Shutdown();
}

void Bench::AwaitProceduresEnd() {
    if (QThread::currentThread() == thread()) return;
    while (driftTest_.IsRunning()) QThread::msleep(5);
}

int Bench::EnsureSelectedChip() {
    if (loadedChipIndex_ == core_.target().chipIndex && core_.chipModel().loadCount > 0) return 1;
    return LoadSelectedChip();
}

int Bench::LoadSelectedChip() {
    const int result = GetSELUP(IncludeDirectory(benchDir), core_.chipModel(), core_.chip());
    loadedChipIndex_ = result == 1 ? core_.target().chipIndex : -1;
    PublishChipModel();
    PublishRegisterImage();
    return result;
}

QString Bench::SelectedChipName() {
    const ChipSelector selector = FillChipSelector(IncludeDirectory(benchDir));
    const size_t index = core_.target().chipIndex;
    return index < selector.texts.size() ? QString::fromStdString(selector.texts[index])
                                         : QString();
}

int Bench::ApplySettings(const VzAdcConfig& config) {
    ApplyBenchSettings(core_, config);
    // The analysis scale's bit count depends on the interface kind.
    analysis_.TXScaleChange();
    const int loaded = LoadSelectedChip();
    switch (core_.target().interfaceKind) {
        case InterfaceKind::RS232:
            OpenChipPort();
            break;
        case InterfaceKind::Parallel:
            InitParallelPort();
            break;
        default:
            break;
    }
    return loaded;
}

void Bench::TakeSettings(VzAdcConfig& config) {
    TakeBenchSettings(core_, config);
}

bool Bench::OpenChipPort() {
    if (core_.target().interfaceKind != InterfaceKind::RS232) {
        core_.chipPort().Forget(core_.target());
        return false;
    }
    return core_.chipPort().OpenChipPort(core_.target(), hooks_);
}

bool Bench::InitParallelPort() {
    return core_.parallel().ParInit();
}

void Bench::PublishChipModel() {
    emit ChipModelChanged(std::make_shared<const TChipModel>(core_.chipModel()));
}

void Bench::PublishRegisterImage() {
    if (publishPending_) return;
    publishPending_ = true;
    QTimer::singleShot(0, this, [this] {
        publishPending_ = false;
        emit RegisterImageChanged(SnapshotOf(core_.target()));
    });
}

BenchThread::BenchThread(Bench& bench) : bench_(bench) {
    thread_.setObjectName("bench");
}

BenchThread::~BenchThread() {
    Stop();
}

void BenchThread::Start() {
    if (thread_.isRunning()) return;
    bench_.moveToThread(&thread_);
    thread_.start();
    bench_.Post([](Bench& bench) { bench.instrumentWatch().Start(); });
}

void BenchThread::Stop() {
    if (!thread_.isRunning()) return;
    bench_.RequestShutdown();
    bench_.AwaitProceduresEnd();
    bench_.RunAndWait([](Bench& bench) {
        bench.up().StopHeartbeat();
        bench.counter().StopTimer();
        bench.ShutDownInstruments();
    });
    // A procedure still unwinding (it saw the stop request) finishes before the loop ends.
    thread_.quit();
    thread_.wait();
}

}  // namespace dmm
