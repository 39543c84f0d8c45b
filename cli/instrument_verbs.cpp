// Verbs of the bench instruments: ports, identify, fluke, power, chamber, meter.
#include <cmath>
#include <cstdio>

#include "cli/verb.h"
#include "core/instruments/chamber_frames.h"

namespace dmm::cli {

namespace {

// Identifies an instrument on a COM index (a meter: puts its channel there), with the
// setup dialog's messages; an instrument identified on another port is tried on this one.
bool IdentifyOn(Session& s, InstrumentId id, int index) {
    Instruments& instruments = s.instruments();
    bool ok = false;
    switch (id) {
        case InstrumentId::Calibrator:
            ok = instruments.calibrator().FlukeSelectClick(index);
            break;
        case InstrumentId::PowerSupply:
            ok = instruments.power().PowerSelectClick(index);
            break;
        case InstrumentId::Chamber:
            ok = instruments.chamber().ChamberSelectClick(index);
            break;
        default:
            ok =
                instruments.meter(static_cast<int>(id) - static_cast<int>(InstrumentId::FirstMeter))
                    .Select(index);
    }
    if (ok) return true;
    std::string why = s.hooks().Status(1);
    if (!s.hooks().Status(2).empty()) why += ": " + s.hooks().Status(2);
    return s.Fail(why);
}

}  // namespace

bool ConnectInstrument(Session& s, InstrumentId id, const std::string& com) {
    const SerialInstrument& instrument = s.instruments().Of(id);
    // Connected already: that port serves unless another one is named.
    if (instrument.connected() &&
        (com.empty() || ComIndexFromName(com) == instrument.record().comIndex))
        return true;
    const auto index = s.ComIndex(com, id);
    if (!index) return false;
    return IdentifyOn(s, id, *index);
}

namespace {

class PortsVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--set", set_, "assign a port: COMn=PORT (a by-id name, path or name)")
            ->check(CLI::Validator(
                [](std::string& text) {
                    const size_t eq = text.find('=');
                    std::string refusal;
                    if (eq == std::string::npos || eq + 1 >= text.size())
                        return "wants COMn=PORT, not " + text;
                    return ReadComIndex(text.substr(0, eq), &refusal) ? std::string() : refusal;
                },
                "COMn=PORT"));
        app.add_option("--clear", clear_, "give COMn back to the default order")->check(ComPort());
    }
    bool Run(Session& s) override {
        if (!set_.empty() || !clear_.empty()) {
            ComPortChoices choices = s.LoadComChoices();
            // Both were checked when the command line was read.
            for (const std::string& assignment : set_) {
                const size_t eq = assignment.find('=');
                choices.pinned[*ReadComIndex(assignment.substr(0, eq))] = assignment.substr(eq + 1);
            }
            for (const std::string& name : clear_) choices.pinned.erase(*ReadComIndex(name));
            if (!s.SaveComChoices(choices)) return false;
        }
        const ComPortMap map = s.core().serial().Map();
        for (int i = 0; i < kComPortCount; ++i) {
            s.out() << map.SelectorText(i);
            if (const auto& port = map.At(i).port) s.out() << "  " << port->path;
            s.out() << '\n';
        }
        for (const SerialPortInfo& port : map.Unmapped())
            s.out() << "(no COM index) " << port.name << "  " << port.path << '\n';
        return true;
    }

  private:
    std::vector<std::string> set_;
    std::vector<std::string> clear_;
};

class IdentifyVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("INSTRUMENT", which_, "fluke, power or chamber")
            ->required()
            ->check(CLI::IsMember({"fluke", "power", "chamber"}));
        app.add_option("PORT", com_, "COM1..COM16")->required()->check(ComPort());
    }
    bool Run(Session& s) override {
        const InstrumentId id = which_ == "fluke"   ? InstrumentId::Calibrator
                                : which_ == "power" ? InstrumentId::PowerSupply
                                                    : InstrumentId::Chamber;
        // Always this identification's own message: "Fluke 已經設定" on the port it is
        // on, the outcome on another one.
        const auto index = s.ComIndex(com_, id);
        if (!index || !IdentifyOn(s, id, *index)) return false;
        s.out() << s.hooks().Status(1) << '\n';
        return true;
    }

  private:
    std::string which_, com_;
};

class FlukeVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("TEXT", text_, "a calibrator command (\"OUT 1 V\", \"OPER\", \"STBY\")")
            ->required();
        app.add_option("--com", com_, "the calibrator's port when it is not identified yet")
            ->check(ComPort());
    }
    bool Run(Session& s) override {
        if (!ConnectInstrument(s, InstrumentId::Calibrator, com_)) return false;
        const std::string reply = s.instruments().calibrator().Command(text_);
        if (reply.empty()) return s.Fail("the calibrator sent no line back");
        s.out() << reply << '\n';
        return true;
    }

  private:
    std::string text_, com_;
};

class PowerVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("TEXT", text_, "a power supply command (\"VOLT 3.3\", \"*IDN?\")")
            ->required();
        app.add_option("--com", com_, "the power supply's port when it is not identified yet")
            ->check(ComPort());
        app.add_flag("--step", step_, "as a drift-test step: followed by OUTP ON unless OUTP OFF");
    }
    bool Run(Session& s) override {
        if (!ConnectInstrument(s, InstrumentId::PowerSupply, com_)) return false;
        PowerSupply& power = s.instruments().power();
        if (step_) {
            power.StepCommand(text_);
            return true;
        }
        std::string reply;
        // Setting commands answer nothing; only a query must.
        if (power.Command(text_, &reply))
            s.out() << reply.substr(0, reply.find_first_of("\r\n")) << '\n';
        return true;
    }

  private:
    std::string text_, com_;
    bool step_ = false;
};

class ChamberVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("ACTION", action_, "run, stop, set T H [RAMP] or temp")
            ->required()
            ->check(CLI::IsMember({"run", "stop", "set", "temp"}));
        // The set points are checked against what the chamber can take before anything is
        // sent, as the windows check theirs.
        app.add_option("T", temperature_, "set: the temperature set point (degC)")
            ->transform(Real(kChamberTemperatureRule));
        app.add_option("H", humidity_, "set: the humidity set point (%)")
            ->transform(Real(kChamberHumidityRule));
        app.add_option("RAMP", ramp_, "set: the temperature ramp (degC/min, default 0)")
            ->transform(Real(kChamberTemperatureRampRule));
        app.add_option("--humidity-ramp", humidityRamp_, "humidity ramp for set (%/min)")
            ->transform(Real(kChamberHumidityRampRule));
        app.add_option("--com", com_, "the chamber's port when it is not identified yet")
            ->check(ComPort());
        app.callback([this, &app] {
            const bool set = action_ == "set";
            if (set && app.count("H") == 0)
                throw CLI::ValidationError("chamber set wants T H [RAMP]");
            if (!set && app.count("T") > 0)
                throw CLI::ValidationError("chamber " + action_ + " takes no set points");
        });
    }
    bool Run(Session& s) override {
        if (!ConnectInstrument(s, InstrumentId::Chamber, com_)) return false;
        Chamber& chamber = s.instruments().chamber();
        if (action_ == "run") return chamber.ChamberRun() || s.Fail("the chamber did not start");
        if (action_ == "stop") return chamber.ChamberStop() || s.Fail("the chamber did not stop");
        if (action_ == "set") {
            return chamber.LoadSetPoints(temperature_, humidity_, ramp_, humidityRamp_) ||
                   s.Fail("the chamber did not take the set points");
        }
        uint16_t t = 0, t2 = 0, h = 0, h2 = 0;
        if (!chamber.ReadTemperature(t, t2) || !chamber.ReadHumidity(h, h2))
            return s.Fail("the chamber did not answer the read");
        char line[96];
        std::snprintf(line, sizeof line, "temperature %.1f degC (set point %.1f), humidity %.1f %%",
                      ChamberSigned(t) / 10.0, ChamberSigned(t2) / 10.0, ChamberSigned(h) / 10.0);
        s.out() << line << '\n';
        return true;
    }

  private:
    std::string action_, com_;
    double temperature_ = 0;
    double humidity_ = 0;
    double ramp_ = 0;
    double humidityRamp_ = 5.0;
};

class MeterVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("CHANNEL", channel_, "meter channel 0..5")
            ->required()
            ->transform(Whole({"a meter channel", 0, kMeterChannelCount - 1}));
        app.add_option("--count", count_, "readings to take")
            ->transform(Whole({"a number of readings", 1, 100000}));
        app.add_option("--com", com_, "the meter's port")->check(ComPort());
    }
    bool Run(Session& s) override {
        if (!ConnectInstrument(s, MeterId(channel_), com_)) return false;
        Meter& meter = s.instruments().meter(channel_);
        bool all = true;
        for (int i = 0; i < count_; ++i) {
            const auto reading = meter.GetBryMenData();
            if (!reading) {
                all = s.Fail("meter " + std::to_string(channel_) + " did not answer");
                continue;
            }
            const std::string unit = BryMenUnitText(reading->flagsA, reading->flagsB);
            if (reading->overload) {
                s.out() << "OL " << unit << '\n';
                continue;
            }
            char value[48];
            std::snprintf(value, sizeof value, "%.6g", reading->value);
            s.out() << value << ' ' << unit << '\n';
        }
        return all;
    }

  private:
    int channel_ = 0;
    int count_ = 1;
    std::string com_;
};

}  // namespace

void AddInstrumentVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"ports", "the COM1..COM16 map; --set COMn=PORT, --clear COMn",
                     [] { return std::make_unique<PortsVerb>(); }});
    verbs.push_back({"identify", "identify fluke|power|chamber COMn",
                     [] { return std::make_unique<IdentifyVerb>(); }, 2});
    verbs.push_back({"fluke", "fluke TEXT: a calibrator command; print its line",
                     [] { return std::make_unique<FlukeVerb>(); }, 1});
    verbs.push_back({"power", "power TEXT: a power supply command; print its reply",
                     [] { return std::make_unique<PowerVerb>(); }, 1});
    verbs.push_back({"chamber", "chamber run|stop|set T H [RAMP]|temp",
                     [] { return std::make_unique<ChamberVerb>(); }, 1});
    verbs.push_back({"meter", "meter CH [--count N]: readings of a reference meter",
                     [] { return std::make_unique<MeterVerb>(); }});
}

}  // namespace dmm::cli
