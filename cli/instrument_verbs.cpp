// Verbs of the bench instruments: ports, identify, fluke, power, chamber, meter.
#include "cli/verb.h"
#include "headless/instrument_operations.h"

namespace dmm::cli {

namespace {

class PortsVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--set", set_, "assign a port: COMn=PORT (a by-id name, path or name)");
        app.add_option("--clear", clear_, "give COMn back to the default order");
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
        app.add_option("PORT", com_, "COM1..COM16")->required();
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
        app.add_option("--com", com_, "the calibrator's port when it is not identified yet");
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
        app.add_option("--com", com_, "the power supply's port when it is not identified yet");
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
        app.add_option("VALUES", values_, "set points for set: T (degC) H (%) [RAMP (degC/min)]");
        app.add_option("--humidity-ramp", humidityRamp_, "humidity ramp for set (%/min)");
        app.add_option("--com", com_, "the chamber's port when it is not identified yet");
    }
    bool Run(Session& s) override {
        if (action_ == "set" && (values_.size() < 2 || values_.size() > 3))
            return s.Fail("chamber set wants T H [RAMP]");
        headless::HeadlessBench& bench = s.bench();
        if (action_ == "run") return s.Check(headless::ChamberRun(bench, com_));
        if (action_ == "stop") return s.Check(headless::ChamberStop(bench, com_));
        if (action_ == "set") {
            const double ramp = values_.size() > 2 ? values_[2] : 0.0;
            return s.Check(headless::ChamberSetPoints(bench, values_[0], values_[1], ramp,
                                                      humidityRamp_, com_));
        }
        const auto reading = headless::ChamberRead(bench, com_);
        if (!reading) return s.Fail(reading.failure());
        s.out() << headless::ChamberReadingText(*reading) << '\n';
        return true;
    }

  private:
    std::string action_, com_;
    std::vector<double> values_;
    double humidityRamp_ = 5.0;
};

class MeterVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("CHANNEL", channel_, "meter channel 0..5")
            ->required()
            ->check(CLI::Range(0, 5));
        app.add_option("--count", count_, "readings to take")->check(CLI::PositiveNumber);
        app.add_option("--com", com_, "the meter's port");
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
