#include "core/link/number_text.h"

#include <algorithm>

namespace dmm {
namespace {

// Accumulates with wrap-around instead of overflow: an absurdly long digit string is
// garbage in, but must never be undefined behaviour.
int64_t Accumulate(uint64_t acc, int radix, int digit) {
    return static_cast<int64_t>(acc * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit));
}

int DigitValue(char c, int radix) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    return v < radix ? v : -1;
}

int64_t ParseDigits(std::string_view text, int radix) {
    int64_t acc = 0;
    for (char c : text) {
        const int d = DigitValue(c, radix);
        if (d < 0) return 0;
        acc = Accumulate(static_cast<uint64_t>(acc), radix, d);
    }
    return acc;
}

std::string Padded(std::string digits, int width) {
    if (width > static_cast<int>(digits.size())) {
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    }
    return digits;
}

std::string Digits(uint32_t value, uint32_t radix) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    do {
        s.push_back(kDigits[value % radix]);
        value /= radix;
    } while (value != 0);
    std::reverse(s.begin(), s.end());
    return s;
}

}  // namespace

int64_t DecText(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    const int64_t v = ParseDigits(text, 10);
    return negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(v)) : v;
}

int64_t HexText(std::string_view text) {
    return ParseDigits(text, 16);
}

int64_t BinText(std::string_view text) {
    return ParseDigits(text, 2);
}

std::string HexStr(uint16_t value, int width) {
    return Padded(Digits(value, 16), width);
}

std::string DecStr(uint16_t value, int width) {
    return Padded(Digits(value, 10), width);
}

std::string BinStr(uint16_t value, int width) {
    if (value == 0 && width <= 0) return {};
    return Padded(Digits(value, 2), width);
}

std::string HexText32(uint32_t value) {
    return Digits(value, 16);
}

}  // namespace dmm
