#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cli/verb.h"

namespace dmm::cli {

// A bash completion script for dmmctl, made from the global options and the verb table,
// so that it cannot fall behind the verbs: verbs after the options, each verb's own
// options after it, and the values of --kind.
std::string BashCompletion(const CLI::App& app, const std::vector<VerbInfo>& verbs);

}  // namespace dmm::cli
