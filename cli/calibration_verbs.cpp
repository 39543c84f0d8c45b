// Resistor and voltage calibration, the ohmmeter and the calibration sets from the command
// line: rescal, volts, ohms, calset.
#include <QCoreApplication>
#include <QDir>

#include <cmath>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "cli/cli_ui_hooks.h"
#include "cli/verb.h"
#include "core/calsets/calset_manager.h"
#include "core/measure/resistance_meter.h"
#include "core/measure/resistor_calibration.h"

namespace dmm::cli {
namespace {

constexpr int64_t kLiveGapMs = 20000;
constexpr WholeRule kReadingCountRule{"a number of readings", 1, 100000};

// Hooks that print as the command line does and answer a question as --yes says.
class AnsweringHooks final : public UiHooks {
  public:
    explicit AnsweringHooks(std::ostream& err) : cli_(err) {}
    void SetStatusText(int panel, const QString& text) override { cli_.SetStatusText(panel, text); }
    void ShowGauge(bool visible) override { cli_.ShowGauge(visible); }
    void SetGauge(int p, int m) override { cli_.SetGauge(p, m); }
    void ShowMessage(const QString& text) override { cli_.ShowMessage(text); }
    bool AskYesNo(const QString&) override { return yes; }
    void ProcessPendingEvents() override { cli_.ProcessPendingEvents(); }
    std::string Status(int panel) const { return cli_.Status(panel); }
    bool yes = false;

  private:
    CliUiHooks cli_;
};

// The calibration objects of one dmmctl run, on the session's core, with a heartbeat of
// their own run by hand.
// Why an averaged reading gave nothing: the board went away during it, or no result came.
std::string NoReadingReason(const TVz_UP& up, uint32_t lossesBefore) {
    return up.LinkLosses() != lossesBefore ? "the board link was lost"
                                           : "no ADC1 reading within 20 s";
}

struct CalibrationState {
    explicit CalibrationState(Session& s)
        : application(QCoreApplication::instance()
                          ? nullptr
                          : std::make_unique<QCoreApplication>(argc, argv)),
          hooks(s.err()),
          up(s.core().chip(), hooks),
          cal(s.core().chip(), up, hooks, s.core().clock()),
          meter(s.core().chip(), up, hooks, s.core().clock(), [this] { return cal.voltsPerCount; }),
          sets(s.core().chip(), up, hooks, s.core().clock(), s.core().chipModel()) {
        up.FieldLookup = [&s](std::string_view name) { return s.core().chipModel().Field(name); };
        up.SetIntfReading(true);
    }
    // The windows' timers of these objects are never run here, but Qt wants an
    // application object before a timer is started or stopped.
    int argc = 1;
    char name[8] = "dmmctl";
    char* argv[1] = {name};
    std::unique_ptr<QCoreApplication> application;
    AnsweringHooks hooks;
    TVz_UP up;
    ResistorCalibration cal;
    ResistanceMeter meter;
    CalSetManager sets;
};

// A converter a procedure reads from, named for the message, and its enable field.
struct Converter {
    const char* name;
    const char* enable;
};
constexpr Converter kAdc1Path[] = {{"ADC1", "ENAD_S"}};
// The RMS converter works on ADC2's samples.
constexpr Converter kRmsPath[] = {{"ADC2", "ENAD_F"}, {"the RMS converter", "EN_RMS"}};

// False (said which) when one of the converters is off in the image: a procedure waiting
// for its readings would only fail after 20 s.
bool ConvertersOn(Session& s, std::span<const Converter> converters) {
    for (const Converter& converter : converters) {
        const TRegField* enable = s.core().chipModel().Field(converter.enable);
        if (enable && enable->IsDefined() &&
            enable->Extract(s.core().chip().GetRegImage(enable->registerIndex)) == 0) {
            const std::string field = converter.enable;
            return s.Fail(std::string(converter.name) + " is off (" + field +
                          " is 0): switch it on first, e.g. dmmctl field " + field + " 1");
        }
    }
    return true;
}

// The run's calibration state, made with the chip and board ready and the image read from
// the chip; nullptr (said why) when they are not or a converter the verb reads is off.
CalibrationState* Ready(Session& s, std::span<const Converter> reads = kAdc1Path) {
    if (!s.EnsureChip() || !s.EnsureBoard()) return nullptr;
    if (!s.sharedState) s.sharedState = std::make_shared<CalibrationState>(s);
    auto* state = static_cast<CalibrationState*>(s.sharedState.get());
    // The image is the chip's as it stands: a set saved from it must not carry bytes the
    // run never read (an oscillator "off" that is on).
    if (!ReadRamIntoImage(s.core().chip())) {
        s.ChipFail("reading the chip's registers");
        return nullptr;
    }
    return ConvertersOn(s, reads) ? state : nullptr;
}

// Runs the heartbeat and a live display's tick until count fresh values came; false when
// a gap of 20 s came first.
template <typename Tick>
bool Live(Session& s, CalibrationState& c, int count, int& shown, Tick tick) {
    Clock& clock = s.core().clock();
    int64_t last = clock.NowMs();
    while (shown < count) {
        const int before = shown;
        c.up.Timer1Timer();
        tick();
        if (shown != before) {
            last = clock.NowMs();
            continue;
        }
        if (clock.NowMs() - last > kLiveGapMs) return false;
        clock.SleepMs(TVz_UP::kHeartbeatMs);
    }
    return true;
}

std::string Fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals).toStdString();
}

class RescalVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("what", what_, "auto (steps 1 to 4), or one step 1..4")
            ->required()
            ->check(CLI::IsMember({"auto", "1", "2", "3", "4"}));
        app.add_option("--cal-volts", calVolts_,
                       "then calibrate volts per count with this voltage on the input")
            ->transform(Real(kCalibrationVoltageRule));
    }
    bool Run(Session& s) override {
        CalibrationState* c = Ready(s);
        if (!c) return false;
        const uint32_t losses = c->up.LinkLosses();
        const bool ok =
            what_ == "auto" ? c->cal.PAUTOClick() : c->cal.ResistorStep(std::stoi(what_));
        const char* names[4] = {"R1M", "R100K", "R10K", "R1K"};
        for (int k = 0; k < 4; ++k)
            s.out() << names[k] << ' ' << Fixed(c->cal.resistors[static_cast<size_t>(k)], 3)
                    << '\n';
        if (!ok) return s.Fail(c->hooks.Status(1) + ": " + NoReadingReason(c->up, losses));
        if (!calVolts_.empty()) {
            if (!c->cal.PCALVOLClick(QString::fromStdString(calVolts_))) {
                // A refused voltage says so itself; a reading that failed gets its reason.
                const std::string status = c->hooks.Status(1);
                return s.Fail(status.rfind("Calibration voltage Fail", 0) == 0
                                  ? status + ": " + NoReadingReason(c->up, losses)
                                  : status);
            }
            s.out() << "volts per count "
                    << QString::number(c->cal.voltsPerCount, 'g', 15).toStdString() << '\n';
        }
        return true;
    }

  private:
    std::string what_;
    std::string calVolts_;
};

class VoltsVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("range", range_, "1V, 10V, 100V or 1000V")
            ->required()
            ->check(CLI::IsMember({"1V", "10V", "100V", "1000V"}));
        app.add_option("--count", count_, "readings to print (default 5)")
            ->transform(Whole(kReadingCountRule));
        app.add_option("--eptc", eptc_, "ohms subtracted from 10 MΩ in the range factor (8000)")
            ->transform(Real(kEptcRule));
    }
    bool Run(Session& s) override {
        CalibrationState* c = Ready(s);
        if (!c) return false;
        const int r = range_ == "1V" ? 0 : range_ == "10V" ? 1 : range_ == "100V" ? 2 : 3;
        if (c->cal.resistors[static_cast<size_t>(r)] == 0.0)
            s.err() << "dmmctl: the range resistor is not measured (run rescal auto first): "
                       "the reading is 0\n";
        if (!c->cal.SelectRange(r, QString::fromStdString(eptc_)))
            return s.ChipFail("writing the range block");
        c->cal.StopTimer();
        int shown = 0;
        const QMetaObject::Connection printing = QObject::connect(
            &c->cal, &ResistorCalibration::VoltmeterShown, [&](const VoltmeterFigure& f) {
                ++shown;
                // The first three readings still average with the history before them.
                if (shown > 3) s.out() << Fixed(c->cal.lastVolts, f.decimals) << " V\n";
            });
        const bool ok = Live(s, *c, count_ + 3, shown, [c] { c->cal.Timer1Timer(); });
        QObject::disconnect(printing);
        return ok || s.Fail("no ADC1 reading within 20 s");
    }

  private:
    std::string range_;
    int count_ = 5;
    std::string eptc_ = "8000";
};

class OhmsVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("range", range_, "50M, 5M, 500K, 50K, 5K or 500")
            ->required()
            ->check(CLI::IsMember({"50M", "5M", "500K", "50K", "5K", "500"}));
        app.add_option("--cal", cal_, "calibrate the range against this resistor (ohms) first")
            ->transform(Real(kCalibrationResistorRule));
        app.add_option("--count", count_, "readings to print (default 5)")
            ->transform(Whole(kReadingCountRule));
    }
    bool Run(Session& s) override {
        CalibrationState* c = Ready(s);
        if (!c) return false;
        int range = 0;
        for (int i = 0; i < kResistanceRangeCount; ++i) {
            if (range_ == ResistanceRanges()[static_cast<size_t>(i)].caption) range = i;
        }
        if (!c->meter.RangeClick(range)) return s.ChipFail("writing the range block");
        if (!cal_.empty()) {
            const uint32_t losses = c->up.LinkLosses();
            if (!c->meter.CalibrateClick(range, QString::fromStdString(cal_)))
                return s.Fail("Calibration Fail!!!!!: " + NoReadingReason(c->up, losses));
            s.out() << "factor " << Fixed(c->up.RangeFactors[static_cast<size_t>(range)], 4)
                    << '\n';
        }
        int shown = 0;
        const QMetaObject::Connection printing = QObject::connect(
            &c->meter, &ResistanceMeter::ResistanceShown, [&](qint64 ohms, bool overRange) {
                if (++shown <= 3) return;
                if (overRange)
                    s.out() << "OL\n";
                else
                    s.out() << ohms << " ohm\n";
            });
        const bool ok = Live(s, *c, count_ + 3, shown, [c] { c->meter.Timer1Timer(); });
        QObject::disconnect(printing);
        return ok || s.Fail("no ADC1 reading within 20 s");
    }

  private:
    std::string range_;
    std::string cal_;
    int count_ = 5;
};

class CalsetVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_option("action", action_, "list, apply N, offset N, gain N or save [N]")
            ->required()
            ->check(CLI::IsMember({"list", "apply", "offset", "gain", "save"}));
        app.add_option("slot", slot_, "the set's slot, 0..9")
            ->transform(Whole({"a slot", 0, kConfigSetSlots - 1}));
        app.add_option("--folder", folder_,
                       "the folder of the sets (default: the bench directory)");
        app.add_flag("--yes", yes_, "replace an existing set without asking");
    }
    bool Run(Session& s) override {
        CalibrationState* c = Ready(s, {});
        if (!c) return false;
        const QString folder = QString::fromStdString(folder_.empty() ? s.benchDir() : folder_);
        if (folder.isEmpty() || !QDir(folder).exists())
            return s.Fail("no folder " + folder.toStdString() + " for the sets");
        c->hooks.yes = yes_;
        CalSetManager& sets = c->sets;
        sets.ScanFolder(folder);
        if (action_ == "list") return List(s, sets);
        if (action_ == "save") return Save(s, sets);
        if (slot_ < 0) return s.Fail("calset " + action_ + " needs a slot 0..9");
        if (sets.slotState(slot_) == SlotState::Empty)
            return s.Fail("slot " + std::to_string(slot_) + " holds no set");
        // An unreadable file is named by the refusal.
        if (!sets.Select(slot_)) return false;
        if (action_ == "apply") {
            if (!sets.ApplySlot(slot_)) return s.ChipFail("writing the set to the chip");
            s.out() << "applied " << sets.loaded().name.toStdString() << " ("
                    << sets.SlotPath(slot_).toStdString() << ")\n";
            return true;
        }
        // The chip is measured as it stands: apply the set first where that is wanted.
        if (!ConvertersOn(s, sets.loaded().adcChoice == 1 ? std::span<const Converter>(kRmsPath)
                                                          : std::span<const Converter>(kAdc1Path)))
            return false;
        const bool gain = action_ == "gain";
        if (!sets.MeasureInto(slot_, gain, ControlsOf(sets.loaded()))) {
            if (c->hooks.Status(1) != "Save false!!!!!") return s.Fail("the set was not written");
            return s.Fail("Save false!!!!!: fewer samples than asked within 20 s (nothing saved)");
        }
        s.out() << (gain ? "gain" : "offset") << " ADC1 " << Fixed(sets.lastMeans[0], 0) << " RMS "
                << Fixed(sets.lastMeans[1], 0) << '\n';
        return true;
    }

  private:
    static bool List(Session& s, const CalSetManager& sets) {
        for (int n = 0; n < kConfigSetSlots; ++n) {
            s.out() << n << ' ' << sets.captions()[static_cast<size_t>(n)].toStdString();
            if (sets.slotState(n) == SlotState::Unreadable)
                s.out() << " (" << sets.SlotPath(n).toStdString() << ": "
                        << sets.SlotFault(n).toStdString() << ')';
            s.out() << '\n';
        }
        return true;
    }
    // The chip's registers into slot N, or into the first free slot; nothing else.
    bool Save(Session& s, CalSetManager& sets) const {
        const int slot = slot_ >= 0 ? slot_ : sets.FirstFreeSlot();
        if (slot < 0) return s.Fail("no free slot: all ten hold a file (name the one to replace)");
        if (!sets.StoreRegisters(slot, ConfigSet{})) {
            const bool asked = sets.slotState(slot) == SlotState::Set && !yes_;
            return s.Fail(asked ? "the set was not written (replacing one needs --yes)"
                                : "the set was not written");
        }
        s.out() << "wrote slot " << slot << ": " << sets.SlotPath(slot).toStdString() << '\n';
        return true;
    }

    std::string action_;
    int slot_ = -1;
    std::string folder_;
    bool yes_ = false;
};

}  // namespace

void AddCalibrationVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"rescal",
                     "rescal auto|1..4 [--cal-volts V]: measure the divider resistors from the "
                     "10 MOhm reference (prints R1M, R100K, R10K, R1K)",
                     [] { return std::make_unique<RescalVerb>(); }});
    verbs.push_back({"volts",
                     "volts 1V|10V|100V|1000V [--count N] [--eptc OHMS]: the DC voltmeter on the "
                     "measured divider",
                     [] { return std::make_unique<VoltsVerb>(); }});
    verbs.push_back({"ohms",
                     "ohms 50M|5M|500K|50K|5K|500 [--cal OHMS] [--count N]: the ohmmeter, "
                     "calibrated first against a known resistor",
                     [] { return std::make_unique<OhmsVerb>(); }});
    verbs.push_back({"calset",
                     "calset list|apply N|offset N|gain N|save [N] [--folder DIR] [--yes]: the "
                     "calibration sets VZCONFIG-0.txt..VZCONFIG-9.txt",
                     [] { return std::make_unique<CalsetVerb>(); }});
}

}  // namespace dmm::cli
