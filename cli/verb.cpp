#include "cli/verb.h"

#include <QString>

#include <cctype>
#include <cmath>

namespace dmm::cli {

std::vector<VerbInfo> AllVerbs() {
    std::vector<VerbInfo> verbs;
    AddLinkVerbs(verbs);
    AddMeasureVerbs(verbs);
    AddChipVerbs(verbs);
    AddSwitchTestVerbs(verbs);
    AddInstrumentVerbs(verbs);
    AddCalibrationVerbs(verbs);
    AddConfigVerbs(verbs);
    AddDriftVerbs(verbs);
    return verbs;
}

bool ParseCliNumber(const std::string& text, int64_t& value) {
    std::string digits = text;
    int radix = 10;
    bool negative = false;
    if (!digits.empty() && digits[0] == '-') {
        negative = true;
        digits.erase(0, 1);
    }
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        radix = 16;
        digits.erase(0, 2);
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'b' || digits[1] == 'B')) {
        radix = 2;
        digits.erase(0, 2);
    } else if (digits.size() > 1 && (digits.back() == 'h' || digits.back() == 'H')) {
        radix = 16;
        digits.pop_back();
    }
    if (digits.empty() || digits.size() > 15) return false;
    int64_t v = 0;
    for (char c : digits) {
        int d;
        if (std::isdigit(static_cast<unsigned char>(c)))
            d = c - '0';
        else if (std::isxdigit(static_cast<unsigned char>(c)))
            d = std::toupper(c) - 'A' + 10;
        else
            return false;
        if (d >= radix) return false;
        v = v * radix + d;
    }
    value = negative ? -v : v;
    return true;
}

CLI::Validator CliNumber() {
    return CLI::Validator(
        [](std::string& text) {
            int64_t v = 0;
            return ParseCliNumber(text, v) ? std::string() : "not a number: " + text;
        },
        "NUMBER");
}

CLI::Validator WholeNumberIn(int64_t low, int64_t high, const std::string& what) {
    return CLI::Validator(
        [=](std::string& text) {
            int64_t v = 0;
            if (ParseCliNumber(text, v) && v >= low && v <= high) return std::string();
            return "must be a whole number of " + what + " from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not " + text;
        },
        std::to_string(low) + ".." + std::to_string(high));
}

bool ParseDecimal(const std::string& text, double& value) {
    bool ok = false;
    value = QString::fromStdString(text).toDouble(&ok);
    return ok && std::isfinite(value);
}

CLI::Validator NumberAboveZero(const std::string& what) {
    return CLI::Validator(
        [=](std::string& text) {
            double v = 0;
            if (ParseDecimal(text, v) && v > 0) return std::string();
            return "must be " + what + " above 0, not " + text;
        },
        "NUMBER");
}

}  // namespace dmm::cli
