#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/session.h"
#include "core/app/user_numbers.h"

namespace dmm::cli {

// One dmmctl verb. A fresh object is made for each occurrence on the command line;
// Define() declares its arguments, Run() does the work once they are parsed.
class Verb {
  public:
    virtual ~Verb() = default;
    virtual void Define(CLI::App& app) = 0;
    virtual bool Run(Session& session) = 0;
    // True when, as parsed, it prints a document that must be all of stdout
    // (Session::document()); everything else the run prints then goes to stderr.
    virtual bool PrintsDocument() const { return false; }
};

struct VerbInfo {
    std::string name;
    std::string summary;
    std::function<std::unique_ptr<Verb>()> make;
    // Tokens right after the verb that are its arguments even when they name a verb
    // ("identify fluke COM2").
    size_t leadingArgs = 0;
};

// Every verb dmmctl knows, in the order the help lists them.
std::vector<VerbInfo> AllVerbs();

// Each group of verbs adds itself here.
void AddLinkVerbs(std::vector<VerbInfo>& verbs);
void AddMeasureVerbs(std::vector<VerbInfo>& verbs);
void AddChipVerbs(std::vector<VerbInfo>& verbs);
void AddSwitchTestVerbs(std::vector<VerbInfo>& verbs);
void AddInstrumentVerbs(std::vector<VerbInfo>& verbs);
void AddCalibrationVerbs(std::vector<VerbInfo>& verbs);
void AddConfigVerbs(std::vector<VerbInfo>& verbs);
void AddDriftVerbs(std::vector<VerbInfo>& verbs);
void AddCounterVerbs(std::vector<VerbInfo>& verbs);

// Every number dmmctl reads goes through the core's readers (core/app/user_numbers.h),
// so that it is refused the way the windows refuse it, before any board or instrument is
// touched: "--cal: -10000 is not a resistance (0 < R ≤ 100 MΩ)", exit code 105. These make
// the readers CLI11 transforms: the text becomes the value in plain decimal, so that the
// option's variable (an int or a double) gets it in whatever form it was typed ("0x5A").
CLI::Validator Whole(const WholeRule& rule);
CLI::Validator Real(const RealRule& rule);
// Milliseconds, from a time typed in the rule's unit.
CLI::Validator Duration(const DurationRule& rule);
// A chip address 0x000..0x3FF.
CLI::Validator Address(const char* what = "a chip address");
// COM1..COM16; the text stays as typed.
CLI::Validator ComPort();
// A name out of a set, refused in the same shape: "--range: 7nF is not a capacitance
// range (500nF, 5uF, ...)".
CLI::Validator OneOf(const std::vector<std::string>& names, const char* what);

// A refusal found after parsing (a value that depends on what the chip binds): printed,
// and dmmctl exits with the code of a value that is not valid.
bool RefuseValue(Session& s, const std::string& refusal);

// The exit code of a value that is not valid, CLI11's, shared by every refusal of a number.
inline constexpr int kExitInvalidValue = 105;

}  // namespace dmm::cli
