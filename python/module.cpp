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

namespace dmm::python {
namespace {

using namespace pybind11::literals;
using headless::HeadlessBench;

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

// ---- the bench's parts --------------------------------------------------------------

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
template <typename Part>
std::string IdentifyPart(const Part& part, const py::object& com) {
    return Identify(part, com);
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
