// The bench's parts a script reaches through a Bench: fields, instruments, calibration sets.
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

void DefineParts(py::module_& m) {
    py::class_<Fields> fields(m, "Fields", doc::kFieldsClass);
    fields
        .def("__getitem__",
             [](const Fields& f, const std::string& name) {
                 return f.bench->Value([name](HeadlessBench& h) {
                     return headless::AccessField(h, name, std::nullopt);
                 });
             })
        .def("__setitem__",
             [](const Fields& f, const std::string& name, const py::object& v) {
                 const int64_t value = ScriptWhole(v, headless::kFieldValueRule, "value");
                 f.bench->Value([name, value](HeadlessBench& h) {
                     return headless::AccessField(h, name, value);
                 });
             })
        .def(
            "write",
            [](const Fields& f, const std::string& name, const py::object& v) {
                const int64_t value = ScriptWhole(v, headless::kFieldValueRule, "value");
                return f.bench->Value([name, value](HeadlessBench& h) {
                    return headless::AccessField(h, name, value);
                });
            },
            "name"_a, "value"_a, "Writes a field and returns what the chip holds afterwards.")
        .def(
            "keys",
            [](const Fields& f) {
                return f.bench->Value(
                    [](HeadlessBench& h) { return headless::BoundFieldNames(h); });
            },
            "The names of the fields the loaded chip binds.")
        .def("__iter__",
             [](const Fields& f) {
                 return py::iter(py::cast(f.bench->Value(
                     [](HeadlessBench& h) { return headless::BoundFieldNames(h); })));
             })
        .def("__len__",
             [](const Fields& f) {
                 return f.bench
                     ->Value([](HeadlessBench& h) { return headless::BoundFieldNames(h); })
                     .size();
             })
        .def("__contains__", [](const Fields& f, const std::string& name) {
            const std::vector<std::string> names =
                f.bench->Value([](HeadlessBench& h) { return headless::BoundFieldNames(h); });
            return std::find(names.begin(), names.end(), name) != names.end();
        });
    fields.attr("__module__") = "dmmbench";

    py::class_<MeterReading> reading(m, "MeterReading", "A reference meter's reading.");
    reading.def_readonly("value", &MeterReading::value, "The value; None when the meter shows OL.")
        .def_readonly("unit", &MeterReading::unit, "Its unit as the meter shows it (\"V\", ...).")
        .def("__iter__",
             [](const MeterReading& r) { return py::iter(py::make_tuple(r.value, r.unit)); })
        .def("__str__",
             [](const MeterReading& r) {
                 return headless::MeterReadingText({r.value, r.unit});
             })
        .def("__repr__", [](const MeterReading& r) {
            return "MeterReading(" + py::repr(py::cast(r.value)).cast<std::string>() + ", " +
                   py::repr(py::str(r.unit)).cast<std::string>() + ")";
        });
    reading.attr("__module__") = "dmmbench";

    py::class_<Calibrator> calibrator(m, "Calibrator", doc::kCalibratorClass);
    calibrator
        .def("identify", &IdentifyPart<Calibrator>, "com"_a = py::none(), doc::kIdentifyInstrument)
        .def(
            "send",
            [](const Calibrator& i, const std::string& text, const py::object& com) {
                const std::string port = OptionalText(com).value_or("");
                return i.bench->Value([text, port](HeadlessBench& h) {
                    return headless::CalibratorCommand(h, text, port);
                });
            },
            "text"_a, py::kw_only(), "com"_a = py::none(), doc::kCalibratorSend);
    calibrator.attr("__module__") = "dmmbench";

    py::class_<PowerSupplyPart> power(m, "PowerSupply", doc::kPowerClass);
    power
        .def("identify", &IdentifyPart<PowerSupplyPart>, "com"_a = py::none(),
             doc::kIdentifyInstrument)
        .def(
            "send",
            [](const PowerSupplyPart& i, const std::string& text, bool step,
               const py::object& com) {
                const std::string port = OptionalText(com).value_or("");
                return i.bench->Value([text, step, port](HeadlessBench& h) {
                    return headless::PowerCommand(h, text, step, port);
                });
            },
            "text"_a, py::kw_only(), "step"_a = false, "com"_a = py::none(), doc::kPowerSend);
    power.attr("__module__") = "dmmbench";

    py::class_<ChamberPart> chamber(m, "Chamber", doc::kChamberClass);
    chamber
        .def("identify", &IdentifyPart<ChamberPart>, "com"_a = py::none(), doc::kIdentifyInstrument)
        .def(
            "run",
            [](const ChamberPart& i) {
                i.bench->Value([](HeadlessBench& h) { return headless::ChamberRun(h); });
            },
            "Starts the climate chamber.")
        .def(
            "stop",
            [](const ChamberPart& i) {
                i.bench->Value([](HeadlessBench& h) { return headless::ChamberStop(h); });
            },
            "Stops the climate chamber.")
        .def(
            "set",
            [](const ChamberPart& i, const py::object& t, const py::object& h, const py::object& r,
               const py::object& hr) {
                const double celsius = ScriptReal(t, kChamberTemperatureRule, "celsius");
                const double humidity = ScriptReal(h, kChamberHumidityRule, "humidity");
                const double ramp = ScriptReal(r, kChamberTemperatureRampRule, "ramp");
                const double humidityRamp =
                    ScriptReal(hr, kChamberHumidityRampRule, "humidity_ramp");
                i.bench->Value([=](HeadlessBench& h) {
                    return headless::ChamberSetPoints(h, celsius, humidity, ramp, humidityRamp);
                });
            },
            "celsius"_a, "humidity"_a, "ramp"_a = 0.0, "humidity_ramp"_a = 5.0, doc::kChamberSet)
        .def(
            "read",
            [](const ChamberPart& i) {
                const headless::ChamberReading r =
                    i.bench->Value([](HeadlessBench& h) { return headless::ChamberRead(h); });
                return py::dict("celsius"_a = r.celsius, "set_point"_a = r.setPointCelsius,
                                "humidity"_a = r.humidity);
            },
            doc::kChamberRead);
    chamber.attr("__module__") = "dmmbench";

    py::class_<MeterPart> meter(m, "Meter", doc::kMeterClass);
    meter.def("identify", &IdentifyPart<MeterPart>, "com"_a = py::none(), doc::kIdentifyInstrument)
        .def(
            "read",
            [](const MeterPart& i, const py::object& count, const py::object& com) -> py::object {
                const int channel =
                    static_cast<int>(i.id) - static_cast<int>(InstrumentId::FirstMeter);
                const int n = count.is_none() ? 1
                                              : static_cast<int>(ScriptWhole(
                                                    count, headless::kReadingCountRule, "count"));
                const std::string port = OptionalText(com).value_or("");
                const auto readings = i.bench->Value(
                    [=](HeadlessBench& h) { return headless::MeterReadings(h, channel, n, port); });
                std::vector<MeterReading> list;
                for (const auto& r : readings) {
                    if (!r) Raise(headless::InstrumentFailure(headless::MeterSilentText(channel)));
                    list.push_back(MeterReadingOf(*r));
                }
                if (count.is_none()) return py::cast(list.front());
                return py::cast(list);
            },
            "count"_a = py::none(), py::kw_only(), "com"_a = py::none(), doc::kMeterRead);
    meter.attr("__module__") = "dmmbench";

    py::class_<Meters> meters(m, "Meters",
                              "The six reference meter channels: meters[0]..meters[5].");
    meters
        .def("__getitem__",
             [](const Meters& ms, const py::object& index) {
                 std::string refusal;
                 const auto channel = py::isinstance<py::int_>(index)
                                          ? ReadWhole(py::repr(index).cast<std::string>(),
                                                      headless::kMeterChannelRule, &refusal)
                                          : std::nullopt;
                 if (!channel) throw py::index_error("channel: " + refusal);
                 return MeterPart{{ms.bench, MeterId(static_cast<int>(*channel))}};
             })
        .def("__len__", [](const Meters&) { return kMeterChannelCount; });
    meters.attr("__module__") = "dmmbench";

    py::class_<CalSets> sets(m, "CalSets", doc::kCalSetsClass);
    sets.def(
            "list",
            [](const CalSets& s) {
                const auto listed = s.bench->Value([folder = s.folder](HeadlessBench& h) {
                    return headless::ListCalSets(h, folder);
                });
                py::list list;
                for (size_t n = 0; n < listed.size(); ++n) {
                    const char* state = listed[n].state == SlotState::Set          ? "set"
                                        : listed[n].state == SlotState::Unreadable ? "unreadable"
                                                                                   : "empty";
                    list.append(py::dict("slot"_a = n, "caption"_a = listed[n].caption,
                                         "state"_a = state, "path"_a = listed[n].path,
                                         "fault"_a = listed[n].fault));
                }
                return list;
            },
            "The ten slots: caption, state (set, empty, unreadable), file and fault.")
        .def(
            "apply",
            [](const CalSets& s, const py::object& n) {
                const int slot =
                    static_cast<int>(ScriptWhole(n, headless::kCalSetSlotRule, "slot"));
                const auto applied = s.bench->Value([folder = s.folder, slot](HeadlessBench& h) {
                    return headless::ApplyCalSet(h, folder, slot);
                });
                return py::dict("name"_a = applied.name, "path"_a = applied.path);
            },
            "slot"_a, "Writes the set of a slot to the chip; its name and file.")
        .def(
            "offset",
            [](const CalSets& s, const py::object& n, bool replace) {
                const int slot =
                    static_cast<int>(ScriptWhole(n, headless::kCalSetSlotRule, "slot"));
                return s.bench->Value([folder = s.folder, slot, replace](HeadlessBench& h) {
                    return headless::MeasureCalSet(h, folder, slot, false, replace);
                });
            },
            "slot"_a, py::kw_only(), "replace"_a = false, doc::kCalSetMeasure)
        .def(
            "gain",
            [](const CalSets& s, const py::object& n, bool replace) {
                const int slot =
                    static_cast<int>(ScriptWhole(n, headless::kCalSetSlotRule, "slot"));
                return s.bench->Value([folder = s.folder, slot, replace](HeadlessBench& h) {
                    return headless::MeasureCalSet(h, folder, slot, true, replace);
                });
            },
            "slot"_a, py::kw_only(), "replace"_a = false, doc::kCalSetMeasure)
        .def(
            "save",
            [](const CalSets& s, const py::object& slot, bool replace) {
                std::optional<int> into;
                if (!slot.is_none())
                    into = static_cast<int>(ScriptWhole(slot, headless::kCalSetSlotRule, "slot"));
                const auto saved =
                    s.bench->Value([folder = s.folder, into, replace](HeadlessBench& h) {
                        return headless::SaveCalSet(h, folder, into, replace);
                    });
                return py::dict("slot"_a = saved.slot, "path"_a = saved.path);
            },
            "slot"_a = py::none(), py::kw_only(), "replace"_a = false, doc::kCalSetSave);
    sets.attr("__module__") = "dmmbench";
}

}  // namespace dmm::python
