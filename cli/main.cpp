// dmmctl: the bench's command line. Global options first, then verbs that run in order
// in one process:  dmmctl --sim write 0x12 0x5A read 0x12 1
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/completion.h"
#include "cli/interrupt.h"
#include "cli/session.h"
#include "cli/verb.h"
#include "core/link/parallel_link.h"
#include "sim/sim_options.h"

namespace {

struct VerbCall {
    const dmm::cli::VerbInfo* info;
    std::vector<std::string> args;
};

std::string VerbList(const std::vector<dmm::cli::VerbInfo>& verbs) {
    std::string text = "Verbs (several may follow each other and run in order):\n";
    for (const auto& v : verbs)
        text += "  " + v.name + std::string(10 - std::min<size_t>(9, v.name.size()), ' ') +
                v.summary + "\n";
    return text;
}

// Scripts rely on these staying as they are.
constexpr const char* kExitCodes =
    "\nExit codes:\n"
    "  0    every verb succeeded\n"
    "  1    a verb failed (the reason is on stderr)\n"
    "  2    unknown verb, or no verb\n"
    "  104-114  the command line could not be parsed (CLI11's codes; among them\n"
    "       105 a value that is not valid, 106 a required argument missing,\n"
    "       109 arguments a verb does not take, 114 a wrong number of arguments)\n"
    "  130  stopped by Ctrl-C (a second Ctrl-C ends at once)\n"
    "  143, 129  stopped by SIGTERM, by SIGHUP (the work ends as on Ctrl-C)\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace dmm::cli;
    const std::vector<VerbInfo> verbs = AllVerbs();

    GlobalOptions options;
    CLI::App app{"dmmctl - command line of the dmmbench evaluation bench", "dmmctl"};
    app.prefix_command();
    app.footer(VerbList(verbs) + kExitCodes);
    app.set_version_flag("--version", "dmmctl " DMM_VERSION);
    app.add_flag("--sim", options.sim, "use the simulated board, chip and instruments");
    app.add_flag("--sim-hid", options.hid,
                 "use the simulated bench with the board on the bus as a HID device");
    app.add_option("--sim-chip", options.simChip,
                   "chip on the simulated board: VZ6401 (default) or RX405, the microcontroller "
                   "of the switch test (implies --sim)")
        ->check(CLI::IsMember({"VZ6401", "RX405"}, CLI::ignore_case));
    app.add_option("--dir", options.dir, "bench directory (settings, INCLUDE/, result files)");
    app.add_option("--kind", options.kind,
                   "chip interface kind (default: the settings file's, else dmm)")
        ->check(CLI::IsMember({"rs232", "spi", "special", "parallel", "uart", "dmm"}));
    app.add_option("--lpt", options.lpt,
                   "port base of --kind parallel: 0x378 (LPT1), 0x278 (LPT2) or 0x3BC (PRN1)")
        ->check(CLI::Validator(
            [](std::string& text) {
                int64_t base = -1;
                if (ParseCliNumber(text, base) && base >= 0 && base <= 0xFFFF &&
                    dmm::IsLptPortBase(static_cast<uint16_t>(base)))
                    return std::string();
                return "must be 0x378, 0x278 or 0x3BC, not " + text;
            },
            "0x378|0x278|0x3BC"));
    bool noPhoto = false;
    CLI::Option* photo = app.add_flag(
        "--photo", options.photo,
        "opto-coupled board (Photo option); without --photo or --no-photo, as the settings "
        "file says");
    app.add_flag("--no-photo", noPhoto, "the board is not opto-coupled")->excludes(photo);
    app.add_option("--com", options.com, "the chip's serial port with --kind rs232 (COM1..COM16)");
    app.add_option("--baud", options.baud, "the chip link's baud rate with --kind rs232");
    app.add_option("--parity", options.parity, "the chip link's parity with --kind rs232")
        ->check(CLI::IsMember({"none", "even", "odd"}));
    app.add_flag("--trace", options.trace, "print every packet sent (>) and received (<) in hex");
    app.add_option("--sim-speed", options.simSpeed,
                   "simulated bench: its clock runs N times faster than real time (1..1000)")
        ->check(CLI::Range(1.0, 1000.0));
    app.add_flag("--sim-noiseless", options.simNoiseless,
                 "simulated bench: converters without noise, the same figures on every run");
    app.add_option("--sim-log", options.simLog,
                   "simulated bench: append what its calibrator, power supply and chamber are "
                   "told to FILE, a line each");
    app.add_option("--sim-tone", options.simTone,
                   "simulated bench: a tone PEAK_V,HZ[,NODE] on an input node (SENSE by default)")
        ->check([](const std::string& text) {
            std::string error;
            return dmm::sim::ParseSimTone(text, error) ? std::string() : error;
        });
    app.add_option("--sim-rx", options.simRx,
                   "simulated bench: the resistor on the ohmmeter's input (4700, 4.7k; 10k)")
        ->check([](const std::string& text) {
            std::string error;
            return dmm::sim::ParseSimResistor(text, error) ? std::string() : error;
        });
    app.add_option("--sim-harmonics", options.simHarmonics,
                   "simulated bench: harmonics of its AC sources, dBc from the 2nd on (-60,-70)")
        ->check([](const std::string& text) {
            std::string error;
            return dmm::sim::ParseHarmonics(text, error) ? std::string() : error;
        });
    app.add_option("--sim-fault", options.simFaults,
                   "simulated bench: a fault, repeatable. TARGET:FAULT@START[+DURATION] "
                   "(board:unplug@30+10, board:power-cycle@2m+5s, meter2:vanish@60+3; serial "
                   "faults silent, garbage, split, slow, vanish on chip-link, calibrator, power, "
                   "chamber, meter1..6 or COMn), or the RX405 firmware's ready-stuck, "
                   "block-stuck, never-ends, status-fails, setup-differs")
        ->allow_extra_args(false)
        ->check([](const std::string& text) {
            std::string error;
            dmm::sim::SimBenchOptions options;
            return dmm::sim::ParseSimFault(text, options, error) ? std::string() : error;
        });
    bool completion = false;
    app.add_flag("--bash-completion", completion, "print a bash completion script and exit")
        ->group("");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    options.kindGiven = app.count("--kind") > 0;
    options.lptGiven = app.count("--lpt") > 0;
    options.photoGiven = options.photo || noPhoto;
    options.baudGiven = app.count("--baud") > 0;
    options.parityGiven = app.count("--parity") > 0;
    if (completion) {
        std::cout << BashCompletion(app, verbs);
        return 0;
    }
    // A simulated HID board only exists on the simulated bench.
    if (options.hid || !options.simChip.empty()) options.sim = true;

    std::vector<VerbCall> calls;
    for (const std::string& token : app.remaining()) {
        auto it = std::find_if(verbs.begin(), verbs.end(),
                               [&](const VerbInfo& v) { return v.name == token; });
        if (!calls.empty() && calls.back().args.size() < calls.back().info->leadingArgs)
            calls.back().args.push_back(token);
        else if (it != verbs.end())
            calls.push_back({&*it, {}});
        else if (calls.empty()) {
            std::cerr << "dmmctl: unknown verb '" << token << "'\n" << VerbList(verbs);
            return kExitUsage;
        } else
            calls.back().args.push_back(token);
    }
    if (calls.empty()) {
        std::cerr << app.help() << '\n';
        return kExitUsage;
    }

    // Parse every verb's arguments before running any, so a typo late on the line does
    // not leave half the work done.
    std::vector<std::unique_ptr<Verb>> ready;
    std::vector<std::unique_ptr<CLI::App>> parsers;
    for (auto& call : calls) {
        auto parser = std::make_unique<CLI::App>(call.info->summary, call.info->name);
        auto verb = call.info->make();
        verb->Define(*parser);
        std::vector<std::string> reversed(call.args.rbegin(), call.args.rend());
        try {
            parser->parse(reversed);
        } catch (const CLI::ParseError& e) {
            std::cerr << "dmmctl " << call.info->name << ": ";
            return parser->exit(e, std::cerr, std::cerr);
        }
        ready.push_back(std::move(verb));
        parsers.push_back(std::move(parser));
    }

    // Read-backs printed before a Ctrl-C or a failure must reach a pipe too.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    InstallInterruptHandler();
    // A document on stdout (capture --json) is all of stdout, so that it parses: what the
    // other verbs print goes to stderr.
    const auto documents = std::count_if(ready.begin(), ready.end(),
                                         [](const auto& verb) { return verb->PrintsDocument(); });
    if (documents > 1) {
        std::cerr << "dmmctl: only one verb of a run can print JSON on stdout\n";
        return kExitUsage;
    }
    Session session(options, documents > 0 ? std::cerr : std::cout, std::cerr);
    if (documents > 0) session.SetDocumentStream(&std::cout);
    if (!session.Usable()) return kExitRuntime;
    for (auto& verb : ready) {
        const bool ok = verb->Run(session);
        if (Interrupted()) {
            // Whatever the verb left, a bench that nobody watches any more goes safe.
            session.LeaveBenchSafe();
            return InterruptExitCode();
        }
        if (!ok) return kExitRuntime;
    }
    return 0;
}
