#include "core/link/processor_centre.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace dmm {
namespace {

constexpr uint16_t kAdc1Address = 0x00;
constexpr uint16_t kAdc2FastAddress = 0x03;
constexpr uint16_t kLowPassAddress = 0x06;
constexpr uint16_t kRmsAddress = 0x09;
constexpr uint16_t kCounterAddress = 0x15;

// Resistance measurement: the register that switches the divider between the reference
// and the unknown, and the state byte's layout.
constexpr uint16_t kDividerRegister = 0x24;
constexpr uint8_t kDividerMeasure = 0x38;    // 0b00111000
constexpr uint8_t kDividerReference = 0x11;  // 0b00010001
constexpr uint8_t kMeasurementPhase = 0x80;
constexpr uint8_t kAccumulating = 0x40;
constexpr uint8_t kCounterMask = 0x0F;
constexpr int kSettlingSamples = 3;
constexpr int kAveragedSamples = 4;

int32_t Signed24(const std::array<uint8_t, 3>& bytes) {
    return SignExtend24(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16));
}

}  // namespace

TVz_UP::TVz_UP(ChipAccess& chip, UiHooks& hooks, QObject* parent)
    : QObject(parent), chip_(chip), hooks_(hooks), Timer1(this) {
    Timer1.setInterval(kHeartbeatMs);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &TVz_UP::Timer1Timer);
}

void TVz_UP::StartHeartbeat() {
    Timer1.start();
}

void TVz_UP::StopHeartbeat() {
    Timer1.stop();
}

LiveSwitches TVz_UP::Switches() const {
    return {intfReading_, Adc1DisplayOn, Adc2DisplayOn, ResistanceOn};
}

void TVz_UP::SetSwitches(const LiveSwitches& switches) {
    SetIntfReading(switches.intfReading);
    Adc1DisplayOn = switches.adc1Display;
    Adc2DisplayOn = switches.adc2Display;
    ResistanceOn = switches.resistance;
}

void TVz_UP::SetIntfReading(bool on) {
    if (intfReading_ == on) return;
    intfReading_ = on;
    emit IntfReadingChanged(on);
}

bool TVz_UP::TakeNewAdc1(LiveConsumer consumer) {
    return std::exchange(adc1New_[static_cast<size_t>(consumer)], false);
}

bool TVz_UP::TakeNewRms(LiveConsumer consumer) {
    return std::exchange(rmsNew_[static_cast<size_t>(consumer)], false);
}

bool TVz_UP::USBConnect() {
    uint8_t status = 0;
    BoardLink& link = chip_.link();
    if (link.OpenBoard(status) && link.CheckBoard()) {
        hooks_.SetStatusText(0, QStringLiteral("USB On Line"));
        ReadRam();
        emit Connected();
        return true;
    }
    chip_.target().linkStatus.fill(0);
    ReportNoBoard();
    return false;
}

bool TVz_UP::ReadRam() {
    if (!ReadRamIntoImage(chip_)) return false;
    const TRegField* flagRegister = FieldLookup ? FieldLookup("SADC_IF") : nullptr;
    if (flagRegister && flagRegister->IsDefined() && flagRegister->registerIndex < kReadRamBytes) {
        const auto address = static_cast<uint16_t>(flagRegister->registerIndex);
        AccumulateFlags(address, chip_.GetRegImage(address));
    }
    return true;
}

void TVz_UP::ReportNoBoard() {
    hooks_.SetStatusText(0, QStringLiteral("USB not Connect !!!"));
    if (noBoardHintShown_) return;
    noBoardHintShown_ = true;
    hooks_.ShowMessage(QString::fromLatin1(kNoBoardHint));
}

bool TVz_UP::ToggleAdc1Display() {
    Adc1DisplayOn = !Adc1DisplayOn;
    HintIntfWhenOff(Adc1DisplayOn);
    return Adc1DisplayOn;
}

bool TVz_UP::ToggleAdc2Display() {
    Adc2DisplayOn = !Adc2DisplayOn;
    HintIntfWhenOff(Adc2DisplayOn);
    return Adc2DisplayOn;
}

void TVz_UP::HintIntfWhenOff(bool displayOn) {
    if (displayOn && !intfReading_) hooks_.SetStatusText(2, QString::fromLatin1(kIntfOffHint));
}

void TVz_UP::RecheckLink() {
    uint8_t status = 0;
    BoardLink& link = chip_.link();
    if (link.OpenBoard(status)) {
        hooks_.SetStatusText(0, QStringLiteral("USB On Line"));
        if (status == kOpenStatusNewlyOpened) {
            // A chip that lost its registers gets them back before the panels read it.
            CheckChipKeptItsRegisters();
            ReadRam();
        }
    } else {
        link.CloseBoard();
        ReportNoBoard();
    }
}

void TVz_UP::CheckChipKeptItsRegisters() {
    const auto lost = chip_.RegistersLost();
    if (!lost || lost->empty()) return;
    // The live readings need the chip set up as the panels show it: the image goes back.
    int rewritten = 0;
    for (uint16_t address : *lost)
        if (chip_.WriteRegister(address, chip_.GetRegImage(address))) ++rewritten;
    hooks_.SetStatusText(1, QString::fromLatin1(kChipResetText)
                                .arg(lost->size())
                                .arg(rewritten == static_cast<int>(lost->size())
                                         ? QStringLiteral("written again")
                                         : QStringLiteral("not all written again")));
    emit ChipWasReset(static_cast<int>(lost->size()));
}

void TVz_UP::WatchLostBoard() {
    const bool connected = chip_.target().devc.connected;
    if (!UsesBoard(chip_.target().interfaceKind)) {
        boardWasConnected_ = connected;
        return;
    }
    if (boardWasConnected_ && !connected) {
        // Every window learns at once; the hint box is for a board never found.
        hooks_.SetStatusText(0, QStringLiteral("USB not Connect !!!"));
        lostTicks_ = 0;
        boardLost_ = true;
    }
    if (connected) boardLost_ = false;
    if (boardLost_ && ++lostTicks_ >= kLostBoardRecheckTicks) {
        lostTicks_ = 0;
        RecheckLink();
    }
    boardWasConnected_ = chip_.target().devc.connected;
}

void TVz_UP::Timer1Timer() {
    BoardLink& link = chip_.link();
    WatchLostBoard();
    ++link.IdleTicks;
    if (link.IdleTicks > kSilentTicksBeforeRecheck) {
        if (UsesBoard(chip_.target().interfaceKind)) RecheckLink();
        link.IdleTicks = 0;
        boardWasConnected_ = chip_.target().devc.connected;
    }
    ++tickCount_;
    if (chip_.target().interfaceKind != InterfaceKind::DMM) return;

    PollInterruptFlags();
    if (tickCount_ % 10 == 0) UpdateChannelIndicators();

    // The ADC1 display takes a fresh result first (and clears its flag), so the resistance
    // step, which rewrites ADC1's input selector, runs only while the display is off and
    // never flips the input under a live reading.
    if (Adc1DisplayOn && (InterruptFlags & kFlagAdc1)) ShowAdc1();
    if (Adc2DisplayOn) ShowAdc2AndLowPass();
    if (ResistanceOn && (InterruptFlags & kFlagAdc1)) {
        StepResistance(Signed24(Adc1Result));
        InterruptFlags &= static_cast<uint8_t>(~kFlagAdc1);
    }
}

int TVz_UP::FieldValue(std::string_view name) const {
    const TRegField* field = FieldLookup ? FieldLookup(name) : nullptr;
    if (!field || !field->IsDefined()) return 0;
    return field->Extract(chip_.GetRegImage(field->registerIndex));
}

bool TVz_UP::FlagSet(std::string_view name) const {
    const TRegField* field = FieldLookup ? FieldLookup(name) : nullptr;
    return field && field->IsDefined() && field->Extract(InterruptFlags) != 0;
}

bool TVz_UP::FetchInto(uint16_t address, uint8_t* into, int count) {
    if (!chip_.ReadChip(address, count)) return false;
    std::copy_n(chip_.buffer().begin(), count, into);
    return true;
}

void TVz_UP::AccumulateFlags(uint16_t address, uint8_t value) {
    const TRegField* flagRegister = FieldLookup ? FieldLookup("SADC_IF") : nullptr;
    if (flagRegister && flagRegister->IsDefined() && flagRegister->registerIndex == address)
        InterruptFlags |= value;
}

void TVz_UP::PollInterruptFlags() {
    if (!intfReading_ || !chip_.target().devc.connected) return;
    const TRegField* flagRegister = FieldLookup ? FieldLookup("SADC_IF") : nullptr;
    if (!flagRegister || !flagRegister->IsDefined()) return;
    if (chip_.ReadChip(static_cast<uint16_t>(flagRegister->registerIndex), 1)) {
        InterruptFlags |= chip_.buffer()[0];
    }
    if (FlagSet("CTIF") &&
        FetchInto(kCounterAddress, CounterValues.data(), static_cast<int>(CounterValues.size()))) {
        // The fetch consumes the report: until the chip raises CTIF again the counters
        // hold the same counts, which must not be taken for a new report.
        InterruptFlags &= static_cast<uint8_t>(~FieldLookup("CTIF")->Mask());
        emit CountersFetched();
    }
    if (FlagSet("SADC_IF")) FetchInto(kAdc1Address, Adc1Result.data(), 3);
    if (FlagSet("FADC_IF")) FetchInto(kAdc2FastAddress, Adc2FastResult.data(), 3);
    if (FlagSet("LPF_IF")) FetchInto(kLowPassAddress, LowPassResult.data(), 3);
    if (FlagSet("RMS_IF")) FetchInto(kRmsAddress, RmsResult.data(), 5);
}

void TVz_UP::UpdateChannelIndicators() {
    const int ad1 = FieldValue("AD1CHO");
    if (ad1 == 1)
        ad1Cho01Visible_ = true;
    else if (ad1 == 0)
        ad1Cho01Visible_ = false;
    else
        ad1Cho01Visible_ = !ad1Cho01Visible_;  // a blinking indicator
    ad2Cho01Visible_ = FieldValue("AD2CHO") == 1 ? !ad2Cho01Visible_ : false;
    adpCho01Visible_ = FieldValue("ADPCHO") == 1 ? !adpCho01Visible_ : false;
    emit ChannelIndicators(ad1Cho01Visible_, ad2Cho01Visible_, adpCho01Visible_);
}

void TVz_UP::ShowAdc1() {
    const int32_t value = Signed24(Adc1Result);
    LatestAdc1 = value;
    adc1New_.fill(true);
    const int64_t divisor = Adc1Divisor > 0 ? Adc1Divisor : 1;
    emit Adc1Display(value / divisor);
    InterruptFlags &= static_cast<uint8_t>(~kFlagAdc1);
}

void TVz_UP::ShowAdc2AndLowPass() {
    const int64_t divisor = Adc2Divisor > 0 ? Adc2Divisor : 1;
    if (InterruptFlags & kFlagAdc2Fast) {
        emit Adc2Display(QString::number(Signed24(Adc2FastResult) / divisor));
        InterruptFlags &= static_cast<uint8_t>(~kFlagAdc2Fast);
    }
    if (InterruptFlags & kFlagLowPass) {
        emit LowPassDisplay(Signed24(LowPassResult) / divisor);
        InterruptFlags &= static_cast<uint8_t>(~kFlagLowPass);
    }
    if (InterruptFlags & kFlagRms) {
        uint64_t raw = 0;
        for (size_t i = RmsResult.size(); i-- > 0;) raw = (raw << 8) | RmsResult[i];
        LatestRms = static_cast<double>(raw);
        rmsNew_.fill(true);
        const double shown = LatestRms > 0 ? std::sqrt(LatestRms) : LatestRms;
        emit RmsDisplay(QString::asprintf("%.2f", shown));
        InterruptFlags &= static_cast<uint8_t>(~kFlagRms);
    }
}

void TVz_UP::ResetResistance() {
    resistanceState_ = 0;
    referenceAccumulator_ = 0.0;
    measurementAccumulator_ = 0.0;
    resistanceClipped_ = false;
}

int TVz_UP::DisplayIndexOfRange(int range) {
    return kRangeCount - 1 - std::clamp(range, 0, kRangeCount - 1);
}

QString TVz_UP::ResistanceText(double ohms, int displayIndex) {
    const double kilo = ohms / 1e3;
    const double mega = ohms / 1e6;
    switch (displayIndex) {
        case 1:
            return QString::asprintf("%.4f K ohm", kilo);
        case 2:
            return QString::asprintf("%.3f K ohm", kilo);
        case 3:
            return QString::asprintf("%.2f K ohm", kilo);
        case 4:
            return QString::asprintf("%.4f M ohm", mega);
        case 5:
            return QString::asprintf("%.3f M ohm", mega);
        default:
            return QString::asprintf("%.2f ohm", ohms);
    }
}

void TVz_UP::StepResistance(int32_t sample) {
    const bool measurement = resistanceState_ & kMeasurementPhase;
    const bool accumulating = resistanceState_ & kAccumulating;
    const int counter = (resistanceState_ & kCounterMask) + 1;
    const uint8_t phase = measurement ? kMeasurementPhase : 0;

    auto switchDivider = [this](uint8_t value) {
        chip_.buffer()[WriteDataOffset(InterfaceKind::DMM)] = value;
        chip_.WriteChip(kDividerRegister, 1);
        chip_.SetRegImage(kDividerRegister, value);
    };

    if (!accumulating) {
        if (counter < kSettlingSamples) {
            resistanceState_ = static_cast<uint8_t>(phase | counter);
            return;
        }
        resistanceState_ = static_cast<uint8_t>(phase | kAccumulating);
        (measurement ? measurementAccumulator_ : referenceAccumulator_) = 0.0;
        return;
    }
    double& accumulator = measurement ? measurementAccumulator_ : referenceAccumulator_;
    accumulator += sample;
    resistanceClipped_ = resistanceClipped_ || AtConverterLimit(sample);
    if (counter < kAveragedSamples) {
        resistanceState_ = static_cast<uint8_t>(phase | kAccumulating | counter);
        return;
    }
    if (!measurement) {
        referenceAverage_ = referenceAccumulator_ / kAveragedSamples;
        switchDivider(kDividerMeasure);
        resistanceState_ = kMeasurementPhase;
        return;
    }
    measurementAverage_ = measurementAccumulator_ / kAveragedSamples;
    switchDivider(kDividerReference);
    resistanceState_ = 0;
    // A converter at the end of its scale reads no resistance: beyond the range.
    if (std::exchange(resistanceClipped_, false)) {
        emit ResistanceDisplay(QStringLiteral("OL"));
        return;
    }
    // A zero reference cannot give a resistance; show dashes instead of "inf".
    if (referenceAverage_ == 0.0) {
        emit ResistanceDisplay(QStringLiteral("----"));
        return;
    }
    const int range = std::clamp(ResistanceRange, 0, kRangeCount - 1);
    emit ResistanceDisplay(ResistanceText(
        RangeFactors[static_cast<size_t>(range)] * measurementAverage_ / referenceAverage_,
        DisplayIndexOfRange(range)));
}

}  // namespace dmm
