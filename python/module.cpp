// The dmmbench Python module: the bench of dmmctl (headless/) for scripts and notebooks.
// Bindings only: every operation is headless/'s, with its checks and messages.
#include <dlfcn.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <QDir>
#include <QFileInfo>

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
namespace {

// Where the shipped chip descriptions are for this module: <prefix>/share/dmmbench
// beside an installed module (<prefix>/lib/python3*/.../dmmbench/), else where the
// programs look.
QString ShippedData() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ShippedData), &info) == 0 || !info.dli_fname)
        return ShippedDataDirectory();
    const QString moduleDir = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    return ShippedDataDirectory(QDir(moduleDir).absoluteFilePath(QStringLiteral("../../..")));
}
std::shared_ptr<ScriptBench> Open(bool sim, const py::object& dir, const py::object& kind,
                                  const py::object& lpt, const py::object& photo,
                                  const py::object& com, const py::object& baud,
                                  const py::object& parity, bool simHid, const py::object& simChip,
                                  const py::object& simTone, const py::object& simHarmonics,
                                  const py::object& simRx, const py::object& simSpeed,
                                  bool simNoiseless, const py::object& simSeed,
                                  const py::object& simFault, const py::object& simLog,
                                  const py::object& simLatencyMs) {
    headless::BenchOptions o;
    o.sim = sim || simHid || !simChip.is_none();
    o.hid = simHid;
    if (!simChip.is_none()) o.simChip = Text(simChip);
    if (!dir.is_none()) o.dir = py::str(py::module_::import("os").attr("fspath")(dir));
    if (!kind.is_none()) {
        const auto k = headless::InterfaceKindNamed(Text(kind));
        if (!k) Raise(k.failure());
        o.kind = *k;
        o.kindGiven = true;
    }
    if (!lpt.is_none()) {
        const auto base = headless::LptBaseOf(ScriptWhole(lpt, headless::kPortBaseRule, "lpt"));
        if (!base) Raise(base.failure());
        o.lptBase = *base;
        o.lptGiven = true;
    }
    if (!photo.is_none()) {
        o.photo = photo.cast<bool>();
        o.photoGiven = true;
    }
    if (!com.is_none()) o.com = Text(com);
    if (!baud.is_none()) {
        o.baud = static_cast<int>(ScriptWhole(baud, headless::kBaudRule, "baud"));
        o.baudGiven = true;
    }
    if (!parity.is_none()) {
        const auto p = headless::ParityNamed(Text(parity));
        if (!p) Raise(p.failure());
        o.parityIndex = *p;
        o.parityGiven = true;
    }
    o.simTone = OptionalText(simTone).value_or("");
    o.simHarmonics = OptionalText(simHarmonics).value_or("");
    o.simRx = OptionalText(simRx).value_or("");
    o.simSpeed = ScriptReal(simSpeed, headless::kSimSpeedRule, "sim_speed");
    o.simNoiseless = simNoiseless;
    o.simSeed = OptionalText(simSeed).value_or("");
    // One fault text, or a sequence of them as --sim-fault given again.
    if (py::isinstance<py::str>(simFault))
        o.simFaults.push_back(Text(simFault));
    else if (!simFault.is_none())
        for (const py::handle fault : simFault)
            o.simFaults.push_back(Text(py::reinterpret_borrow<py::object>(fault)));
    if (!simLog.is_none()) o.simLog = py::str(py::module_::import("os").attr("fspath")(simLog));
    if (!simLatencyMs.is_none())
        o.simLatencyMs = ScriptWhole(simLatencyMs, headless::kSimLatencyRule, "sim_latency_ms");
    if (const headless::Done ok = headless::CheckBenchOptions(o); !ok) Raise(ok.failure());
    return std::make_shared<ScriptBench>(o, ShippedData());
}

}  // namespace
}  // namespace dmm::python

PYBIND11_MODULE(_dmmbench, m) {
    using namespace dmm::python;
    m.doc() = doc::kModule;
    MakeExceptions(m);
    DefineResults(m);
    DefineParts(m);
    DefineBench(m);
    m.def("open", &Open, py::kw_only(), "sim"_a = false, "dir"_a = py::none(),
          "kind"_a = py::none(), "lpt"_a = py::none(), "photo"_a = py::none(), "com"_a = py::none(),
          "baud"_a = py::none(), "parity"_a = py::none(), "sim_hid"_a = false,
          "sim_chip"_a = py::none(), "sim_tone"_a = py::none(), "sim_harmonics"_a = py::none(),
          "sim_rx"_a = py::none(), "sim_speed"_a = 1.0, "sim_noiseless"_a = false,
          "sim_seed"_a = py::none(), "sim_fault"_a = py::none(), "sim_log"_a = py::none(),
          "sim_latency_ms"_a = py::none(), doc::kOpen);
}
