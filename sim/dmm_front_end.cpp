#include "sim/dmm_front_end.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>

#include "sim/divider_network.h"
#include "sim/switch_network.h"

namespace dmm::sim {
namespace {

// Noise of the converters, as a DMM front end of this class shows it: a white input
// noise that the gain stage amplifies, plus the modulator's own noise, both falling with
// the square root of the oversampling ratio. ADC1 at its fastest rate with gain 1 and a
// 1.2 V reference gives about 16.5 effective bits, 20 at its slowest.
constexpr double kAdc1InputNoiseVolts = 18e-6;
constexpr double kAdc1ModulatorNoise = 120.0;  // counts of 24 bits
constexpr double kAdc2InputNoiseVolts = 60e-6;
constexpr double kAdc2ModulatorNoise = 1.5;  // counts of 18 bits
// Offsets the input chopper removes.
constexpr double kAdc1OffsetVolts = 40e-6;
constexpr double kAdc2OffsetVolts = 150e-6;
constexpr double kSmallestReference = 1e-3;

constexpr const char* kFields[] = {
    "ENI_XI", "FCLK_SEL", "S_AGND", "ENAD_S", "AD1OSR",  "AD1GN",  "VRGNAD1", "DCOS",
    "AD1CHO", "ENAD_F",   "AD2OSR", "AD2GN",  "VRGNAD2", "AD2CHO", "SELAVG",  "EN_AVG",
    "EN_RMS", "ENPKH",    "SELPKH", "EN_OSC", "EN_OP1",  "EN_OP2", "OPS1",    "OPS2",
};
constexpr const char* kSelectors[] = {"S_AD1IP", "S_AD1IN", "S_AD1RH", "S_AD1RL", "S_AD2IP",
                                      "S_AD2IN", "S_AD2RH", "S_AD2RL", "S_OP1P",  "S_OP2P",
                                      "S_CMPI",  "S_CMPRH", "S_CMPRL"};
constexpr const char* kGainTables[] = {"AD1GN", "VRGNAD1", "AD2GN", "VRGNAD2"};

double Noise(double gain, double inputNoise, double reference, int bits, double modulatorNoise,
             int osrExponent) {
    const double fullScale = std::ldexp(1.0, bits - 1);
    const double input = std::abs(reference) >= kSmallestReference
                             ? gain * inputNoise / std::abs(reference) * fullScale
                             : 0.0;
    return std::hypot(input, modulatorNoise) / std::sqrt(std::ldexp(1.0, osrExponent));
}

}  // namespace

double Tone::VoltsAt(double seconds) const {
    if (!Active()) return 0.0;
    const double phase = 2 * std::numbers::pi * frequencyHz * seconds;
    double v = std::sin(phase);
    for (size_t k = 0; k < harmonicsDbc.size(); ++k)
        v += std::pow(10.0, harmonicsDbc[k] / 20.0) * std::sin(static_cast<double>(k + 2) * phase);
    return peakVolts * v;
}

double ConverterState::ToneVoltsAt(double seconds) const {
    double v = 0;
    for (const InputTone& t : tones) v += t.sign * t.tone.VoltsAt(seconds);
    return v;
}

int64_t ConverterState::IdealCodeAt(double seconds) const {
    return tones.empty() ? IdealCode() : CodeFor(inputVolts + ToneVoltsAt(seconds));
}

int64_t ConverterState::IdealCode() const {
    return CodeFor(inputVolts);
}

int64_t ConverterState::CodeFor(double volts) const {
    const double fullScale = std::ldexp(1.0, bits - 1);
    const double input = gain * (volts + offsetVolts);
    double x = 0;
    if (std::abs(referenceVolts) < kSmallestReference) {
        x = input >= 0 ? 1.0 : -1.0;
    } else {
        x = input / referenceVolts + offsetFraction;
    }
    if (!std::isfinite(x)) return 0;
    return static_cast<int64_t>(std::clamp(std::round(x * fullScale), -fullScale, fullScale - 1));
}

DmmFrontEnd::DmmFrontEnd(const TChipModel& model)
    : divider_(std::make_shared<DividerNetwork>(model)) {
    for (const char* name : kFields) {
        if (const TRegField* field = model.Field(name); field && field->IsDefined())
            fields_[name] = *field;
    }
    for (const char* name : kSelectors) AddSelector(model, name);
    for (const char* name : kGainTables) {
        if (const FieldPanelData* data = model.PanelData(name)) gains_[name] = data->gains;
    }
}

void DmmFrontEnd::AddSelector(const TChipModel& model, const char* name) {
    const TRegField* field = model.Field(name);
    if (!field || !field->IsDefined()) return;
    Selector selector;
    selector.field = *field;
    if (const FieldPanelData* data = model.PanelData(name)) {
        for (const OptionLabel& option : data->options) {
            selector.nodes.push_back(option.hidden || !option.text ? std::string() : *option.text);
        }
    }
    selectors_[name] = std::move(selector);
}

bool DmmFrontEnd::Has(std::string_view name) const {
    return fields_.count(name) != 0;
}

int DmmFrontEnd::Field(std::string_view name, const Memory& memory) const {
    const auto it = fields_.find(name);
    if (it == fields_.end()) return 0;
    return it->second.Extract(
        memory[static_cast<size_t>(it->second.registerIndex) % memory.size()]);
}

double DmmFrontEnd::NodeVolts(std::string_view node, const Memory& memory,
                              const AnalogNodes& nodes) const {
    if (const auto pinned = nodes.pinned.find(node); pinned != nodes.pinned.end())
        return pinned->second;
    const std::string driver = DrivingNode(node, memory);
    if (driver == node) return LevelVolts(node, memory, nodes);
    if (const auto pinned = nodes.pinned.find(driver); pinned != nodes.pinned.end())
        return pinned->second;
    return LevelVolts(driver, memory, nodes);
}

std::string DmmFrontEnd::DrivingNode(std::string_view node, const Memory& memory) const {
    if (node == "OP1O" && Field("EN_OP1", memory) != 0 && Field("OPS1", memory) != 0)
        return SelectedNode("S_OP1P", memory);
    if (node == "OP2O" && Field("EN_OP2", memory) != 0 && Field("OPS2", memory) != 0)
        return SelectedNode("S_OP2P", memory);
    if (node == "OP2P" && selectors_.count("S_OP2P") != 0) return SelectedNode("S_OP2P", memory);
    return std::string(node);
}

double DmmFrontEnd::LevelVolts(std::string_view node, const Memory& memory,
                               const AnalogNodes& nodes) const {
    static constexpr double kGroundLevels[] = {0.5, 0.3, 0.1,
                                               0.5};  // a floating ground drifts to mid-supply
    const double agnd = nodes.supply * kGroundLevels[Field("S_AGND", memory) & 3];
    if (const auto tap = DividerTapVolts(node, nodes.supply, agnd)) return *tap;
    if (node == "VSS") return 0.0;
    if (node == "VDD") return nodes.supply;
    if (node == "SENSE") return agnd + nodes.adc1Input;
    if (node == "OP1O") return agnd + nodes.adc2Input;
    if (node == "VREF" || node == "REFO") return agnd + nodes.reference;
    return agnd;
}

std::string DmmFrontEnd::SelectedNode(std::string_view selector, const Memory& memory) const {
    const auto it = selectors_.find(selector);
    if (it == selectors_.end()) return "AGND";
    const Selector& s = it->second;
    const int option =
        s.field.Extract(memory[static_cast<size_t>(s.field.registerIndex) % memory.size()]);
    return option < static_cast<int>(s.nodes.size()) ? s.nodes[static_cast<size_t>(option)] : "";
}

double DmmFrontEnd::SelectedVolts(std::string_view selector, const Memory& memory,
                                  const AnalogNodes& nodes) const {
    return NodeVolts(SelectedNode(selector, memory), memory, nodes);
}

void DmmFrontEnd::AddInputTones(ConverterState& state, std::string_view positive,
                                std::string_view negative, const Memory& memory,
                                const AnalogNodes& nodes) const {
    if (nodes.tones.empty()) return;
    for (auto [selector, sign] : {std::pair{positive, 1.0}, std::pair{negative, -1.0}}) {
        const std::string selected = SelectedNode(selector, memory);
        // A pinned node is held at its voltage: no tone reaches it.
        if (nodes.pinned.count(selected) != 0) continue;
        const std::string node = DrivingNode(selected, memory);
        if (nodes.pinned.count(node) != 0) continue;
        if (const auto it = nodes.tones.find(node);
            it != nodes.tones.end() && it->second.Active()) {
            state.tones.push_back({sign, it->second});
            Tone& tone = state.tones.back().tone;
            if (tone.harmonicsDbc.empty()) tone.harmonicsDbc = nodes.sourceHarmonicsDbc;
        }
    }
}

// The reference-gain tables hold what the gain is to the input: dividing the reference
// by two doubles every count, as a PGA gain of two does. So input-referred noise divides
// by the product of both tables, whichever path gives the gain.
double DmmFrontEnd::TableGain(std::string_view field, const Memory& memory) const {
    const auto it = gains_.find(field);
    const int value = Field(field, memory);
    if (it == gains_.end() || value >= static_cast<int>(it->second.size())) return 1.0;
    return it->second[static_cast<size_t>(value)];
}

double DmmFrontEnd::SystemClockHz(const Memory& memory) const {
    if (Field("ENI_XI", memory) != 0) return kExternalClockHz;
    // A chip whose description names no oscillator enable always runs its crystal.
    return !Has("EN_OSC") || Field("EN_OSC", memory) != 0 ? kCrystalHz : 0.0;
}

ConverterState DmmFrontEnd::Adc1(const Memory& memory, const AnalogNodes& nodes) const {
    ConverterState s;
    s.bits = 24;
    // The divider network, when set up for a measurement, decides what ADC1 reads; the
    // chip's temperature drift acts on whatever it reads.
    const std::optional<double> divided = divider_->Adc1InputVolts(memory, nodes);
    s.inputVolts = nodes.Drifted(divided ? *divided
                                         : SelectedVolts("S_AD1IP", memory, nodes) -
                                               SelectedVolts("S_AD1IN", memory, nodes));
    s.referenceVolts =
        (SelectedVolts("S_AD1RH", memory, nodes) - SelectedVolts("S_AD1RL", memory, nodes)) /
        TableGain("VRGNAD1", memory);
    s.gain = TableGain("AD1GN", memory);
    const int dcos = Field("DCOS", memory);
    s.offsetFraction = ((dcos & 4) ? -1.0 : 1.0) * (dcos & 3) / 4.0;
    s.offsetVolts = Field("AD1CHO", memory) != 0 ? 0.0 : kAdc1OffsetVolts;
    const int osr = Field("AD1OSR", memory);
    s.rateHz = SystemClockHz(memory) / 30.0 / (256.0 * std::ldexp(1.0, osr));
    s.noiseCounts =
        Noise(s.gain, kAdc1InputNoiseVolts, s.referenceVolts, s.bits, kAdc1ModulatorNoise, osr);
    s.running = Field("ENAD_S", memory) != 0;
    if (!divided) AddInputTones(s, "S_AD1IP", "S_AD1IN", memory, nodes);
    return s;
}

ConverterState DmmFrontEnd::Adc2(const Memory& memory, const AnalogNodes& nodes) const {
    ConverterState s;
    s.bits = 18;
    s.inputVolts = nodes.Drifted(SelectedVolts("S_AD2IP", memory, nodes) -
                                 SelectedVolts("S_AD2IN", memory, nodes));
    s.referenceVolts =
        (SelectedVolts("S_AD2RH", memory, nodes) - SelectedVolts("S_AD2RL", memory, nodes)) /
        TableGain("VRGNAD2", memory);
    s.gain = TableGain("AD2GN", memory);
    s.offsetVolts = Field("AD2CHO", memory) != 0 ? 0.0 : kAdc2OffsetVolts;
    // The fast divider stops doubling at 1024.
    const int osr = std::min(Field("AD2OSR", memory), 5);
    const double adck2 = SystemClockHz(memory) / (Field("FCLK_SEL", memory) != 0 ? 4.0 : 2.0);
    s.rateHz = adck2 / (32.0 * std::ldexp(1.0, osr));
    s.noiseCounts =
        Noise(s.gain, kAdc2InputNoiseVolts, s.referenceVolts, s.bits, kAdc2ModulatorNoise, osr);
    s.running = Field("ENAD_F", memory) != 0;
    AddInputTones(s, "S_AD2IP", "S_AD2IN", memory, nodes);
    return s;
}

int DmmFrontEnd::FilterLength(const Memory& memory) const {
    return 64 << Field("SELAVG", memory);
}

namespace {

// The clock's count mixed with a count of the sources made: sources made in the same tick
// still differ.
uint64_t ClockSeed() {
    static std::atomic<uint64_t> made{0};
    const auto ticks =
        static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    return ticks ^ (++made * 0x9E3779B97F4A7C15ull);
}

}  // namespace

NoiseSource::NoiseSource() : engine_(ClockSeed()) {}

void NoiseSource::Seed(uint64_t seed) {
    engine_.seed(seed);
    normal_.reset();
}

double NoiseSource::Next(double sigma) {
    return sigma > 0 ? sigma * normal_(engine_) : 0.0;
}

}  // namespace dmm::sim
