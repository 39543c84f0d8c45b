#include "python/script_numbers.h"

#include <optional>
#include <string>

#include "headless/failure.h"
#include "python/script_bench.h"

namespace dmm::python {
namespace {

// The text of what the script gave: a number as Python writes it (repr for floats keeps
// every digit), text as it is.
std::string TextOf(const py::handle& value) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    return py::repr(value).cast<std::string>();
}

template <typename T, typename Read>
T Checked(const py::handle& value, const char* name, Read read) {
    std::string refusal;
    const std::optional<T> read_value = read(TextOf(value), refusal);
    if (!read_value) Raise(headless::Refused(std::string(name) + ": " + refusal));
    return *read_value;
}

}  // namespace

int64_t ScriptWhole(const py::handle& value, const WholeRule& rule, const char* name) {
    return Checked<int64_t>(value, name, [&rule](const std::string& text, std::string& why) {
        return ReadWhole(text, rule, &why);
    });
}

double ScriptReal(const py::handle& value, const RealRule& rule, const char* name) {
    return Checked<double>(value, name, [&rule](const std::string& text, std::string& why) {
        return ReadReal(text, rule, &why);
    });
}

int64_t ScriptDurationMs(const py::handle& value, const DurationRule& rule, const char* name) {
    return Checked<int64_t>(value, name, [&rule](const std::string& text, std::string& why) {
        return ReadDuration(text, rule, &why);
    });
}

uint16_t ScriptAddress(const py::handle& value, const char* name, const char* what) {
    return Checked<uint16_t>(value, name, [what](const std::string& text, std::string& why) {
        return ReadAddress(text, what, &why);
    });
}

}  // namespace dmm::python
