#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_bench.h"
#include "sim/sim_bench_clock.h"
#include "sim/sim_instruments.h"
#include "sim/sim_options.h"

namespace dmm::sim {

// What a program's --sim options ask of the simulated bench.
struct SimulatedBenchRequest {
    QString benchDir;      // whose chip description lays the simulated chip out
    std::string chipName;  // MakeBenchChip's names; empty: the demo DMM chip
    bool hid = false;
    std::optional<int64_t> latencyMs;  // of each board exchange; else a USB board's
    SimBenchOptions extras;
    std::string logPath;  // where the instruments log their lines (--sim-log); empty: nowhere
};

// The simulated board and instruments of a program (dmmbench or dmmctl and the Python
// module), running on the bench clock from construction to destruction. What did not come
// out as asked (a chip laid out as plain memory, no instruments, a log that cannot be
// written) is added to notes; the bench runs regardless.
class SimulatedBench {
  public:
    SimulatedBench(SimBenchClock& clock, const SimulatedBenchRequest& request,
                   std::vector<std::string>& notes);
    ~SimulatedBench();
    SimulatedBench(const SimulatedBench&) = delete;
    SimulatedBench& operator=(const SimulatedBench&) = delete;

    SimBench& bench() { return *bench_; }
    SimInstruments& instruments() { return *instruments_; }

  private:
    SimBenchClock& clock_;
    std::unique_ptr<SimBench> bench_;
    std::unique_ptr<SimInstruments> instruments_;
};

}  // namespace dmm::sim
