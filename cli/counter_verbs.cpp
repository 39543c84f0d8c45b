// The program counter from the command line: counter.
#include <QCoreApplication>

#include <memory>

#include "cli/cli_ui_hooks.h"
#include "cli/interrupt.h"
#include "cli/verb.h"
#include "core/analog/block_field_ops.h"
#include "core/analog/pro_counter.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

std::vector<std::string> RangeCaptions() {
    std::vector<std::string> captions;
    for (const CapacitanceRange& range : CapacitanceRanges()) captions.push_back(range.caption);
    return captions;
}

// The counter's objects for one dmmctl run: they subscribe to the chip's refreshes, so they
// live as long as the session's core.
struct CounterState {
    explicit CounterState(Session& s)
        : application(QCoreApplication::instance()
                          ? nullptr
                          : std::make_unique<QCoreApplication>(argc, argv)),
          hooks(s.err()),
          up(s.core().chip(), hooks),
          counter(s.core().chip(), up, hooks, s.core().clock()) {
        const auto lookup = [&s](std::string_view field) {
            return s.core().chipModel().Field(field);
        };
        up.FieldLookup = lookup;
        counter.FieldLookup = lookup;
    }
    // Qt wants an application object before the counter's timer is started or stopped.
    int argc = 1;
    char name[8] = "dmmctl";
    char* argv[1] = {name};
    std::unique_ptr<QCoreApplication> application;
    CliUiHooks hooks;
    TVz_UP up;
    ProCounter counter;
};

std::string Figure(const std::optional<QString>& text) {
    return text ? text->trimmed().toStdString() : std::string(kNoFigure);
}

// Frequency, duty, high time and the capacitance figure Q / F of the counter window, one
// line per counter report, with the heartbeat and the window's tick run by hand.
class CounterVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("--range", range_,
                       "capacitance range 500nF, 5uF, 50uF, 500uF or 10mF: its register block "
                       "and its Q")
            ->transform(OneOf(RangeCaptions(), "a capacitance range"));
        app.add_option("--input", input_,
                       "the counter's input: cnti (the CNTI pin) or cp_out (the capacitance "
                       "comparator); default: as the chip is set")
            ->transform(OneOf({"cnti", "cp_out"}, "a counter input"));
        // The entries stay text, as the window hands them on: hexadecimal bytes.
        app.add_option("--cta2", cta2_, "gate reload byte CTA<23:16>, hexadecimal (C0)")
            ->check(Whole(kReloadByteRule));
        app.add_option("--cta1", cta1_, "gate reload byte CTA<15:8>, hexadecimal (00)")
            ->check(Whole(kReloadByteRule));
        app.add_option("--clock", clock_, "the system clock in Hz (4915205)")
            ->transform(Real(kSystemClockRule));
        app.add_option("--q", q_,
                       "the factor Q of the capacitance figure Q / F (4052, or the range's)")
            ->transform(Real(kQFactorRule));
        app.add_option("--count", count_, "readings to print (default 5)")
            ->transform(Whole(headless::kReadingCountRule));
    }

    bool Run(Session& s) override {
        if (!s.EnsureChip() || !s.EnsureBoard()) return false;
        if (!ReadRamIntoImage(s.core().chip())) return s.ChipFail("reading the chip's registers");
        if (!s.counterState) s.counterState = std::make_shared<CounterState>(s);
        auto& state = *static_cast<CounterState*>(s.counterState.get());
        CliUiHooks& hooks = state.hooks;
        TVz_UP& up = state.up;
        ProCounter& counter = state.counter;
        ChipAccess& chip = s.core().chip();
        const auto lookup = counter.FieldLookup;

        if (!input_.empty()) {
            const TRegField* source = lookup("CNS");
            if (!source || !source->IsDefined())
                return s.Fail("the loaded chip does not bind CNS, the counter's input");
            if (!WriteFieldValue(chip, *source, input_ == "cnti" ? 1 : 0))
                return s.ChipFail("switching the counter's input");
        }
        CounterEntries entries;
        if (!range_.empty()) {
            const auto ranges = CapacitanceRanges();
            int index = 0;
            while (ranges[static_cast<size_t>(index)].caption != range_) ++index;
            if (!counter.RangeClick(index)) return s.ChipFail("writing the range's register block");
            entries.q = counter.entries().q;
        }
        entries.cta1 = QString::fromStdString(cta1_);
        entries.cta2 = QString::fromStdString(cta2_);
        if (!clock_.empty()) entries.systemClock = QString::fromStdString(clock_);
        if (!q_.empty()) entries.q = QString::fromStdString(q_);
        counter.SetEntries(entries);

        std::vector<CounterReading> readings;
        const QMetaObject::Connection collecting =
            QObject::connect(&counter, &ProCounter::ReadingShown,
                             [&readings](const CounterReading& r) { readings.push_back(r); });
        const bool armed = counter.BBGClick();
        // The ticks run here, not on a timer; a later run starts afresh.
        counter.StopTimer();
        if (!armed) {
            QObject::disconnect(collecting);
            const std::string why = hooks.Status(1);
            return s.ChipFail("arming the counter" + (why.empty() ? "" : " (" + why + ")"));
        }
        s.out() << hooks.Status(1) << '\n';  // the gate: "CTAI = 0x400000"

        Clock& clock = s.core().clock();
        int64_t nextTick = clock.NowMs() + ProCounter::kTickMs;
        while (static_cast<int>(readings.size()) < count_ && !Interrupted()) {
            up.Timer1Timer();
            if (clock.NowMs() >= nextTick) {
                nextTick += ProCounter::kTickMs;
                const size_t before = readings.size();
                counter.Timer1Timer();
                if (readings.size() > before && !Print(s, readings.back())) {
                    QObject::disconnect(collecting);
                    up.SetIntfReading(false);
                    return s.Fail(
                        "no counter report for 6 s: is a signal on the counter's input? (--input "
                        "cnti reads the CNTI pin, cp_out the capacitance comparator)");
                }
            }
            clock.SleepMs(TVz_UP::kHeartbeatMs);
        }
        QObject::disconnect(collecting);
        up.SetIntfReading(false);
        if (Interrupted()) return s.Fail(std::string("stopped by ") + InterruptName());
        return true;
    }

  private:
    // False for the dashes of a counter that sent no report.
    static bool Print(Session& s, const CounterReading& r) {
        if (r.frequency == QString::fromLatin1(kNoFigure) &&
            r.duty == QString::fromLatin1(kNoFigure))
            return false;
        s.out() << "frequency " << Figure(r.frequency) << " Hz, duty " << Figure(r.duty)
                << " %, high time " << Figure(r.highTime) << " us, Q/F " << Figure(r.capacitance)
                << '\n';
        return true;
    }

    std::string range_;
    std::string input_;
    std::string cta2_ = "C0";
    std::string cta1_ = "00";
    std::string clock_;
    std::string q_;
    int count_ = 5;
};

}  // namespace

void AddCounterVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"counter",
                     "counter [--range R] [--input cnti|cp_out] [--clock HZ] [--q Q] [--count N]: "
                     "frequency, duty, high time and capacitance figure of the program counter",
                     [] { return std::make_unique<CounterVerb>(); }});
}

}  // namespace dmm::cli
