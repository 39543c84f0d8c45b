// Resistor and voltage calibration, the ohmmeter and the calibration sets from the command
// line: rescal, volts, ohms, calset.
#include <QString>

#include <cmath>
#include <optional>
#include <string>

#include "cli/verb.h"
#include "headless/calibration_operations.h"
#include "headless/number_rules.h"

namespace dmm::cli {
namespace {

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
        std::optional<std::string> volts;
        if (!calVolts_.empty()) volts = calVolts_;
        const auto run =
            headless::CalibrateResistors(s.bench(), what_ == "auto" ? 0 : std::stoi(what_), volts);
        if (!run) return s.Fail(run.failure());
        const char* names[4] = {"R1M", "R100K", "R10K", "R1K"};
        for (size_t k = 0; k < 4; ++k)
            s.out() << names[k] << ' ' << Fixed(run->resistors[k], 3) << '\n';
        if (run->failure) return s.Fail(*run->failure);
        if (run->voltsPerCount)
            s.out() << "volts per count "
                    << QString::number(*run->voltsPerCount, 'g', 15).toStdString() << '\n';
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
            ->transform(Whole(headless::kReadingCountRule));
        app.add_option("--eptc", eptc_, "ohms subtracted from 10 MΩ in the range factor (8000)")
            ->transform(Real(kEptcRule));
    }
    bool Run(Session& s) override {
        const auto run = headless::ReadVolts(
            s.bench(), headless::VoltmeterRangeOf(range_).value_or(-1), count_, eptc_);
        if (!run) return s.Fail(run.failure());
        for (double volts : run->readings) s.out() << Fixed(volts, run->decimals) << " V\n";
        return !run->failure || s.Fail(*run->failure);
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
            ->transform(Whole(headless::kReadingCountRule));
    }
    bool Run(Session& s) override {
        std::optional<std::string> calibration;
        if (!cal_.empty()) calibration = cal_;
        const auto run = headless::ReadOhms(
            s.bench(), headless::OhmmeterRangeOf(range_).value_or(-1), count_, calibration);
        if (!run) return s.Fail(run.failure());
        if (run->factor) s.out() << "factor " << Fixed(*run->factor, 4) << '\n';
        for (double ohms : run->readings) {
            if (std::isinf(ohms))
                s.out() << "OL\n";
            else
                s.out() << static_cast<int64_t>(std::nearbyint(ohms)) << " ohm\n";
        }
        return !run->failure || s.Fail(*run->failure);
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
            ->transform(Whole(headless::kCalSetSlotRule));
        app.add_option("--folder", folder_,
                       "the folder of the sets (default: the bench directory)");
        app.add_flag("--yes", yes_, "replace an existing set without asking");
    }
    bool Run(Session& s) override {
        headless::HeadlessBench& bench = s.bench();
        if (action_ == "list") {
            const auto listed = headless::ListCalSets(bench, folder_);
            if (!listed) return s.Fail(listed.failure());
            for (size_t n = 0; n < listed->size(); ++n) {
                const headless::CalSetSlot& slot = (*listed)[n];
                s.out() << n << ' ' << slot.caption;
                if (slot.state == SlotState::Unreadable)
                    s.out() << " (" << slot.path << ": " << slot.fault << ')';
                s.out() << '\n';
            }
            return true;
        }
        if (action_ == "save") {
            std::optional<int> slot;
            if (slot_ >= 0) slot = slot_;
            const auto saved = headless::SaveCalSet(bench, folder_, slot, yes_);
            if (!saved) return s.Fail(saved.failure());
            s.out() << "wrote slot " << saved->slot << ": " << saved->path << '\n';
            return true;
        }
        if (slot_ < 0) return s.Fail("calset " + action_ + " needs a slot 0..9");
        if (action_ == "apply") {
            const auto applied = headless::ApplyCalSet(bench, folder_, slot_);
            if (!applied) return s.Fail(applied.failure());
            s.out() << "applied " << applied->name << " (" << applied->path << ")\n";
            return true;
        }
        const bool gain = action_ == "gain";
        const auto means = headless::MeasureCalSet(bench, folder_, slot_, gain, yes_);
        if (!means) return s.Fail(means.failure());
        s.out() << (gain ? "gain" : "offset") << " ADC1 " << Fixed((*means)[0], 0) << " RMS "
                << Fixed((*means)[1], 0) << '\n';
        return true;
    }

  private:
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
