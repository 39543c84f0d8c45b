#include "sim/sim_meter.h"

#include <QString>

#include <algorithm>
#include <cmath>

#include "core/instruments/meter_frames.h"

namespace dmm::sim {
namespace {

constexpr int64_t kAnswerMs = 30;

struct Flags {
    uint8_t a;
    uint8_t b;
};

Flags FlagsOf(MeterFunction f) {
    switch (f) {
        case MeterFunction::DcVolts:
            return {0x06, 0x00};  // DC, volt
        case MeterFunction::AcVolts:
            return {0x05, 0x00};  // AC, volt
        case MeterFunction::Ohms:
            return {0x80, 0x00};
        case MeterFunction::Celsius:
            return {0x20, 0x00};
        case MeterFunction::Hertz:
            return {0x00, 0x04};
        case MeterFunction::DcAmps:
            return {0x02, 0x02};  // DC, ampere
    }
    return {0, 0};
}

// A meter's resolution relative to its reading: five digits.
double NoiseOf(MeterFunction f) {
    return f == MeterFunction::Celsius ? 0.02 : 0.00002;
}

// The last digit of the meter's smallest range.
double ResolutionOf(MeterFunction f) {
    switch (f) {
        case MeterFunction::DcVolts:
        case MeterFunction::AcVolts:
            return 1e-5;
        case MeterFunction::Celsius:
            return 0.01;
        case MeterFunction::Hertz:
            return 1e-3;
        case MeterFunction::DcAmps:
            return 1e-7;
        default:
            return 0.01;
    }
}

}  // namespace

SimMeter::SimMeter(int channel, MeterFunction function)
    : channel_(channel),
      function_(function),
      // Each meter has its own small errors: a few tens of ppm of gain, a few microvolts.
      gainError_(1.0 + 25e-6 * (channel + 1) * (channel % 2 ? -1 : 1)),
      offset_(3e-6 * (channel - 2)),
      noiseEngine_(0xB12E + static_cast<unsigned>(channel)) {}

std::string SimMeter::Describe() const {
    return "simulated meter " + std::to_string(channel_ + 1) + " (BryMen)";
}

std::vector<uint8_t> SimMeter::Frame(MeterFunction function, double value) {
    const Flags flags = FlagsOf(function);
    std::vector<uint8_t> f(kBryMenFrameSize, 0x00);
    f[0] = kDle;
    f[1] = kStx;
    f[2] = static_cast<uint8_t>(function);
    f[3] = 0x01;
    f[4] = flags.a;
    f[5] = flags.b;
    std::string text;  // bytes 8..15
    char exponentSign = '+';
    int exponent = 0;
    if (std::isnan(value)) {
        text = "   OL   ";
    } else {
        // Five digits: a mantissa 1.0000 .. 9.9999 and its power of ten.
        const double magnitude = std::fabs(value);
        int power = magnitude > 0 ? static_cast<int>(std::floor(std::log10(magnitude))) : 0;
        double mantissa = magnitude > 0 ? magnitude / std::pow(10.0, power) : 0;
        if (std::lround(mantissa * 1e4) >= 100000) {
            mantissa /= 10;
            ++power;
        }
        power = std::clamp(power, -9, 9);
        exponentSign = power < 0 ? '-' : '+';
        exponent = std::abs(power);
        text = std::string(value < 0 ? "-" : " ") +
               QString::asprintf("%6.4f", mantissa).toStdString() + " ";
    }
    std::copy(text.begin(), text.end(), f.begin() + 8);
    f[16] = 'E';
    f[17] = static_cast<uint8_t>(exponentSign);
    f[18] = static_cast<uint8_t>('0' + exponent);
    uint8_t check = 0;
    for (size_t i = 2; i <= 18; ++i) check ^= f[i];
    // The check byte never forms a DLE pair with the end mark.
    f[19] = check == kDle ? 0x11 : check;
    f[20] = kDle;
    f[21] = kEtx;
    return f;
}

double SimMeter::Measured() {
    const double truth = source ? source() : 0.0;
    if (std::isnan(truth)) return truth;
    // Noise relative to the reading, except on temperature, where it is in degrees.
    const double scale =
        function_ == MeterFunction::Celsius ? 1.0 : std::max(std::fabs(truth), 1e-3);
    const bool dc = function_ == MeterFunction::DcVolts || function_ == MeterFunction::DcAmps;
    // The offset is a voltmeter's few microvolts.
    const double offset = function_ == MeterFunction::DcVolts ? offset_ : 0.0;
    const double exact = truth * gainError_ + offset +
                         (noise ? noise_(noiseEngine_) * NoiseOf(function_) * scale : 0.0);
    const double step = ResolutionOf(function_);
    const double reading = std::round(exact / step) * step;
    // An RMS value, a frequency or a resistance is never below zero.
    return dc || function_ == MeterFunction::Celsius ? reading : std::fabs(reading);
}

void SimMeter::OnBytes(int64_t nowMs, const std::vector<uint8_t>& bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    for (;;) {
        const auto it = std::search(pending_.begin(), pending_.end(), kBryMenRequest.begin(),
                                    kBryMenRequest.end());
        if (it == pending_.end()) break;
        pending_.erase(pending_.begin(), it + static_cast<std::ptrdiff_t>(kBryMenRequest.size()));
        ++requests_;
        Reply(nowMs, kAnswerMs, Frame(function_, Measured()));
    }
    if (pending_.size() > 64) pending_.erase(pending_.begin(), pending_.end() - 8);
}

}  // namespace dmm::sim
