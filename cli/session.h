#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "core/app/bench_core.h"
#include "core/link/board_transport.h"
#include "core/link/clock.h"
#include "core/link/interface_kind.h"
#include "core/link/parallel_port.h"

namespace dmm::sim {
class SimBench;
}

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
    std::string simTone;       // --sim-tone PEAK_V,HZ[,NODE]
    std::string simHarmonics;  // --sim-harmonics DBC,DBC,...
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
    const GlobalOptions& options() const { return options_; }
    sim::SimBench* simBench() { return simBench_.get(); }
    // The bench directory (settings, INCLUDE/, result files); empty when none could be made.
    const std::string& benchDir() const { return benchDir_; }
    // False when the --dir the user gave was refused (the reason is printed).
    bool Usable() const { return options_.dir.empty() || !benchDir_.empty(); }

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
    std::unique_ptr<Clock> clock_;
    std::unique_ptr<sim::SimBench> simBench_;
    std::unique_ptr<BoardBus> systemBus_;
    std::unique_ptr<ParallelPortBus> systemPorts_;
    std::unique_ptr<TracePrinter> tracePrinter_;
    std::unique_ptr<BenchCore> core_;
    std::string benchDir_;
};

// Hex text of bytes separated by spaces: "C2 01 24".
std::string HexBytes(const uint8_t* data, size_t n);

}  // namespace dmm::cli
