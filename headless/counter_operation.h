#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/analog/counter_arithmetic.h"
#include "core/analog/pro_counter.h"
#include "core/link/processor_centre.h"
#include "headless/failure.h"
#include "headless/headless_bench.h"

namespace dmm::headless {

// The program counter as the counter window runs it: frequency, duty, high time and the
// capacitance figure Q / F, one reading per counter report.
struct CounterRequest {
    std::string range;        // a capacitance range ("500nF" ... "10mF"): its block and Q
    std::string input;        // "cnti", "cp_out", or empty: as the chip is set
    std::string cta2 = "C0";  // the gate's reload bytes, hexadecimal as typed
    std::string cta1 = "00";
    std::string clock;  // the system clock in Hz as typed (empty: 4915205)
    std::string q;      // the factor Q as typed (empty: the range's, else 4052)
    int count = 5;      // readings
};

struct CounterRun {
    std::string gate;  // "CTAI = 0x400000"
    std::vector<CounterReading> readings;
};

// Arms the counter and reads count reports, the heartbeat and the window's tick run
// here. The gate and then each reading go to onLine as lines, with how many readings
// are in. A counter that sends no report for six seconds fails the run, as a stop does.
Result<CounterRun> RunCounter(HeadlessBench& bench, const CounterRequest& request,
                              const std::function<void(const Progress&)>& onLine);
// "frequency 1000.00 Hz, duty 30.00 %, high time 300.00 us, Q/F 4.05"
std::string CounterLine(const CounterReading& reading);
// The capacitance ranges as a request names them.
std::vector<std::string> CapacitanceRangeNames();

// The counter's objects of a bench, made by its first counter run: they subscribe to the
// chip's refreshes, so they live as long as the bench's core.
struct CounterState {
    explicit CounterState(HeadlessBench& bench);
    TVz_UP up;
    ProCounter counter;
};

}  // namespace dmm::headless
