#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/bench_core.h"
#include "core/app/settings_file.h"
#include "core/instruments/com_ports.h"
#include "core/instruments/instruments.h"
#include "core/link/board_transport.h"
#include "core/link/clock.h"
#include "core/link/interface_kind.h"
#include "core/link/parallel_port.h"
#include "headless/failure.h"
#include "headless/run_hooks.h"

namespace dmm::sim {
class SimBench;
class SimInstruments;
class SimulatedBench;
}  // namespace dmm::sim

namespace dmm::headless {

struct CalibrationState;
struct CounterState;

// How a bench without windows is built: the real or the simulated bench, the bench
// directory and the chip link's settings. The link settings are those the caller gave;
// the others come from the bench directory's settings file when it has one, so that
// dmmctl and scripts talk to the bench the way dmmbench was last set up.
struct BenchOptions {
    bool sim = false;
    bool hid = false;     // the simulated board in its HID personality
    std::string simChip;  // the chip on the simulated board (empty: the demo DMM chip)
    std::string dir;      // the bench directory (empty: the default one)
    // The link settings, and which of them the caller gave: the others come from the
    // settings file when the bench directory has one (else these values serve).
    InterfaceKind kind = InterfaceKind::DMM;
    uint16_t lptBase = 0x378;  // port base of the parallel kind
    bool photo = false;
    int baud = 9600;
    int parityIndex = 0;  // 0 none, 1 even, 2 odd
    bool kindGiven = false;
    bool lptGiven = false;
    bool photoGiven = false;
    bool baudGiven = false;
    bool parityGiven = false;
    // The chip link's serial port (interface kind rs232), "COMn".
    std::string com;
    // The simulated bench.
    double simSpeed = 1;        // its clock this many times faster
    bool simNoiseless = false;  // converters without noise
    std::string simSeed;        // the converters' noise seed (empty: from the clock)
    std::string simTone;        // PEAK_V,HZ[,NODE]
    std::string simHarmonics;   // DBC,DBC,...
    std::string simRx;          // the resistor on the ohmmeter's input
    // Faults, each TARGET:FAULT@START[+DURATION] or the RX405 firmware's (comma-separated).
    std::vector<std::string> simFaults;
    std::string simLog;  // where what the simulated instruments are told is kept
    // Milliseconds each board exchange takes (nullopt: a full-speed USB board's pace; 0
    // answers at once, which measures the host's own cost).
    std::optional<int64_t> simLatencyMs;
};

inline constexpr double kMaxSimSpeed = 1000;

// The parity of "none", "even" or "odd"; nullopt for another name.
std::optional<int> ParityIndexFromName(const std::string& name);
// The link settings from what a script names them, or why not.
Result<InterfaceKind> InterfaceKindNamed(const std::string& name);
Result<int> ParityNamed(const std::string& name);
Result<uint16_t> LptBaseOf(int64_t base);

// Why the options cannot build a bench (a simulated-bench option that does not parse, a
// speed out of range), checked before anything is made.
Done CheckBenchOptions(const BenchOptions& options);

// A bench driven without windows, one operation after another on one thread: the bench
// core over the real or simulated board, the instruments, the bench directory and its
// settings. dmmctl and the Python module build theirs here; the operations in this
// folder are what both call.
//
// Thread: one thread at a time uses it (its own thread in the Python module, the main
// thread in dmmctl); the hooks are that thread's.
class HeadlessBench {
  public:
    // programDir: the folder whose INCLUDE/ may serve as the bench directory (dmmctl's
    // own folder; empty: never). shippedData: where the shipped chip descriptions are
    // (empty: beside the program). Problems on the way (a --dir refused, a simulator that
    // could not start) are said through the hooks.
    HeadlessBench(const BenchOptions& options, RunHooks& hooks, const QString& programDir,
                  const QString& shippedData = {});
    ~HeadlessBench();
    HeadlessBench(const HeadlessBench&) = delete;
    HeadlessBench& operator=(const HeadlessBench&) = delete;

    BenchCore& core() { return *core_; }
    RunHooks& hooks() { return hooks_; }
    const BenchOptions& options() const { return options_; }
    // The simulated board and instruments; null without --sim.
    sim::SimBench* simBench();
    sim::SimInstruments* simInstruments();
    Instruments& instruments() { return *instruments_; }

    // The bench directory (settings, INCLUDE/, result files); empty when none could be made.
    const std::string& benchDir() const { return benchDir_; }
    // Why the bench directory asked for cannot be used; empty when it can.
    const std::string& dirError() const { return dirError_; }
    bool Usable() const { return dirError_.empty(); }
    // The bench directory's settings file, and what it held (nothing when it is missing,
    // unreadable or of another version).
    QString SettingsPath() const;
    const std::optional<VzAdcConfig>& settings() const { return settings_; }

    // Opens the board if it is not open yet.
    Done EnsureBoard();
    // Makes the way to the chip usable: the chip's serial port for the rs232 kind, the
    // parallel port for the parallel kind, the board for the others.
    Done EnsureChipLink();
    // Loads a chip of the chip list (and selects it).
    Done LoadChip(int index);
    // Loads the selected chip (chip 0 unless LoadChip chose another) when none is loaded.
    Done EnsureChip();
    // A failed chip operation: what failed, and why when the link knows more than that
    // the board did not answer.
    Failure ChipFailure(const std::string& what);

    // The calibrator in standby, the power supply's output off (a run that a signal
    // ended: nobody is left to watch the bench).
    void LeaveBenchSafe() { instruments_->LeaveBenchSafe(); }
    // The serial ports of this machine (or of the simulated bench) as the COM map sees them.
    std::vector<SerialPortInfo> SerialPorts() const;
    // The user's COM assignments in the bench directory, and saving new ones.
    ComPortChoices LoadComChoices() const;
    Done SaveComChoices(const ComPortChoices& choices);
    // A COM index from "COMn" text, or the simulated bench's port of an instrument when
    // the text is empty.
    Result<int> ComIndex(const std::string& text, InstrumentId instrument);

    // Every packet the board link and the parallel port exchange, to trace (null: none).
    void SetTrace(PacketTrace* trace);

    // The calibration objects of this bench, made by the first calibration operation so
    // that one operation's figures serve the next ("rescal" then "volts").
    std::unique_ptr<CalibrationState> calibration;
    // The counter's objects, made by the first counter run.
    std::unique_ptr<CounterState> counter;

  private:
    Done EnsureChipPort();

    BenchOptions options_;
    RunHooks& hooks_;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::SimulatedBench> sim_;
    std::unique_ptr<BoardBus> systemBus_;
    std::unique_ptr<ParallelPortBus> systemPorts_;
    std::unique_ptr<SerialPortOpener> serialOpener_;
    std::unique_ptr<BenchCore> core_;
    std::unique_ptr<Instruments> instruments_;
    std::string benchDir_;
    std::string dirError_;
    std::optional<VzAdcConfig> settings_;
};

}  // namespace dmm::headless
