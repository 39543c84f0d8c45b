#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>

#include "core/app/user_numbers.h"

// The numbers a script passes, read as dmmctl reads the same option or argument: by the
// same rule (core/app/user_numbers.h, headless/number_rules.h), refused in the same words
// with the argument's name in front, as RefusedError: "count: 0 is not a number of
// readings (1 ≤ N ≤ 100000)". A number may also be given as text ("0x5A", "4.7k" where
// the rule takes prefixes).
namespace dmm::python {

namespace py = pybind11;

int64_t ScriptWhole(const py::handle& value, const WholeRule& rule, const char* name);
double ScriptReal(const py::handle& value, const RealRule& rule, const char* name);
// Milliseconds, from a time in the rule's unit.
int64_t ScriptDurationMs(const py::handle& value, const DurationRule& rule, const char* name);
// A chip address 0x000..0x3FF; what says whose address.
uint16_t ScriptAddress(const py::handle& value, const char* name,
                       const char* what = "a chip address");

}  // namespace dmm::python
