#include "cli/completion.h"

namespace dmm::cli {
namespace {

std::string LongOptions(const CLI::App& app, bool withHelp) {
    std::string words;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) {
            if (name == "bash-completion") continue;  // for the build, not for people
            if (name == "help" && !withHelp) continue;
            words += (words.empty() ? "--" : " --") + name;
        }
    }
    return words;
}

}  // namespace

std::string BashCompletion(const CLI::App& app, const std::vector<VerbInfo>& verbs) {
    std::string verbNames, cases;
    for (const VerbInfo& verb : verbs) {
        verbNames += (verbNames.empty() ? "" : " ") + verb.name;
        CLI::App parser(verb.summary, verb.name);
        verb.make()->Define(parser);
        const std::string options = LongOptions(parser, false);
        if (!options.empty()) cases += "        " + verb.name + ") opts=\"" + options + "\" ;;\n";
    }
    std::string alternatives = verbNames;
    for (char& c : alternatives)
        if (c == ' ') c = '|';
    return "# bash completion for dmmctl (made by dmmctl --bash-completion)\n"
           "_dmmctl() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local verbs=\"" +
           verbNames +
           "\"\n"
           "    local globals=\"" +
           LongOptions(app, true) +
           "\"\n"
           "    if [[ $prev == --kind ]]; then\n"
           "        COMPREPLY=($(compgen -W \"rs232 spi special parallel uart dmm\" -- \"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    local verb=\"\" i\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in " +
           alternatives +
           ") verb=${COMP_WORDS[i]} ;; esac\n"
           "    done\n"
           "    local opts=\"\"\n"
           "    case $verb in\n" +
           cases +
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        [[ -z $verb ]] && opts=$globals\n"
           "        COMPREPLY=($(compgen -W \"$opts\" -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -W \"$verbs\" -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -F _dmmctl dmmctl\n";
}

}  // namespace dmm::cli
