#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Every number the user types (a dmmctl option or argument, a window's entry or grid cell)
// is read here, against a rule that says what it is and which values it may take. Text is
// read the same in every locale, with spaces around it ignored. Refused: text that is no
// number, a number with anything after it, infinities and NaN, values outside the range
// and text longer than the field it goes into. A refusal has one shape,
//   -10000 is not a resistance (0 < R ≤ 100 MΩ)
// and the caller puts the name of its option or entry in front: "--cal: -10000 is not ...".
namespace dmm {

// How a whole number may be written.
enum class WholeForm {
    Any,      // 90, -3, 0x5A, 5Ah, 0b1010
    Hex,      // hexadecimal digits alone ("C0", "3A"), as the grids and hex entries hold them
    Decimal,  // decimal digits alone, with a sign, as files read back in decimal hold them
};

struct WholeRule {
    const char* what;  // what the number is, with its article: "a number of readings"
    int64_t low = 0;
    int64_t high = 0;
    const char* symbol = "N";  // the number in the range text: "1 ≤ N ≤ 100000"
    const char* unit = "";
    WholeForm form = WholeForm::Any;
    bool hexRange = false;  // the range written in hexadecimal (addresses, bytes)
    int maxChars = 0;       // the width of the field the text goes into; 0: any
};

struct RealRule {
    const char* what;
    double low = 0;
    double high = 0;
    bool lowOpen = false;   // low itself refused: "0 < R"
    bool highOpen = false;  // high itself refused
    const char* symbol = "x";
    const char* unit = "";
    bool siPrefixes = false;  // the range written with k, M, G: "100 MΩ"
    int maxChars = 0;
};

// A time span typed in its unit ("s", "ms" or "min"), read as a real number.
struct DurationRule {
    const char* what;
    double low = 0;  // in the unit
    double high = 0;
    bool lowOpen = false;
    const char* unit = "s";
};

// The value, or nullopt and the refusal in *refusal.
std::optional<int64_t> ReadWhole(std::string_view text, const WholeRule& rule,
                                 std::string* refusal = nullptr);
std::optional<double> ReadReal(std::string_view text, const RealRule& rule,
                               std::string* refusal = nullptr);
// The span in milliseconds, rounded to the nearest.
std::optional<int64_t> ReadDuration(std::string_view text, const DurationRule& rule,
                                    std::string* refusal = nullptr);
// A chip address, 0x000..0x3FF, written as ReadWhole takes it; what says whose address.
std::optional<uint16_t> ReadAddress(std::string_view text, const char* what = "a chip address",
                                    std::string* refusal = nullptr);
// "COM1".."COM16" in any case: the COM index 0..15.
std::optional<int> ReadComIndex(std::string_view text, std::string* refusal = nullptr);

// A value that came as a number (a plan row, a set point) checked against a rule: empty
// when the rule takes it, else the refusal ("nan is not a relative humidity (...)").
std::string RealRefusal(double value, const RealRule& rule);

// The ranges as the refusals (and the manual page) write them: "0 < R ≤ 100 MΩ".
std::string RangeText(const WholeRule& rule);
std::string RangeText(const RealRule& rule);
std::string RangeText(const DurationRule& rule);

// "TEXT is not WHAT (RANGE)": the refusal of a value a caller checks itself (a value that
// is a number but not one of a set, or too large for the field a chip binds).
std::string Refusal(std::string_view text, std::string_view what, std::string_view range);

// A value in the shortest decimal that reads back the same, for texts that go on to a
// parser expecting plain decimal ("90" from "0x5A").
std::string PlainDecimal(double value);

}  // namespace dmm
