#include "core/chip/inc_line.h"

#include <algorithm>

#include "core/link/number_text.h"

namespace dmm {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsHexLetter(char c) {
    const char u = Upper(c);
    return u >= 'A' && u <= 'F';
}

struct Directive {
    std::string_view name;
    uint8_t code;
};

// In the order of the description format; code 28 has no directive.
constexpr std::array<Directive, 37> kDirectives{{
    {"#PRODUCT", kProduct},
    {"#COMPILER", kCompiler},
    {"#ID", kId},
    {"#ROM", kRom},
    {"#REG0", kReg0},
    {"#REG1", kReg1},
    {"#RAMBANK0", kRamBank0},
    {"#RAMBANK1", kRamBank0 + 1},
    {"#RAMBANK2", kRamBank0 + 2},
    {"#RAMBANK3", kRamBank0 + 3},
    {"#RAMBANK4", kRamBank0 + 4},
    {"#REGBIT", kRegBit},
    {"#REGBIT1", kRegBit + 1},
    {"#REGBIT2", kRegBit + 2},
    {"#REGBIT3", kRegBit + 3},
    {"#REGBYTE", kRegByte},
    {"#REGWORD", kRegWord},
    {"#REG3BYTE", kReg3Byte},
    {"#STACK", kStack},
    {"#SBMADDR", kSbmAddr},
    {"#SIMIC", kSimic},
    {"#REGBITSTR", kRegBitStr},
    {"#REGBYTESTR", kRegByteStr},
    {"#REGWORDSTR", kRegWordStr},
    {"#REGBITSTRCN", kRegBitStrCn},
    {"#REGBYTESTRCN", kRegByteStrCn},
    {"#REGWORDSTRCN", kRegWordStrCn},
    {"#OP", kOp},
    {"#CMP0S", kCmp0s},
    {"#DMM", kDmm},
    {"#DMMADCCLK", kDmmAdcClk},
    {"#PROGRAMCOUNTER", kProgramCounter},
    {"#MPN", kMpn},
    {"#ADS", kAds},
    {"#ADF", kAdf},
    {"#FLUKE", kFluke},
    {"#ADCNUM", kAdcNum},
}};

}  // namespace

void TIncLine::Init() {
    text.clear();
    fields.fill({});
}

int TIncLine::TokenCount() const {
    int n = 0;
    while (n < kMaxTokens && fields[static_cast<size_t>(kFirstTokenField + n)].start != 0) ++n;
    return n;
}

std::string_view TIncLine::Token(int n) const {
    if (n < 1 || n > kMaxTokens) return {};
    const Field& f = fields[static_cast<size_t>(kFirstTokenField + n - 1)];
    if (f.start <= 0 || static_cast<size_t>(f.start - 1) >= text.size()) return {};
    return std::string_view(text).substr(static_cast<size_t>(f.start - 1),
                                         static_cast<size_t>(f.length));
}

std::string_view TIncLine::Comment() const {
    const Field& f = fields[kCommentField];
    if (f.start <= 0 || static_cast<size_t>(f.start - 1) >= text.size()) return {};
    return std::string_view(text).substr(static_cast<size_t>(f.start - 1),
                                         static_cast<size_t>(f.length));
}

void CutLIPara(TIncLine& line) {
    line.fields.fill({});
    if (line.text.size() > static_cast<size_t>(TIncLine::kMaxText)) {
        line.text.resize(static_cast<size_t>(TIncLine::kMaxText));
    }
    const std::string& s = line.text;
    const size_t commentAt = s.find_first_of("\";");
    size_t end = s.size();
    if (commentAt != std::string::npos) {
        line.fields[TIncLine::kCommentField] = {static_cast<int>(commentAt) + 1,
                                                static_cast<int>(s.size() - commentAt)};
        end = commentAt;
    }
    size_t i = 0;
    int field = TIncLine::kFirstTokenField;
    while (field <= TIncLine::kFieldCount) {
        while (i < end && IsBlank(s[i])) ++i;
        if (i >= end) break;
        const size_t start = i;
        while (i < end && !IsBlank(s[i])) ++i;
        line.fields[static_cast<size_t>(field++)] = {static_cast<int>(start) + 1,
                                                     static_cast<int>(i - start)};
    }
}

TIncLine SplitIncLine(std::string_view rawLine) {
    TIncLine line;
    line.Init();
    const size_t n = std::min(rawLine.size(), static_cast<size_t>(TIncLine::kMaxText));
    line.text.assign(rawLine.substr(0, n));
    // Big5 text: a lead byte 0x81..0xFE takes its trail byte with it, and a trail byte
    // in a..z (存 is A6 73) must not be upper-cased into another character.
    for (size_t i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(line.text[i]);
        if (byte >= 0x81 && byte <= 0xFE) {
            ++i;
            continue;
        }
        line.text[i] = Upper(line.text[i]);
    }
    CutLIPara(line);
    return line;
}

std::optional<int32_t> ParseNumber(std::string_view token) {
    if (token.empty()) return std::nullopt;
    const char first = token.front();
    if (!(first >= '0' && first <= '9') && first != '+' && first != '-') return std::nullopt;

    const char last = Upper(token.back());
    int radix = 0;
    std::string_view digits = token;
    if (last == 'H' || last == 'B' || last == 'D') {
        radix = last == 'H' ? 16 : last == 'B' ? 2 : 10;
        digits.remove_suffix(1);
        // "12AD": hexadecimal letters and a binary or decimal suffix at once.
        if (radix != 16 && std::any_of(digits.begin(), digits.end(), IsHexLetter)) {
            return std::nullopt;
        }
    } else if (IsLetter(last)) {
        return std::nullopt;  // "1F": a hexadecimal number needs its H
    } else {
        radix = std::any_of(digits.begin(), digits.end(), IsHexLetter) ? 16 : 10;
    }

    int64_t value = 0;
    switch (radix) {
        case 16:
            value = HexText(digits);
            break;
        case 2:
            value = BinText(digits);
            break;
        default:
            value = DecText(digits);
            break;
    }
    return static_cast<int32_t>(value);
}

uint8_t IsPseudo(std::string_view token) {
    for (const Directive& d : kDirectives) {
        if (d.name == token) return d.code;
    }
    return kNotDirective;
}

std::string_view DirectiveName(uint8_t code) {
    for (const Directive& d : kDirectives) {
        if (d.code == code) return d.name;
    }
    return {};
}

}  // namespace dmm
