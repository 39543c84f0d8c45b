#include "sim/switch_test_firmware.h"

#include <algorithm>
#include <cmath>

#include "core/chip/chip_loader.h"

namespace dmm::sim {
namespace {

// Where the firmware keeps its set-up, block window and control registers.
constexpr uint16_t kBlockBuffer = 0x100;
constexpr int kBlockBufferBytes = 48;
constexpr uint16_t kSamplesPerStep = 0x120;
constexpr uint16_t kLoops = 0x122;
constexpr uint16_t kSlots = 0x124;
constexpr uint16_t kRegisterList = 0x128;
constexpr uint16_t kSlotValues = 0x130;
constexpr uint16_t kBlockOffset = 0x170;
constexpr uint16_t kBlockLength = 0x173;
constexpr uint16_t kControl = 0xA4;  // SWCN
constexpr uint8_t kGo = 0x10;
constexpr uint8_t kBlock = 0x08;
constexpr uint16_t kStatus = 0xD2;  // SWST
constexpr uint8_t kReady = 0x80;
constexpr uint8_t kOverflow = 0x40;
constexpr uint8_t kEnded = 0x20;
constexpr uint16_t kShift = 0xAD;  // SWSHF
constexpr int kSetupBytes = 8;
constexpr int kMaxSlots = 8;
// What the firmware can keep: eight channels of 64 x 256 samples.
constexpr size_t kMaxSamples = 8 * 64 * 256;
// After a long pause (a debugger, a suspended laptop) the run goes on from now.
constexpr double kMaxCatchUpMs = 1000.0;

const char* const kInputNodes[8] = {"AIN0", "AIN1", "AIN2", "AIN3", "AIN4", "AIN5", "AIN6", "AIN7"};

}  // namespace

std::unique_ptr<SwitchTestFirmware> SwitchTestFirmware::FromModel(const TChipModel& model,
                                                                  std::string* error) {
    for (const char* name : {"ENAD_S", "S_AD1IP", "S_AD1IN", "S_AD1RH", "S_AD1RL"}) {
        const TRegField* field = model.Field(name);
        if (!field || !field->IsDefined()) {
            if (error) *error = std::string("no ") + name + " field";
            return nullptr;
        }
    }
    std::unique_ptr<SwitchTestFirmware> chip(new SwitchTestFirmware(model, *model.Field("ENAD_S")));
    for (int pin = 0; pin < 8; ++pin) chip->SetInput(pin, 0.1 * (pin + 1));
    return chip;
}

std::unique_ptr<SwitchTestFirmware> SwitchTestFirmware::FromDescriptionFile(const QString& path,
                                                                            std::string* error) {
    TChipModel model;
    if (!LoadChipDescriptionFile(path, model)) {
        if (error) *error = "cannot read " + path.toStdString();
        return nullptr;
    }
    return FromModel(model, error);
}

void SwitchTestFirmware::SetInfoText(std::string text) {
    text.resize(8, ' ');
    infoText_ = std::move(text);
}

void SwitchTestFirmware::SetInput(int pin, double volts) {
    if (pin < 0 || pin >= 8) return;
    inputs_[static_cast<size_t>(pin)] = volts;
    // The pins are pinned absolutely; the inputs are meant above analog ground.
    const double agnd = frontEnd_.NodeVolts("AGND", memory_, nodes_);
    nodes_.pinned[kInputNodes[pin]] = agnd + volts;
}

double SwitchTestFirmware::Input(int pin) const {
    return pin >= 0 && pin < 8 ? inputs_[static_cast<size_t>(pin)] : 0.0;
}

uint8_t SwitchTestFirmware::Read(uint16_t address) {
    const size_t a = address % kChipMemorySize;
    if (faults_.setupReadBackDiffers && a == kRegisterList) return memory_[a] ^ 0x01;
    return memory_[a];
}

void SwitchTestFirmware::Write(uint16_t address, uint8_t value) {
    const size_t a = address % kChipMemorySize;
    memory_[a] = value;
    if (a == kStatus && (value & kReady)) readyPending_ = true;
    if (a == kControl) {
        if ((value & kGo) && !run_.active) startPending_ = true;
        if (value & kBlock) blockPending_ = true;
    }
}

bool SwitchTestFirmware::StatusLines(uint8_t& lines) {
    lines = 0;
    if (faults_.statusReadFails) return false;
    if (memory_[kStatus] & kEnded) lines = endStatusBits;
    return true;
}

void SwitchTestFirmware::Reset() {
    SimChip::Reset();
    run_ = {};
    samples_.clear();
    slotIdealCodes_.clear();
    startPending_ = blockPending_ = readyPending_ = false;
    for (int pin = 0; pin < 8; ++pin) SetInput(pin, inputs_[static_cast<size_t>(pin)]);
}

void SwitchTestFirmware::AdvanceTo(int64_t nowMs) {
    if (nowMs > nowMs_) nowMs_ = nowMs;
    if (readyPending_ && !faults_.readyStuck) {
        readyPending_ = false;
        run_.active = false;
        startPending_ = false;
        memory_[kControl] = static_cast<uint8_t>(memory_[kControl] & ~kGo);
        memory_[kStatus] = static_cast<uint8_t>(memory_[kStatus] & ~kReady);
    }
    if (startPending_) {
        startPending_ = false;
        StartRun();
    }
    if (run_.active) {
        const double now = static_cast<double>(nowMs_);
        run_.nextMs = std::max(run_.nextMs, now - kMaxCatchUpMs);
        while (run_.active && run_.nextMs <= now) TakeSample();
    }
    if (blockPending_ && !faults_.blockStuck) {
        blockPending_ = false;
        ServeBlock();
    }
}

void SwitchTestFirmware::StartRun() {
    run_ = {};
    run_.samplesPerStep = memory_[kSamplesPerStep];
    run_.loopCount = memory_[kLoops] | (memory_[kLoops + 1] << 8);
    run_.slotCount = std::min<int>(memory_[kSlots], kMaxSlots);
    samples_.clear();
    slotIdealCodes_.assign(static_cast<size_t>(run_.slotCount), 0);
    memory_[kStatus] = static_cast<uint8_t>(memory_[kStatus] & ~(kEnded | kOverflow));
    if (run_.samplesPerStep == 0 || run_.loopCount == 0 || run_.slotCount == 0) {
        EndRun();
        return;
    }
    const size_t wanted = static_cast<size_t>(run_.samplesPerStep) *
                          static_cast<size_t>(run_.loopCount) * static_cast<size_t>(run_.slotCount);
    if (wanted > kMaxSamples) memory_[kStatus] |= kOverflow;
    samples_.reserve(std::min(wanted, kMaxSamples) * 3);
    run_.active = true;
    run_.nextMs = static_cast<double>(nowMs_);
    ApplySlot(0);
}

void SwitchTestFirmware::ApplySlot(int slot) {
    // The set-up goes to its registers as the host sent it, then ADC1 is switched on:
    // the firmware owns the converter for the run.
    for (int i = 0; i < kSetupBytes; ++i) {
        const uint8_t target = memory_[kRegisterList + i];
        memory_[target] = memory_[kSlotValues + kSetupBytes * slot + i];
    }
    const size_t enable = static_cast<size_t>(enable_.registerIndex) % kChipMemorySize;
    memory_[enable] = enable_.Insert(memory_[enable], 1);
    run_.slot = slot;
    run_.state = frontEnd_.Adc1(memory_, nodes_);
    run_.periodMs = run_.state.rateHz > 0 ? 1000.0 / run_.state.rateHz : 1.0;
    run_.nextMs += run_.periodMs;
    slotIdealCodes_[static_cast<size_t>(slot)] = run_.state.IdealCode();
}

void SwitchTestFirmware::TakeSample() {
    const ConverterState& state = run_.state;
    const double sigma = nodes_.noise ? state.noiseCounts : 0.0;
    ConverterState noisy = state;
    noisy.offsetFraction += noise_.Next(sigma) / std::ldexp(1.0, state.bits - 1);
    const int64_t code = noisy.IdealCodeAt(run_.nextMs / 1000.0) >> (memory_[kShift] & 0x0F);
    if (samples_.size() < kMaxSamples * 3) {
        for (int shift : {0, 8, 16}) samples_.push_back(static_cast<uint8_t>(code >> shift));
    }
    if (++run_.sample < run_.samplesPerStep) {
        run_.nextMs += run_.periodMs;
        return;
    }
    run_.sample = 0;
    if (++run_.slot == run_.slotCount) {
        run_.slot = 0;
        if (++run_.loop == run_.loopCount) {
            EndRun();
            return;
        }
    }
    ApplySlot(run_.slot);
}

void SwitchTestFirmware::EndRun() {
    run_.active = false;
    memory_[kControl] = static_cast<uint8_t>(memory_[kControl] & ~kGo);
    if (!faults_.neverFinishes) memory_[kStatus] |= kEnded;
}

void SwitchTestFirmware::ServeBlock() {
    const size_t offset = memory_[kBlockOffset] | (memory_[kBlockOffset + 1] << 8) |
                          (memory_[kBlockOffset + 2] << 16);
    const int length = std::min<int>(memory_[kBlockLength], kBlockBufferBytes);
    for (int i = 0; i < length; ++i) {
        const size_t at = offset + static_cast<size_t>(i);
        memory_[kBlockBuffer + i] = at < samples_.size() ? samples_[at] : 0;
    }
    memory_[kControl] = static_cast<uint8_t>(memory_[kControl] & ~kBlock);
}

}  // namespace dmm::sim
