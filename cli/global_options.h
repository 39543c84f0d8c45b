#pragma once

#include <CLI/CLI.hpp>

#include "cli/session.h"

namespace dmm::cli {

// What the global options set beyond the session's options.
struct GlobalFlags {
    bool noPhoto = false;     // --no-photo
    bool completion = false;  // --bash-completion
};

// dmmctl's options before the first verb, each checked as the command line is read.
void DefineGlobalOptions(CLI::App& app, GlobalOptions& options, GlobalFlags& flags);

}  // namespace dmm::cli
