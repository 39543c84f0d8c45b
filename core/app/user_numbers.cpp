#include "core/app/user_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/instruments/com_ports.h"
#include "core/link/stnd.h"

namespace dmm {
namespace {

constexpr std::string_view kLessOrEqual = "\u2264";
// Long enough for any number the fields hold; longer text is shown cut, with "...".
constexpr size_t kShownChars = 24;

std::string_view Trimmed(std::string_view text) {
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string_view::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Digits in a radix, without sign; nullopt for anything else, and out of range beyond
// what 63 bits hold (flagged by *tooLarge).
std::optional<int64_t> Digits(std::string_view digits, int radix, bool* tooLarge) {
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        const int d = DigitValue(c);
        if (d >= radix) return std::nullopt;
        if (value > (std::numeric_limits<int64_t>::max() - d) / radix) {
            *tooLarge = true;
            value = 0;
            continue;  // the rest must still be digits for the text to be a number
        }
        value = value * radix + d;
    }
    return value;
}

// A whole number as engineers type it; nullopt for text that is none. A number too large
// for 63 bits sets *tooLarge (it is a number, outside every range).
std::optional<int64_t> ParseWholeText(std::string_view text, WholeForm form, bool* tooLarge) {
    if (form == WholeForm::Hex) return Digits(text, 16, tooLarge);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int radix = 10;
    if (form == WholeForm::Decimal) {
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        radix = 2;
        text.remove_prefix(2);
    } else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
        radix = 16;
        text.remove_suffix(1);
    }
    const auto value = Digits(text, radix, tooLarge);
    if (!value) return std::nullopt;
    return negative ? -*value : *value;
}

std::optional<double> ParseRealText(std::string_view text) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    // from_chars would take these as words of its own ("nan", "inf"); neither is a value.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.back())) || text.back() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return std::nullopt;
    // Beyond what a double holds: a number all the same, outside every range.
    if (ec == std::errc::result_out_of_range)
        return text.find('-') == 0 ? -std::numeric_limits<double>::max()
                                   : std::numeric_limits<double>::max();
    if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string Shown(std::string_view text) {
    if (text.empty()) return "\"\"";
    if (text.size() > kShownChars) return std::string(text.substr(0, kShownChars)) + "...";
    return std::string(text);
}

std::string Decimal(double value) {
    char text[32];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string WithUnit(double value, const char* unit, bool siPrefixes) {
    std::string prefix;
    if (siPrefixes) {
        constexpr std::pair<double, const char*> kPrefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}};
        for (const auto& [scale, name] : kPrefixes) {
            if (std::fabs(value) >= scale) {
                value /= scale;
                prefix = name;
                break;
            }
        }
    }
    std::string text = Decimal(value);
    if (*unit) text += " " + prefix + unit;
    return text;
}

std::string Hex(int64_t value, int width) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value % 16]);
        value /= 16;
    } while (value > 0);
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    return digits;
}

std::string WidthNote(int maxChars) {
    return maxChars > 0 ? ", at most " + std::to_string(maxChars) + " characters" : std::string();
}

bool Fits(std::string_view text, int maxChars) {
    return maxChars <= 0 || text.size() <= static_cast<size_t>(maxChars);
}

template <typename T>
std::optional<T> Refuse(std::string_view text, std::string_view what, const std::string& range,
                        std::string* refusal) {
    if (refusal) *refusal = Refusal(text, what, range);
    return std::nullopt;
}

}  // namespace

std::string Refusal(std::string_view text, std::string_view what, std::string_view range) {
    return Shown(Trimmed(text)) + " is not " + std::string(what) + " (" + std::string(range) + ")";
}

std::string PlainDecimal(double value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string RangeText(const WholeRule& rule) {
    std::string low, high;
    if (rule.form == WholeForm::Hex || rule.hexRange) {
        const int width = static_cast<int>(Hex(rule.high, 1).size());
        const std::string prefix = rule.form == WholeForm::Hex ? "" : "0x";
        low = prefix + Hex(rule.low, width);
        high = prefix + Hex(rule.high, width);
    } else {
        low = std::to_string(rule.low);
        high = std::to_string(rule.high);
    }
    std::string text = low + " " + std::string(kLessOrEqual) + " " + rule.symbol + " " +
                       std::string(kLessOrEqual) + " " + high;
    if (*rule.unit) text += std::string(" ") + rule.unit;
    if (rule.form == WholeForm::Hex) text += ", hexadecimal";
    return text + WidthNote(rule.maxChars);
}

std::string RangeText(const RealRule& rule) {
    const std::string lowSign = rule.lowOpen ? "<" : std::string(kLessOrEqual);
    const std::string highSign = rule.highOpen ? "<" : std::string(kLessOrEqual);
    // The unit once, after the upper bound, unless the bounds need different prefixes.
    std::string low = WithUnit(rule.low, rule.unit, rule.siPrefixes);
    const std::string high = WithUnit(rule.high, rule.unit, rule.siPrefixes);
    const size_t lowUnit = low.find(' '), highUnit = high.find(' ');
    if (lowUnit != std::string::npos &&
        (rule.low == 0 ||
         (highUnit != std::string::npos && low.substr(lowUnit) == high.substr(highUnit))))
        low.erase(lowUnit);
    return low + " " + lowSign + " " + rule.symbol + " " + highSign + " " + high +
           WidthNote(rule.maxChars);
}

std::string RangeText(const DurationRule& rule) {
    return RangeText(RealRule{rule.what, rule.low, rule.high, rule.lowOpen, false, "t", rule.unit});
}

std::optional<int64_t> ReadWhole(std::string_view text, const WholeRule& rule,
                                 std::string* refusal) {
    const std::string_view trimmed = Trimmed(text);
    bool tooLarge = false;
    const auto value = ParseWholeText(trimmed, rule.form, &tooLarge);
    if (!value || tooLarge || *value < rule.low || *value > rule.high ||
        !Fits(trimmed, rule.maxChars))
        return Refuse<int64_t>(text, rule.what, RangeText(rule), refusal);
    return value;
}

std::optional<double> ReadReal(std::string_view text, const RealRule& rule, std::string* refusal) {
    const std::string_view trimmed = Trimmed(text);
    const auto value = ParseRealText(trimmed);
    if (!value || !RealRefusal(*value, rule).empty() || !Fits(trimmed, rule.maxChars))
        return Refuse<double>(text, rule.what, RangeText(rule), refusal);
    return value;
}

std::string RealRefusal(double value, const RealRule& rule) {
    const bool inRange = std::isfinite(value) &&
                         (rule.lowOpen ? value > rule.low : value >= rule.low) &&
                         (rule.highOpen ? value < rule.high : value <= rule.high);
    return inRange ? std::string() : Refusal(Decimal(value), rule.what, RangeText(rule));
}

std::optional<int64_t> ReadDuration(std::string_view text, const DurationRule& rule,
                                    std::string* refusal) {
    const RealRule real{rule.what, rule.low, rule.high, rule.lowOpen, false, "t", rule.unit};
    const auto value = ReadReal(text, real, refusal);
    if (!value) return std::nullopt;
    const std::string_view unit = rule.unit;
    const double msPerUnit = unit == "min" ? 60000.0 : unit == "ms" ? 1.0 : 1000.0;
    return std::llround(*value * msPerUnit);
}

std::optional<uint16_t> ReadAddress(std::string_view text, const char* what, std::string* refusal) {
    const WholeRule rule{what, 0, kRegisterImageSize - 1, "ADDR", "", WholeForm::Any, true};
    const auto value = ReadWhole(text, rule, refusal);
    if (!value) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

std::optional<int> ReadComIndex(std::string_view text, std::string* refusal) {
    const auto index = ComIndexFromName(Trimmed(text));
    if (!index && refusal)
        *refusal = Refusal(text, "a COM port", "COM1 to COM" + std::to_string(kComPortCount));
    return index;
}

}  // namespace dmm
