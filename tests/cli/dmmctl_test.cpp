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

#include "dmmctl_process.h"

using namespace dmm::test;

namespace {

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
        {{}, "--sim-latency", {"scan"}},
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

// A capture whose board is gone fails with its message and exit status at once.
TEST(DmmctlCapture, ACaptureWithoutTheBoardFailsAtOnce) {
    const Outcome r = Dmmctl().Run({"--sim", "--sim-fault", "board:unplug@0", "capture"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("dmmctl: the simulated board did not answer"), std::string::npos) << r.err;
}
