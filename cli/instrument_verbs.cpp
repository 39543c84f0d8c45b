// Verbs of the bench instruments: ports, identify, fluke, power, chamber, meter.
#include "cli/verb.h"
#include "core/instruments/chamber_frames.h"
#include "headless/instrument_operations.h"
#include "headless/number_rules.h"

namespace dmm::cli {

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
        const auto ports = headless::Ports(s.bench(), set_, clear_);
        if (!ports) return s.Fail(ports.failure());
        for (const headless::ComEntry& com : ports->com) {
            s.out() << com.text;
            if (!com.path.empty()) s.out() << "  " << com.path;
            s.out() << '\n';
        }
        for (const SerialPortInfo& port : ports->unmapped)
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
        const auto message = headless::IdentifyInstrument(s.bench(), id, com_);
        if (!message) return s.Fail(message.failure());
        s.out() << *message << '\n';
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
        const auto reply = headless::CalibratorCommand(s.bench(), text_, com_);
        if (!reply) return s.Fail(reply.failure());
        s.out() << *reply << '\n';
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
        const auto reply = headless::PowerCommand(s.bench(), text_, step_, com_);
        if (!reply) return s.Fail(reply.failure());
        if (*reply) s.out() << **reply << '\n';
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
        headless::HeadlessBench& bench = s.bench();
        if (action_ == "run") return s.Check(headless::ChamberRun(bench, com_));
        if (action_ == "stop") return s.Check(headless::ChamberStop(bench, com_));
        if (action_ == "set") {
            return s.Check(headless::ChamberSetPoints(bench, temperature_, humidity_, ramp_,
                                                      humidityRamp_, com_));
        }
        const auto reading = headless::ChamberRead(bench, com_);
        if (!reading) return s.Fail(reading.failure());
        s.out() << headless::ChamberReadingText(*reading) << '\n';
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
            ->transform(Whole(headless::kMeterChannelRule));
        app.add_option("--count", count_, "readings to take")
            ->transform(Whole(headless::kReadingCountRule));
        app.add_option("--com", com_, "the meter's port")->check(ComPort());
    }
    bool Run(Session& s) override {
        const auto readings = headless::MeterReadings(s.bench(), channel_, count_, com_);
        if (!readings) return s.Fail(readings.failure());
        bool all = true;
        for (const auto& reading : *readings) {
            if (reading)
                s.out() << headless::MeterReadingText(*reading) << '\n';
            else
                all = s.Fail(headless::MeterSilentText(channel_));
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
