#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The line grammar shared by the chip list and the chip description files: a line is cut
// into blank-separated tokens up to its comment, numbers carry an optional radix letter,
// and a directive token ("#REGBIT") opens a section. Pure functions, no I/O.
namespace dmm {

// One tokenised line. Field positions are 1-based character positions into text; field 1
// is the comment, fields 4 and up are the tokens (token 1 is field 4). Fields 2 and 3 stay
// empty: the layout is kept so that field numbers read the same everywhere.
struct TIncLine {
    static constexpr int kMaxText = 160;
    static constexpr int kMaxTokens = 28;
    static constexpr int kCommentField = 1;
    static constexpr int kFirstTokenField = 4;
    static constexpr int kFieldCount = kFirstTokenField + kMaxTokens - 1;  // fields 1..31

    struct Field {
        int start = 0;  // 0: not filled
        int length = 0;
    };

    std::string text;                           // at most kMaxText characters
    std::array<Field, kFieldCount + 1> fields;  // index 0 unused

    // Empties the text and every field.
    void Init();
    // Number of tokens (consecutive filled fields from field 4 on), at most 28.
    int TokenCount() const;
    // Token n (1-based); empty when the line has fewer tokens.
    std::string_view Token(int n) const;
    // The comment field, from its opening '"' or ';' to the end of the text; empty if none.
    std::string_view Comment() const;
    bool HasComment() const { return fields[kCommentField].start != 0; }
};

// Fills the comment field and the token fields of line from line.text. The comment starts
// at the first '"' or ';'; the part before it splits at spaces and tabs. Tokens beyond the
// 28th are dropped.
void CutLIPara(TIncLine& line);

// Upper-cases (ASCII only, so multi-byte text keeps its bytes), cuts to 160 characters and
// splits one line of a description or chip list file.
TIncLine SplitIncLine(std::string_view rawLine);

// A number token: starts with a digit, "+" or "-"; a last letter H, B or D names the radix
// (hexadecimal, binary, decimal); without one, letters A-F inside the token make it
// hexadecimal. Tokens that end in another letter, or mix hexadecimal letters with a B or D
// suffix, are no number (nullopt). Conversion follows the strict text helpers: a digit
// outside the radix, or a leading "+", gives 0. The result is 32 bits wide.
std::optional<int32_t> ParseNumber(std::string_view token);

// Directive codes of the description file. 255 for any token that is not a directive.
enum DirectiveCode : uint8_t {
    kProduct = 1,
    kCompiler = 2,
    kId = 3,
    kRom = 4,
    kReg0 = 5,
    kReg1 = 6,
    kRamBank0 = 7,  // .. kRamBank0 + 4
    kRegBit = 12,   // page 1; kRegBit + 1 .. + 3 are pages 2 to 4
    kRegByte = 16,
    kRegWord = 17,
    kReg3Byte = 18,
    kStack = 19,
    kSbmAddr = 20,
    kSimic = 21,
    kRegBitStr = 22,
    kRegByteStr = 23,
    kRegWordStr = 24,
    kRegBitStrCn = 25,
    kRegByteStrCn = 26,
    kRegWordStrCn = 27,
    kOp = 29,
    kCmp0s = 30,
    kDmm = 31,
    kDmmAdcClk = 32,
    kProgramCounter = 33,
    kMpn = 34,
    kAds = 35,
    kAdf = 36,
    kFluke = 37,
    kAdcNum = 38,
    kNotDirective = 255,
};

// The directive code of token (compared exactly, so callers pass upper-cased tokens).
uint8_t IsPseudo(std::string_view token);
// The directive text of a code, or empty for 255 and unused codes.
std::string_view DirectiveName(uint8_t code);

}  // namespace dmm
