#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_ui_hooks.h"
#include "core/app/bench_core.h"
#include "core/app/settings_file.h"
#include "core/instruments/instruments.h"
#include "core/link/board_transport.h"
#include "core/link/clock.h"
#include "core/link/interface_kind.h"
#include "core/link/parallel_port.h"

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
    std::string simHarmonics;   // --sim-harmonics DBC,DBC,...
    std::string simRx;          // --sim-rx OHMS
    bool simNoiseless = false;  // --sim-noiseless
    std::string simSeed;        // --sim-seed N
    std::vector<std::string> simFaults;  // --sim-fault SPEC (repeatable)
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

// One dmmctl run: the bench core over the real or simulated board, and the streams the
// verbs print to. Verbs run one after another on the same session.
class Session {
  public:
    Session(const GlobalOptions& options, std::ostream& out, std::ostream& err);
    ~Session();

    BenchCore& core() { return *core_; }
    std::ostream& out() { return out_; }
    std::ostream& err() { return err_; }
    // Where a verb prints a document that must be the whole of stdout (capture --json):
    // out(), unless the run gave stdout to that document and out() to stderr.
    std::ostream& document() { return document_ ? *document_ : out_; }
    void SetDocumentStream(std::ostream* document) { document_ = document; }
    const GlobalOptions& options() const { return options_; }
    sim::SimBench* simBench() { return simBench_.get(); }
    // The bench directory (settings, INCLUDE/, result files); empty when none could be made.
    const std::string& benchDir() const { return benchDir_; }
    // False when the --dir the user gave was refused (the reason is printed).
    bool Usable() const { return options_.dir.empty() || !benchDir_.empty(); }
    // The bench directory's settings file, and what it held (nothing when it is missing,
    // unreadable or of another version).
    QString SettingsPath() const;
    const std::optional<VzAdcConfig>& settings() const { return settings_; }

    // Opens the board if it is not open yet; prints a clear message when there is none.
    bool EnsureBoard();
    // Makes the way to the chip usable: the parallel port for the parallel kind (its
    // failure is printed as it happens), the board for the others.
    bool EnsureChipLink();
    // Loads a chip of the chip list (and selects it); prints why when nothing loaded.
    bool LoadChip(int index);
    // Verbs that need a chip load the selected one (chip 0 unless "load" chose another)
    // when nothing is loaded yet, so that "dmmctl --sim field ENAD_S 1" just works.
    bool EnsureChip();
    // The bench instruments (used on this thread) and the hooks their messages go to.
    Instruments& instruments() { return *instruments_; }
    // The calibrator in standby, the power supply's output off (a run that a signal
    // ended: nobody is left to watch the bench).
    void LeaveBenchSafe() { instruments_->LeaveBenchSafe(); }
    CliUiHooks& hooks() { return hooks_; }
    sim::SimInstruments* simInstruments() { return simInstruments_.get(); }
    // The serial ports of this machine (or of the simulated bench) as the COM map sees them.
    std::vector<SerialPortInfo> SerialPorts() const;
    // The user's COM assignments in the bench directory, and saving new ones.
    ComPortChoices LoadComChoices() const;
    bool SaveComChoices(const ComPortChoices& choices);
    // A COM index from "COMn" text, or the simulated bench's port of an instrument when
    // the text is empty; prints why and gives nullopt otherwise.
    std::optional<int> ComIndex(const std::string& text, InstrumentId instrument);

    // State that verbs of one run share (the calibration verbs keep their figures here:
    // "rescal auto volts 1V" measures the resistors the voltmeter then uses). Destroyed
    // before the core it refers to.
    std::shared_ptr<void> sharedState;
    // The counter verb's objects, kept for the same reason.
    std::shared_ptr<void> counterState;

    // A verb refused a value it could check only after parsing (RefuseValue): dmmctl then
    // exits with the code of a value that is not valid, not of a failure.
    void SetRefusedValue() { refusedValue_ = true; }
    bool RefusedValue() const { return refusedValue_; }

    // Prints a failure line and returns false, for verbs' early returns.
    bool Fail(const std::string& message);
    // A failed chip operation: what failed, and why when the link knows more than that
    // the board did not answer.
    bool ChipFail(const std::string& what);

  private:
    class TracePrinter;

    GlobalOptions options_;
    std::ostream& out_;
    std::ostream& err_;
    std::ostream* document_ = nullptr;
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::SimBench> simBench_;
    std::unique_ptr<BoardBus> systemBus_;
    std::unique_ptr<ParallelPortBus> systemPorts_;
    std::unique_ptr<TracePrinter> tracePrinter_;
    std::unique_ptr<SerialPortOpener> serialOpener_;
    std::unique_ptr<sim::SimInstruments> simInstruments_;
    std::unique_ptr<BenchCore> core_;
    CliUiHooks hooks_;
    std::unique_ptr<Instruments> instruments_;
    std::string benchDir_;
    std::optional<VzAdcConfig> settings_;
    bool refusedValue_ = false;
    // The chip link's port, opened by the first chip operation on the rs232 kind.
    bool EnsureChipPort();
};

// The parity selector's item of "none", "even" or "odd".
int ParityIndexOf(const std::string& name);

// Hex text of bytes separated by spaces: "C2 01 24".
std::string HexBytes(const uint8_t* data, size_t n);

}  // namespace dmm::cli
