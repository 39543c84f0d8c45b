// What the operations return: progress, captured blocks, drift and switch-test runs.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QDir>

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

void DefineResults(py::module_& m) {
    py::class_<headless::Progress> progress(m, "Progress", doc::kProgress);
    progress.def_readonly("done", &headless::Progress::done)
        .def_readonly("total", &headless::Progress::total)
        .def_readonly("text", &headless::Progress::text)
        .def("__str__", [](const headless::Progress& p) { return p.text; })
        .def("__repr__", [](const headless::Progress& p) {
            return "Progress(" + std::to_string(p.done) + ", " + std::to_string(p.total) + ", " +
                   py::repr(py::str(p.text)).cast<std::string>() + ")";
        });
    progress.attr("__module__") = "dmmbench";

    py::class_<Block> block(m, "Block", doc::kBlock);
    block
        .def_property_readonly(
            "samples",
            [](py::object self) {
                const Block& b = self.cast<const Block&>();
                const std::vector<double>& samples = b.block->samples;
                // A view of the block's own samples: no copy, kept alive by the block.
                py::array_t<double> array(static_cast<py::ssize_t>(samples.size()), samples.data(),
                                          self);
                array.attr("setflags")("write"_a = false);
                return array;
            },
            doc::kSamples)
        .def_property_readonly(
            "figures",
            [](const Block& b) {
                py::dict d;
                for (const FigureRow& row : headless::ShownFigures(b.block->outcome))
                    d[py::str(row.key)] = Figure(row);
                return d;
            },
            doc::kFigures)
        .def_property_readonly(
            "withheld",
            [](const Block& b) {
                py::dict d;
                for (const FigureRow& row : headless::ShownFigures(b.block->outcome)) {
                    if (!row.value) d[py::str(row.key)] = row.withheld.toStdString();
                }
                return d;
            },
            "Why each figure that has no value (None in figures) has none.")
        .def_property_readonly(
            "units",
            [](const Block& b) {
                py::dict d;
                for (const FigureRow& row : headless::ShownFigures(b.block->outcome))
                    d[py::str(row.key)] = row.unit.toStdString();
                return d;
            },
            "The unit of each figure (empty where it has none).")
        .def_property_readonly(
            "warnings",
            [](const Block& b) {
                py::list list;
                for (FigureWarning w : b.block->outcome.warnings)
                    list.append(WarningText(w).toStdString());
                return list;
            },
            "What makes the figures mean little (saturated, no noise, ...).")
        .def_property_readonly(
            "record",
            [](Block& b) {
                if (b.record.is_none())
                    b.record = py::module_::import("json").attr("loads")(py::bytes(
                        b.block->record.constData(), static_cast<size_t>(b.block->record.size())));
                return b.record;
            },
            doc::kRecord)
        .def_property_readonly(
            "captured", [](const Block& b) { return b.block->outcome.captured; }, "Samples taken.")
        .def_property_readonly(
            "source",
            [](const Block& b) { return std::string(SourceInfo(b.block->outcome.source).caption); },
            "The result register captured: ADCS, ADCF, AVG or RMS.")
        .def_property_readonly(
            "stream", [](const Block& b) { return b.block->outcome.stream; },
            "True when taken through the board's stream (else by polling).")
        .def_property_readonly(
            "elapsed_ms", [](const Block& b) { return b.block->outcome.elapsedMs; },
            "How long the capture took, in milliseconds of the bench's clock.")
        .def_property_readonly(
            "divisor", [](const Block& b) { return b.block->divisor; },
            "D = 2^(24 - scale): results divided by it give the samples.")
        .def_property_readonly(
            "scale", [](const Block& b) { return b.block->resultBits; },
            "The result bits b of the scale.")
        .def_property_readonly(
            "analysis_bits", [](const Block& b) { return b.block->analysisBits; },
            "B, the bit count of the ENOB formulas.")
        .def(
            "save_csv",
            [](const Block& b, const py::object& path) {
                const QString decimal = QString::fromStdString(
                    py::str(py::module_::import("os").attr("fspath")(path)).cast<std::string>());
                headless::Result<std::vector<QString>> saved = [&] {
                    py::gil_scoped_release release;
                    return headless::SaveCaptureBlock(*b.block, decimal);
                }();
                if (!saved) Raise(saved.failure());
                return Strings(*saved);
            },
            "path"_a, doc::kSaveCsv)
        .def("__len__", [](const Block& b) { return b.block->samples.size(); })
        .def("__str__",
             [](const Block& b) {
                 return headless::CaptureLine(b.block->outcome) + "\n" +
                        headless::FigureTableText(b.block->outcome);
             })
        .def("__repr__", [](const Block& b) {
            return "<dmmbench.Block " + headless::CaptureLine(b.block->outcome) + ">";
        });
    block.attr("__module__") = "dmmbench";

    py::class_<DriftResult> drift(m, "DriftRun", doc::kDriftRun);
    drift
        .def_property_readonly(
            "outcome", [](const DriftResult& d) { return d.run.outcomeText; },
            "How the run ended: \"Done: 2 steps of 2 modes\".")
        .def_property_readonly(
            "steps", [](const DriftResult& d) { return d.run.outcome.steps; },
            "Temperatures of the plan.")
        .def_property_readonly(
            "modes", [](const DriftResult& d) { return d.run.outcome.modes; },
            "Modes measured at each temperature.")
        .def_property_readonly(
            "measured", [](const DriftResult& d) { return d.run.outcome.measured; },
            "Step-and-mode cells that got figures.")
        .def_property_readonly(
            "gaps", [](const DriftResult& d) { return d.run.outcome.gaps; },
            "Links that dropped during the run and came back (VzTEMP.gaps lists them).")
        .def_property_readonly(
            "files",
            [](const DriftResult& d) {
                py::list list;
                for (const QString& name : d.run.outcome.written)
                    list.append(QDir(d.run.folder).filePath(name).toStdString());
                return list;
            },
            "The result files written (VzTEMPB.CSV, VzTEMPA.CSV, ...).")
        .def("__repr__",
             [](const DriftResult& d) { return "<dmmbench.DriftRun " + d.run.outcomeText + ">"; });
    drift.attr("__module__") = "dmmbench";

    py::class_<SwitchResult> sw(m, "SwitchTestRun", doc::kSwitchTestRun);
    sw.def_property_readonly(
          "samples_read", [](const SwitchResult& r) { return r.run.samplesRead; },
          "Samples the firmware handed out.")
        .def_property_readonly(
            "tables",
            [](const SwitchResult& r) {
                py::list list;
                for (const auto& t : r.run.tables)
                    list.append(
                        py::dict("channel"_a = t.channel,
                                 "samples"_a = py::array_t<double>(
                                     static_cast<py::ssize_t>(t.samples.size()), t.samples.data()),
                                 "mean"_a = t.mean));
                return list;
            },
            "One table per ticked channel: channel (1..8), samples, mean.")
        .def_property_readonly(
            "folder", [](const SwitchResult& r) { return r.run.folder.toStdString(); },
            "Where VzADCSW0.CSV..VzADCSW7.CSV were written.");
    sw.attr("__module__") = "dmmbench";
}

}  // namespace dmm::python
