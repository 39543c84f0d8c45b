#include "core/calsets/calset_manager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

std::optional<ConfigSet> CalSetManager::ReadSlot(int slot) const {
    if (folder_.isEmpty() || slot < 0 || slot >= kConfigSetSlots) return std::nullopt;
    QFile file(SlotPath(slot));
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return std::nullopt;
    return ReadConfigSet(file.readAll());
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

void CalSetManager::DFoldersChange(const QString& folder) {
    folder_ = folder;
    emit StatusShown(QStringLiteral("Destination Folders : ") + folder);
    captions_.fill(QString::fromLatin1(kNoFile));
    setCount_ = 0;
    // A scan only reads: the register image keeps mirroring the chip.
    for (int n = 0; n < kConfigSetSlots; ++n) {
        if (const std::optional<ConfigSet> set = ReadSlot(n)) {
            Loaded(*set);
            captions_[static_cast<size_t>(n)] = set->name;
            ++setCount_;
        }
    }
    ShowSlots();
}

void CalSetManager::Panel1Click(int slot) {
    if (slot < 0 || slot >= kConfigSetSlots) return;
    if (captions_[static_cast<size_t>(slot)] == QLatin1String(kNoFile)) {
        selected_ = -1;
        ShowSlots();
        return;
    }
    selected_ = slot;
    ShowSlots();
    ApplySet(slot, true);
}

int CalSetManager::EntryCount() const {
    return std::min(model_.bitRegisters.Count() + model_.byteRegisters.Count(),
                    kConfigSetRegisterLines);
}

bool CalSetManager::ApplySet(int slot, bool writeChip) {
    emit StatusShown(QStringLiteral("Destination File : ") + SlotPath(slot));
    QFile file(SlotPath(slot));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    const ConfigSet set = ReadConfigSet(bytes);
    const int lines = std::min(EntryCount(), RegisterLinesIn(bytes));
    for (int i = 0; i < lines; ++i) {
        const RegisterPair& pair = set.registers[static_cast<size_t>(i)];
        // An address from a file outside the chip's space is left alone.
        if (pair.address < kRegisterImageSize) chip_.SetRegImage(pair.address, pair.value);
    }
    Loaded(set);
    if (!writeChip) return true;
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

bool CalSetManager::Measure(bool gain, const CalSetControls& controls) {
    if (selected_ < 0) {
        hooks_.ShowError(QStringLiteral("Please Select one Config Setion?"));
        return false;
    }
    bool okNumber = false;
    int n = controls.averageTimes.trimmed().toInt(&okNumber);
    if (!okNumber || n != ValidAverageTimes(n)) {
        n = 5;
        emit AverageTimesShown(QStringLiteral("5"));
    }
    const bool intfWasOn = up_.IntfReading();
    up_.SetIntfReading(true);
    up_.Adc1DisplayOn = true;
    up_.ResistanceOn = true;
    const int path = controls.adcChoice == 1 ? 1 : 0;
    // Only values that arrive from now on count.
    up_.TakeNewAdc1(LiveConsumer::CalibrationSets);
    up_.TakeNewRms(LiveConsumer::CalibrationSets);

    std::vector<double> samples[2] = {std::vector<double>(static_cast<size_t>(n), 0.0),
                                      std::vector<double>(static_cast<size_t>(n), 0.0)};
    int taken = 0;
    int64_t lastSampleMs = clock_.NowMs();
    while (taken < n) {
        hooks_.SetStatusText(1, QStringLiteral("Reading - %1").arg(taken));
        up_.Timer1Timer();
        std::optional<double> sample;
        if (path == 0 && up_.TakeNewAdc1(LiveConsumer::CalibrationSets)) sample = up_.LatestAdc1;
        if (path == 1 && up_.TakeNewRms(LiveConsumer::CalibrationSets)) sample = up_.LatestRms;
        if (sample) {
            samples[path][static_cast<size_t>(taken++)] = *sample;
            lastSampleMs = clock_.NowMs();
            continue;
        }
        if (clock_.NowMs() - lastSampleMs > kSampleGapMs) break;
        clock_.SleepMs(TVz_UP::kHeartbeatMs);
    }
    up_.SetIntfReading(intfWasOn);
    const bool inTime = taken == n;
    hooks_.SetStatusText(1,
                         inTime ? QStringLiteral("Save  OK") : QStringLiteral("Save false!!!!!"));
    lastMeans = {MeanWithoutExtremes(samples[0], inTime), MeanWithoutExtremes(samples[1], inTime)};

    ConfigSet figures = loaded_;
    if (gain) {
        figures.adc1Gain = lastMeans[0];
        figures.rmsGain = lastMeans[1];
    } else {
        figures.adc1Offset = lastMeans[0];
        figures.rmsOffset = lastMeans[1];
    }
    ConfigSet set = FromControls(controls, figures, n);
    const int slot = selected_;
    if (!WriteSlot(slot, set)) return false;
    if (const std::optional<ConfigSet> back = ReadSlot(slot)) Loaded(*back);
    return inTime;
}

bool CalSetManager::SaveRegister(const CalSetControls& controls) {
    if (!chip_.target().devc.connected) {
        hooks_.ShowError(QStringLiteral("USB not Found!!!"));
        return false;
    }
    bool okNumber = false;
    const int typed = controls.averageTimes.trimmed().toInt(&okNumber);
    const int n = ValidAverageTimes(okNumber ? typed : 0);
    if (selected_ < 0) {
        if (setCount_ >= kConfigSetSlots) return false;
        const int slot = setCount_;
        // The slot after the count may hold a set already (a folder with a gap): it is
        // not replaced without asking.
        if (captions_[static_cast<size_t>(slot)] != QLatin1String(kNoFile) &&
            !hooks_.AskYesNo(QStringLiteral("Write To ") + captions_[static_cast<size_t>(slot)]))
            return false;
        ConfigSet set = FromControls(controls, loaded_, n);
        set.registers = CurrentRegisters();
        if (!WriteSlot(slot, set)) return false;
        DFoldersChange(folder_);
        selected_ = slot;
        ShowSlots();
        if (const std::optional<ConfigSet> back = ReadSlot(slot)) Loaded(*back);
        return true;
    }
    if (!hooks_.AskYesNo(QStringLiteral("Write To ") + loaded_.name)) return false;
    ConfigSet set = loaded_;
    set.registers = CurrentRegisters();
    if (!WriteSlot(selected_, set)) return false;
    if (const std::optional<ConfigSet> back = ReadSlot(selected_)) Loaded(*back);
    return true;
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
