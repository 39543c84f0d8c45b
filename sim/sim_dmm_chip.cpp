#include "sim/sim_dmm_chip.h"

#include <algorithm>
#include <cmath>

#include "core/app/bench_directory.h"
#include "core/chip/chip_loader.h"

namespace dmm::sim {
namespace {

// A stream reader that falls behind loses the oldest records, as the board's FIFO does.
constexpr size_t kStreamCapacity = 4096;
// After a long pause (a debugger, a suspended laptop) only the results of this last
// stretch of time are produced; every conversion within it is delivered.
constexpr double kMaxCatchUpMs = 1000.0;

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

std::optional<uint16_t> ByteRegisterAddress(const TChipModel& model, std::string_view name) {
    for (int i = 0; i < model.byteRegisters.Count(); ++i) {
        if (model.byteRegisters.Items(i)->name == name)
            return model.byteRegisters.Items(i)->address;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<SimDmmChip> SimDmmChip::FromModel(const TChipModel& model, std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<SimDmmChip> {
        if (error) *error = why;
        return nullptr;
    };
    std::unique_ptr<SimDmmChip> chip(new SimDmmChip(model));
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
    // The peak hold's minimum and maximum, three bytes each, are the chip's to write.
    const auto peakMin = ByteRegisterAddress(model, "PKMIN0");
    const auto peakMax = ByteRegisterAddress(model, "PKMAX0");
    if (peakMin && peakMax && *peakMin + 3 <= kChipMemorySize && *peakMax + 3 <= kChipMemorySize) {
        chip->peakMinAddress_ = *peakMin;
        chip->peakMaxAddress_ = *peakMax;
        for (int i = 0; i < 3; ++i) {
            chip->readOnly_[static_cast<size_t>(*peakMin + i)] = true;
            chip->readOnly_[static_cast<size_t>(*peakMax + i)] = true;
        }
    }
    if (const auto key = ByteRegisterAddress(model, "SLEEP"); key && *key < kChipMemorySize)
        chip->sleepKeyAddress_ = *key;
    // The counter's report flag is the chip's too, and so are its counts.
    if (const TRegField* ctif = model.Field("CTIF"); ctif && ctif->IsDefined()) {
        chip->flagBits_[static_cast<size_t>(ctif->registerIndex)] |= ctif->Mask();
    }
    if (chip->counters_.Valid()) {
        for (uint16_t a = chip->counters_.firstRegister(); a < chip->counters_.firstRegister() + 9;
             ++a) {
            if (!chip->counters_.HostWritable(a)) chip->readOnly_[a] = true;
        }
    }
    // The comparator's status bits are the chip's to write, like the flags beside them.
    for (const char* status : {"ACPO", "FGRISE"}) {
        if (const TRegField* field = model.Field(status); field && field->IsDefined())
            chip->statusBits_[static_cast<size_t>(field->registerIndex)] |= field->Mask();
    }
    if (const TRegField* osc = model.Field("EN_OSC"); osc && osc->IsDefined())
        chip->oscillatorEnable_ = *osc;
    chip->PowerOn();
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

void SimDmmChip::PowerOn() {
    if (oscillatorEnable_.IsDefined()) {
        const auto a = static_cast<size_t>(oscillatorEnable_.registerIndex) % kChipMemorySize;
        memory_[a] = oscillatorEnable_.Insert(memory_[a], 1);
    }
    SyncEnables();
}

uint8_t SimDmmChip::Read(uint16_t address) {
    const size_t a = address % kChipMemorySize;
    if (statusBits_[a] != 0) comparator_.Update(memory_, frontEnd_, nodes_, NowSeconds());
    const uint8_t value = memory_[a];
    memory_[a] = static_cast<uint8_t>(memory_[a] & ~flagBits_[a]);
    return value;
}

void SimDmmChip::Write(uint16_t address, uint8_t value) {
    const size_t a = address % kChipMemorySize;
    if (flagBits_[a] != 0 || statusBits_[a] != 0) {
        memory_[a] = static_cast<uint8_t>(memory_[a] & ~(value & flagBits_[a]));
        return;
    }
    if (readOnly_[a]) return;
    memory_[a] = static_cast<uint8_t>(value & implemented_[a]);
    if (sleepKeyAddress_ && a == *sleepKeyAddress_) asleep_ = value == kSleepKey;
    SyncEnables();
    counters_.Written(address, memory_, frontEnd_, counterInputs_, NowSeconds(), !asleep_);
    comparator_.Update(memory_, frontEnd_, nodes_, NowSeconds());
}

bool SimDmmChip::Enabled(const Path& path) const {
    auto on = [&](const TRegField& f) {
        return f.Extract(memory_[static_cast<size_t>(f.registerIndex) % kChipMemorySize]) != 0;
    };
    // The low-pass filter and the RMS converter work on ADC2's samples.
    const bool needsAdc2 = path.converter == Converter::LowPass || path.converter == Converter::Rms;
    return SystemClockHz() > 0 && on(path.enable) && (!needsAdc2 || on(adc2Enable_));
}

void SimDmmChip::SyncEnables() {
    for (Path& path : paths_) {
        const bool enabled = Enabled(path);
        const double period = ConversionPeriodMs(path.converter);
        // A converter that starts, or whose rate changes, delivers its next result one
        // whole new period later: its filter starts over.
        if (enabled && (!path.running || period != path.periodMs)) {
            path.nextDueMs = static_cast<double>(nowMs_) + period;
        }
        path.periodMs = period;
        path.running = enabled;
    }
    // The peak hold starts afresh each time it is switched on.
    const bool peakHold = frontEnd_.Field("ENPKH", memory_) != 0;
    if (peakHold && !peakHoldOn_) peakValid_ = false;
    peakHoldOn_ = peakHold;
}

ConverterState SimDmmChip::State(Converter converter) const {
    return converter == Converter::Adc1 ? frontEnd_.Adc1(memory_, nodes_)
                                        : frontEnd_.Adc2(memory_, nodes_);
}

double SimDmmChip::ConversionPeriodMs(Converter converter) const {
    double rate = State(converter).rateHz;
    if (converter == Converter::LowPass || converter == Converter::Rms)
        rate /= frontEnd_.FilterLength(memory_);
    return rate > 0 ? 1000.0 / rate : 1e12;
}

void SimDmmChip::AdvanceTo(int64_t nowMs) {
    if (nowMs < nowMs_) return;
    nowMs_ = nowMs;
    const double now = static_cast<double>(nowMs);
    counters_.AdvanceTo(NowSeconds(), memory_);
    for (Path& path : paths_) {
        if (!path.running || now < path.nextDueMs) continue;
        const double period = path.periodMs;
        if (now - path.nextDueMs > kMaxCatchUpMs)
            path.nextDueMs += std::floor((now - path.nextDueMs - kMaxCatchUpMs) / period) * period;
        const auto conversions =
            static_cast<int64_t>(std::floor((now - path.nextDueMs) / period)) + 1;
        Produce(path, path.nextDueMs, conversions);
        path.nextDueMs += static_cast<double>(conversions) * period;
    }
}

int64_t SimDmmChip::ConversionCode(Converter converter) const {
    const ConverterState state = State(converter);
    const int64_t code = state.IdealCode();
    // Mean square of the fast samples: the host shows its square root.
    return converter == Converter::Rms ? code * code : code;
}

// The mean and mean square of the noiseless ADC2 codes that a filter result ending at
// atMs spans. Without a tone every code is the same.
SimDmmChip::FilterWindow SimDmmChip::Window(const ConverterState& state, double atMs) const {
    const int length = frontEnd_.FilterLength(memory_);
    if (state.tones.empty()) {
        const double code = static_cast<double>(state.IdealCode());
        return {code, code * code};
    }
    const double samplePeriodMs = state.rateHz > 0 ? 1000.0 / state.rateHz : 0.0;
    double sum = 0, sumSquares = 0;
    for (int i = 0; i < length; ++i) {
        const double t = (atMs - samplePeriodMs * (length - 1 - i)) / 1000.0;
        const double code = static_cast<double>(state.IdealCodeAt(t));
        sum += code;
        sumSquares += code * code;
    }
    return {sum / length, sumSquares / length};
}

int64_t SimDmmChip::Sample(Converter converter, const ConverterState& state, double atMs) {
    const double sigma = nodes_.noise ? state.noiseCounts : 0.0;
    ConverterState noisy = state;
    const double fullScale = std::ldexp(1.0, state.bits - 1);
    const int length = frontEnd_.FilterLength(memory_);
    switch (converter) {
        case Converter::Adc1:
        case Converter::Adc2Fast:
            // The noise enters before the result is rounded and clamped.
            noisy.offsetFraction += noise_.Next(sigma) / fullScale;
            return noisy.IdealCodeAt(atMs / 1000.0);
        case Converter::LowPass: {
            const double mean = Window(state, atMs).mean + noise_.Next(sigma / std::sqrt(length));
            return static_cast<int64_t>(std::clamp(std::round(mean), -fullScale, fullScale - 1));
        }
        case Converter::Rms: {
            // The mean square of `length` samples around the ideal codes, and how much it
            // wanders from one result to the next.
            const FilterWindow window = Window(state, atMs);
            const double mean = window.mean;
            const double expected = window.meanSquare + sigma * sigma;
            const double spread =
                std::sqrt((2 * std::pow(sigma, 4) + 4 * mean * mean * sigma * sigma) / length);
            const double value = std::max(0.0, std::round(expected + noise_.Next(spread)));
            return static_cast<int64_t>(std::min(value, std::ldexp(1.0, 40) - 1));
        }
    }
    return 0;
}

void SimDmmChip::StoreResult(uint16_t address, int bytes, uint64_t code) {
    for (int i = 0; i < bytes; ++i)
        memory_[static_cast<size_t>(address + i)] = static_cast<uint8_t>(code >> (8 * i));
}

void SimDmmChip::HoldPeak(Converter converter, int64_t code) {
    if (!peakHoldOn_ || peakMaxAddress_ == 0) return;
    // SELPKH: 0 ADC2, 1 ADC1, 2 the low-pass filter.
    static constexpr Converter kSources[] = {Converter::Adc2Fast, Converter::Adc1,
                                             Converter::LowPass, Converter::Adc2Fast};
    if (kSources[frontEnd_.Field("SELPKH", memory_) & 3] != converter) return;
    // ADC1's peaks are kept with five bits less, so that they fit the same registers.
    const int64_t held = converter == Converter::Adc1 ? (code >> 5) : code;
    if (!peakValid_) {
        peakMin_ = peakMax_ = held;
        peakValid_ = true;
    }
    peakMin_ = std::min(peakMin_, held);
    peakMax_ = std::max(peakMax_, held);
    StoreResult(peakMinAddress_, 3, static_cast<uint64_t>(peakMin_));
    StoreResult(peakMaxAddress_, 3, static_cast<uint64_t>(peakMax_));
}

void SimDmmChip::Produce(Path& path, double firstMs, int64_t conversions) {
    const ConverterState state = State(path.converter);
    const bool streamed = (streamMask_ & path.flag.Mask()) != 0;
    for (int64_t i = 0; i < conversions; ++i) {
        const double atMs = firstMs + static_cast<double>(i) * path.periodMs;
        const int64_t code = Sample(path.converter, state, atMs);
        HoldPeak(path.converter, code);
        const auto raw = static_cast<uint64_t>(code);
        StoreResult(path.resultAddress, path.resultBytes, raw);
        if (!streamed) continue;
        std::array<uint8_t, 5> record{};
        for (int b = 0; b < path.resultBytes; ++b)
            record[static_cast<size_t>(b)] = static_cast<uint8_t>(raw >> (8 * b));
        if (stream_.size() >= kStreamCapacity) stream_.pop_front();
        stream_.push_back(record);
    }
    const size_t flagAddress = static_cast<size_t>(path.flag.registerIndex) % kChipMemorySize;
    memory_[flagAddress] = path.flag.Insert(memory_[flagAddress], 1);
}

void SimDmmChip::Reset() {
    SimChip::Reset();
    asleep_ = false;
    for (Path& path : paths_) path.running = false;
    stream_.clear();
    peakHoldOn_ = false;
    peakValid_ = false;
    counters_.Stop();
    comparator_.Reset();
    PowerOn();
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
