#pragma once

#include <string>
#include <string_view>
#include <vector>

// The chip list file "VzSel.INC": one selectable chip per line, naming its description
// file and the two parts of its selector text. Pure functions, no I/O.
namespace dmm {

inline constexpr char kChipListFileName[] = "VzSel.INC";

struct ChipListEntry {
    std::string descriptionFile;  // token 1, upper-cased; looked up case-insensitively
    std::string selectorText;     // token 2 + two blanks + token 3
};

// The chips of a chip list file, in selector order. The list ends at the end of the text
// or at the first line whose first token is shorter than 3 characters (an empty line, or
// a line holding only a comment, ends it).
std::vector<ChipListEntry> ParseChipList(std::string_view text);

// The selector texts offered when the chip list file is missing: four texts repeated 16
// times. No description can be loaded from them.
std::vector<std::string> FallbackChipSelector();

// Splits text into lines at LF, dropping a CR before it; a last line without LF counts.
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace dmm
