#include "headless/instrument_operations.h"

#include "core/app/user_numbers.h"

#include <cstdio>

#include "core/instruments/chamber_frames.h"

namespace dmm::headless {
namespace {

// Identifies an instrument on a COM index with the setup dialog's messages.
Done IdentifyOn(HeadlessBench& bench, InstrumentId id, int index) {
    Instruments& instruments = bench.instruments();
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
    if (ok) return {};
    std::string why = bench.hooks().Status(1);
    if (!bench.hooks().Status(2).empty()) why += ": " + bench.hooks().Status(2);
    return InstrumentFailure(why);
}

}  // namespace

Result<PortListing> Ports(HeadlessBench& bench, const std::vector<std::string>& set,
                          const std::vector<std::string>& clear) {
    if (!set.empty() || !clear.empty()) {
        ComPortChoices choices = bench.LoadComChoices();
        for (const std::string& assignment : set) {
            const size_t eq = assignment.find('=');
            if (eq == std::string::npos || eq + 1 >= assignment.size())
                return Refused("--set wants COMn=PORT, not " + assignment);
            std::string refusal;
            const auto index = ReadComIndex(assignment.substr(0, eq), &refusal);
            if (!index) return Refused(refusal);
            choices.pinned[*index] = assignment.substr(eq + 1);
        }
        for (const std::string& name : clear) {
            std::string refusal;
            const auto index = ReadComIndex(name, &refusal);
            if (!index) return Refused(refusal);
            choices.pinned.erase(*index);
        }
        if (Done saved = bench.SaveComChoices(choices); !saved) return saved.failure();
    }
    const ComPortMap map = bench.core().serial().Map();
    PortListing listing;
    for (int i = 0; i < kComPortCount; ++i) {
        const auto& port = map.At(i).port;
        listing.com.push_back({map.SelectorText(i), port ? port->path : std::string()});
    }
    listing.unmapped = map.Unmapped();
    return listing;
}

Result<std::string> IdentifyInstrument(HeadlessBench& bench, InstrumentId id,
                                       const std::string& com) {
    // Always this identification's own message: "Fluke 已經設定" on the port it is on,
    // the outcome on another one.
    Result<int> index = bench.ComIndex(com, id);
    if (!index) return index.failure();
    if (Done identified = IdentifyOn(bench, id, *index); !identified) return identified.failure();
    return bench.hooks().Status(1);
}

Done ConnectInstrument(HeadlessBench& bench, InstrumentId id, const std::string& com) {
    const SerialInstrument& instrument = bench.instruments().Of(id);
    // Connected already: that port serves unless another one is named.
    if (instrument.connected() &&
        (com.empty() || ComIndexFromName(com) == instrument.record().comIndex))
        return {};
    Result<int> index = bench.ComIndex(com, id);
    if (!index) return index.failure();
    return IdentifyOn(bench, id, *index);
}

Result<std::string> CalibratorCommand(HeadlessBench& bench, const std::string& text,
                                      const std::string& com) {
    if (Done connected = ConnectInstrument(bench, InstrumentId::Calibrator, com); !connected)
        return connected.failure();
    const std::string reply = bench.instruments().calibrator().Command(text);
    if (reply.empty()) return InstrumentFailure("the calibrator sent no line back");
    return reply;
}

Result<std::optional<std::string>> PowerCommand(HeadlessBench& bench, const std::string& text,
                                                bool step, const std::string& com) {
    if (Done connected = ConnectInstrument(bench, InstrumentId::PowerSupply, com); !connected)
        return connected.failure();
    PowerSupply& power = bench.instruments().power();
    if (step) {
        power.StepCommand(text);
        return std::optional<std::string>();
    }
    std::string reply;
    // Setting commands answer nothing; only a query must.
    if (power.Command(text, &reply))
        return std::optional<std::string>(reply.substr(0, reply.find_first_of("\r\n")));
    return std::optional<std::string>();
}

Done ChamberRun(HeadlessBench& bench, const std::string& com) {
    if (Done connected = ConnectInstrument(bench, InstrumentId::Chamber, com); !connected)
        return connected;
    if (bench.instruments().chamber().ChamberRun()) return {};
    return InstrumentFailure("the chamber did not start");
}

Done ChamberStop(HeadlessBench& bench, const std::string& com) {
    if (Done connected = ConnectInstrument(bench, InstrumentId::Chamber, com); !connected)
        return connected;
    if (bench.instruments().chamber().ChamberStop()) return {};
    return InstrumentFailure("the chamber did not stop");
}

Done ChamberSetPoints(HeadlessBench& bench, double celsius, double humidity, double ramp,
                      double humidityRamp, const std::string& com) {
    // Refused before the chamber is looked for, as the windows refuse it.
    const std::string refusal = ChamberSetPointRefusal({celsius, humidity, ramp, humidityRamp});
    if (!refusal.empty()) return Refused(refusal);
    if (Done connected = ConnectInstrument(bench, InstrumentId::Chamber, com); !connected)
        return connected;
    if (bench.instruments().chamber().LoadSetPoints(celsius, humidity, ramp, humidityRamp))
        return {};
    return InstrumentFailure("the chamber did not take the set points");
}

Result<ChamberReading> ChamberRead(HeadlessBench& bench, const std::string& com) {
    if (Done connected = ConnectInstrument(bench, InstrumentId::Chamber, com); !connected)
        return connected.failure();
    Chamber& chamber = bench.instruments().chamber();
    uint16_t t = 0, t2 = 0, h = 0, h2 = 0;
    if (!chamber.ReadTemperature(t, t2) || !chamber.ReadHumidity(h, h2))
        return InstrumentFailure("the chamber did not answer the read");
    return ChamberReading{ChamberSigned(t) / 10.0, ChamberSigned(t2) / 10.0,
                          ChamberSigned(h) / 10.0};
}

std::string ChamberReadingText(const ChamberReading& r) {
    char line[96];
    std::snprintf(line, sizeof line, "temperature %.1f degC (set point %.1f), humidity %.1f %%",
                  r.celsius, r.setPointCelsius, r.humidity);
    return line;
}

Result<std::vector<std::optional<MeterReading>>> MeterReadings(HeadlessBench& bench, int channel,
                                                               int count, const std::string& com) {
    if (channel < 0 || channel >= kMeterChannelCount)
        return Refused("meter channel must be 0..5, not " + std::to_string(channel));
    if (count < 1) return Refused("count must be 1 or more");
    if (Done connected = ConnectInstrument(bench, MeterId(channel), com); !connected)
        return connected.failure();
    Meter& meter = bench.instruments().meter(channel);
    std::vector<std::optional<MeterReading>> readings;
    for (int i = 0; i < count; ++i) {
        const auto reading = meter.GetBryMenData();
        if (!reading) {
            readings.emplace_back();
            continue;
        }
        MeterReading r;
        r.unit = BryMenUnitText(reading->flagsA, reading->flagsB);
        if (!reading->overload) r.value = reading->value;
        readings.emplace_back(std::move(r));
    }
    return readings;
}

std::string MeterReadingText(const MeterReading& reading) {
    if (!reading.value) return "OL " + reading.unit;
    char value[48];
    std::snprintf(value, sizeof value, "%.6g", *reading.value);
    return std::string(value) + ' ' + reading.unit;
}

std::string MeterSilentText(int channel) {
    return "meter " + std::to_string(channel) + " did not answer";
}

}  // namespace dmm::headless
