#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/session.h"
#include "cli/verb.h"

namespace dmm::cli {

// Runs one verb on a session as dmmctl does: its arguments parsed by the verb's own
// parser, then its work; what it prints lands in the session's streams. A refused argument
// is printed as dmmctl prints it, and nothing runs.
inline bool RunVerb(Session& session, const std::string& name, std::vector<std::string> args) {
    for (const VerbInfo& info : AllVerbs()) {
        if (info.name != name) continue;
        CLI::App parser(info.summary, info.name);
        auto verb = info.make();
        verb->Define(parser);
        std::reverse(args.begin(), args.end());
        try {
            parser.parse(args);
        } catch (const CLI::ParseError& e) {
            return session.Fail(e.what());
        }
        return verb->Run(session);
    }
    ADD_FAILURE() << "no verb " << name;
    return false;
}

}  // namespace dmm::cli
