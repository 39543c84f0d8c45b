// What the module's binding files share: the objects scripts hold besides the bench, and
// the conversions between Python values and the bench's.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/measure/figure_table.h"
#include "headless/capture_operation.h"
#include "headless/drift_operation.h"
#include "headless/instrument_operations.h"
#include "headless/link_operations.h"
#include "headless/switch_test_operation.h"
#include "python/script_bench.h"

namespace dmm::python {

using namespace pybind11::literals;
using headless::HeadlessBench;

// The named fields of the loaded chip, read from and written to the chip.
struct Fields {
    std::shared_ptr<ScriptBench> bench;
};

// A bench instrument: the calibrator, the power supply, the chamber or a meter channel.
struct Instrument {
    std::shared_ptr<ScriptBench> bench;
    InstrumentId id;
};
struct Calibrator : Instrument {};
struct PowerSupplyPart : Instrument {};
struct ChamberPart : Instrument {};
struct MeterPart : Instrument {};

// A reference meter's reading: its value (None when the meter shows OL) and unit.
struct MeterReading {
    std::optional<double> value;
    std::string unit;
};

struct Meters {
    std::shared_ptr<ScriptBench> bench;
};

// The calibration sets of a folder.
struct CalSets {
    std::shared_ptr<ScriptBench> bench;
    std::string folder;
};

// A captured block, independent of the bench.
struct Block {
    std::shared_ptr<const headless::CaptureBlock> block;
    py::object record = py::none();
};

struct DriftResult {
    headless::DriftRun run;
};

struct SwitchResult {
    headless::SwitchTestRun run;
};

// A value the caller gave as a number or as text, as text ("4.7k", 4700 -> "4700").
std::string Text(const py::object& value);
std::optional<std::string> OptionalText(const py::object& value);
// A block of count bytes from address that does not fit the chip, refused as dmmctl
// refuses it.
void RefuseBlock(int64_t address, int64_t count);
std::string Path(const py::object& path);
Reporting ReportingOf(const py::object& onProgress, const py::object& bar);

py::object Figure(const FigureRow& row);
// A counter figure as a number; None for the dashes of one that has none.
py::object CounterFigure(const std::optional<QString>& text);
// A reload byte as the counter window takes it: two hexadecimal digits.
std::string ReloadByteText(const py::object& value, const char* name);
py::list Strings(const std::vector<QString>& texts);
py::dict BoardDict(const headless::BoardDescription& b);
MeterReading MeterReadingOf(const headless::MeterReading& r);
// The identification on a port (empty: the simulated bench's port of the instrument).
std::string Identify(const Instrument& i, const py::object& com);
template <typename Part>
std::string IdentifyPart(const Part& part, const py::object& com) {
    return Identify(part, com);
}

// The classes of each group, added to the module.
void DefineBench(py::module_& m);
void DefineParts(py::module_& m);
void DefineResults(py::module_& m);

}  // namespace dmm::python
