#include "sim/sim_dmm_chip.h"

#include <algorithm>
#include <cmath>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"

namespace dmm::sim {
namespace {

// A stream reader that falls behind loses the oldest records, as the board's FIFO does.
constexpr size_t kStreamCapacity = 4096;
// After a long pause (a debugger, a suspended laptop) only this many results are queued.
constexpr int64_t kMaxCatchUpConversions = 64;

struct ConverterWiring {
    SimDmmChip::Converter converter;
    const char* enable;
    const char* flag;
    const char* firstResultRegister;
    int resultBytes;
};

constexpr ConverterWiring kPaths[] = {
    {SimDmmChip::Converter::Adc1, "ENAD_S", "SADC_IF", "AD1D0", 3},
    {SimDmmChip::Converter::Adc2Fast, "ENAD_F", "FADC_IF", "AD2D0", 3},
    {SimDmmChip::Converter::LowPass, "EN_AVG", "LPF_IF", "LPFD0", 3},
    {SimDmmChip::Converter::Rms, "EN_RMS", "RMS_IF", "RMSD0", 5},
};

// Signed full-scale code for volts against the reference, clamped to the converter's range.
int64_t Quantise(double volts, double reference, int bits) {
    const double fullScale = std::ldexp(1.0, bits - 1);
    if (reference <= 0 || !std::isfinite(volts)) return 0;
    const double code = std::round(volts / reference * fullScale);
    return static_cast<int64_t>(std::clamp(code, -fullScale, fullScale - 1));
}

std::optional<uint16_t> ByteRegisterAddress(const TChipModel& model, std::string_view name) {
    for (int i = 0; i < model.byteRegisters.Count(); ++i) {
        if (model.byteRegisters.Items(i)->name == name)
            return model.byteRegisters.Items(i)->address;
    }
    return std::nullopt;
}

}  // namespace

int64_t SimDmmChip::ConversionPeriodMs(Converter converter) {
    switch (converter) {
        case Converter::Adc1:
            return 100;
        case Converter::Adc2Fast:
            return 4;
        case Converter::LowPass:
            return 40;
        case Converter::Rms:
            return 100;
    }
    return 100;
}

std::unique_ptr<SimDmmChip> SimDmmChip::FromModel(const TChipModel& model, std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<SimDmmChip> {
        if (error) *error = why;
        return nullptr;
    };
    std::unique_ptr<SimDmmChip> chip(new SimDmmChip);
    chip->productTitle_ = model.productTitle;
    std::copy(model.RegMask.begin(), model.RegMask.end(), chip->implemented_.begin());

    for (const ConverterWiring& entry : kPaths) {
        const TRegField* enable = model.Field(entry.enable);
        const TRegField* flag = model.Field(entry.flag);
        if (!enable || !enable->IsDefined())
            return fail(std::string("no ") + entry.enable + " field");
        if (!flag || !flag->IsDefined()) return fail(std::string("no ") + entry.flag + " field");
        const auto result = ByteRegisterAddress(model, entry.firstResultRegister);
        if (!result || *result + entry.resultBytes > kChipMemorySize) {
            return fail(std::string("no result register ") + entry.firstResultRegister);
        }
        Path path{entry.converter, *enable, *flag, *result, entry.resultBytes};
        chip->paths_.push_back(path);
        chip->flagBits_[static_cast<size_t>(flag->registerIndex)] |= flag->Mask();
        for (int i = 0; i < entry.resultBytes; ++i)
            chip->readOnly_[static_cast<size_t>(*result + i)] = true;
        if (entry.converter == Converter::Adc2Fast) chip->adc2Enable_ = *enable;
    }
    // The counter's report flag is the chip's too, although the counters are not modelled yet.
    if (const TRegField* ctif = model.Field("CTIF"); ctif && ctif->IsDefined()) {
        chip->flagBits_[static_cast<size_t>(ctif->registerIndex)] |= ctif->Mask();
    }
    return chip;
}

std::unique_ptr<SimDmmChip> SimDmmChip::FromDescriptionFile(const QString& path,
                                                            std::string* error) {
    TChipModel model;
    if (!LoadChipDescriptionFile(path, model)) {
        if (error) *error = "cannot read " + path.toStdString();
        return nullptr;
    }
    return FromModel(model, error);
}

uint8_t SimDmmChip::Read(uint16_t address) {
    const size_t a = address % kChipMemorySize;
    const uint8_t value = memory_[a];
    memory_[a] = static_cast<uint8_t>(memory_[a] & ~flagBits_[a]);
    return value;
}

void SimDmmChip::Write(uint16_t address, uint8_t value) {
    const size_t a = address % kChipMemorySize;
    if (flagBits_[a] != 0) {
        memory_[a] = static_cast<uint8_t>(memory_[a] & ~(value & flagBits_[a]));
        return;
    }
    if (readOnly_[a]) return;
    memory_[a] = static_cast<uint8_t>(value & implemented_[a]);
    SyncEnables();
}

bool SimDmmChip::Enabled(const Path& path) const {
    auto on = [&](const TRegField& f) {
        return f.Extract(memory_[static_cast<size_t>(f.registerIndex) % kChipMemorySize]) != 0;
    };
    // The low-pass filter and the RMS converter work on ADC2's samples.
    const bool needsAdc2 = path.converter == Converter::LowPass || path.converter == Converter::Rms;
    return on(path.enable) && (!needsAdc2 || on(adc2Enable_));
}

void SimDmmChip::SyncEnables() {
    for (Path& path : paths_) {
        const bool enabled = Enabled(path);
        if (enabled && !path.running) path.nextDueMs = nowMs_ + ConversionPeriodMs(path.converter);
        path.running = enabled;
    }
}

void SimDmmChip::AdvanceTo(int64_t nowMs) {
    if (nowMs < nowMs_) return;
    nowMs_ = nowMs;
    for (Path& path : paths_) {
        if (!path.running || nowMs < path.nextDueMs) continue;
        const int64_t period = ConversionPeriodMs(path.converter);
        const int64_t conversions = (nowMs - path.nextDueMs) / period + 1;
        path.nextDueMs += conversions * period;
        Produce(path, std::min(conversions, kMaxCatchUpConversions));
    }
}

int64_t SimDmmChip::ConversionCode(Converter converter) const {
    switch (converter) {
        case Converter::Adc1:
            return Quantise(nodes_.adc1Input, nodes_.reference, 24);
        case Converter::Adc2Fast:
        case Converter::LowPass:
            // ADC2 resolves 18 bits; its results sit in the low bits of the 24-bit registers.
            return Quantise(nodes_.adc2Input, nodes_.reference, 18);
        case Converter::Rms: {
            // Mean square of the fast samples: the host shows its square root.
            const int64_t code = Quantise(nodes_.adc2Input, nodes_.reference, 18);
            return code * code;
        }
    }
    return 0;
}

void SimDmmChip::Produce(Path& path, int64_t conversions) {
    const auto code = static_cast<uint64_t>(ConversionCode(path.converter));
    std::array<uint8_t, 5> record{};
    for (int i = 0; i < path.resultBytes; ++i) {
        record[static_cast<size_t>(i)] = static_cast<uint8_t>(code >> (8 * i));
        memory_[static_cast<size_t>(path.resultAddress + i)] = record[static_cast<size_t>(i)];
    }
    const size_t flagAddress = static_cast<size_t>(path.flag.registerIndex) % kChipMemorySize;
    memory_[flagAddress] = path.flag.Insert(memory_[flagAddress], 1);

    if ((streamMask_ & path.flag.Mask()) == 0) return;
    for (int64_t i = 0; i < conversions; ++i) {
        if (stream_.size() >= kStreamCapacity) stream_.pop_front();
        stream_.push_back(record);
    }
}

void SimDmmChip::Reset() {
    SimChip::Reset();
    for (Path& path : paths_) path.running = false;
    stream_.clear();
}

void SimDmmChip::SetStream(bool enabled, uint8_t channelMask) {
    streamMask_ = enabled ? channelMask : 0;
    stream_.clear();
}

int SimDmmChip::TakeStreamRecords(std::array<std::array<uint8_t, 5>, 12>& records, int max) {
    int n = 0;
    while (n < max && n < static_cast<int>(records.size()) && !stream_.empty()) {
        records[static_cast<size_t>(n++)] = stream_.front();
        stream_.pop_front();
    }
    return n;
}

std::unique_ptr<SimChip> MakeBenchChip(const QString& benchDir, std::string* error) {
    const QString path = FindFileCaseInsensitive(IncludeDirectory(benchDir), kDemoDmmDescription);
    std::string why =
        "no " + std::string(kDemoDmmDescription) + " in the bench directory's INCLUDE folder";
    if (!benchDir.isEmpty() && !path.isEmpty()) {
        if (auto chip = SimDmmChip::FromDescriptionFile(path, &why)) return chip;
    }
    if (error) *error = why;
    return std::make_unique<SimChip>();
}

}  // namespace dmm::sim
