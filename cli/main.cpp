// dmmctl: the bench's command line. Global options first, then verbs that run in order
// in one process:  dmmctl --sim write 0x12 0x5A read 0x12 1
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "cli/completion.h"
#include "cli/global_options.h"
#include "cli/interrupt.h"
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

// Scripts rely on these staying as they are.
constexpr const char* kExitCodes =
    "\nExit codes:\n"
    "  0    every verb succeeded\n"
    "  1    a verb failed (the reason is on stderr)\n"
    "  2    unknown verb, or no verb\n"
    "  104-114  the command line could not be parsed (CLI11's codes; among them\n"
    "       105 a value that is not valid: every number outside its range, however\n"
    "       it is found; 106 a required argument missing,\n"
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
    GlobalFlags flags;
    DefineGlobalOptions(app, options, flags);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    options.kindGiven = app.count("--kind") > 0;
    options.lptGiven = app.count("--lpt") > 0;
    options.photoGiven = options.photo || flags.noPhoto;
    options.baudGiven = app.count("--baud") > 0;
    options.parityGiven = app.count("--parity") > 0;
    if (flags.completion) {
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
        if (!ok) return session.RefusedValue() ? kExitInvalidValue : kExitRuntime;
    }
    return 0;
}
