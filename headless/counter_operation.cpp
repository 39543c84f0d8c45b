#include "headless/counter_operation.h"

#include <QObject>

#include "core/analog/block_field_ops.h"
#include "headless/number_rules.h"

namespace dmm::headless {
namespace {

std::string Figure(const std::optional<QString>& text) {
    return text ? text->trimmed().toStdString() : std::string(kNoFigure);
}

// The dashes of a counter that sent no report.
bool NoReport(const CounterReading& r) {
    return r.frequency == QString::fromLatin1(kNoFigure) &&
           r.duty == QString::fromLatin1(kNoFigure);
}

}  // namespace

CounterState::CounterState(HeadlessBench& bench)
    : up(bench.core().chip(), bench.hooks()),
      counter(bench.core().chip(), up, bench.hooks(), bench.core().clock()) {
    const auto lookup = [&bench](std::string_view field) {
        return bench.core().chipModel().Field(field);
    };
    up.FieldLookup = lookup;
    counter.FieldLookup = lookup;
    // The ticks run in RunCounter, without an event loop.
    counter.TickByHand();
}

std::vector<std::string> CapacitanceRangeNames() {
    std::vector<std::string> names;
    for (const CapacitanceRange& range : CapacitanceRanges()) names.push_back(range.caption);
    return names;
}

std::string CounterLine(const CounterReading& r) {
    return "frequency " + Figure(r.frequency) + " Hz, duty " + Figure(r.duty) + " %, high time " +
           Figure(r.highTime) + " us, Q/F " + Figure(r.capacitance);
}

Result<CounterRun> RunCounter(HeadlessBench& bench, const CounterRequest& request,
                              const std::function<void(const Progress&)>& onLine) {
    const std::vector<std::string> ranges = CapacitanceRangeNames();
    int rangeIndex = -1;
    for (size_t k = 0; k < ranges.size(); ++k) {
        if (ranges[k] == request.range) rangeIndex = static_cast<int>(k);
    }
    if (!request.range.empty() && rangeIndex < 0)
        return Refused("no capacitance range " + request.range +
                       " (500nF, 5uF, 50uF, 500uF or 10mF)");
    if (!request.input.empty() && request.input != "cnti" && request.input != "cp_out")
        return Refused("the counter's input is cnti or cp_out, not " + request.input);
    if (request.count < kReadingCountRule.low || request.count > kReadingCountRule.high)
        return Refused("the number of readings must be 1..100000");
    if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    if (Done board = bench.EnsureBoard(); !board) return board.failure();
    ChipAccess& chip = bench.core().chip();
    if (!ReadRamIntoImage(chip)) return bench.ChipFailure("reading the chip's registers");
    if (!bench.counter) bench.counter = std::make_unique<CounterState>(bench);
    TVz_UP& up = bench.counter->up;
    ProCounter& counter = bench.counter->counter;
    RunHooks& hooks = bench.hooks();

    if (!request.input.empty()) {
        const TRegField* source = counter.FieldLookup("CNS");
        if (!source || !source->IsDefined())
            return Failure{FailureKind::Failed,
                           "the loaded chip does not bind CNS, the counter's input"};
        if (!WriteFieldValue(chip, *source, request.input == "cnti" ? 1 : 0))
            return bench.ChipFailure("switching the counter's input");
    }
    // The window's entries as it opens, with what the request types over them.
    CounterEntries entries;
    if (rangeIndex >= 0) {
        if (!counter.RangeClick(rangeIndex))
            return bench.ChipFailure("writing the range's register block");
        entries.q = counter.entries().q;
    }
    entries.cta1 = QString::fromStdString(request.cta1);
    entries.cta2 = QString::fromStdString(request.cta2);
    if (!request.clock.empty()) entries.systemClock = QString::fromStdString(request.clock);
    if (!request.q.empty()) entries.q = QString::fromStdString(request.q);
    counter.SetEntries(entries);

    CounterRun run;
    const QMetaObject::Connection collecting =
        QObject::connect(&counter, &ProCounter::ReadingShown,
                         [&run](const CounterReading& r) { run.readings.push_back(r); });
    // Whatever ends the run, the connection and the INTF reading end with it.
    struct Ending {
        QMetaObject::Connection connection;
        TVz_UP& up;
        ~Ending() {
            QObject::disconnect(connection);
            up.SetIntfReading(false);
        }
    } ending{collecting, up};
    auto say = [&](const std::string& text) {
        if (onLine)
            onLine(Progress{static_cast<int64_t>(run.readings.size()), request.count, text});
    };
    if (!counter.BBGClick()) {
        const std::string why = hooks.Status(1);
        return bench.ChipFailure("arming the counter" + (why.empty() ? "" : " (" + why + ")"));
    }
    run.gate = hooks.Status(1);
    say(run.gate);

    Clock& clock = bench.core().clock();
    int64_t nextTick = clock.NowMs() + ProCounter::kTickMs;
    while (static_cast<int>(run.readings.size()) < request.count) {
        if (hooks.StopWanted())
            return Failure{FailureKind::Stopped, "stopped by " + hooks.StopName()};
        up.Timer1Timer();
        if (clock.NowMs() >= nextTick) {
            nextTick += ProCounter::kTickMs;
            const size_t before = run.readings.size();
            counter.Timer1Timer();
            if (run.readings.size() > before) {
                if (NoReport(run.readings.back()))
                    return Failure{FailureKind::TimedOut,
                                   "no counter report for 6 s: is a signal on the counter's input? "
                                   "(input cnti "
                                   "reads the CNTI pin, cp_out the capacitance comparator)"};
                say(CounterLine(run.readings.back()));
            }
        }
        clock.SleepMs(TVz_UP::kHeartbeatMs);
    }
    return run;
}

}  // namespace dmm::headless
