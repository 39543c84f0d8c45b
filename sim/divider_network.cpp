#include "sim/divider_network.h"

namespace dmm::sim {
namespace {

int AddressOf(const TChipModel& model, const char* field) {
    const TRegField* f = model.Field(field);
    return f && f->IsDefined() ? f->registerIndex : -1;
}

constexpr uint8_t kReadsReference = 0x11;
constexpr uint8_t kReadsTest = 0x02;
constexpr uint8_t kReadsCalibrationInput = 0x59;
constexpr uint8_t kReadsVoltmeter = 0x10;
constexpr uint8_t kReadsExternal = 0x58;
constexpr uint8_t kReadsExternalToGround = 0x38;
constexpr uint8_t kStringTop = 0x80;
constexpr uint8_t kOhmsSource = 0x02;
constexpr uint8_t kHighOhmsInput = 0x01;

}  // namespace

DividerNetwork::DividerNetwork(const TChipModel& model)
    : selectorAddress_(AddressOf(model, "S_AD1IP")),
      p_(AddressOf(model, "PS0")),
      d_(AddressOf(model, "DS0")),
      f_(AddressOf(model, "FS0")),
      s_(AddressOf(model, "SS0")) {}

std::optional<double> DividerNetwork::ResistorOf(uint8_t bits) {
    switch (bits) {
        case 0x80:
            return kReferenceOhms;
        case 0x20:
            return k1MOhms;
        case 0x10:
            return k100KOhms;
        case 0x08:
            return k10KOhms;
        case 0x04:
            return k1KOhms;
        default:
            return std::nullopt;
    }
}

std::optional<double> DividerNetwork::Adc1InputVolts(const DmmFrontEnd::Memory& memory,
                                                     const AnalogNodes& nodes) const {
    if (selectorAddress_ < 0 || p_ < 0 || d_ < 0 || f_ < 0 || s_ < 0) return std::nullopt;
    auto at = [&memory](int address) {
        return memory[static_cast<size_t>(address) % memory.size()];
    };
    const uint8_t input = at(selectorAddress_);
    const uint8_t p = at(p_), d = at(d_), f = at(f_), s = at(s_);
    const double calibratorVolts = nodes.adc1Input;

    if (p == d && f == s && p != 0 && f != 0) {
        const auto upper = ResistorOf(p);
        const auto lower = ResistorOf(f);
        if (!upper || !lower) return std::nullopt;
        if (input == kReadsCalibrationInput) return calibratorVolts;
        const double current = kCalibrationDriveVolts / (*upper + *lower);
        if (input == kReadsReference) return current * *upper;
        if (input == kReadsTest) return current * *lower;
        return std::nullopt;
    }
    if (d == 0 && f == 0 && (p & kStringTop) && (p & ~kStringTop) == s) {
        const auto range = ResistorOf(s);
        if (!range || input != kReadsVoltmeter) return std::nullopt;
        const double top = kReferenceOhms - kVoltageTapOhms;
        return calibratorVolts * *range / (*range + top);
    }
    const bool readsExternal = input == kReadsExternal || input == kReadsExternalToGround;
    if (f == 0 && s == 0 && (p & (kStringTop | kOhmsSource)) == (kStringTop | kOhmsSource) &&
        (p & ~(kStringTop | kOhmsSource)) == d) {
        const auto reference = ResistorOf(d);
        if (!reference) return std::nullopt;
        const double current = nodes.reference / *reference;
        if (readsExternal) return current * nodes.externalOhms;
        if (input == kReadsReference) return current * *reference;
        return std::nullopt;
    }
    if (p == 0 && d == 0 && s == 0 && (f & kHighOhmsInput)) {
        const uint8_t bank = f & ~kHighOhmsInput;
        const auto series = bank ? ResistorOf(bank) : std::optional<double>(kReferenceOhms);
        if (!series) return std::nullopt;
        const double current = kHighOhmsDriveVolts / *series;
        if (readsExternal) return current * nodes.externalOhms;
        if (input == kReadsReference) return current * *series;
    }
    return std::nullopt;
}

}  // namespace dmm::sim
