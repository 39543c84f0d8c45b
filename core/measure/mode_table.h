#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/app/user_numbers.h"

namespace dmm {

// The drift test's mode table (the temperature test window's RegChg grid): row 0 holds
// up to ten register addresses in columns 1..10, then "Delay" and "ACM"; row m holds the
// register values of mode m, its wait in seconds (column 11) and its reference voltage
// text (column 12). Cells are text as the user typed them.
class ModeTable {
  public:
    static constexpr int kColumns = 13;
    static constexpr int kRegisterColumns = 10;
    static constexpr int kDelayColumn = 11;
    static constexpr int kAcmColumn = 12;
    static constexpr int kMaxModes = 10000;
    static constexpr int kDefaultModes = 48;
    static constexpr int kStartModes = 1000;

    explicit ModeTable(int modes = kStartModes) { Resize(modes); }

    // Rows 1..modes; rows that stay keep their cells, the header row always stays.
    void Resize(int modes);
    int modeCount() const { return static_cast<int>(rows_.size()) - 1; }

    // Empty text outside the table; writes outside it are ignored.
    const std::string& Cell(int row, int column) const;
    void SetCell(int row, int column, std::string text);
    // Columns 1..12 of rows 1..modeCount() emptied (the header row stays).
    void ClearSteps();

    // The register columns a save keeps: header cells 1..10 up to the first whose
    // hexadecimal value is 0.
    int UsedColumns() const;
    // The steps a save keeps and a run measures: rows from 1 up to the first whose column 1
    // holds no hexadecimal digit.
    int UsedSteps() const;
    // The register columns a run writes: consecutive non-empty header cells from column 1.
    int AddressColumns() const;

  private:
    std::vector<std::array<std::string, kColumns>> rows_;
};

// The mode count as dmmctl takes it (the window's field has the rule below).
inline constexpr WholeRule kModeCountRule{"a number of modes", 1, ModeTable::kMaxModes};

// What a cell of the table may hold, as wide as its field in the files "Save Reg" writes
// (a register cell 4 characters, a delay and an ACM cell 6): empty when it may hold text,
// else the refusal, the column named ("ACM: 1.23456789 is not a reference voltage (...)",
// "column 2: ..."). An empty cell is always taken.
std::string ModeCellRefusal(int row, int column, const std::string& text);
// The first cell of the table's used steps and columns that ModeCellRefusal refuses, with
// its step: "step 3, ACM: 1.23456789 is not ..."; empty when every cell fits.
std::string ModeTableRefusal(const ModeTable& table);

// The mode count field ("輸入最大測試模式數量"): a whole number from 1 to 10000; 0, text that
// is no number and anything larger give 48.
int ParseModeCount(const std::string& text);

// True when text holds at least one hexadecimal digit.
bool HasHexDigit(const std::string& text);
// The hexadecimal digits of text, in order.
std::string HexDigitsOf(const std::string& text);

}  // namespace dmm
