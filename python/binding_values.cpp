// Conversions between Python values and the bench's, shared by the binding files.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>


#include "core/app/bench_directory.h"
#include "core/instruments/chamber_frames.h"
#include "core/measure/block_figures.h"
#include "core/measure/capture_settings.h"
#include "core/measure/drift_plan.h"
#include "core/measure/figure_table.h"
#include "core/measure/mode_table.h"
#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"
#include "headless/calibration_operations.h"
#include "headless/capture_operation.h"
#include "headless/chip_operations.h"
#include "headless/config_operation.h"
#include "headless/counter_operation.h"
#include "headless/drift_operation.h"
#include "headless/instrument_operations.h"
#include "headless/link_operations.h"
#include "headless/number_rules.h"
#include "headless/switch_test_operation.h"
#include "python/docstrings.h"
#include "python/script_bench.h"
#include "python/script_numbers.h"

#include "python/bindings.h"

namespace dmm::python {

// A value the caller gave as a number or as text, as text ("4.7k", 4700 -> "4700").
std::string Text(const py::object& value) {
    return py::str(value).cast<std::string>();
}

std::optional<std::string> OptionalText(const py::object& value) {
    if (value.is_none()) return std::nullopt;
    return Text(value);
}

// A block of count bytes from address that does not fit the chip, refused as dmmctl
// refuses it.
void RefuseBlock(int64_t address, int64_t count) {
    const std::string refusal = headless::BlockRefusal(address, count);
    if (!refusal.empty()) Raise(headless::Refused(refusal));
}

std::string Path(const py::object& path) {
    return py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>();
}

Reporting ReportingOf(const py::object& onProgress, const py::object& bar) {
    return {onProgress, bar};
}

py::object Figure(const FigureRow& row) {
    return row.value ? py::object(py::float_(*row.value)) : py::object(py::none());
}

// A counter figure as a number; None for the dashes of one that has none.
py::object CounterFigure(const std::optional<QString>& text) {
    bool ok = false;
    const double value = text ? text->trimmed().toDouble(&ok) : 0.0;
    return ok ? py::object(py::float_(value)) : py::object(py::none());
}

// A reload byte as the counter window takes it: two hexadecimal digits.
std::string ReloadByteText(const py::object& value, const char* name) {
    return QStringLiteral("%1")
        .arg(ScriptWhole(value, kReloadByteRule, name), 2, 16, QLatin1Char('0'))
        .toUpper()
        .toStdString();
}

py::list Strings(const std::vector<QString>& texts) {
    py::list list;
    for (const QString& t : texts) list.append(t.toStdString());
    return list;
}

py::dict BoardDict(const headless::BoardDescription& b) {
    py::dict d;
    d["connection"] = b.hid ? "hid" : "bulk";
    d["device"] = b.deviceName;
    d["vendor_id"] = b.vendorId;
    d["product_id"] = b.productId;
    if (b.hid) {
        d["release"] = b.release;
        d["report_length"] = b.reportLength;
    } else {
        d["pipe_in"] = b.pipeIn;
        d["pipe_out"] = b.pipeOut;
        d["packet_size"] = b.packetSize;
    }
    d["info"] = b.info;
    return d;
}

MeterReading MeterReadingOf(const headless::MeterReading& r) {
    return {r.value, r.unit};
}

// The identification on a port (empty: the simulated bench's port of the instrument).
std::string Identify(const Instrument& i, const py::object& com) {
    const std::string port = OptionalText(com).value_or("");
    const InstrumentId id = i.id;
    return i.bench->Value(
        [id, port](HeadlessBench& h) { return headless::IdentifyInstrument(h, id, port); });
}

}  // namespace dmm::python
