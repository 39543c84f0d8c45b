#include "headless/calibration_operations.h"

#include "headless/number_rules.h"

#include <QDir>

#include <span>

#include "core/measure/averaged_reading.h"
#include "core/measure/divider_blocks.h"

namespace dmm::headless {
namespace {

Done CheckCount(int count) {
    const WholeRule& rule = kReadingCountRule;
    if (count >= rule.low && count <= rule.high) return {};
    return Refused(Refusal(std::to_string(count), rule.what, RangeText(rule)));
}

// A converter a procedure reads from, named for the message, and its enable field.
struct Converter {
    const char* name;
    const char* enable;
};
constexpr Converter kAdc1Path[] = {{"ADC1", "ENAD_S"}};
// The RMS converter works on ADC2's samples.
constexpr Converter kRmsPath[] = {{"ADC2", "ENAD_F"}, {"the RMS converter", "EN_RMS"}};
constexpr const char* kVoltmeterRanges[] = {"1V", "10V", "100V", "1000V"};

// Why not, when one of the converters is off in the image: a procedure waiting for its
// readings would only fail after 20 s.
Done ConvertersOn(HeadlessBench& bench, std::span<const Converter> converters) {
    for (const Converter& converter : converters) {
        const TRegField* enable = bench.core().chipModel().Field(converter.enable);
        if (enable && enable->IsDefined() &&
            enable->Extract(bench.core().chip().GetRegImage(enable->registerIndex)) == 0) {
            const std::string field = converter.enable;
            return Refused(std::string(converter.name) + " is off (" + field +
                           " is 0): switch it on first, e.g. dmmctl field " + field + " 1");
        }
    }
    return {};
}

// The bench's calibration state, made with the chip and board ready and the image read
// from the chip; why not when they are not or a converter the operation reads is off.
Result<CalibrationState*> Ready(HeadlessBench& bench,
                                std::span<const Converter> reads = kAdc1Path) {
    if (Done chip = bench.EnsureChip(); !chip) return chip.failure();
    if (Done board = bench.EnsureBoard(); !board) return board.failure();
    if (!bench.calibration) bench.calibration = std::make_unique<CalibrationState>(bench);
    // The image is the chip's as it stands: a set saved from it must not carry bytes the
    // run never read (an oscillator "off" that is on).
    if (!ReadRamIntoImage(bench.core().chip()))
        return bench.ChipFailure("reading the chip's registers");
    if (Done on = ConvertersOn(bench, reads); !on) return on.failure();
    return bench.calibration.get();
}

// Counts the board's losses from the start of an averaged reading, to tell a reading that
// failed because the board went away from one that never came.
class LossWatch {
  public:
    explicit LossWatch(const TVz_UP& up) : up_(up), before_(up.LinkLosses()) {}
    bool Lost() const { return up_.LinkLosses() != before_; }

  private:
    const TVz_UP& up_;
    uint32_t before_;
};

// A reading that did not come: stopped, the board lost during it, or no ADC1 result for 20 s.
Failure NoReading(HeadlessBench& bench, const std::string& what = {},
                  const LossWatch* losses = nullptr) {
    const std::string prefix = what.empty() ? std::string() : what + ": ";
    if (bench.hooks().StopWanted())
        return Failure{FailureKind::Stopped, prefix + "stopped by " + bench.hooks().StopName()};
    if (losses && losses->Lost())
        return Failure{FailureKind::Link, prefix + "the board link was lost"};
    return Failure{FailureKind::TimedOut, prefix + "no ADC1 reading within 20 s"};
}

// The folder of the sets, scanned; why not when there is none.
Result<CalSetManager*> SetsIn(HeadlessBench& bench, const std::string& folderText) {
    Result<CalibrationState*> c = Ready(bench, {});
    if (!c) return c.failure();
    const QString folder =
        QString::fromStdString(folderText.empty() ? bench.benchDir() : folderText);
    if (folder.isEmpty() || !QDir(folder).exists())
        return Refused("no folder " + folder.toStdString() + " for the sets");
    (*c)->sets.ScanFolder(folder);
    return &(*c)->sets;
}

// The set of a slot, selected; why not when the slot holds none.
Done SelectSet(HeadlessBench& bench, CalSetManager& sets, int slot) {
    if (slot < 0 || slot >= kConfigSetSlots) return Refused("a set's slot is 0..9");
    if (sets.slotState(slot) == SlotState::Empty)
        return Refused("slot " + std::to_string(slot) + " holds no set");
    // An unreadable file is named by the refusal.
    if (!sets.Select(slot)) return Failure{FailureKind::Refused, bench.hooks().LastSaid(), true};
    return {};
}

// Answers the work's questions as the caller said, for as long as an operation runs.
class Answering {
  public:
    Answering(RunHooks& hooks, bool yes) : hooks_(hooks), before_(hooks.answerYes) {
        hooks_.answerYes = yes;
    }
    ~Answering() { hooks_.answerYes = before_; }
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

  private:
    RunHooks& hooks_;
    bool before_;
};

}  // namespace

CalibrationState::CalibrationState(HeadlessBench& bench)
    : up(bench.core().chip(), bench.hooks()),
      cal(bench.core().chip(), up, bench.hooks(), bench.core().clock()),
      meter(bench.core().chip(), up, bench.hooks(), bench.core().clock(),
            [this] { return cal.voltsPerCount; }),
      sets(bench.core().chip(), up, bench.hooks(), bench.core().clock(), bench.core().chipModel()) {
    up.FieldLookup = [&bench](std::string_view name) {
        return bench.core().chipModel().Field(name);
    };
    up.SetIntfReading(true);
    RunHooks& hooks = bench.hooks();
    cal.stopRequested = [&hooks] { return hooks.StopWanted(); };
    meter.stopRequested = [&hooks] { return hooks.StopWanted(); };
}

Result<ResistorRun> CalibrateResistors(HeadlessBench& bench, int step,
                                       const std::optional<std::string>& calibrationVolts) {
    if (step < 0 || step > ResistorCalibration::kStepCount)
        return Refused("a resistor step is 1..4 (or all four)");
    Result<CalibrationState*> c = Ready(bench);
    if (!c) return c.failure();
    ResistorCalibration& cal = (*c)->cal;
    const LossWatch losses((*c)->up);
    const bool ok = step == 0 ? cal.PAUTOClick() : cal.ResistorStep(step);
    ResistorRun run;
    run.resistors = cal.resistors;
    if (!ok) {
        run.failure = NoReading(bench, bench.hooks().Status(1), &losses);
        return run;
    }
    if (calibrationVolts) {
        if (!cal.PCALVOLClick(QString::fromStdString(*calibrationVolts))) {
            // A refused voltage says so itself; a reading that failed gets its reason.
            const std::string status = bench.hooks().Status(1);
            run.failure = status.rfind("Calibration voltage Fail", 0) == 0
                              ? NoReading(bench, status, &losses)
                              : Failure{FailureKind::Failed, status};
            return run;
        }
        run.voltsPerCount = cal.voltsPerCount;
    }
    return run;
}

std::optional<int> VoltmeterRangeOf(const std::string& caption) {
    for (int r = 0; r < 4; ++r) {
        if (caption == kVoltmeterRanges[r]) return r;
    }
    return std::nullopt;
}

std::optional<int> OhmmeterRangeOf(const std::string& caption) {
    for (int i = 0; i < kResistanceRangeCount; ++i) {
        if (caption == ResistanceRanges()[static_cast<size_t>(i)].caption) return i;
    }
    return std::nullopt;
}

Result<LiveRun> ReadVolts(HeadlessBench& bench, int range, int count, const std::string& eptcOhms) {
    if (range < 0 || range > 3) return Refused("a voltmeter range is 1V, 10V, 100V or 1000V");
    if (Done counted = CheckCount(count); !counted) return counted.failure();
    // A factor from an EPTC that is no resistance would show a voltage that is none.
    std::string refusal;
    const auto eptc = ReadReal(eptcOhms, kEptcRule, &refusal);
    if (!eptc) return Refused("EPTC: " + refusal);
    Result<CalibrationState*> c = Ready(bench);
    if (!c) return c.failure();
    ResistorCalibration& cal = (*c)->cal;
    if (cal.resistors[static_cast<size_t>(range)] == 0.0)
        bench.hooks().Say(
            "the range resistor is not measured (run rescal auto first): the reading is 0");
    if (!cal.SetRange(range, *eptc)) return bench.ChipFailure("writing the range block");
    LiveRun run;
    run.decimals = VoltmeterFigureOf(0.0, range).decimals;
    run.readings = cal.TakeVoltmeterReadings(count);
    if (static_cast<int>(run.readings.size()) < count) run.failure = NoReading(bench);
    return run;
}

Result<LiveRun> ReadOhms(HeadlessBench& bench, int range, int count,
                         const std::optional<std::string>& calibrationOhms) {
    if (range < 0 || range >= kResistanceRangeCount)
        return Refused("an ohmmeter range is 50M, 5M, 500K, 50K, 5K or 500");
    if (Done counted = CheckCount(count); !counted) return counted.failure();
    if (calibrationOhms) {
        std::string refusal;
        if (!ReadReal(*calibrationOhms, kCalibrationResistorRule, &refusal))
            return Refused("calibration resistor: " + refusal);
    }
    Result<CalibrationState*> c = Ready(bench);
    if (!c) return c.failure();
    CalibrationState& state = **c;
    if (!state.meter.SetRange(range)) return bench.ChipFailure("writing the range block");
    LiveRun run;
    if (calibrationOhms) {
        const LossWatch losses(state.up);
        if (!state.meter.CalibrateClick(range, QString::fromStdString(*calibrationOhms)))
            return NoReading(bench, "Calibration Fail!!!!!", &losses);
        run.factor = state.up.RangeFactors[static_cast<size_t>(range)];
    }
    run.readings = state.meter.TakeReadings(count);
    if (static_cast<int>(run.readings.size()) < count) run.failure = NoReading(bench);
    return run;
}

Result<std::vector<CalSetSlot>> ListCalSets(HeadlessBench& bench, const std::string& folder) {
    Result<CalSetManager*> sets = SetsIn(bench, folder);
    if (!sets) return sets.failure();
    std::vector<CalSetSlot> listed;
    for (int n = 0; n < kConfigSetSlots; ++n) {
        CalSetSlot slot;
        slot.caption = (*sets)->captions()[static_cast<size_t>(n)].toStdString();
        slot.state = (*sets)->slotState(n);
        slot.path = (*sets)->SlotPath(n).toStdString();
        slot.fault = (*sets)->SlotFault(n).toStdString();
        listed.push_back(std::move(slot));
    }
    return listed;
}

Result<AppliedSet> ApplyCalSet(HeadlessBench& bench, const std::string& folder, int slot) {
    Result<CalSetManager*> sets = SetsIn(bench, folder);
    if (!sets) return sets.failure();
    if (Done selected = SelectSet(bench, **sets, slot); !selected) return selected.failure();
    if (!(*sets)->ApplySlot(slot)) return bench.ChipFailure("writing the set to the chip");
    return AppliedSet{(*sets)->loaded().name.toStdString(), (*sets)->SlotPath(slot).toStdString()};
}

Result<std::array<double, 2>> MeasureCalSet(HeadlessBench& bench, const std::string& folder,
                                            int slot, bool gain, bool replace) {
    const Answering answering(bench.hooks(), replace);
    Result<CalSetManager*> found = SetsIn(bench, folder);
    if (!found) return found.failure();
    CalSetManager& sets = **found;
    if (Done selected = SelectSet(bench, sets, slot); !selected) return selected.failure();
    // The chip is measured as it stands: apply the set first where that is wanted.
    const bool rms = sets.loaded().adcChoice == 1;
    if (Done on = ConvertersOn(bench, rms ? std::span<const Converter>(kRmsPath)
                                          : std::span<const Converter>(kAdc1Path));
        !on)
        return on.failure();
    if (!sets.MeasureInto(slot, gain, ControlsOf(sets.loaded()))) {
        if (bench.hooks().Status(1) != "Save false!!!!!")
            return Failure{FailureKind::Failed, "the set was not written"};
        return Failure{FailureKind::TimedOut,
                       "Save false!!!!!: fewer samples than asked within 20 s (nothing saved)"};
    }
    return sets.lastMeans;
}

Result<SavedSet> SaveCalSet(HeadlessBench& bench, const std::string& folder,
                            std::optional<int> slot, bool replace) {
    const Answering answering(bench.hooks(), replace);
    if (slot && (*slot < 0 || *slot >= kConfigSetSlots)) return Refused("a set's slot is 0..9");
    Result<CalSetManager*> found = SetsIn(bench, folder);
    if (!found) return found.failure();
    CalSetManager& sets = **found;
    // The chip's registers into slot N, or into the first free slot; nothing else.
    const int into = slot ? *slot : sets.FirstFreeSlot();
    if (into < 0) return Refused("no free slot: all ten hold a file (name the one to replace)");
    if (!sets.StoreRegisters(into, ConfigSet{})) {
        const bool asked = sets.slotState(into) == SlotState::Set && !replace;
        return asked ? Refused("the set was not written (replacing one needs --yes)")
                     : Failure{FailureKind::Failed, "the set was not written"};
    }
    return SavedSet{into, sets.SlotPath(into).toStdString()};
}

}  // namespace dmm::headless
