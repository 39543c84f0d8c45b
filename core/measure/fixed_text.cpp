#include "core/measure/fixed_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace dmm {

std::string FixedText(double value, int decimals) {
    // Large enough for any double in fixed notation (up to 309 integer digits).
    std::array<char, 400> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{}) return {};
    return std::string(text.data(), end);
}

double FixedValue(double value, int decimals) {
    if (!std::isfinite(value)) return value;
    const std::string text = FixedText(value, decimals);
    double parsed = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    return parsed;
}

}  // namespace dmm
