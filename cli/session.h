#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/cli_ui_hooks.h"
#include "core/app/bench_core.h"
#include "core/instruments/instruments.h"
#include "headless/headless_bench.h"
#include "headless/run_hooks.h"

namespace dmm::sim {
class SimBench;
class SimInstruments;
}  // namespace dmm::sim

namespace dmm::cli {

struct GlobalOptions {
    bool sim = false;
    bool hid = false;     // simulated board in its HID personality
    std::string simChip;  // the chip on the simulated board (empty: the demo DMM chip)
    std::string dir;
    std::string kind = "dmm";
    std::string lpt = "0x378";  // port base of the parallel kind
    bool photo = false;
    bool trace = false;
    std::string simTone;        // --sim-tone PEAK_V,HZ[,NODE]
    double simSpeed = 1;        // --sim-speed N: the simulated bench's clock N times faster
    int64_t simLatencyMs = -1;  // --sim-latency MS: each board exchange's time; -1: a USB board's
    std::string simHarmonics;   // --sim-harmonics DBC,DBC,...
    std::string simRx;          // --sim-rx OHMS
    bool simNoiseless = false;  // --sim-noiseless
    std::string simSeed;        // --sim-seed N
    std::vector<std::string> simFaults;  // --sim-fault FAULT (repeatable)
    std::string simLog;                  // --sim-log FILE: what the simulated instruments are told
    // The chip link's serial port (interface kind rs232).
    std::string com;
    int baud = 9600;
    std::string parity = "none";
    // Which of the options above the command line gave: the others come from the bench
    // directory's settings file when it has one, so that dmmctl talks to the bench the
    // way dmmbench was last set up.
    bool kindGiven = false;
    bool lptGiven = false;
    bool photoGiven = false;
    bool baudGiven = false;
    bool parityGiven = false;
};

// One dmmctl run: the bench (headless/, shared with the Python module) and the streams
// the verbs print to. Verbs run one after another on the same session.
class Session {
  public:
    Session(const GlobalOptions& options, std::ostream& out, std::ostream& err);
    ~Session();

    headless::HeadlessBench& bench() { return *bench_; }
    BenchCore& core() { return bench_->core(); }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    // Where a verb prints a document that must be the whole of stdout (capture --json):
    // out(), unless the run gave stdout to that document and out() to stderr.
    std::ostream& document() { return document_ ? *document_ : out_; }
    void SetDocumentStream(std::ostream* document) { document_ = document; }
    const GlobalOptions& options() const { return options_; }
    sim::SimBench* simBench() { return bench_->simBench(); }
    sim::SimInstruments* simInstruments() { return bench_->simInstruments(); }
    // The bench directory (settings, INCLUDE/, result files); empty when none could be made.
    const std::string& benchDir() const { return bench_->benchDir(); }
    // False when the --dir the user gave was refused (the reason is printed).
    bool Usable() const { return options_.dir.empty() || !bench_->benchDir().empty(); }

    // The bench's preparations, printing why when they fail.
    bool EnsureBoard() { return Check(bench_->EnsureBoard()); }
    bool EnsureChipLink() { return Check(bench_->EnsureChipLink()); }
    bool LoadChip(int index) { return Check(bench_->LoadChip(index)); }
    bool EnsureChip() { return Check(bench_->EnsureChip()); }
    // The bench instruments (used on this thread) and the hooks their messages go to.
    Instruments& instruments() { return bench_->instruments(); }
    // The calibrator in standby, the power supply's output off (a run that a signal
    // ended: nobody is left to watch the bench).
    void LeaveBenchSafe() { bench_->LeaveBenchSafe(); }
    CliUiHooks& hooks() { return hooks_; }

    // A verb refused a value it could check only after parsing (RefuseValue): dmmctl then
    // exits with the code of a value that is not valid, not of a failure.
    void SetRefusedValue() { refusedValue_ = true; }
    bool RefusedValue() const { return refusedValue_; }

    // Prints a failure line and returns false, for verbs' early returns.
    bool Fail(const std::string& message);
    // Prints an operation's failure (unless it was printed as it happened); false.
    bool Fail(const headless::Failure& failure);
    // True when done; otherwise prints why.
    bool Check(const headless::Done& done) { return done.ok() || Fail(done.failure()); }
    // A failed chip operation: what failed, and why when the link knows more than that
    // the board did not answer.
    bool ChipFail(const std::string& what) { return Fail(bench_->ChipFailure(what)); }

  private:
    class TracePrinter;

    GlobalOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::ostream* document_ = nullptr;
    CliUiHooks hooks_;
    std::unique_ptr<TracePrinter> tracePrinter_;
    std::unique_ptr<headless::HeadlessBench> bench_;
    bool refusedValue_ = false;
};

// The parity selector's item of "none", "even" or "odd".
int ParityIndexOf(const std::string& name);

// Hex text of bytes separated by spaces: "C2 01 24".
std::string HexBytes(const uint8_t* data, size_t n);

}  // namespace dmm::cli
