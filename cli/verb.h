#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/session.h"

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

// A number as engineers type it: 0x5A, 5Ah, 90 (decimal), 0b1010.
bool ParseCliNumber(const std::string& text, int64_t& value);

// A CLI11 validator for ParseCliNumber.
CLI::Validator CliNumber();
// A whole number (as ParseCliNumber reads it) from low to high; what names the unit.
CLI::Validator WholeNumberIn(int64_t low, int64_t high, const std::string& what);
// A decimal number above 0 (read the same in every locale); what names the quantity.
CLI::Validator NumberAboveZero(const std::string& what);
// A decimal number, read the same in every locale.
bool ParseDecimal(const std::string& text, double& value);

}  // namespace dmm::cli
