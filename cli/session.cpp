#include "cli/session.h"

#include "cli/verb.h"
#include "core/app/bench_directory.h"
#include "core/link/number_text.h"
#include "core/link/parallel_link.h"

namespace dmm::cli {

std::string HexBytes(const uint8_t* data, size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        if (i) text += ' ';
        text += HexStr(data[i], 2);
    }
    return text;
}

namespace {

// The bench the options describe; the command line checked them as it read them.
headless::BenchOptions BenchOptionsOf(const GlobalOptions& options) {
    headless::BenchOptions bench;
    bench.sim = options.sim;
    bench.hid = options.hid;
    bench.simChip = options.simChip;
    bench.dir = options.dir;
    if (auto kind = InterfaceKindFromName(options.kind)) bench.kind = *kind;
    // Checked when the command line was read.
    if (const auto base = ReadWhole(options.lpt, {"a port base", 0, 0xFFFF}))
        bench.lptBase = static_cast<uint16_t>(*base);
    bench.photo = options.photo;
    bench.baud = options.baud;
    bench.parityIndex = ParityIndexOf(options.parity);
    bench.kindGiven = options.kindGiven;
    bench.lptGiven = options.lptGiven;
    bench.photoGiven = options.photoGiven;
    bench.baudGiven = options.baudGiven;
    bench.parityGiven = options.parityGiven;
    bench.com = options.com;
    bench.simSpeed = options.simSpeed;
    if (options.simLatencyMs >= 0) bench.simLatencyMs = options.simLatencyMs;
    bench.simNoiseless = options.simNoiseless;
    bench.simSeed = options.simSeed;
    bench.simTone = options.simTone;
    bench.simHarmonics = options.simHarmonics;
    bench.simRx = options.simRx;
    bench.simFaults = options.simFaults;
    bench.simLog = options.simLog;
    return bench;
}

}  // namespace

class Session::TracePrinter final : public PacketTrace {
  public:
    explicit TracePrinter(std::ostream& out) : out_(out) {}
    void OnPacket(bool outgoing, const uint8_t* data, size_t n) override {
        out_ << (outgoing ? "> " : "< ") << HexBytes(data, n) << '\n';
    }

  private:
    std::ostream& out_;
};

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err)
    : options_(options),
      out_(out),
      err_(err),
      hooks_(err),
      bench_(std::make_unique<headless::HeadlessBench>(BenchOptionsOf(options), hooks_,
                                                       ExecutableDirectory())) {
    if (options.trace) {
        tracePrinter_ = std::make_unique<TracePrinter>(out_);
        bench_->SetTrace(tracePrinter_.get());
    }
}

Session::~Session() {
    bench_.reset();
}

int ParityIndexOf(const std::string& name) {
    return headless::ParityIndexFromName(name).value_or(0);
}

bool Session::Fail(const std::string& message) {
    hooks_.Say(message);
    return false;
}

bool Session::Fail(const headless::Failure& failure) {
    if (failure.invalidValue) SetRefusedValue();
    if (!failure.shown) hooks_.Say(failure.message);
    return false;
}

}  // namespace dmm::cli
