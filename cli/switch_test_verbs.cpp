// The channel switch test from the command line: switchtest.
#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <iomanip>
#include <numeric>
#include <sstream>

#include "cli/cli_ui_hooks.h"
#include "cli/interrupt.h"
#include "cli/verb.h"
#include "core/analog/switch_test.h"

namespace dmm::cli {
namespace {

std::string ChannelList(const SwitchTestSetup& setup) {
    std::string text;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        if (!setup.enabled[static_cast<size_t>(k)]) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(k + 1);
    }
    return text.empty() ? "none" : text;
}

std::string FailureText(SwitchTestEnd end, const SwitchTest& test) {
    const std::string read =
        std::to_string(test.lastRead()) + " of " + std::to_string(test.lastTotal()) + " samples";
    switch (end) {
        case SwitchTestEnd::NoBoard:
            return "the board did not answer the identification request";
        case SwitchTestEnd::SendFailed:
            return "Test Fail: the set-up did not reach the firmware intact (a transfer failed "
                   "or the register list read back differently)";
        case SwitchTestEnd::NotFinished:
            return "Test Fail: the board's status could not be read before the firmware "
                   "reported the end of the run";
        case SwitchTestEnd::TimedOut:
            return "Test Fail: the firmware did not report the end of the run within the "
                   "time-out";
        case SwitchTestEnd::Stopped:
            return "Test Fail: stopped with " + read + " read";
        case SwitchTestEnd::ReadFailed:
            return "Test Fail: a block of samples could not be read (" + read + " in)";
        case SwitchTestEnd::NotReady:
            return "Test Fail: the firmware did not clear its ready bit (0D2H bit 7) within " +
                   std::to_string(kHandshakeTimeoutMs / 1000) + " s";
        case SwitchTestEnd::BlockTimedOut:
            return "Test Fail: the firmware did not hand out a block of samples (0A4H bit 3) "
                   "within " +
                   std::to_string(kHandshakeTimeoutMs / 1000) + " s (" + read + " in)";
        case SwitchTestEnd::NoChannel:
        case SwitchTestEnd::Busy:
        case SwitchTestEnd::Complete:
            break;
    }
    return {};
}

class SwitchTestVerb final : public Verb {
  public:
    void Define(CLI::App& app) override {
        app.add_flag("--send-only", sendOnly_, "only send the set-up to the firmware and check it");
        app.add_option("--csv-dir", csvDir_,
                       "write VzADCSW0.CSV..VzADCSW7.CSV there (default: the bench directory)");
        app.add_option("--scale", bits_, "result bits b (8..24): samples divided by 2^(24-b)")
            ->transform(Whole(kResultBitsRule));
        app.add_option("--timeout", timeoutMs_,
                       "give up when the firmware has not finished after this many seconds")
            ->transform(Duration(kCaptureTimeoutRule));
    }

    bool Run(Session& s) override {
        if (s.benchDir().empty()) return s.Fail("no bench directory to read StepADC.txt from");
        const QString folder = QString::fromStdString(csvDir_.empty() ? s.benchDir() : csvDir_);
        // A folder that cannot take the files is refused before the run, not after it.
        if (!sendOnly_ && !(QFileInfo(folder).isDir() && QFileInfo(folder).isWritable()))
            return s.Fail("cannot write the result files to " + folder.toStdString() +
                          ": it is not a writable folder");
        // The simulated bench carries the demo DMM chip unless told otherwise; its firmware
        // knows nothing of the switch test.
        const GlobalOptions& options = s.options();
        if (options.sim &&
            QString::fromStdString(options.simChip).compare("RX405", Qt::CaseInsensitive) != 0)
            return s.Fail(
                "the switch test runs on the RX405's firmware: on the simulated bench give "
                "--sim-chip RX405 --kind special");
        if (s.core().target().interfaceKind == InterfaceKind::DMM) {
            return s.Fail(
                "the switch test needs the microcontroller's link (--kind spi, special or "
                "uart): the DMM link reaches only 0x00..0x7F");
        }
        if (!s.EnsureBoard()) return false;

        CliUiHooks ui(s.err());
        SwitchTest test(s.core(), ui);
        const QString stepFile = QDir(QString::fromStdString(s.benchDir())).filePath(kStepFileName);
        test.LoadConfig(stepFile);
        test.TXScaleChange(bits_ - kMinResultBits);
        test.firmwareTimeoutMs = timeoutMs_;
        const SwitchTestSetup& setup = test.setup();
        s.out() << stepFile.toStdString() << ": channels " << ChannelList(setup) << "; "
                << setup.G() << " samples a step, " << setup.L() << " loops\n";

        if (sendOnly_) {
            if (!test.SendTORX405WR())
                return s.Fail(std::string(kDataSendFailText) +
                              ": the set-up did not reach the firmware intact");
            s.out() << kDataSendOkText << '\n';
            return true;
        }

        ui.progress = [&] {
            // Until the firmware reports the end, status panel 1 counts the seconds of the
            // wait; the samples are read once "Test OK" stands in panel 2.
            if (ui.Status(2) != kTestOkText) {
                const std::string seconds = ui.Status(1);
                const bool counted = !seconds.empty() &&
                                     seconds.find_first_not_of("0123456789") == std::string::npos;
                return "waiting for the firmware" + (counted ? ": " + seconds + " s" : "");
            }
            return "read " + std::to_string(test.lastRead()) + " of " +
                   std::to_string(test.lastTotal()) + " samples";
        };
        ui.onInterrupt = [&] { test.RequestStop(); };
        const SwitchTestEnd end = test.TestBeginClick();
        ui.progress = nullptr;
        if (Interrupted()) {
            return s.Fail(std::string("stopped by ") + InterruptName() + " after " +
                          std::to_string(test.lastRead()) + " of " +
                          std::to_string(test.lastTotal()) + " samples; nothing written");
        }
        // The refusal of a run without channels was printed as it happened.
        if (end == SwitchTestEnd::NoChannel) return false;
        if (end != SwitchTestEnd::Complete) return s.Fail(FailureText(end, test));

        s.out() << kTestOkText << ": " << test.lastRead() << " samples\n";
        const int count = setup.G() * setup.L();
        int table = 0;
        for (int k = 0; k < kSwitchChannelCount; ++k) {
            if (!setup.enabled[static_cast<size_t>(k)]) continue;
            const auto& samples = test.tables()[static_cast<size_t>(table)];
            const double mean =
                std::accumulate(samples.begin(), samples.begin() + count, 0.0) / count;
            std::ostringstream line;
            line << std::fixed << std::setprecision(1) << mean;
            s.out() << "table " << table << " (channel " << k + 1 << "): " << count
                    << " samples, mean " << line.str() << '\n';
            ++table;
        }
        if (!test.SaveToExcel(folder)) return false;  // the reason is printed already
        s.out() << "wrote VzADCSW0.CSV..VzADCSW7.CSV to " << folder.toStdString() << '\n';
        return true;
    }

  private:
    bool sendOnly_ = false;
    std::string csvDir_;
    int bits_ = kMaxResultBits;
    int64_t timeoutMs_ = 600000;
};

}  // namespace

void AddSwitchTestVerbs(std::vector<VerbInfo>& verbs) {
    verbs.push_back({"switchtest",
                     "switchtest [--send-only] [--csv-dir DIR] [--scale B] [--timeout S]: run the "
                     "channel switch test of StepADC.txt on the microcontroller's firmware",
                     [] { return std::make_unique<SwitchTestVerb>(); }});
}

}  // namespace dmm::cli
