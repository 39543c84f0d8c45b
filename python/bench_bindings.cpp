// dmmbench.Bench: the operations of an open bench, as dmmctl's verbs.
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

void DefineBench(py::module_& m) {
    py::class_<ScriptBench, std::shared_ptr<ScriptBench>> bench(m, "Bench", doc::kBench);
    bench
        .def(
            "close", [](ScriptBench& b) { b.Close(); }, doc::kClose)
        .def_property_readonly("closed", &ScriptBench::closed, "True once the bench is closed.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__",
             [](ScriptBench& b, const py::object&, const py::object&, const py::object&) {
                 b.Close();
                 return false;
             })
        .def("stop", &ScriptBench::Stop, doc::kStop)
        .def(
            "scan",
            [](ScriptBench& b) {
                return BoardDict(b.Value([](HeadlessBench& h) { return headless::ScanBoard(h); }));
            },
            doc::kScan)
        .def(
            "read",
            [](ScriptBench& b, const py::object& at, const py::object& n) {
                const uint16_t address = ScriptAddress(at, "address");
                const int64_t count = ScriptWhole(n, headless::kByteCountRule, "count");
                RefuseBlock(address, count);
                const std::vector<uint8_t> bytes = b.Value(
                    [=](HeadlessBench& h) { return headless::ReadChipBytes(h, address, count); });
                return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
            },
            "address"_a, "count"_a, doc::kRead)
        .def(
            "write",
            [](ScriptBench& b, const py::object& at, const py::object& data) {
                const uint16_t address = ScriptAddress(at, "address");
                // bytes, bytearray or a sequence of numbers: each item a byte.
                std::vector<headless::TypedNumber> bytes;
                for (const py::handle item : data) {
                    const int64_t byte = ScriptWhole(item, headless::kByteRule, "data");
                    bytes.push_back({byte, std::to_string(byte)});
                }
                if (bytes.size() > 255) Raise(headless::Refused("at most 255 bytes per write"));
                RefuseBlock(address, static_cast<int64_t>(bytes.size()));
                b.Value(
                    [&](HeadlessBench& h) { return headless::WriteChipBytes(h, address, bytes); });
            },
            "address"_a, "data"_a, doc::kWrite)
        .def(
            "reg",
            [](ScriptBench& b, const py::object& at, const py::object& byte) {
                const uint16_t address = ScriptAddress(at, "address");
                const int64_t value = ScriptWhole(byte, headless::kByteRule, "value");
                return static_cast<int>(b.Value([=](HeadlessBench& h) {
                    return headless::WriteChipRegister(h, address, value);
                }));
            },
            "address"_a, "value"_a, doc::kReg)
        .def(
            "chips",
            [](ScriptBench& b) {
                return b.Run([](HeadlessBench& h) { return headless::ListChips(h); });
            },
            doc::kChips)
        .def(
            "load",
            [](ScriptBench& b, const py::object& line) {
                const int64_t index = ScriptWhole(line, headless::kChipLineRule, "index");
                const headless::ChipSummary s = b.Value(
                    [=](HeadlessBench& h) { return headless::LoadChipDescription(h, index); });
                return py::dict("product_title"_a = s.productTitle,
                                "bit_registers"_a = s.bitRegisters, "pages"_a = s.pages,
                                "byte_registers"_a = s.byteRegisters,
                                "word_registers"_a = s.wordRegisters, "fields"_a = s.fields,
                                "summary"_a = headless::ChipSummaryText(s));
            },
            "index"_a, doc::kLoad)
        .def(
            "register_map",
            [](ScriptBench& b) {
                const QByteArray json =
                    b.Value([](HeadlessBench& h) { return headless::RegisterMapJson(h); });
                return py::module_::import("json").attr("loads")(
                    py::bytes(json.constData(), static_cast<size_t>(json.size())));
            },
            doc::kRegisterMap)
        .def_property_readonly(
            "fields", [](std::shared_ptr<ScriptBench> b) { return Fields{std::move(b)}; },
            doc::kFields)
        .def(
            "capture",
            [](ScriptBench& b, const py::object& points, const std::string& source, bool stream,
               const py::object& scale, const py::object& vref, const py::object& flagReg,
               const py::object& timeout, const std::string& window, const py::object& spectra,
               bool strict, const py::object& onProgress, const py::object& progress) {
                headless::CaptureRequest r;
                std::string refusal;
                const auto length = headless::ReadCaptureLength(Text(points), &refusal);
                if (!length) Raise(headless::Refused("points: " + refusal));
                r.points = *length;
                r.source = source;
                r.poll = !stream;
                r.scaleBits = ScriptWhole(scale, kResultBitsRule, "scale");
                r.vref = PlainDecimal(ScriptReal(vref, kReferenceVoltageRule, "vref"));
                if (!flagReg.is_none())
                    r.flagRegister =
                        ScriptAddress(flagReg, "flag_reg", "an interrupt-flag register");
                r.timeoutSeconds =
                    static_cast<double>(ScriptDurationMs(timeout, kCaptureTimeoutRule, "timeout")) /
                    1000.0;
                r.window = window;
                r.spectra = ScriptWhole(spectra, kSpectraRule, "spectra");
                r.withRecord = true;
                auto captured = std::make_shared<const headless::CaptureBlock>(
                    b.Value([r](HeadlessBench& h) { return headless::Capture(h, r); },
                            ReportingOf(onProgress, progress)));
                if (captured->failure) Raise(*captured->failure);
                if (strict) {
                    if (const auto severe = headless::StrictFailure(*captured)) Raise(*severe);
                }
                return Block{captured};
            },
            "points"_a = kDefaultCaptureLength, "source"_a = "adcs", py::kw_only(),
            "stream"_a = true, "scale"_a = kMaxResultBits, "vref"_a = 1.2,
            "flag_reg"_a = py::none(), "timeout"_a = 10.0, "window"_a = "rect", "spectra"_a = 1,
            "strict"_a = false, "on_progress"_a = py::none(), "progress"_a = py::none(),
            doc::kCapture)
        .def_property_readonly(
            "calibrator",
            [](std::shared_ptr<ScriptBench> b) {
                return Calibrator{{std::move(b), InstrumentId::Calibrator}};
            },
            doc::kCalibrator)
        .def_property_readonly(
            "power",
            [](std::shared_ptr<ScriptBench> b) {
                return PowerSupplyPart{{std::move(b), InstrumentId::PowerSupply}};
            },
            doc::kPower)
        .def_property_readonly(
            "chamber",
            [](std::shared_ptr<ScriptBench> b) {
                return ChamberPart{{std::move(b), InstrumentId::Chamber}};
            },
            doc::kChamber)
        .def_property_readonly(
            "meters", [](std::shared_ptr<ScriptBench> b) { return Meters{std::move(b)}; },
            doc::kMeters)
        .def(
            "identify",
            [](ScriptBench& b, const std::string& instrument, const std::string& com) {
                const InstrumentId id = instrument == "fluke" || instrument == "calibrator"
                                            ? InstrumentId::Calibrator
                                        : instrument == "power"   ? InstrumentId::PowerSupply
                                        : instrument == "chamber" ? InstrumentId::Chamber
                                                                  : static_cast<InstrumentId>(-1);
                if (static_cast<int>(id) < 0)
                    Raise(headless::Refused("no instrument " + instrument +
                                            " (fluke, power or chamber)"));
                return b.Value(
                    [=](HeadlessBench& h) { return headless::IdentifyInstrument(h, id, com); });
            },
            "instrument"_a, "com"_a, doc::kIdentify)
        .def(
            "ports",
            [](ScriptBench& b, const std::vector<std::string>& set,
               const std::vector<std::string>& clear) {
                const headless::PortListing listing =
                    b.Value([=](HeadlessBench& h) { return headless::Ports(h, set, clear); });
                py::list ports;
                for (size_t i = 0; i < listing.com.size(); ++i)
                    ports.append(py::dict(
                        "com"_a = "COM" + std::to_string(i + 1), "text"_a = listing.com[i].text,
                        "path"_a = listing.com[i].path.empty()
                                       ? py::object(py::none())
                                       : py::object(py::str(listing.com[i].path))));
                for (const SerialPortInfo& port : listing.unmapped)
                    ports.append(
                        py::dict("com"_a = py::none(), "text"_a = port.name, "path"_a = port.path));
                return ports;
            },
            py::kw_only(), "set"_a = std::vector<std::string>{},
            "clear"_a = std::vector<std::string>{}, doc::kPorts)
        .def(
            "config",
            [](ScriptBench& b) {
                const headless::BenchConfiguration c =
                    b.Run([](HeadlessBench& h) { return headless::ReadConfiguration(h); });
                return py::dict("settings"_a = c.settingsPath.empty()
                                                   ? py::object(py::none())
                                                   : py::object(py::str(c.settingsPath)),
                                "settings_used"_a = c.settingsUsed, "source"_a = c.source,
                                "chip"_a = c.chipIndex, "chip_name"_a = c.chipName,
                                "kind"_a = c.kind, "com"_a = c.com, "baud"_a = c.baud,
                                "parity"_a = c.parity, "lpt"_a = c.lptBase, "photo"_a = c.photo,
                                "variant"_a = c.variant ? py::object(py::str(*c.variant))
                                                        : py::object(py::none()));
            },
            doc::kConfig)
        .def(
            "drift",
            [](ScriptBench& b, const py::object& count, const py::object& start,
               const py::object& step, const py::object& soakMin, const py::object& modes,
               bool chamber, const std::string& measure, const std::string& source,
               const py::object& meters, const py::object& powerDelayMs, bool full, bool keepFluke,
               bool resume, const py::object& reconnectWaitMin, const py::object& onProgress,
               const py::object& progress) {
                headless::DriftRequest r;
                r.count = static_cast<int>(ScriptWhole(count, kPlanCountRule, "count"));
                r.start = ScriptReal(start, kPlanStartRule, "start");
                r.step = ScriptReal(step, kPlanStepRule, "step");
                r.soakMinutes =
                    static_cast<int>(ScriptWhole(soakMin, kSoakMinutesRule, "soak_min"));
                r.modes = static_cast<int>(ScriptWhole(modes, kModeCountRule, "modes"));
                r.withChamber = chamber;
                r.measure = measure;
                r.source = source;
                for (const py::handle channel : meters)
                    r.meters.push_back(static_cast<int>(
                        ScriptWhole(channel, headless::kDriftMeterRule, "meters")));
                r.powerDelayMs =
                    static_cast<int>(ScriptWhole(powerDelayMs, kPowerDelayRule, "power_delay_ms"));
                r.fullCaptures = full;
                r.keepCalibratorOn = keepFluke;
                r.resume = resume;
                if (!reconnectWaitMin.is_none())
                    r.reconnectWaitMinutes = static_cast<int>(
                        ScriptWhole(reconnectWaitMin, kReconnectWaitRule, "reconnect_wait_min"));
                ScriptHooks& hooks = b.hooks();
                DriftResult result{b.Value(
                    [r, &hooks](HeadlessBench& h) {
                        return headless::RunDrift(
                            h, r, [&hooks](const headless::Progress& p) { hooks.Line(p); });
                    },
                    ReportingOf(onProgress, progress))};
                if (result.run.failure) Raise(*result.run.failure);
                return result;
            },
            "count"_a = 5, "start"_a = -40.0, "step"_a = 10.0, "soak_min"_a = 20, py::kw_only(),
            "modes"_a = ModeTable::kStartModes, "chamber"_a = true, "measure"_a = "adc",
            "source"_a = "adcs", "meters"_a = py::tuple(), "power_delay_ms"_a = 2000,
            "full"_a = false, "keep_fluke"_a = false, "resume"_a = false,
            "reconnect_wait_min"_a = py::none(), "on_progress"_a = py::none(),
            "progress"_a = py::none(), doc::kDrift)
        .def(
            "counter",
            [](ScriptBench& b, const py::object& count, const py::object& range,
               const py::object& input, const py::object& cta2, const py::object& cta1,
               const py::object& clock, const py::object& q, const py::object& onProgress,
               const py::object& progress) {
                headless::CounterRequest r;
                r.count =
                    static_cast<int>(ScriptWhole(count, headless::kReadingCountRule, "count"));
                r.range = OptionalText(range).value_or("");
                r.input = OptionalText(input).value_or("");
                r.cta2 = ReloadByteText(cta2, "cta2");
                r.cta1 = ReloadByteText(cta1, "cta1");
                if (!clock.is_none())
                    r.clock = PlainDecimal(ScriptReal(clock, kSystemClockRule, "clock"));
                if (!q.is_none()) r.q = PlainDecimal(ScriptReal(q, kQFactorRule, "q"));
                ScriptHooks& hooks = b.hooks();
                const headless::CounterRun run = b.Value(
                    [r, &hooks](HeadlessBench& h) {
                        return headless::RunCounter(
                            h, r, [&hooks](const headless::Progress& p) { hooks.Line(p); });
                    },
                    ReportingOf(onProgress, progress));
                py::list readings;
                for (const CounterReading& reading : run.readings) {
                    readings.append(py::dict("frequency_hz"_a = CounterFigure(reading.frequency),
                                             "duty_percent"_a = CounterFigure(reading.duty),
                                             "high_time_us"_a = CounterFigure(reading.highTime),
                                             "q_per_f"_a = CounterFigure(reading.capacitance)));
                }
                return py::dict("gate"_a = run.gate, "readings"_a = readings);
            },
            "count"_a = 5, py::kw_only(), "range"_a = py::none(), "input"_a = py::none(),
            "cta2"_a = "C0", "cta1"_a = "00", "clock"_a = py::none(), "q"_a = py::none(),
            "on_progress"_a = py::none(), "progress"_a = py::none(), doc::kCounter)
        .def(
            "switch_test",
            [](ScriptBench& b, bool sendOnly, const py::object& csvDir, const py::object& scale,
               const py::object& timeout, const py::object& onProgress,
               const py::object& progress) {
                headless::SwitchTestRequest r;
                r.sendOnly = sendOnly;
                if (!csvDir.is_none()) r.csvDir = Path(csvDir);
                r.scaleBits = ScriptWhole(scale, kResultBitsRule, "scale");
                r.timeoutSeconds =
                    static_cast<double>(ScriptDurationMs(timeout, kCaptureTimeoutRule, "timeout")) /
                    1000.0;
                ScriptHooks& hooks = b.hooks();
                SwitchResult result{b.Value(
                    [r, &hooks](HeadlessBench& h) {
                        return headless::RunSwitchTest(
                            h, r, [&hooks](const headless::Progress& p) { hooks.Line(p); });
                    },
                    ReportingOf(onProgress, progress))};
                if (result.run.failure) Raise(*result.run.failure);
                return result;
            },
            py::kw_only(), "send_only"_a = false, "csv_dir"_a = py::none(),
            "scale"_a = kMaxResultBits, "timeout"_a = 600.0, "on_progress"_a = py::none(),
            "progress"_a = py::none(), doc::kSwitchTest)
        .def(
            "rescal",
            [](ScriptBench& b, const py::object& step, const py::object& calVolts) {
                const std::string which = Text(step);
                int n = -1;
                if (which == "auto")
                    n = 0;
                else if (which.size() == 1 && which[0] >= '1' && which[0] <= '4')
                    n = which[0] - '0';
                if (n < 0)
                    Raise(headless::Refused("a resistor step is auto or 1..4, not " + which));
                std::optional<std::string> volts;
                if (!calVolts.is_none())
                    volts =
                        PlainDecimal(ScriptReal(calVolts, kCalibrationVoltageRule, "cal_volts"));
                const headless::ResistorRun run = b.Value(
                    [=](HeadlessBench& h) { return headless::CalibrateResistors(h, n, volts); });
                if (run.failure) Raise(*run.failure);
                py::dict d("R1M"_a = run.resistors[0], "R100K"_a = run.resistors[1],
                           "R10K"_a = run.resistors[2], "R1K"_a = run.resistors[3]);
                d["volts_per_count"] = run.voltsPerCount
                                           ? py::object(py::float_(*run.voltsPerCount))
                                           : py::object(py::none());
                return d;
            },
            "step"_a = "auto", py::kw_only(), "cal_volts"_a = py::none(), doc::kRescal)
        .def(
            "volts",
            [](ScriptBench& b, const std::string& range, const py::object& n,
               const py::object& eptc) {
                const int r = headless::VoltmeterRangeOf(range).value_or(-1);
                const int count =
                    static_cast<int>(ScriptWhole(n, headless::kReadingCountRule, "count"));
                const std::string eptcText = PlainDecimal(ScriptReal(eptc, kEptcRule, "eptc"));
                const headless::LiveRun run = b.Value(
                    [=](HeadlessBench& h) { return headless::ReadVolts(h, r, count, eptcText); });
                if (run.failure) Raise(*run.failure);
                return run.readings;
            },
            "range"_a, py::kw_only(), "count"_a = 5, "eptc"_a = 8000, doc::kVolts)
        .def(
            "ohms",
            [](ScriptBench& b, const std::string& range, const py::object& n,
               const py::object& cal) {
                const int r = headless::OhmmeterRangeOf(range).value_or(-1);
                const int count =
                    static_cast<int>(ScriptWhole(n, headless::kReadingCountRule, "count"));
                std::optional<std::string> calText;
                if (!cal.is_none())
                    calText = PlainDecimal(ScriptReal(cal, kCalibrationResistorRule, "cal"));
                const headless::LiveRun run = b.Value(
                    [=](HeadlessBench& h) { return headless::ReadOhms(h, r, count, calText); });
                if (run.failure) Raise(*run.failure);
                return py::dict("readings"_a = run.readings,
                                "factor"_a = run.factor ? py::object(py::float_(*run.factor))
                                                        : py::object(py::none()));
            },
            "range"_a, py::kw_only(), "count"_a = 5, "cal"_a = py::none(), doc::kOhms)
        .def(
            "calsets",
            [](std::shared_ptr<ScriptBench> b, const py::object& folder) {
                return CalSets{std::move(b), folder.is_none() ? std::string() : Path(folder)};
            },
            "folder"_a = py::none(), doc::kCalSets);
    bench.attr("__module__") = "dmmbench";
}

}  // namespace dmm::python
