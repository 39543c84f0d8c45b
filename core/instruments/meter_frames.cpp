#include "core/instruments/meter_frames.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dmm {
namespace {

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(uint8_t c) {
    return c == ' ' || c == 0;
}

constexpr uint8_t kFlagAc = 0x01, kFlagDc = 0x02, kFlagVolt = 0x04, kFlagOhm = 0x80;

}  // namespace

size_t FindBryMenStart(const uint8_t* data, size_t n) {
    for (size_t i = 0; i + 1 < n; ++i) {
        if (data[i] == kDle && data[i + 1] == kStx) return i;
    }
    return n;
}

bool HasBryMenEnd(const uint8_t* data, size_t n, size_t start) {
    for (size_t i = start + 2; i + 1 < n; ++i) {
        if (data[i] == kDle && data[i + 1] == kEtx) return true;
    }
    return false;
}

BryMenReading DecodeBryMen(const uint8_t* data, size_t n) {
    BryMenReading r;
    const size_t start = FindBryMenStart(data, n);
    if (start == n || n - start < kBryMenFrameSize) {
        r.overload = true;
        return r;
    }
    const uint8_t* f = data + start;
    r.flagsA = f[4];
    r.flagsB = f[5];
    r.negative = f[8] == '-';

    std::string number;
    for (size_t i = 8; i <= 15; ++i) {
        if (!IsBlank(f[i])) number += static_cast<char>(f[i]);
    }
    bool point = false;
    for (size_t i = 9; i <= 15; ++i) {
        if (f[i] == '.') {
            if (!point) r.pointPosition = static_cast<int>(i - 9);
            point = true;
        } else if (!IsBlank(f[i])) {
            r.digits += static_cast<char>(f[i]);
            if (!point) ++r.integerDigits;
        }
    }

    if (!IsDigit(f[9])) {
        // Letters where the digits belong ("OL") are the meter's overload, not a zero.
        if (!r.digits.empty()) r.overload = true;
    } else {
        // from_chars reads "1.2345" the same in every locale; a sign is ours to handle.
        const char* begin = number.data();
        const char* end = begin + number.size();
        const bool minus = begin != end && *begin == '-';
        if (minus) ++begin;
        double magnitude = 0;
        const auto [ptr, ec] = std::from_chars(begin, end, magnitude);
        if (ec != std::errc() || ptr != end) {
            r.overload = true;
        } else {
            r.value = minus ? -magnitude : magnitude;
        }
    }
    if (!IsDigit(f[18])) {
        r.overload = true;
        return r;
    }
    r.exponent = f[18] - '0';
    r.exponentNegative = f[17] != '+';
    r.value *= std::pow(10.0, r.exponentNegative ? -r.exponent : r.exponent);
    return r;
}

std::string BryMenUnitText(uint8_t a, uint8_t b) {
    std::string text;
    if (a & kFlagAc) text += "AC ";
    if ((a & kFlagDc) && !(a & kFlagOhm)) text += "DC ";
    static constexpr const char* kUnitsA[] = {nullptr, nullptr, "V", "F", "D", "℃", "℉", "Ω"};
    for (int bit = 2; bit < 8; ++bit) {
        if (a & (1u << bit)) text += kUnitsA[bit];
    }
    if (b & 0x02) text += "A";
    if (b & 0x04) text += "Hz";
    if (b & 0x08) text += "%";
    if (b & 0x20) text += "dB";
    return text;
}

BryMenDisplay DisplayOf(const BryMenReading& r) {
    BryMenDisplay d;
    d.negative = r.negative;
    const int e = r.exponent;
    std::string prefix;
    int shift = 0;
    if (r.exponentNegative) {
        if (e <= 2) {
            prefix = "m";
            shift = 3 - e;
        } else if (e <= 6) {
            prefix = "u";
            shift = 6 - e;
        } else {
            // Nano is 10^-9: the point moves 9 - e places (the original's e - 5 is right
            // for e = 7 only and shows 8 and 9 a hundred times too large or small).
            prefix = "n";
            shift = 9 - e;
        }
    } else if (e >= 3 && e <= 5 && !(r.flagsA & kFlagVolt)) {
        prefix = "k";
        shift = e - 3;
    } else if (e < 6) {
        shift = e;
    } else {
        prefix = "M";
        shift = e - 6;
    }
    std::string units = BryMenUnitText(r.flagsA, r.flagsB);
    // The prefix goes in front of the unit, after "AC "/"DC ".
    size_t kind = 0;
    if (units.compare(0, 3, "AC ") == 0) kind += 3;
    if (units.compare(kind, 3, "DC ") == 0) kind += 3;
    d.unit = units.substr(0, kind) + prefix + units.substr(kind);

    if (r.overload) {
        d.caption = "OL";
        return d;
    }
    const std::string& digits = r.digits;
    const bool numeric = !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (!numeric) {
        d.caption = digits;  // the meter's own letters ("OL") as it shows them
        return d;
    }
    const int integer = r.integerDigits + shift;
    const int size = static_cast<int>(digits.size());
    if (integer <= 0) {
        d.caption = "0." + std::string(static_cast<size_t>(-integer), '0') + digits;
        d.dotCount = 1;
    } else if (integer < size) {
        d.caption = digits.substr(0, static_cast<size_t>(integer)) + "." +
                    digits.substr(static_cast<size_t>(integer));
        d.dotCount = integer;
    } else if (integer <= kBryMenDisplayDigits) {
        d.caption = digits + std::string(static_cast<size_t>(integer - size), '0');
        d.dotCount = 0;
    } else {
        // More whole digits than the display has: dashes rather than a wrong number.
        d.caption = std::string(kBryMenDisplayDigits, '-');
    }
    return d;
}

}  // namespace dmm
