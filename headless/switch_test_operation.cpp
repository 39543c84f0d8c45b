#include "headless/switch_test_operation.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <numeric>

#include "core/analog/switch_test.h"

namespace dmm::headless {
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

Failure EndFailure(SwitchTestEnd end, const SwitchTest& test) {
    const std::string read =
        std::to_string(test.lastRead()) + " of " + std::to_string(test.lastTotal()) + " samples";
    switch (end) {
        case SwitchTestEnd::NoBoard:
            return LinkFailure("the board did not answer the identification request");
        case SwitchTestEnd::SendFailed:
            return LinkFailure(
                "Test Fail: the set-up did not reach the firmware intact (a transfer failed "
                "or the register list read back differently)");
        case SwitchTestEnd::NotFinished:
            return LinkFailure(
                "Test Fail: the board's status could not be read before the firmware "
                "reported the end of the run");
        case SwitchTestEnd::TimedOut:
            return {FailureKind::TimedOut,
                    "Test Fail: the firmware did not report the end of the run within the "
                    "time-out"};
        case SwitchTestEnd::Stopped:
            return {FailureKind::Stopped, "Test Fail: stopped with " + read + " read"};
        case SwitchTestEnd::ReadFailed:
            return LinkFailure("Test Fail: a block of samples could not be read (" + read + " in)");
        case SwitchTestEnd::NotReady:
            return {FailureKind::TimedOut,
                    "Test Fail: the firmware did not clear its ready bit (0D2H bit 7) within " +
                        std::to_string(kHandshakeTimeoutMs / 1000) + " s"};
        case SwitchTestEnd::BlockTimedOut:
            return {FailureKind::TimedOut,
                    "Test Fail: the firmware did not hand out a block of samples (0A4H bit 3) "
                    "within " +
                        std::to_string(kHandshakeTimeoutMs / 1000) + " s (" + read + " in)"};
        case SwitchTestEnd::NoChannel:
        case SwitchTestEnd::Busy:
        case SwitchTestEnd::Complete:
            break;
    }
    return {};
}

}  // namespace

Result<SwitchTestRun> RunSwitchTest(HeadlessBench& bench, const SwitchTestRequest& request,
                                    const std::function<void(const Progress&)>& onLine) {
    if (request.scaleBits < kMinResultBits || request.scaleBits > kMaxResultBits)
        return Refused("scale must be a whole number of result bits from 8 to 24, not " +
                       std::to_string(request.scaleBits));
    if (!std::isfinite(request.timeoutSeconds) || request.timeoutSeconds <= 0)
        return Refused("timeout must be a number of seconds above 0");
    if (bench.benchDir().empty())
        return Failure{FailureKind::Failed, "no bench directory to read StepADC.txt from"};
    const QString folder =
        QString::fromStdString(request.csvDir.empty() ? bench.benchDir() : request.csvDir);
    // A folder that cannot take the files is refused before the run, not after it.
    if (!request.sendOnly && !(QFileInfo(folder).isDir() && QFileInfo(folder).isWritable()))
        return Refused("cannot write the result files to " + folder.toStdString() +
                       ": it is not a writable folder");
    if (bench.core().target().interfaceKind == InterfaceKind::DMM) {
        return Refused(
            "the switch test needs the microcontroller's link (--kind spi, special or "
            "uart): the DMM link reaches only 0x00..0x7F");
    }
    if (Done board = bench.EnsureBoard(); !board) return board.failure();

    RunHooks& hooks = bench.hooks();
    SwitchTest test(bench.core(), hooks);
    const QString stepFile = QDir(QString::fromStdString(bench.benchDir())).filePath(kStepFileName);
    test.LoadConfig(stepFile);
    test.TXScaleChange(static_cast<int>(request.scaleBits) - kMinResultBits);
    test.firmwareTimeoutMs = static_cast<int64_t>(std::llround(request.timeoutSeconds * 1000.0));
    const SwitchTestSetup& setup = test.setup();
    if (onLine)
        onLine(Progress{0, 0,
                        stepFile.toStdString() + ": channels " + ChannelList(setup) + "; " +
                            std::to_string(setup.G()) + " samples a step, " +
                            std::to_string(setup.L()) + " loops"});

    SwitchTestRun run;
    run.folder = folder;
    if (request.sendOnly) {
        if (!test.SendTORX405WR())
            run.failure = LinkFailure(std::string(kDataSendFailText) +
                                      ": the set-up did not reach the firmware intact");
        return run;
    }

    SwitchTestEnd end = SwitchTestEnd::Complete;
    {
        const ProgressScope scope(
            hooks,
            [&test] {
                return Progress{test.lastRead(), test.lastTotal(),
                                test.lastTotal() == 0
                                    ? std::string("waiting for the firmware")
                                    : "read " + std::to_string(test.lastRead()) + " of " +
                                          std::to_string(test.lastTotal()) + " samples"};
            },
            [&test] { test.RequestStop(); });
        end = test.TestBeginClick();
    }
    run.samplesRead = test.lastRead();
    if (hooks.StopWanted()) {
        run.failure =
            Failure{FailureKind::Stopped,
                    "stopped by " + hooks.StopName() + " after " + std::to_string(test.lastRead()) +
                        " of " + std::to_string(test.lastTotal()) + " samples; nothing written"};
        return run;
    }
    // The refusal of a run without channels was said as it happened.
    if (end == SwitchTestEnd::NoChannel) {
        run.failure = Failure{FailureKind::Refused, hooks.LastSaid(), true};
        return run;
    }
    if (end != SwitchTestEnd::Complete) {
        run.failure = EndFailure(end, test);
        return run;
    }
    const int count = setup.G() * setup.L();
    int table = 0;
    for (int k = 0; k < kSwitchChannelCount; ++k) {
        if (!setup.enabled[static_cast<size_t>(k)]) continue;
        const auto& samples = test.tables()[static_cast<size_t>(table)];
        SwitchTestRun::Table t;
        t.channel = k + 1;
        t.samples.assign(samples.begin(), samples.begin() + count);
        t.mean = std::accumulate(t.samples.begin(), t.samples.end(), 0.0) / count;
        run.tables.push_back(std::move(t));
        ++table;
    }
    // A file in the way is named in the message said.
    if (!test.SaveToExcel(folder))
        run.failure = Failure{FailureKind::Failed, hooks.LastSaid(), true};
    return run;
}

}  // namespace dmm::headless
