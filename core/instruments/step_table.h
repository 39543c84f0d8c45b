#pragma once

#include <string>
#include <vector>

namespace dmm {

// One step of an instrument step table: its enable number (hexadecimal text, non-zero
// means the step sends its command) and the command text.
struct StepRow {
    std::string active;
    std::string command;
};

// The per-step commands of the calibrator ("FLUKE-5500") or the power supply ("Power
// Supply") for the drift test's modes. Steps are numbered from 1.
class StepTable {
  public:
    static constexpr int kDefaultSteps = 48;

    StepTable() { INI(kDefaultSteps); }
    // Resizes the table to a number of steps; steps that stay keep their contents.
    void INI(int steps);
    int StepCount() const { return static_cast<int>(rows_.size()); }
    // Step k (1-based); an empty row outside the table.
    const StepRow& Step(int k) const;
    void SetStep(int k, StepRow row);
    // True when the step's enable number is a non-zero hexadecimal number.
    bool Active(int k) const;

  private:
    std::vector<StepRow> rows_;
};

}  // namespace dmm
