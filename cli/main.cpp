// dmmctl: the bench's command line. Global options first, then verbs that run in order
// in one process:  dmmctl --sim write 0x12 0x5A read 0x12 1
#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

#include "cli/session.h"
#include "cli/verb.h"

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

}  // namespace

int main(int argc, char** argv) {
    using namespace dmm::cli;
    const std::vector<VerbInfo> verbs = AllVerbs();

    GlobalOptions options;
    CLI::App app{"dmmctl - command line of the dmmbench evaluation bench", "dmmctl"};
    app.prefix_command();
    app.footer(VerbList(verbs));
    app.add_flag("--sim", options.sim, "use the simulated board, chip and instruments");
    app.add_flag("--sim-hid", options.hid,
                 "use the simulated bench with the board on the bus as a HID device");
    app.add_option("--dir", options.dir, "bench directory (settings, INCLUDE/, result files)");
    app.add_option("--kind", options.kind, "chip interface kind")
        ->check(CLI::IsMember({"rs232", "spi", "special", "parallel", "uart", "dmm"}));
    app.add_flag("--photo", options.photo, "opto-coupled board (Photo option)");
    app.add_option("--com", options.com, "the chip's serial port with --kind rs232 (COM1..COM16)");
    app.add_option("--baud", options.baud, "the chip link's baud rate with --kind rs232");
    app.add_option("--parity", options.parity, "the chip link's parity with --kind rs232")
        ->check(CLI::IsMember({"none", "even", "odd"}));
    app.add_flag("--trace", options.trace, "print every packet sent (>) and received (<) in hex");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    // A simulated HID board only exists on the simulated bench.
    if (options.hid) options.sim = true;

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
            return 2;
        } else
            calls.back().args.push_back(token);
    }
    if (calls.empty()) {
        std::cerr << app.help() << '\n';
        return 2;
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

    Session session(options, std::cout, std::cerr);
    for (auto& verb : ready) {
        if (!verb->Run(session)) return 1;
    }
    return 0;
}
