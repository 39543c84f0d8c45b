#include "cli/verb.h"

#include <QString>

#include <concepts>

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
    AddCounterVerbs(verbs);
    AddDriftVerbs(verbs);
    return verbs;
}

namespace {

std::string DecimalText(double value) {
    return PlainDecimal(value);
}
template <std::integral T>
std::string DecimalText(T value) {
    return std::to_string(value);
}

// A CLI11 transform over a core reader that gives the value as plain decimal text.
template <typename Read>
CLI::Validator Reader(Read read, std::string description) {
    return CLI::Validator(
        [read](std::string& text) {
            std::string refusal;
            const auto value = read(text, refusal);
            if (!value) return refusal;
            text = DecimalText(*value);
            return std::string();
        },
        std::move(description));
}

}  // namespace

CLI::Validator Whole(const WholeRule& rule) {
    return Reader(
        [rule](const std::string& t, std::string& why) { return ReadWhole(t, rule, &why); },
        RangeText(rule));
}

CLI::Validator Real(const RealRule& rule) {
    return Reader(
        [rule](const std::string& t, std::string& why) { return ReadReal(t, rule, &why); },
        RangeText(rule));
}

CLI::Validator Duration(const DurationRule& rule) {
    return Reader(
        [rule](const std::string& t, std::string& why) { return ReadDuration(t, rule, &why); },
        RangeText(rule));
}

CLI::Validator Address(const char* what) {
    return Reader(
        [what](const std::string& t, std::string& why) { return ReadAddress(t, what, &why); },
        "0x000..0x3FF");
}

CLI::Validator ComPort() {
    return CLI::Validator(
        [](std::string& text) {
            std::string refusal;
            return ReadComIndex(text, &refusal) ? std::string() : refusal;
        },
        "COM1..COM16");
}

CLI::Validator OneOf(const std::vector<std::string>& names, const char* what) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return CLI::Validator(
        [names, what, list](std::string& text) {
            for (const std::string& name : names) {
                if (QString::fromStdString(name).compare(QString::fromStdString(text),
                                                         Qt::CaseInsensitive) == 0) {
                    text = name;
                    return std::string();
                }
            }
            return Refusal(text, what, list);
        },
        list);
}

bool RefuseValue(Session& s, const std::string& refusal) {
    s.SetRefusedValue();
    return s.Fail(refusal);
}

}  // namespace dmm::cli
