#include "core/analog/switch_test.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include "core/app/atomic_write.h"
#include "core/app/bench_core.h"

namespace dmm {
namespace {

// Where the firmware takes its set-up and hands out the samples (chip addresses).
constexpr uint16_t kSamplesPerStepAddress = 288;
constexpr uint16_t kLoopsAddress = 290;
constexpr uint16_t kChannelsAddress = 292;
constexpr uint16_t kRegisterListAddress = 296;
constexpr uint16_t kChannels1To4Address = 304;
constexpr uint16_t kChannels5To8Address = 336;
constexpr uint16_t kBlockOffsetAddress = 368;
constexpr uint16_t kBlockLengthAddress = 371;
constexpr uint16_t kBlockBufferAddress = 256;
// Port 2 of the microcontroller: bit 3 is driven low before a run.
constexpr uint16_t kPort2Data = 116;
constexpr uint16_t kPort2Direction = 117;
constexpr uint8_t kPort2Bit3 = 0x08;
// The firmware's status register: bit 7 the ready handshake, bits 5 and 6 its flags.
constexpr uint16_t kFirmwareStatus = 210;
constexpr uint8_t kReadyBit = 0x80;
// The firmware's control register: bit 4 starts the run, bit 3 asks for a block.
constexpr uint16_t kFirmwareControl = 164;
constexpr uint8_t kStartBit = 0x10;
constexpr uint8_t kBlockBit = 0x08;
constexpr uint8_t kKeepOtherFlags = 0x9F;
constexpr uint16_t kShiftAddress = 173;
// The status byte's end-of-run bits: bit 4 on an opto-coupled "ENOB" board, else bit 5.
constexpr uint8_t kEnobBoardEnd = 0x10;
constexpr uint8_t kBoardEnd = 0x20;
constexpr int64_t kStatusPollMs = 1000;
// Between two reads of a handshake bit: lets the time-out's clock move on every clock.
constexpr int64_t kHandshakePollMs = 1;
constexpr int64_t kSetSettleMs = 2000;
constexpr int kBytesPerSample = 3;
constexpr int kChannelsPerBlockWrite = 4;
constexpr int kStatusPanelStep = 1;
constexpr int kStatusPanelReplies = 2;

}  // namespace

// Marks the run for IsRunning() and ends it on every way out.
class SwitchTest::RunGuard {
  public:
    explicit RunGuard(std::atomic<bool>& running) : running_(running) { running_ = true; }
    ~RunGuard() { running_ = false; }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

  private:
    std::atomic<bool>& running_;
};

SwitchTest::SwitchTest(BenchCore& core, UiHooks& ui, QObject* parent)
    : QObject(parent), core_(core), ui_(ui) {
    qRegisterMetaType<SwitchTestView>();
    for (auto& table : tables_) table.assign(kSwitchTableSize, 0);
}

SwitchTestView SwitchTest::View() const {
    SwitchTestView view;
    view.setup = setup_;
    if (gridShown_) {
        const std::vector<int32_t>& table = tables_[static_cast<size_t>(setup_.selectedStep)];
        const size_t n = std::min(table.size(), static_cast<size_t>(setup_.G() * setup_.L()));
        view.cells = std::make_shared<const std::vector<int32_t>>(table.begin(), table.begin() + n);
    }
    return view;
}

void SwitchTest::Publish() {
    emit Changed(View());
}

void SwitchTest::LoadConfig(const QString& path) {
    if (!QFile::exists(path)) SaveConfig(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    ReadStepFile(file.readAll(), setup_);
    PStepSet(setup_.selectedStep);
    ClearSGD();
}

bool SwitchTest::SaveConfig(const QString& path) const {
    QString ignored;
    return WriteFileAtomically(path, StepFileBytes(setup_), ignored);
}

void SwitchTest::SwitChClick(int channel, bool ticked) {
    if (channel < 0 || channel >= kSwitchChannelCount) return;
    setup_.enabled[static_cast<size_t>(channel)] = ticked;
    Publish();
}

void SwitchTest::StepLengthsChange(int evStepLenIndex, int loopStepIndex) {
    setup_.evStepLenIndex = evStepLenIndex;
    setup_.loopStepIndex = loopStepIndex;
    // The cells of another shape would put the samples in the wrong places.
    ClearSGD();
}

void SwitchTest::PStepSet(int step) {
    setup_.selectedStep = EffectiveStep(setup_.enabled, step);
    gridShown_ = true;
    Publish();
}

void SwitchTest::ClearSGD() {
    gridShown_ = false;
    Publish();
}

bool SwitchTest::PSwitchSetClick(int channel) {
    if (channel < 0 || channel >= kSwitchChannelCount || IsRunning()) return false;
    DelayMs(core_.clock(), kSetSettleMs);
    ChannelValues& values = setup_.values[static_cast<size_t>(channel)];
    for (size_t i = 0; i < kChannelRegisters.size(); ++i)
        values[i] = core_.chip().GetRegImage(kChannelRegisters[i]);
    Publish();
    return true;
}

bool SwitchTest::PSwReviewClick(int channel) {
    if (channel < 0 || channel >= kSwitchChannelCount || IsRunning()) return false;
    bool all = true;
    const ChannelValues& values = setup_.values[static_cast<size_t>(channel)];
    for (size_t i = 0; i < kChannelRegisters.size(); ++i)
        all = core_.chip().WriteRegister(kChannelRegisters[i], values[i]) && all;
    return all;
}

bool SwitchTest::ADShiftChange(int index) {
    if (IsRunning()) return false;
    const uint8_t shift = static_cast<uint8_t>(index);
    return WriteBytes(kShiftAddress, &shift, 1);
}

void SwitchTest::TXScaleChange(int index) {
    core_.adc().scale = SwitchTestScaleFor(kMinResultBits + index);
}

bool SwitchTest::ReadByte(uint16_t address, uint8_t& value) {
    if (!core_.chip().ReadChip(address, 1)) return false;
    value = core_.chip().buffer()[0];
    return true;
}

bool SwitchTest::WriteBytes(uint16_t address, const uint8_t* data, int count) {
    // The data go where the interface kind's write frame carries them.
    ChipAccess& chip = core_.chip();
    std::copy_n(data, count,
                chip.buffer().begin() +
                    static_cast<std::ptrdiff_t>(WriteDataOffset(chip.target().interfaceKind)));
    return chip.WriteChip(address, count);
}

template <typename Change>
bool SwitchTest::Modify(uint16_t address, Change change) {
    // A read that failed gives nothing to write back.
    uint8_t value = 0;
    if (!ReadByte(address, value)) return false;
    const uint8_t changed = static_cast<uint8_t>(change(value));
    return WriteBytes(address, &changed, 1);
}

SwitchTest::Handshake SwitchTest::WaitBitClear(uint16_t address, uint8_t bit) {
    const int64_t start = core_.clock().NowMs();
    for (;;) {
        uint8_t value = 0;
        if (!ReadByte(address, value)) return Handshake::ReadFailed;
        if ((value & bit) == 0) return Handshake::Clear;
        if (Stopping()) return Handshake::Stopped;
        if (core_.clock().NowMs() - start >= kHandshakeTimeoutMs) return Handshake::TimedOut;
        ui_.ProcessPendingEvents();
        DelayMs(core_.clock(), kHandshakePollMs);
    }
}

bool SwitchTest::SendTORX405WR() {
    uint8_t registers[kRegistersSent];
    std::copy_n(kChannelRegisters.begin(), kRegistersSent, registers);
    if (!WriteBytes(kRegisterListAddress, registers, kRegistersSent) ||
        !core_.chip().ReadChip(kRegisterListAddress, kRegistersSent) ||
        !std::equal(registers, registers + kRegistersSent, core_.chip().buffer().begin()))
        return false;

    // The firmware measures the first a set-ups, a being the number of enabled channels;
    // the enabled channels' set-ups go first, in channel order, so that it measures the
    // channels the tables are meant for even when a channel in between is unticked.
    std::vector<int> order;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        if (setup_.enabled[static_cast<size_t>(k)]) order.push_back(k);
    }
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        if (!setup_.enabled[static_cast<size_t>(k)]) order.push_back(k);
    }
    for (int half = 0; half < 2; ++half) {
        uint8_t block[kChannelsPerBlockWrite * kRegistersSent];
        for (int slot = 0; slot < kChannelsPerBlockWrite; ++slot) {
            const ChannelValues& values =
                setup_.values[static_cast<size_t>(order[half * kChannelsPerBlockWrite + slot])];
            std::copy_n(values.begin(), kRegistersSent, block + slot * kRegistersSent);
        }
        if (!WriteBytes(half == 0 ? kChannels1To4Address : kChannels5To8Address, block,
                        sizeof block))
            return false;
    }
    const uint8_t samplesPerStep = static_cast<uint8_t>(setup_.G());
    const uint16_t loops = static_cast<uint16_t>(setup_.L());
    const uint8_t loopBytes[2] = {static_cast<uint8_t>(loops & 0xFF),
                                  static_cast<uint8_t>(loops >> 8)};
    const uint8_t channels = static_cast<uint8_t>(setup_.EnabledCount());
    return WriteBytes(kSamplesPerStepAddress, &samplesPerStep, 1) &&
           WriteBytes(kLoopsAddress, loopBytes, 2) && WriteBytes(kChannelsAddress, &channels, 1);
}

bool SwitchTest::SendTORX405Click() {
    if (IsRunning()) return false;
    uint8_t a = 0, b = 0, c = 0;
    core_.link().ReadBoardStatus(a, b, c);
    ui_.SetStatusText(kStatusPanelReplies, kDataSendingText);
    ui_.ProcessPendingEvents();
    if (SendTORX405WR()) {
        ui_.SetStatusText(kStatusPanelReplies, kDataSendOkText);
        return true;
    }
    ui_.ShowError(kDataSendFailBox);
    ui_.SetStatusText(kStatusPanelReplies, kDataSendFailText);
    return false;
}

void SwitchTest::PT2OUTLOW() {
    Modify(kPort2Direction, [](uint8_t v) { return v | kPort2Bit3; });
    Modify(kPort2Data, [](uint8_t v) { return v & ~kPort2Bit3; });
}

SwitchTestEnd SwitchTest::WaitForFirmware(const std::string& info, int total) {
    const bool enobBoard = core_.chip().Photo && info.rfind("ENOB", 0) == 0;
    const uint8_t end = enobBoard ? kEnobBoardEnd : kBoardEnd;
    const int64_t timeoutMs = firmwareTimeoutMs > 0
                                  ? firmwareTimeoutMs
                                  : kRunAllowanceMs + kRunAllowancePerSampleMs * total;
    const int64_t start = core_.clock().NowMs();
    for (;;) {
        DelayMs(core_.clock(), kStatusPollMs);
        ui_.ProcessPendingEvents();
        const int64_t elapsed = core_.clock().NowMs() - start;
        ui_.SetStatusText(kStatusPanelStep, QString::number(elapsed / kStatusPollMs));
        uint8_t a = 0, b = 0, c = 0;
        if (!core_.link().ReadBoardStatus(a, b, c)) return SwitchTestEnd::NotFinished;
        if (a & end) return SwitchTestEnd::Complete;
        if (Stopping()) return SwitchTestEnd::Stopped;
        if (elapsed >= timeoutMs) return SwitchTestEnd::TimedOut;
    }
}

SwitchTestEnd SwitchTest::ReadSamples(int channels, int total) {
    ChipAccess& chip = core_.chip();
    const int32_t divisor = core_.adc().scale.divisor;
    const int samplesPerStep = setup_.G();
    // A run that ends early leaves zeros behind it, never the samples of an earlier run.
    for (auto& table : tables_) std::fill(table.begin(), table.end(), 0);
    int r = 0;
    while (r < total) {
        if (Stopping()) return SwitchTestEnd::Stopped;
        const int count = BlockBytes(total, r);
        const uint32_t offset = static_cast<uint32_t>(r * kBytesPerSample);
        const uint8_t offsetBytes[3] = {static_cast<uint8_t>(offset),
                                        static_cast<uint8_t>(offset >> 8),
                                        static_cast<uint8_t>(offset >> 16)};
        const uint8_t lengthBytes[3] = {static_cast<uint8_t>(count), 0, 0};
        if (!WriteBytes(kBlockOffsetAddress, offsetBytes, 3) ||
            !WriteBytes(kBlockLengthAddress, lengthBytes, 3) ||
            !Modify(kFirmwareControl, [](uint8_t v) { return v | kBlockBit; }))
            return SwitchTestEnd::ReadFailed;
        switch (WaitBitClear(kFirmwareControl, kBlockBit)) {
            case Handshake::Clear:
                break;
            case Handshake::ReadFailed:
                return SwitchTestEnd::ReadFailed;
            case Handshake::Stopped:
                return SwitchTestEnd::Stopped;
            case Handshake::TimedOut:
                return SwitchTestEnd::BlockTimedOut;
        }
        if (!chip.ReadChip(kBlockBufferAddress, count)) return SwitchTestEnd::ReadFailed;
        const TransferBuffer& reply = chip.buffer();
        for (int at = 0; at < count; at += kBytesPerSample, ++r) {
            const uint32_t raw = reply[static_cast<size_t>(at)] |
                                 (reply[static_cast<size_t>(at + 1)] << 8) |
                                 (reply[static_cast<size_t>(at + 2)] << 16);
            const SamplePlace place = PlaceSample(r, channels, samplesPerStep);
            tables_[static_cast<size_t>(place.table)][static_cast<size_t>(place.index)] =
                DecodeSwitchSample(raw, divisor);
        }
        lastRead_ = r;
        ui_.SetGauge(static_cast<int>(static_cast<int64_t>(r) * 100 / total), 100);
        ui_.ProcessPendingEvents();
    }
    return SwitchTestEnd::Complete;
}

SwitchTestEnd SwitchTest::TestBeginClick() {
    // The run handles queued events: a second "Begin" must not start a run inside it.
    if (IsRunning()) return SwitchTestEnd::Busy;
    // A run of no channel measures nothing: its "Test OK" would be a claim about nothing
    // and its tables zeros that a save would put over earlier results.
    if (setup_.EnabledCount() == 0) {
        ui_.ShowError(kNoChannelText);
        return SwitchTestEnd::NoChannel;
    }
    RunGuard guard(running_);
    std::string info;
    if (!core_.link().ReadBoardInfo(info)) return SwitchTestEnd::NoBoard;
    stop_ = false;
    uint8_t a = 0, b = 0, c = 0;
    core_.link().ReadBoardStatus(a, b, c);
    PT2OUTLOW();
    ClearSGD();

    auto fail = [&](SwitchTestEnd end) {
        ui_.SetStatusText(kStatusPanelReplies, kTestFailText);
        ui_.ShowGauge(false);
        return end;
    };
    // A read that fails ends the ready wait and the run goes on (the set-up's read-back
    // then tells whether the firmware listens).
    if (Modify(kFirmwareStatus, [](uint8_t v) { return v | kReadyBit; })) {
        const Handshake ready = WaitBitClear(kFirmwareStatus, kReadyBit);
        if (ready == Handshake::Stopped) return fail(SwitchTestEnd::Stopped);
        if (ready == Handshake::TimedOut) return fail(SwitchTestEnd::NotReady);
    }
    if (!SendTORX405WR()) return fail(SwitchTestEnd::SendFailed);

    const int channels = setup_.EnabledCount();
    const int total = channels * setup_.G() * setup_.L();
    lastTotal_ = total;
    lastRead_ = 0;
    ui_.SetStatusText(kStatusPanelReplies, kTestBeginningText);
    const uint8_t zero[3] = {0, 0, 0};
    WriteBytes(kBlockOffsetAddress, zero, 3);
    Modify(kFirmwareStatus, [](uint8_t v) { return v & kKeepOtherFlags; });
    Modify(kFirmwareControl, [](uint8_t v) { return (v & kKeepOtherFlags) | kStartBit; });

    if (const SwitchTestEnd waited = WaitForFirmware(info, total);
        waited != SwitchTestEnd::Complete)
        return fail(waited);
    ui_.SetStatusText(kStatusPanelReplies, kTestOkText);
    ui_.ShowGauge(true);
    const SwitchTestEnd end = ReadSamples(channels, total);
    PStepSet(setup_.selectedStep);
    // Samples missing from the tables are no success, whether stopped or lost.
    if (end != SwitchTestEnd::Complete) return fail(end);
    ui_.ShowGauge(false);
    return end;
}

bool SwitchTest::SaveToExcel(const QString& folder) {
    if (IsRunning()) return false;
    FileContents files;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        files.emplace_back(
            QDir(folder).filePath(ResultFileName(k)),
            ResultFileBytes(tables_[static_cast<size_t>(k)], setup_.G(), setup_.L()));
    }
    int failed = 0;
    QString error;
    if (WriteFilesAtomically(files, failed, error)) return true;
    ui_.ShowError(QStringLiteral("Please Close %1 !!!!").arg(ResultFileName(failed)));
    return false;
}

}  // namespace dmm
