#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/instruments/instruments.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// One COM index of the map: what the selector shows ("COM3 — ttyUSB0, ...") and the
// port's path (empty when nothing is behind it).
struct ComEntry {
    std::string text;
    std::string path;
};
struct PortListing {
    std::vector<ComEntry> com;  // COM1..COM16
    // Ports of the machine that have no COM index.
    std::vector<SerialPortInfo> unmapped;
};

// The COM map, after pinning ports ("COM3=PORT") and giving indexes back ("COM3") as
// asked; the changes are kept in the bench directory.
Result<PortListing> Ports(HeadlessBench& bench, const std::vector<std::string>& set = {},
                          const std::vector<std::string>& clear = {});

// Runs an instrument's identification on a port (a meter: puts its channel there), with
// the setup dialog's messages; an instrument identified on another port is tried on this
// one. The identification's message.
Result<std::string> IdentifyInstrument(HeadlessBench& bench, InstrumentId id,
                                       const std::string& com);
// Identifies an instrument unless it is connected (on the port named, when one is); an
// empty com takes the simulated bench's port.
Done ConnectInstrument(HeadlessBench& bench, InstrumentId id, const std::string& com);

// A calibrator command ("OUT 100 mV ,50 Hz", "OPER", "STBY"); the line that came back.
Result<std::string> CalibratorCommand(HeadlessBench& bench, const std::string& text,
                                      const std::string& com = {});
// A power supply command; its reply's first line for a query (nothing for a setting
// command). As a drift-test step, "OUTP ON" follows unless it switches the output off.
Result<std::optional<std::string>> PowerCommand(HeadlessBench& bench, const std::string& text,
                                                bool step = false, const std::string& com = {});

// The climate chamber.
Done ChamberRun(HeadlessBench& bench, const std::string& com = {});
Done ChamberStop(HeadlessBench& bench, const std::string& com = {});
// Set points: degC, %, degC/min, %/min.
Done ChamberSetPoints(HeadlessBench& bench, double celsius, double humidity, double ramp,
                      double humidityRamp, const std::string& com = {});
struct ChamberReading {
    double celsius = 0;
    double setPointCelsius = 0;
    double humidity = 0;
};
Result<ChamberReading> ChamberRead(HeadlessBench& bench, const std::string& com = {});
// "temperature 25.0 degC (set point 25.0), humidity 50.0 %"
std::string ChamberReadingText(const ChamberReading& reading);

// A reference meter's reading: its value (nothing when the meter shows OL) and unit.
struct MeterReading {
    std::optional<double> value;
    std::string unit;
};
// count readings of meter channel 0..5; a reading the meter did not give is empty.
Result<std::vector<std::optional<MeterReading>>> MeterReadings(HeadlessBench& bench, int channel,
                                                               int count,
                                                               const std::string& com = {});
// "1.00012 V", "OL V"
std::string MeterReadingText(const MeterReading& reading);
// "meter 2 did not answer"
std::string MeterSilentText(int channel);

}  // namespace dmm::headless
