// dmmctl run as a separate program on the simulated bench: what it prints, where, and
// how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;

    std::vector<std::string> OutLines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the built dmmctl with a home directory of its own, so that the per-user bench
// directory it sets up lands in a scratch folder.
class Dmmctl {
  public:
    Dmmctl() {
        std::string pattern = (fs::temp_directory_path() / "dmmctl-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) home_ = pattern;
    }
    ~Dmmctl() {
        std::error_code ignored;
        if (!home_.empty()) fs::remove_all(home_, ignored);
    }

    Outcome Run(const std::vector<std::string>& args) const { return Wait(Start(args)); }

    // Starts dmmctl without waiting for it; -1 when it could not be started. Its stdout goes
    // to stdoutFd when one is given (a pipe).
    pid_t Start(const std::vector<std::string>& args, int stdoutFd = -1) const {
        if (home_.empty()) return -1;
        const fs::path outPath = home_ / "stdout", errPath = home_ / "stderr";

        std::vector<std::string> words{DMMCTL_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
        argv.push_back(nullptr);

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_DATA_HOME=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("HOME=" + home_.string());
        env.push_back("XDG_DATA_HOME=" + (home_ / "data").string());
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
        else
            posix_spawn_file_actions_addopen(&files, 1, outPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, DMMCTL_PATH, &files, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&files);
        return spawned == 0 ? pid : -1;
    }

    Outcome Wait(pid_t pid) const {
        Outcome outcome;
        if (pid <= 0) return outcome;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return outcome;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.out = ReadFile(home_ / "stdout");
        outcome.err = ReadFile(home_ / "stderr");
        return outcome;
    }

    // What the running dmmctl has written to stdout and stderr so far.
    std::string OutSoFar() const { return ReadFile(home_ / "stdout"); }
    std::string ErrSoFar() const { return ReadFile(home_ / "stderr"); }
    const fs::path& home() const { return home_; }

  private:
    fs::path home_;
};

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i] == line) return i;
    }
    return lines.size();
}

// A refusal is the program's own doing: not a crash, not a sanitizer report.
::testing::AssertionResult RefusedCleanly(const Outcome& r) {
    if (r.exitCode < 0 || r.exitCode >= 128) {
        return ::testing::AssertionFailure() << "ended by signal or not run: " << r.exitCode;
    }
    for (const char* sign : {"Sanitizer", "runtime error:"}) {
        if (r.err.find(sign) != std::string::npos) return ::testing::AssertionFailure() << r.err;
    }
    return ::testing::AssertionSuccess();
}

// The scratch registers 0x2A..0x2D are the demo chip's switch banks: every bit of them
// can be written and read back (its result registers, 0x00..0x13, are read-only).
TEST(DmmctlTrace, RegisterWriteShowsTheWriteFrameTheReadBackFrameAndTheValue) {
    const Outcome r =
        Dmmctl().Run({"--sim", "--kind", "dmm", "--photo", "--trace", "reg", "0x2C", "0x5A"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = r.OutLines();
    const size_t write = IndexOf(lines, "> C2 01 58 01 5A");
    ASSERT_LT(write + 4, lines.size()) << r.out;
    EXPECT_EQ(lines[write + 1], "< 5A");
    EXPECT_EQ(lines[write + 2], "> C2 01 59 01");
    EXPECT_EQ(lines[write + 3], "< 5A");
    EXPECT_EQ(lines[write + 4], "5A");
    // The connect sequence comes first; leaving DMM mode and giving up the board come last.
    EXPECT_EQ(lines.front(), "> F9 02 00 00");
    EXPECT_LT(IndexOf(lines, "> F9 10 00", write), lines.size());
    EXPECT_EQ(lines[lines.size() - 2], "> F9 01 FF FF");
}

TEST(DmmctlVerbs, RunInOrderOnOneBoard) {
    const Dmmctl dmmctl;
    Outcome r = dmmctl.Run({"--sim", "write", "0x2C", "0x5A", "read", "0x2C", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "5A\n");
    EXPECT_EQ(r.err, "");

    // Each verb sees what the ones before it did; numbers in every accepted spelling.
    r = dmmctl.Run({"--sim", "read", "0x2C", "1",    "write",    "44",    "5Ah",  "read",
                    "0x2C",  "1",    "reg",  "0x2D", "0b110011", "write", "0x20", "1",
                    "2",     "3",    "read", "0x2A", "4",        "read",  "0x20", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "00\n5A\n33\n00 00 5A 33\n01 02 03\n");

    // The first failing verb ends the run: what came before it has been printed, nothing
    // after it runs.
    r = dmmctl.Run({"--sim", "read", "0x2C", "1", "field", "NOSUCH", "read", "0x2C", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "00\n");
    EXPECT_NE(r.err.find("NOSUCH"), std::string::npos) << r.err;
    // A block past the chip's end is refused with the numbers, before any verb runs.
    r = dmmctl.Run({"--sim", "read", "0x2C", "1", "read", "0x3FF", "2"});
    EXPECT_EQ(r.exitCode, 105);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("0x3FF + 2 lies outside"), std::string::npos) << r.err;
}

// The parallel kind needs no board: the trace shows the port's frames and nothing else.
TEST(DmmctlParallel, RegisterWriteTravelsOverTheSimulatedPort) {
    const Outcome r =
        Dmmctl().Run({"--sim", "--kind", "parallel", "--lpt", "0x3bc", "--trace", "write", "0x2A",
                      "1", "2", "reg", "0x2C", "0x5A", "read", "0x2A", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "> 40 2A 00 01 02\n"
              "> 40 2C 00 5A\n"
              "> C0 2C 00\n"
              "< 5A\n"
              "5A\n"
              "> C0 2A 00\n"
              "< 01 02 5A\n"
              "01 02 5A\n");
}

// A settings file as dmmbench writes it: chip 0, the given interface kind, COM3 at 9600
// with even parity, the given port item and Photo, the VZ6403 variant.
std::string SettingsFile(const std::string& version, int kind, int lptItem, int photo) {
    auto field = [](int v, size_t width) {
        std::string text = std::to_string(v);
        return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
    };
    std::string f = version + "\r\n";
    f += field(0, 4) + field(kind, 4) + field(2, 4) + field(5, 4) + field(1, 4) + "\r\n";
    for (int i = 0; i < 6; ++i) f += "FALSE\r\n";
    f += " 0\r\n 0\r\n   0   0   0\r\n   2  16\r\nFALSE\r\n   0\r\n";
    f += field(lptItem, 4) + "\r\n  500000   50000\r\n";
    f += "   0   0   0   0   0   0\r\n   0   0   0   0   0   0\r\n   0\r\n   0\r\n";
    f += field(photo, 4) + "\r\n1.2\r\n   0\r\n    48\r\n0B108\r\n\r\n";
    return f;
}

TEST(DmmctlSettings, TheBenchDirectorysSettingsApplyWhereTheOptionsSayNothing) {
    const Dmmctl dmmctl;
    const fs::path bench = dmmctl.home() / "bench";
    fs::create_directories(bench);
    const std::string dir = bench.string();
    const fs::path file = bench / "VzADC.cfg";

    Outcome r = dmmctl.Run({"--sim", "--dir", dir, "config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("settings: " + file.string() + " missing; defaults in use\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("kind: dmm\nserial: COM1 9600 none\nlpt: 0x378\nphoto: off\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(file));  // the command line never writes the settings

    const std::string saved = SettingsFile("DMM V1.40", 1, 1, 1);
    std::ofstream(file, std::ios::binary) << saved;
    r = dmmctl.Run({"--sim", "--dir", dir, "config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "settings: " + file.string() +
                         "\nchip: 0 (VZ6401  DMM-AFE)\nkind: spi\nserial: COM3 9600 even\n"
                         "lpt: 0x278\nphoto: on\nvariant: VZ6403-DMM V1.40\n");
    // The options win where they are given.
    r = dmmctl.Run({"--sim", "--dir", dir, "--kind", "dmm", "--no-photo", "--lpt", "0x3BC",
                    "--baud", "115200", "config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("kind: dmm\nserial: COM3 115200 even\nlpt: 0x3BC\nphoto: off\n"),
              std::string::npos)
        << r.out;
    // Photo from the file shapes the frames: C2 01 on the DMM kind.
    std::ofstream(file, std::ios::binary) << SettingsFile("DMM V1.40", 5, 0, 1);
    r = dmmctl.Run({"--sim", "--dir", dir, "--trace", "reg", "0x2C", "0x5A"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(IndexOf(r.OutLines(), "> C2 01 58 01 5A"), r.OutLines().size()) << r.out;
    // A file of another version is not used, and left as it is.
    const std::string foreign = SettingsFile("DMM V1.39", 1, 1, 1);
    std::ofstream(file, std::ios::binary) << foreign;
    r = dmmctl.Run({"--sim", "--dir", dir, "config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("not used"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("kind: dmm\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(file), foreign);
}

TEST(DmmctlScan, ReportsHowTheSimulatedBoardWasFound) {
    const Dmmctl dmmctl;
    Outcome r = dmmctl.Run({"--sim-hid", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "found HID board: VID 04D8 PID 2008 release 0727, report length 65\n"
              "board info: VZSIM140\n");

    r = dmmctl.Run({"--sim", "scan"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "found bulk board VzUSB-0: VID 0547 PID 1004, pipes IN 81 OUT 01, packet size 64\n"
              "board info: VZSIM140\n");

    // The HID board works for chip access too.
    r = dmmctl.Run({"--sim-hid", "reg", "0x2C", "0x5A", "read", "0x2B", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "5A\n00 5A 00\n");
}

// Bad input: a message on stderr that names the problem, a non-zero exit, and nothing
// done (with --trace, any packet sent would show on stdout).
TEST(DmmctlErrors, BadInputIsRefusedWithAClearMessage) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"frob"}, "unknown verb 'frob'"},
        {{"read", "0x3FF", "2"}, "address range 0x3FF + 2 lies outside the chip's 0x000..0x3FF"},
        {{"read", "0x400", "1"},
         "ADDR: 0x400 is not a chip address (0x000 \u2264 ADDR \u2264 0x3FF)"},
        {{"write", "0x3FE", "1", "2", "3"}, "lies outside the chip"},
        {{"write", "0x12", "0x100"}, "BYTE: 0x100 is not a byte (0x00 \u2264 BYTE \u2264 0xFF)"},
        {{"write", "0x12", "-1"}, "BYTE: -1 is not a byte"},
        {{"reg", "0x12", "0x100"}, "BYTE: 0x100 is not a byte"},
        {{"read", "0x10", "0"}, "COUNT: 0 is not a number of bytes (1 \u2264 N \u2264 255)"},
        {{"read", "0x10", "256"}, "COUNT: 256 is not a number of bytes"},
        {{"read", "0x12"}, "COUNT is required"},
        {{"write", "0x12"}, "BYTE is required"},
        {{"reg"}, "ADDR is required"},
        {{"read", "zz", "1"}, "ADDR: zz is not a chip address"},
        {{"scan", "extra"}, "extra"},
        // A mistake late on the line stops the run before the first verb.
        {{"write", "0x12", "0x5A", "read", "0x12"}, "COUNT is required"},
        {{"--kind", "i2c", "scan"}, "i2c"},
        {{"--kind", "parallel", "--lpt", "0x2F8", "read", "0", "1"},
         "--lpt: 0x2F8 is not a printer port base (0x378, 0x278 or 0x3BC)"},
        {{"capture", "--scale", "8.0"},
         "--scale: 8.0 is not a number of result bits (8 \u2264 b \u2264 24)"},
        {{"capture", "--scale", "25"}, "--scale: 25 is not a number of result bits"},
        {{"capture", "--timeout", "0"}, "--timeout: 0 is not a time-out (0 < t \u2264 86400 s)"},
        {{"capture", "--vref", "-1.2"},
         "--vref: -1.2 is not a reference voltage (0 < V \u2264 10 V)"},
        {{"capture", "--vref", "1,2"}, "--vref: 1,2 is not a reference voltage"},
        // A file that cannot be written is refused before the capture begins.
        {{"capture", "--csv", "/no/such/folder/block.csv"},
         "cannot write /no/such/folder/block.csv: its folder does not exist or is not writable"},
    };
    const Dmmctl dmmctl;
    for (const Case& c : cases) {
        std::vector<std::string> args{"--sim", "--trace"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = dmmctl.Run(args);
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_TRUE(RefusedCleanly(r));
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }

    const Outcome none = dmmctl.Run({"--sim"});
    EXPECT_NE(none.exitCode, 0);
    EXPECT_NE(none.err.find("scan"), std::string::npos) << "the usage lists the verbs";
}

// Every number dmmctl takes, given what is no number or none in its range, is refused by
// name with exit code 105 before the board or an instrument hears anything.
TEST(DmmctlNumbers, EveryNumericOptionAndArgumentRefusesWhatIsNoValueBeforeAnyIo) {
    struct Case {
        std::vector<std::string> before;  // the verb and what it needs before the value
        std::string name;                 // the option, or the argument's name in the refusal
        std::vector<std::string> after;
        bool negativeOk = false;  // -1 is a value it takes
    };
    const std::vector<Case> cases = {
        {{}, "--lpt", {"scan"}},
        {{}, "--baud", {"scan"}},
        {{}, "--com", {"scan"}},
        {{}, "--sim-speed", {"scan"}},
        {{}, "--sim-rx", {"scan"}},
        {{"calset", "apply"}, "slot", {}},
        {{"capture"}, "--points", {}},
        {{"capture"}, "--scale", {}},
        {{"capture"}, "--vref", {}},
        {{"capture"}, "--flag-reg", {}},
        {{"capture"}, "--timeout", {}},
        {{"capture"}, "--spectra", {}},
        {{"chamber", "set"}, "T", {"50"}, true},
        {{"chamber", "set", "20"}, "H", {}},
        {{"chamber", "set", "20", "50"}, "RAMP", {}},
        {{"chamber", "set", "20", "50"}, "--humidity-ramp", {}},
        {{"chamber", "temp"}, "--com", {}},
        {{"counter"}, "--cta1", {}},
        {{"counter"}, "--cta2", {}},
        {{"counter"}, "--clock", {}},
        {{"counter"}, "--q", {}},
        {{"counter"}, "--count", {}},
        {{"drift", "--no-chamber"}, "--count", {}},
        {{"drift", "--no-chamber"}, "--start", {}, true},
        {{"drift", "--no-chamber"}, "--step", {}, true},
        {{"drift", "--no-chamber"}, "--soak", {}},
        {{"drift", "--no-chamber"}, "--modes", {}},
        {{"drift", "--no-chamber"}, "--meters", {}},
        {{"drift", "--no-chamber"}, "--power-delay", {}},
        {{"field", "AD1OSR"}, "VALUE", {}},
        {{"fluke", "OPER"}, "--com", {}},
        {{"identify", "fluke"}, "PORT", {}},
        {{"load"}, "INDEX", {}},
        {{"meter"}, "CHANNEL", {}},
        {{"meter", "0"}, "--count", {}},
        {{"meter", "0"}, "--com", {}},
        {{"ohms", "5K"}, "--cal", {}},
        {{"ohms", "5K"}, "--count", {}},
        {{"ports"}, "--set", {}},
        {{"ports"}, "--clear", {}},
        {{"power", "*IDN?"}, "--com", {}},
        {{"read"}, "ADDR", {"1"}},
        {{"read", "0x10"}, "COUNT", {}},
        {{"reg"}, "ADDR", {"1"}},
        {{"reg", "0x2A"}, "BYTE", {}},
        {{"rescal", "auto"}, "--cal-volts", {}},
        {{"switchtest"}, "--scale", {}},
        {{"switchtest"}, "--timeout", {}},
        {{"volts", "1V"}, "--count", {}},
        {{"volts", "1V"}, "--eptc", {}},
        {{"write"}, "ADDR", {"1"}},
        {{"write", "0x2A"}, "BYTE", {}},
    };
    // The values of one option run side by side, each dmmctl in a home of its own.
    const std::vector<std::string> values = {"nan", "inf", "-1", "1e300", "0x", "12abc", ""};
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<Dmmctl>> runs;
        std::vector<pid_t> pids;
        std::vector<std::string> lines;
        for (const std::string& value : values) {
            if (value == "-1" && c.negativeOk) continue;
            runs.push_back(std::make_unique<Dmmctl>());
            const fs::path log = runs.back()->home() / "instruments.log";
            std::vector<std::string> args{"--sim", "--trace", "--sim-log", log.string()};
            args.insert(args.end(), c.before.begin(), c.before.end());
            if (c.name.rfind("--", 0) == 0) args.push_back(c.name);
            args.push_back(value);
            args.insert(args.end(), c.after.begin(), c.after.end());
            std::string line;
            for (const auto& a : args) line += "'" + a + "' ";
            lines.push_back(line);
            pids.push_back(runs.back()->Start(args));
        }
        for (size_t i = 0; i < runs.size(); ++i) {
            SCOPED_TRACE(lines[i]);
            const Outcome r = runs[i]->Wait(pids[i]);
            EXPECT_EQ(r.exitCode, 105) << r.err;
            EXPECT_TRUE(RefusedCleanly(r));
            EXPECT_EQ(r.out, "");  // no packet went out
            EXPECT_NE(r.err.find(c.name + ": "), std::string::npos) << r.err;
            // No instrument was told anything.
            EXPECT_FALSE(fs::exists(runs[i]->home() / "instruments.log"));
        }
    }
}

// What scripts rely on: the version, the exit codes the help lists, stderr notes.
TEST(DmmctlScripting, VersionExitCodesAndNotes) {
    const Dmmctl dmmctl;
    Outcome r = dmmctl.Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "dmmctl 1.40\n");
    r = dmmctl.Run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* code : {"Exit codes:", "  2 ", "  105 ", "  130 "})
        EXPECT_NE(r.out.find(code), std::string::npos) << code;

    EXPECT_EQ(dmmctl.Run({"--sim", "frob"}).exitCode, 2);
    EXPECT_EQ(dmmctl.Run({"--sim", "capture", "--scale", "7"}).exitCode, 105);
    EXPECT_EQ(dmmctl.Run({"--sim", "read", "0x12"}).exitCode, 106);
    // A range past the chip's last address is a refused value, before any link is opened.
    EXPECT_EQ(dmmctl.Run({"--sim", "read", "0x3FF", "2"}).exitCode, 105);

    // The link's own refusals say what and why.
    r = dmmctl.Run({"--sim", "read", "0x7F", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "dmmctl: chip read failed: Addresses 07F to 080 cannot be read over the DMM "
              "interface: it reaches 000 to 07F\n");
    r = dmmctl.Run({"--sim", "read", "0x100", "4"});
    EXPECT_NE(r.err.find("Addresses 100 to 103 cannot be read over the DMM interface"),
              std::string::npos)
        << r.err;

    // A register that keeps other bits than were written (result registers are
    // read-only) says so beside the read-back.
    r = dmmctl.Run({"--sim", "reg", "0x01", "0x5A"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "00\n");
    EXPECT_EQ(r.err, "dmmctl: register 001 reads back 00, not the 5A written\n");
}

TEST(DmmctlScripting, ABenchDirectoryIsMadeOnlyWhereItsParentExistsAndSaysWhatItDid) {
    const Dmmctl dmmctl;
    const fs::path deep = dmmctl.home() / "no" / "such" / "bench";
    Outcome r = dmmctl.Run({"--sim", "--dir", deep.string(), "chips"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("does not exist, nor its parent folder"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dmmctl.home() / "no"));

    const fs::path bench = dmmctl.home() / "bench";
    r = dmmctl.Run({"--sim", "--dir", bench.string(), "chips"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("had no INCLUDE folder: copied the shipped chip list"), std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::exists(bench / "INCLUDE" / "VzSel.INC"));
    r = dmmctl.Run({"--sim", "--dir", bench.string(), "chips"});
    EXPECT_EQ(r.err, "");
}

// A long capture shows its progress on stderr; Ctrl-C stops it cleanly: exit 130, the
// reason on stderr, no file written.
TEST(DmmctlInterrupt, CtrlCStopsALongCaptureCleanly) {
    const Dmmctl dmmctl;
    const fs::path csv = dmmctl.home() / "block.csv";
    // 65536 results of ADC1 at 640 per second would take well over a minute.
    const pid_t pid = dmmctl.Start({"--sim", "field", "ENAD_S", "1", "field", "AD1OSR", "0",
                                    "capture", "--points", "65536", "--csv", csv.string()});
    ASSERT_GT(pid, 0);
    // Without a terminal, a progress line comes every few seconds.
    bool progress = false;
    for (int i = 0; i < 200 && !progress; ++i) {
        usleep(100 * 1000);
        progress = dmmctl.ErrSoFar().find("captured ") != std::string::npos;
    }
    EXPECT_TRUE(progress) << dmmctl.ErrSoFar();
    kill(pid, SIGINT);
    const Outcome r = dmmctl.Wait(pid);
    EXPECT_EQ(r.exitCode, 130);
    EXPECT_NE(r.err.find("capture stopped by Ctrl-C after "), std::string::npos) << r.err;
    // The read-backs printed before it reached the pipe.
    EXPECT_EQ(r.out.substr(0, 4), "1\n0\n");
    EXPECT_FALSE(fs::exists(csv));
}

// With --json, stdout is the capture's record and nothing else, whatever the capture came
// to (the other verbs' read-backs go to stderr); a figure the block cannot give is null,
// with the reason beside it.
TEST(DmmctlCaptureJson, StdoutIsOneJsonDocumentWhateverTheCaptureCameTo) {
    const Dmmctl dmmctl;
    auto record = [](const Outcome& r) {
        QJsonParseError parse;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &parse);
        EXPECT_EQ(parse.error, QJsonParseError::NoError) << r.out << r.err;
        return doc.object();
    };
    // ADC1 on SENSE, which carries a 50 Hz tone.
    auto withTone = [](const std::vector<std::string>& capture) {
        std::vector<std::string> args{"--sim",   "--sim-tone", "0.5,50",  "field", "ENAD_S",
                                      "1",       "field",      "S_AD1RL", "2",     "field",
                                      "S_AD1IN", "3",          "capture"};
        args.insert(args.end(), capture.begin(), capture.end());
        return args;
    };

    Outcome r = dmmctl.Run(withTone({"--points", "1024", "--json", "--strict"}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const QJsonObject complete = record(r);
    EXPECT_EQ(complete["capture"]["end"].toString(), "complete");
    EXPECT_TRUE(complete["figures"]["added"]["SNR (dB)"].isDouble()) << r.out;
    EXPECT_EQ(r.err.substr(0, 6), "1\n2\n3\n");
    EXPECT_NE(r.err.find("captured 1024 of 1024 ADCS samples"), std::string::npos) << r.err;

    // Polled over the simulated USB link, slower than ADC1's 640 results a second: results
    // are missed, the tone's figures withheld, and --strict refuses the block.
    r = dmmctl.Run(withTone({"--poll", "--points", "1024", "--json", "--strict"}));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const QJsonObject figures = record(r)["figures"].toObject();
    EXPECT_TRUE(figures["added"]["SNR (dB)"].isNull()) << r.out;
    EXPECT_TRUE(figures["withheld"]["SNR (dB)"].toString().startsWith("results were missed"));
    EXPECT_TRUE(figures["program"]["Enob"].isDouble());
    EXPECT_NE(r.err.find("--strict: results were missed: polling"), std::string::npos) << r.err;

    // ADC1 off: the capture times out with nothing; no file is written.
    const fs::path csv = dmmctl.home() / "z.csv";
    r = dmmctl.Run({"--sim", "capture", "--points", "64", "--timeout", "0.3", "--json", "--csv",
                    csv.string()});
    EXPECT_EQ(r.exitCode, 1);
    const QJsonObject timedOut = record(r);
    EXPECT_EQ(timedOut["capture"]["end"].toString(), "timed out");
    EXPECT_TRUE(timedOut["figures"]["program"]["Enob"].isNull());
    EXPECT_TRUE(timedOut["figures"]["withheld"]["Enob"].toString().startsWith("no samples"));
    EXPECT_FALSE(fs::exists(csv));
    EXPECT_EQ(r.err.find("wrote"), std::string::npos) << r.err;

    // Stopped by Ctrl-C.
    const pid_t pid = dmmctl.Start(withTone({"--points", "65536", "--json"}));
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 200 && dmmctl.ErrSoFar().size() < 6; ++i) usleep(50 * 1000);
    usleep(500 * 1000);  // the read-backs are out: the capture runs
    kill(pid, SIGINT);
    r = dmmctl.Wait(pid);
    EXPECT_EQ(r.exitCode, 130);
    const QJsonObject stopped = record(r);
    EXPECT_EQ(stopped["capture"]["end"].toString(), "stopped");
    EXPECT_TRUE(stopped["capture"]["endNotice"].toString().startsWith("stopped at ")) << r.out;
}

// The manual page keeps up with the program: every verb and option the help lists has its
// entry, and the completion script offers every verb.
TEST(DmmctlDocumentation, TheManualPageAndTheCompletionCoverEveryVerbAndOption) {
    const Dmmctl dmmctl;
    const Outcome help = dmmctl.Run({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    std::vector<std::string> verbs, options;
    bool inVerbs = false;
    for (const std::string& line : help.OutLines()) {
        if (line.rfind("Verbs", 0) == 0) inVerbs = true;
        if (line.rfind("Exit codes", 0) == 0) inVerbs = false;
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (inVerbs && line.rfind("  ", 0) == 0 && !first.empty()) verbs.push_back(first);
        if (!inVerbs && first.rfind("--", 0) == 0)
            options.push_back(first.substr(0, first.find(' ')));
        if (!inVerbs && first.rfind("-h,", 0) == 0) options.push_back("--help");
    }
    ASSERT_GE(verbs.size(), 9u) << help.out;
    const std::string page = ReadFile(DMMCTL_MAN_PAGE);
    ASSERT_FALSE(page.empty());
    for (const std::string& verb : verbs) {
        const bool entry = page.find("\n.B " + verb + "\n") != std::string::npos ||
                           page.find("\n.BI " + verb + " ") != std::string::npos;
        EXPECT_TRUE(entry) << "no entry for the verb " << verb << " in dmmctl.1";
    }
    for (std::string option : options) {
        option = option.substr(0, option.find_first_of(" :"));
        std::string roff;  // the page writes "-" as "\-"
        for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(page.find(roff), std::string::npos)
            << "no entry for " << option << " in dmmctl.1";
    }

    const Outcome completion = dmmctl.Run({"--bash-completion"});
    ASSERT_EQ(completion.exitCode, 0);
    EXPECT_NE(completion.out.find("complete -F _dmmctl dmmctl"), std::string::npos);
    for (const std::string& verb : verbs)
        EXPECT_NE(completion.out.find(" " + verb), std::string::npos) << verb;
    EXPECT_NE(completion.out.find("capture) opts=\"--source"), std::string::npos);
}

// A tone with harmonics on the simulated bench, through the chip and the capture.
TEST(DmmctlSimTone, TheCaptureShowsTheHarmonicsTheBenchWasGiven) {
    const Outcome r = Dmmctl().Run({"--sim",   "--sim-tone",  "0.1,50",   "--sim-harmonics",
                                    "-50,-60", "field",       "ENAD_S",   "1",
                                    "field",   "S_AD1RL",     "2",        "field",
                                    "S_AD1IN", "3",           "capture",  "--points",
                                    "1024",    "--interrupt", "--window", "bh4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto value = [&](const std::string& name) {
        const size_t at = r.out.find("\n" + name + " ");
        return at == std::string::npos ? 0.0 : std::stod(r.out.substr(at + 1 + name.size()));
    };
    EXPECT_NEAR(value("H2 (dBc)"), -50.0, 0.5) << r.out;
    EXPECT_NEAR(value("H3 (dBc)"), -60.0, 0.5);
    EXPECT_NEAR(value("Fundamental (dBFS)"), 20 * std::log10(0.1 / 1.2), 0.1);

    for (const char* bad : {"0.1", "abc,50", "0.1,-5", "0.1,50,"}) {
        const Outcome refused = Dmmctl().Run({"--sim", "--sim-tone", bad, "scan"});
        EXPECT_TRUE(RefusedCleanly(refused)) << bad;
        EXPECT_NE(refused.exitCode, 0) << bad;
        EXPECT_NE(refused.err.find("--sim-tone"), std::string::npos) << refused.err;
    }
    const Outcome harmonics = Dmmctl().Run({"--sim", "--sim-harmonics", "-60,+3", "scan"});
    EXPECT_NE(harmonics.exitCode, 0);
    EXPECT_NE(harmonics.err.find("dBc at most 0"), std::string::npos) << harmonics.err;
}

// The calibrator's AC output reaches the chip's input: its tone, with the bench's
// harmonics, is what the capture measures, and the capture's record names the calibrator
// and what it was putting out.
TEST(DmmctlSimTone, TheCalibratorsToneIsMeasuredAndRecorded) {
    const Dmmctl dmmctl;
    const fs::path csv = fs::temp_directory_path() / ("tone-" + std::to_string(getpid()) + ".csv");
    const Outcome r = dmmctl.Run({"--sim",
                                  "--sim-harmonics",
                                  "-50,-60",
                                  "fluke",
                                  "OUT 100 mV ,50 Hz",
                                  "fluke",
                                  "OPER",
                                  "field",
                                  "ENAD_S",
                                  "1",
                                  "field",
                                  "S_AD1RL",
                                  "2",
                                  "field",
                                  "S_AD1IN",
                                  "3",
                                  "capture",
                                  "--points",
                                  "1024",
                                  "--interrupt",
                                  "--window",
                                  "bh4",
                                  "--csv",
                                  csv.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto value = [&](const std::string& name) {
        const size_t at = r.out.find("\n" + name + " ");
        return at == std::string::npos ? 0.0 : std::stod(r.out.substr(at + 1 + name.size()));
    };
    EXPECT_NEAR(value("Fundamental (Hz)"), 50.0, 0.01) << r.out;
    // 100 mV RMS against a 1.2 V full scale.
    EXPECT_NEAR(value("Fundamental (dBFS)"), 20 * std::log10(0.1 * std::sqrt(2.0) / 1.2), 0.1);
    EXPECT_NEAR(value("H2 (dBc)"), -50.0, 0.5);
    EXPECT_NEAR(value("H3 (dBc)"), -60.0, 0.5);

    const fs::path record = csv.string() + ".json";
    const std::string json = ReadFile(record);
    EXPECT_NE(json.find("\"calibrator\""), std::string::npos) << json;
    EXPECT_NE(json.find("OUT 100 mV ,50 Hz, OPER"), std::string::npos) << json;
    std::error_code ignored;
    fs::remove(csv, ignored);
    fs::remove(record, ignored);
}

}  // namespace

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
    const std::vector<std::string> plan{"--no-chamber", "--count", "3", "--start",
                                        "25",           "--step",  "5"};
    const Dmmctl unbroken;
    const fs::path whole = DriftBenchDirectory(unbroken);
    const Outcome done = unbroken.Run(DriftRun(whole, plan));
    ASSERT_EQ(done.exitCode, 0) << done.err;

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
    const std::vector<std::string> plan{"--no-chamber", "--count", "3", "--start",
                                        "25",           "--step",  "5"};
    const Dmmctl unbroken;
    const fs::path whole = DriftBenchDirectory(unbroken);
    const Outcome done = unbroken.Run(DriftRun(whole, plan));
    ASSERT_EQ(done.exitCode, 0) << done.err;

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
    EXPECT_NE(recovered.out.find("1 link gaps, their modes measured again"), std::string::npos)
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

// A capture whose board is gone fails with its message and exit status at once.
TEST(DmmctlCapture, ACaptureWithoutTheBoardFailsAtOnce) {
    const Outcome r = Dmmctl().Run({"--sim", "--sim-fault", "board:unplug@0", "capture"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("dmmctl: the simulated board did not answer"), std::string::npos) << r.err;
}
