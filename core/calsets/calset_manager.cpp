#include "core/calsets/calset_manager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "core/app/atomic_write.h"
#include "core/app/bench_directory.h"

namespace dmm {
namespace {

// The panels a set refreshes, in the order the chip's blocks depend on each other.
constexpr PanelOrder kApplyRefreshOrder[] = {
    PanelOrder::Ram,      PanelOrder::Register, PanelOrder::Adc2,  PanelOrder::Adc1,
    PanelOrder::AdcClock, PanelOrder::Counter,  PanelOrder::OpAmp, PanelOrder::SwitchNetwork};
constexpr int kSetWriteBytes = 63;  // addresses 0x00..0x3E
constexpr uint16_t kClearedAfterSet = 0x1F;

}  // namespace

CalSetManager::CalSetManager(ChipAccess& chip, TVz_UP& up, UiHooks& hooks, Clock& clock,
                             const TChipModel& model, QObject* parent)
    : QObject(parent),
      chip_(chip),
      up_(up),
      hooks_(hooks),
      clock_(clock),
      model_(model),
      Timer1(this) {
    qRegisterMetaType<CalSetControls>();
    Timer1.setInterval(kTickMs);
    connect(&Timer1, &QTimer::timeout, this, &CalSetManager::Timer1Timer);
    captions_.fill(QString::fromLatin1(kNoFile));
}

QString CalSetManager::SlotPath(int slot) const {
    const QString name = ConfigSetFileName(slot);
    // A set copied from another machine may differ in case only.
    const QString found = FindFileCaseInsensitive(folder_, name);
    return found.isEmpty() ? QDir(folder_).filePath(name) : found;
}

CalSetManager::SlotRead CalSetManager::ReadSlot(int slot) const {
    SlotRead read;
    if (folder_.isEmpty() || slot < 0 || slot >= kConfigSetSlots) return read;
    QFile file(SlotPath(slot));
    if (!file.exists()) return read;
    read.state = SlotState::Unreadable;
    if (file.size() > kConfigSetMaxBytes) {
        read.fault = QStringLiteral("%1 bytes, far more than a set").arg(file.size());
        return read;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        read.fault = file.errorString();
        return read;
    }
    const QByteArray bytes = file.readAll();
    read.fault = ConfigSetFault(bytes);
    if (!read.fault.isEmpty()) return read;
    read.state = SlotState::Set;
    read.set = ReadConfigSet(bytes);
    read.registerLines = RegisterLinesIn(bytes);
    return read;
}

void CalSetManager::Note(int slot, const SlotRead& read) {
    const auto n = static_cast<size_t>(slot);
    states_[n] = read.state;
    faults_[n] = read.fault;
    captions_[n] = read.state == SlotState::Set     ? read.set.name
                   : read.state == SlotState::Empty ? QString::fromLatin1(kNoFile)
                                                    : QString::fromLatin1(kUnreadableSet);
    setCount_ = static_cast<int>(std::count(states_.begin(), states_.end(), SlotState::Set));
}

void CalSetManager::RefuseUnreadable(int slot, const QString& fault) {
    hooks_.ShowError(QStringLiteral("Not a calibration set: ") + SlotPath(slot) +
                     QStringLiteral(" (") + fault + QStringLiteral(")"));
}

std::optional<CalSetManager::SlotRead> CalSetManager::ReadSet(int slot) {
    if (slot < 0 || slot >= kConfigSetSlots) return std::nullopt;
    SlotRead read = ReadSlot(slot);
    Note(slot, read);
    if (read.state == SlotState::Unreadable) RefuseUnreadable(slot, read.fault);
    if (read.state != SlotState::Set) return std::nullopt;
    return read;
}

SlotState CalSetManager::slotState(int slot) const {
    return slot >= 0 && slot < kConfigSetSlots ? states_[static_cast<size_t>(slot)]
                                               : SlotState::Empty;
}

QString CalSetManager::SlotFault(int slot) const {
    return slot >= 0 && slot < kConfigSetSlots ? faults_[static_cast<size_t>(slot)] : QString();
}

CalSetControls ControlsOf(const ConfigSet& set) {
    CalSetControls c;
    c.reference = set.reference;
    c.unit = set.unit;
    c.adcChoice = set.adcChoice;
    c.averageTimes = QString::number(set.averageTimes);
    c.name = set.name;
    c.scale = set.scale;
    c.cancelOffset = set.cancelOffset != 0;
    return c;
}

void CalSetManager::Loaded(const ConfigSet& set) {
    loaded_ = set;
    figures_ = FiguresOf(set);
    adcChoice_ = set.adcChoice;
    emit ControlsLoaded(ControlsOf(set), set.adc1Offset, set.rmsOffset);
}

void CalSetManager::ShowSlots() {
    QStringList list;
    for (const QString& caption : captions_) list << caption;
    emit SlotsShown(list, selected_);
}

void CalSetManager::ScanFolder(const QString& folder) {
    const bool sameFolder =
        !folder_.isEmpty() && QDir(folder_).absolutePath() == QDir(folder).absolutePath();
    folder_ = folder;
    emit StatusShown(QStringLiteral("Destination Folders : ") + folder);
    // A scan only reads: the register image keeps mirroring the chip.
    for (int n = 0; n < kConfigSetSlots; ++n) Note(n, ReadSlot(n));
    const int keep = selected_;
    selected_ = -1;
    if (sameFolder && slotState(keep) == SlotState::Set) {
        Select(keep);
        return;
    }
    // What the entries showed belonged to a set that is gone or in another folder.
    Loaded(ConfigSet{});
    ShowSlots();
}

bool CalSetManager::Select(int slot) {
    if (slotState(slot) == SlotState::Unreadable) {
        RefuseUnreadable(slot, SlotFault(slot));
        return false;
    }
    if (slotState(slot) == SlotState::Empty) {
        selected_ = -1;
        ShowSlots();
        return false;
    }
    // Read again: what is selected is what the file holds now.
    const std::optional<SlotRead> read = ReadSet(slot);
    if (read) {
        selected_ = slot;
        Loaded(read->set);
    } else if (slotState(slot) == SlotState::Empty) {
        selected_ = -1;
    }
    ShowSlots();
    return read.has_value();
}

bool CalSetManager::SelectWritten(int slot) {
    Note(slot, ReadSlot(slot));
    return Select(slot);
}

void CalSetManager::Panel1Click(int slot) {
    if (slot < 0 || slot >= kConfigSetSlots) return;
    if (Select(slot)) ApplySlot(slot);
}

int CalSetManager::EntryCount() const {
    return std::min(model_.bitRegisters.Count() + model_.byteRegisters.Count(),
                    kConfigSetRegisterLines);
}

bool CalSetManager::ApplySlot(int slot) {
    emit StatusShown(QStringLiteral("Destination File : ") + SlotPath(slot));
    const std::optional<SlotRead> read = ReadSet(slot);
    if (!read) return false;
    const int lines = std::min(EntryCount(), read->registerLines);
    for (int i = 0; i < lines; ++i) {
        const RegisterPair& pair = read->set.registers[static_cast<size_t>(i)];
        // An address from a file outside the chip's space is left alone.
        if (pair.address < kRegisterImageSize) chip_.SetRegImage(pair.address, pair.value);
    }
    // The transfer carries the whole of 0x00..0x3E: what the set does not name goes out
    // as the image holds it, never as whatever the buffer held last.
    const size_t data = WriteDataOffset(chip_.target().interfaceKind);
    for (int a = 0; a < kSetWriteBytes; ++a)
        chip_.buffer()[data + static_cast<size_t>(a)] = chip_.GetRegImage(a);
    if (!chip_.WriteChip(0, kSetWriteBytes)) return false;
    chip_.RefreshPanels(kApplyRefreshOrder);
    chip_.buffer()[data] = 0;
    if (chip_.WriteChip(kClearedAfterSet, 1)) chip_.SetRegImage(kClearedAfterSet, 0);
    return true;
}

std::array<RegisterPair, kConfigSetRegisterLines> CalSetManager::CurrentRegisters() const {
    std::array<RegisterPair, kConfigSetRegisterLines> pairs{};
    size_t i = 0;
    auto add = [&](int address) {
        if (i >= pairs.size() || address < 0 || address >= kRegisterImageSize) return;
        pairs[i++] = {static_cast<uint16_t>(address), chip_.GetRegImage(address)};
    };
    for (int k = 0; k < model_.bitRegisters.Count(); ++k) add(model_.bitRegisters.Address(k));
    for (int k = 0; k < model_.byteRegisters.Count(); ++k) add(model_.byteRegisters.Address(k));
    return pairs;
}

ConfigSet CalSetManager::FromControls(const CalSetControls& c, const ConfigSet& figures,
                                      int n) const {
    ConfigSet set = figures;
    set.reference = c.reference;
    set.unit = c.unit;
    set.adcChoice = c.adcChoice == 1 ? 1 : 0;
    set.name = c.name;
    set.scale = c.scale;
    set.cancelOffset = c.cancelOffset ? 1 : 0;
    set.averageTimes = n;
    return set;
}

bool CalSetManager::WriteSlot(int slot, const ConfigSet& set) {
    // Through a temporary file: a crash or a full disk leaves the old set, never none.
    QString error;
    const QString path = QDir(folder_).filePath(ConfigSetFileName(slot));
    if (folder_.isEmpty() || !WriteFileAtomically(path, WriteConfigSet(set), error)) {
        hooks_.ShowError(QStringLiteral("Cannot write ") + path +
                         (error.isEmpty() ? QString() : QStringLiteral(": ") + error));
        return false;
    }
    // A differently cased copy of the same slot would shadow the one just written.
    const QString other = FindFileCaseInsensitive(folder_, ConfigSetFileName(slot));
    if (!other.isEmpty() && QFileInfo(other).fileName() != ConfigSetFileName(slot))
        QFile::remove(other);
    return true;
}

std::vector<double> CalSetManager::TakeSamples(int path, int n) {
    const LiveSwitches before = up_.Switches();
    up_.SetIntfReading(true);
    up_.Adc1DisplayOn = true;
    up_.ResistanceOn = true;
    // The RMS results reach the heartbeat's consumers through the ADC2/ADP display.
    if (path == 1) up_.Adc2DisplayOn = true;
    // Only values that arrive from now on count.
    up_.TakeNewAdc1(LiveConsumer::CalibrationSets);
    up_.TakeNewRms(LiveConsumer::CalibrationSets);

    std::vector<double> samples;
    int64_t lastSampleMs = clock_.NowMs();
    while (static_cast<int>(samples.size()) < n) {
        hooks_.SetStatusText(1, QStringLiteral("Reading - %1").arg(samples.size()));
        up_.Timer1Timer();
        if (path == 0 && up_.TakeNewAdc1(LiveConsumer::CalibrationSets)) {
            samples.push_back(up_.LatestAdc1);
        } else if (path == 1 && up_.TakeNewRms(LiveConsumer::CalibrationSets)) {
            samples.push_back(up_.LatestRms);
        } else {
            if (clock_.NowMs() - lastSampleMs > kSampleGapMs) break;
            clock_.SleepMs(TVz_UP::kHeartbeatMs);
            continue;
        }
        lastSampleMs = clock_.NowMs();
    }
    up_.SetSwitches(before);
    return samples;
}

bool CalSetManager::MeasureInto(int slot, bool gain, const CalSetControls& controls) {
    const std::optional<SlotRead> read = ReadSet(slot);
    if (!read) return false;
    bool okNumber = false;
    int n = controls.averageTimes.trimmed().toInt(&okNumber);
    if (!okNumber || n != ValidAverageTimes(n)) {
        n = 5;
        emit AverageTimesShown(QStringLiteral("5"));
    }
    const int path = controls.adcChoice == 1 ? 1 : 0;
    const std::vector<double> taken = TakeSamples(path, n);
    if (static_cast<int>(taken.size()) < n) {
        // Missing samples are no reading of zero: the set keeps its figures.
        hooks_.SetStatusText(1, QStringLiteral("Save false!!!!!"));
        emit StatusShown(
            QStringLiteral("Not saved: %1 of %2 samples within 20 s").arg(taken.size()).arg(n));
        return false;
    }
    hooks_.SetStatusText(1, QStringLiteral("Save  OK"));
    // Only the chosen path takes samples; the other path's mean is 0 and is stored so.
    lastMeans = {0.0, 0.0};
    lastMeans[static_cast<size_t>(path)] = MeanWithoutExtremes(taken);

    ConfigSet figures = read->set;
    if (gain) {
        figures.adc1Gain = lastMeans[0];
        figures.rmsGain = lastMeans[1];
    } else {
        figures.adc1Offset = lastMeans[0];
        figures.rmsOffset = lastMeans[1];
    }
    return WriteSlot(slot, FromControls(controls, figures, n)) && SelectWritten(slot);
}

bool CalSetManager::Measure(bool gain, const CalSetControls& controls) {
    if (selected_ < 0) {
        hooks_.ShowError(QStringLiteral("Please Select one Config Setion?"));
        return false;
    }
    return MeasureInto(selected_, gain, controls);
}

bool CalSetManager::StoreRegisters(int slot, const ConfigSet& newSet) {
    if (slot < 0 || slot >= kConfigSetSlots) return false;
    if (!chip_.target().devc.connected) {
        hooks_.ShowError(QStringLiteral("USB not Found!!!"));
        return false;
    }
    const SlotRead read = ReadSlot(slot);
    Note(slot, read);
    if (read.state == SlotState::Unreadable) {
        RefuseUnreadable(slot, read.fault);
        return false;
    }
    if (read.state == SlotState::Set &&
        !hooks_.AskYesNo(QStringLiteral("Write To ") + read.set.name))
        return false;
    ConfigSet set = read.state == SlotState::Set ? read.set : newSet;
    set.registers = CurrentRegisters();
    return WriteSlot(slot, set) && SelectWritten(slot);
}

bool CalSetManager::SaveRegister(const CalSetControls& controls) {
    if (selected_ >= 0) return StoreRegisters(selected_, loaded_);
    // The new set goes into the first slot with no file: numbering it by the set count
    // would land on an existing set whenever the folder has a gap.
    const int slot = FirstFreeSlot();
    if (slot < 0) {
        hooks_.ShowError(
            QStringLiteral("All ten slots hold a file: select a set to write over it"));
        return false;
    }
    bool okNumber = false;
    const int typed = controls.averageTimes.trimmed().toInt(&okNumber);
    return StoreRegisters(slot,
                          FromControls(controls, loaded_, ValidAverageTimes(okNumber ? typed : 0)));
}

int CalSetManager::FirstFreeSlot() const {
    for (int n = 0; n < kConfigSetSlots; ++n) {
        if (states_[static_cast<size_t>(n)] == SlotState::Empty) return n;
    }
    return -1;
}

void CalSetManager::Timer1Timer() {
    const bool fresh = adcChoice_ == 0 ? up_.TakeNewAdc1(LiveConsumer::CalibrationSets)
                                       : up_.TakeNewRms(LiveConsumer::CalibrationSets);
    if (!fresh) return;
    const double m =
        adcChoice_ == 0 ? adc1Mean_.Next(up_.LatestAdc1) : rmsMean_.Next(up_.LatestRms);
    lastDisplay = CalSetDisplayText(CalSetReading(adcChoice_, m, figures_), figures_);
    emit DisplayShown(lastDisplay, std::max(0, figures_.decimals));
}

}  // namespace dmm
