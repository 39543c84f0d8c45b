// dmmctl drift as a separate program: signals, a killed run resumed, a board unplugged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "dmmctl_process.h"

using namespace dmm::test;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Two modes of ADC1 on SENSE against the 1.2 V reference, 100 mV and 200 mV from the
// calibrator, in a bench directory of its own.
fs::path DriftBenchDirectory(const Dmmctl& dmmctl) {
    const fs::path dir = dmmctl.home() / "bench";
    fs::create_directories(dir);
    WriteFile(dir / "Register.txt", "  3C  3E  24\r\n  84  10  30\r\n  94  10  30\r\n");
    WriteFile(dir / "Delay.txt", "     1\r\n     1\r\n");
    WriteFile(dir / "ACM.txt", "   1.2\r\n   1.2\r\n");
    WriteFile(dir / "Fluke.txt", "   1OUT 100 mV ,0 Hz\r\n   1OUT 200 mV ,0 Hz\r\n");
    return dir;
}

std::vector<std::string> DriftRun(const fs::path& dir, std::vector<std::string> verb) {
    // Without the converters' noise, two runs measure the same figures whatever their
    // timing, so that their files can be compared byte for byte.
    std::vector<std::string> args{"--sim", "--sim-noiseless", "--sim-speed", "100",
                                  "--dir", dir.string(),      "drift"};
    args.insert(args.end(), verb.begin(), verb.end());
    return args;
}

// Three temperatures without the chamber: the plan of the runs compared with an unbroken one.
const std::vector<std::string> kThreeStepPlan{"--no-chamber", "--count", "3", "--start",
                                              "25",           "--step",  "5"};

// The unbroken run the broken ones are compared with.
::testing::AssertionResult RanWhole(const Dmmctl& dmmctl, const fs::path& dir,
                                    const std::vector<std::string>& plan) {
    const Outcome done = dmmctl.Run(DriftRun(dir, plan));
    if (done.exitCode == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit " << done.exitCode << ": " << done.err;
}

}  // namespace

// A run that systemctl stop (SIGTERM) or a closed SSH session (SIGHUP, its output gone)
// ends, ends as Ctrl-C ends it: the A file whole, the chamber stopped, the calibrator in
// standby; the exit code names the signal.
TEST(DmmctlDrift, SigtermAndSighupEndTheRunAsCtrlCDoes) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const Dmmctl dmmctl;
        const fs::path dir = DriftBenchDirectory(dmmctl);
        const fs::path log = dmmctl.home() / "instruments.log";
        std::vector<std::string> args{"--sim-log", log.string()};
        const std::vector<std::string> run =
            DriftRun(dir, {"--count", "3", "--start", "25", "--step", "5", "--soak", "1"});
        args.insert(args.end(), run.begin(), run.end());
        // A hang-up comes with the session's output gone: the output is a pipe whose
        // reading end is closed before the signal.
        int output[2] = {-1, -1};
        if (signal == SIGHUP) {
            ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);
        }
        const pid_t pid = dmmctl.Start(args, output[1]);
        ASSERT_GT(pid, 0);
        if (output[1] >= 0) close(output[1]);
        bool midway = false;
        std::string seen;
        for (int i = 0; i < 6000 && !midway; ++i) {
            usleep(5 * 1000);
            if (output[0] >= 0) {
                char chunk[512];
                pollfd p{output[0], POLLIN, 0};
                while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
                    const ssize_t n = read(output[0], chunk, sizeof chunk);
                    if (n <= 0) break;
                    seen.append(chunk, static_cast<size_t>(n));
                }
            } else {
                seen = dmmctl.OutSoFar();
            }
            midway = seen.find("step 2 of 3: soaking") != std::string::npos;
        }
        ASSERT_TRUE(midway) << seen << dmmctl.ErrSoFar();
        if (output[0] >= 0) close(output[0]);
        kill(pid, signal);
        const Outcome r = dmmctl.Wait(pid);
        EXPECT_EQ(r.exitCode, 128 + signal) << r.err;
        EXPECT_NE(r.err.find("drift run ended: Stopped at step 2 of 3: "), std::string::npos)
            << r.err;
        // The A file holds every step and mode: step 1's figures, the rest as zeros.
        const std::string a = ReadFile(dir / "VzTEMPA.CSV");
        EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 2 + 3 * 2) << a;
        EXPECT_NE(a.find("\r\n25.000000, 0.000000, 2, "), std::string::npos) << a;
        EXPECT_EQ(a.find("\r\n25.000000, 0.000000, 2, 0.000000"), std::string::npos) << a;
        std::string calibrator, chamber;
        std::istringstream lines(ReadFile(log));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string ms, who, what;
            words >> ms >> who;
            std::getline(words >> std::ws, what);
            if (who == "calibrator") calibrator = what;
            if (who == "chamber") chamber = what;
        }
        EXPECT_EQ(calibrator, "STBY");
        EXPECT_EQ(chamber, "0101=4");  // the stop command
    }
}

// The overnight run's promise: a run whose process dies mid-run (SIGKILL, as a crash or a
// power cut would end it) goes on from its journal and ends with the files of a run that
// was never broken.
TEST(DmmctlDrift, ARunKilledMidwayResumesToTheFilesOfAnUnbrokenRun) {
    const std::vector<std::string> plan = kThreeStepPlan;
    const Dmmctl unbroken;
    const fs::path whole = DriftBenchDirectory(unbroken);
    ASSERT_TRUE(RanWhole(unbroken, whole, plan));

    const Dmmctl crashing;
    const fs::path broken = DriftBenchDirectory(crashing);
    const pid_t pid = crashing.Start(DriftRun(broken, plan));
    ASSERT_GT(pid, 0);
    // Killed as soon as step 2's second mode begins: its first mode is in the journal.
    bool midway = false;
    for (int i = 0; i < 6000 && !midway; ++i) {
        usleep(5 * 1000);
        midway =
            crashing.OutSoFar().find("step 2 of 3: measuring mode 2 of 2") != std::string::npos;
    }
    ASSERT_TRUE(midway) << crashing.OutSoFar() << crashing.ErrSoFar();
    kill(pid, SIGKILL);
    EXPECT_EQ(crashing.Wait(pid).exitCode, 128 + SIGKILL);
    EXPECT_FALSE(fs::exists(broken / "VzTEMPA.CSV"));
    ASSERT_TRUE(fs::exists(broken / "VzTEMP.journal"));

    std::vector<std::string> resume = plan;
    resume.push_back("--resume");
    const Outcome resumed = crashing.Run(DriftRun(broken, resume));
    ASSERT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
    EXPECT_NE(resumed.out.find("resuming at step 2, mode 2"), std::string::npos) << resumed.out;
    EXPECT_EQ(resumed.out.find("step 1 of 3"), std::string::npos) << resumed.out;
    EXPECT_FALSE(fs::exists(broken / "VzTEMP.journal"));
    for (const char* name : {"VzTEMPA.CSV", "VzTEMPB.CSV"}) {
        const std::string expected = ReadFile(whole / name);
        EXPECT_FALSE(expected.empty()) << name;
        EXPECT_EQ(ReadFile(broken / name), expected) << name;
    }
}

// Links that drop during a run on the simulated bench: the run waits, measures the mode
// again and ends with the unbroken run's files; a link that stays away ends the run
// resumable, and the resume finishes it.
TEST(DmmctlDrift, ABoardUnpluggedMidRunIsWaitedForOrEndsTheRunResumable) {
    const std::vector<std::string> plan = kThreeStepPlan;
    const Dmmctl unbroken;
    const fs::path whole = DriftBenchDirectory(unbroken);
    ASSERT_TRUE(RanWhole(unbroken, whole, plan));

    // The faults' times count from the program's start on the bench clock: at 10 times the
    // pace the run is well under way at 40 s.
    auto slower = [&](const fs::path& dir, const std::string& fault) {
        std::vector<std::string> args{"--sim-fault",     fault,         "--sim",
                                      "--sim-noiseless", "--sim-speed", "10",
                                      "--dir",           dir.string(),  "drift"};
        args.insert(args.end(), plan.begin(), plan.end());
        return args;
    };
    const Dmmctl gap;
    const fs::path gapDir = DriftBenchDirectory(gap);
    std::vector<std::string> args = slower(gapDir, "board:unplug@40+8");
    const auto start = std::chrono::steady_clock::now();
    const Outcome recovered = gap.Run(args);
    EXPECT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_NE(recovered.out.find("waits for the board"), std::string::npos) << recovered.out;
    EXPECT_NE(recovered.out.find("1 link gap, each mode one broke measured again"), std::string::npos)
        << recovered.out;
    for (const char* name : {"VzTEMPA.CSV", "VzTEMPB.CSV"})
        EXPECT_EQ(ReadFile(gapDir / name), ReadFile(whole / name)) << name;
    EXPECT_NE(ReadFile(gapDir / "VzTEMP.gaps").find(": the board dropped out; waited 0:00:0"),
              std::string::npos);

    // Unplugged for good: a minute's wait, then the run ends resumable.
    const Dmmctl lost;
    const fs::path lostDir = DriftBenchDirectory(lost);
    args = slower(lostDir, "board:unplug@40");
    args.insert(args.end(), {"--reconnect-wait", "1"});
    const Outcome interrupted = lost.Run(args);
    EXPECT_EQ(interrupted.exitCode, 1);
    EXPECT_NE(interrupted.err.find("drift run ended: Interrupted at step "), std::string::npos)
        << interrupted.err;
    EXPECT_NE(interrupted.err.find("the board did not come back within 1 minutes"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(lostDir / "VzTEMP.journal"));
    std::vector<std::string> resume = DriftRun(lostDir, {"--resume"});
    const Outcome resumed = lost.Run(resume);
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
    for (const char* name : {"VzTEMPA.CSV", "VzTEMPB.CSV"})
        EXPECT_EQ(ReadFile(lostDir / name), ReadFile(whole / name)) << name;
    // At 100 times the bench's pace the three runs take seconds, not minutes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

