// The program counter from the command line: counter.
#include "cli/verb.h"
#include "headless/counter_operation.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

// Frequency, duty, high time and the capacitance figure Q / F of the counter window, one
// line per counter report, with the heartbeat and the window's tick run by hand.
class CounterVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--range", request_.range,
                       "capacitance range 500nF, 5uF, 50uF, 500uF or 10mF: its register block "
                       "and its Q")
            ->transform(OneOf(headless::CapacitanceRangeNames(), "a capacitance range"));
        app.add_option("--input", request_.input,
                       "the counter's input: cnti (the CNTI pin) or cp_out (the capacitance "
                       "comparator); default: as the chip is set")
            ->transform(OneOf({"cnti", "cp_out"}, "a counter input"));
        // The entries stay text, as the window hands them on: hexadecimal bytes.
        app.add_option("--cta2", request_.cta2, "gate reload byte CTA<23:16>, hexadecimal (C0)")
            ->check(Whole(kReloadByteRule));
        app.add_option("--cta1", request_.cta1, "gate reload byte CTA<15:8>, hexadecimal (00)")
            ->check(Whole(kReloadByteRule));
        app.add_option("--clock", request_.clock, "the system clock in Hz (4915205)")
            ->transform(Real(kSystemClockRule));
        app.add_option("--q", request_.q,
                       "the factor Q of the capacitance figure Q / F (4052, or the range's)")
            ->transform(Real(kQFactorRule));
        app.add_option("--count", request_.count, "readings to print (default 5)")
            ->transform(Whole(headless::kReadingCountRule));
    }

    bool Run(Session& s) override {
        const auto run = headless::RunCounter(
            s.bench(), request_,
            [&s](const headless::Progress& p) { s.out() << p.text << std::endl; });
        return run ? true : s.Fail(run.failure());
    }

  private:
    headless::CounterRequest request_;
};

}  // namespace

void AddCounterVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"counter",
                     "counter [--range R] [--input cnti|cp_out] [--clock HZ] [--q Q] [--count N]: "
                     "frequency, duty, high time and capacitance figure of the program counter",
                     [] { return std::make_unique<CounterVerb>(); }});
}

}  // namespace dmm::cli
