#include <gtest/gtest.h>

#include "core/chip/inc_line.h"

namespace dmm {
namespace {

struct NumberCase {
    const char* token;
    std::optional<int32_t> value;
};

TEST(ParseNumber, RadixLettersSignsAndWhatIsNoNumber) {
    const NumberCase cases[] = {
        {"1F", std::nullopt},  // a hexadecimal number needs its H
        {"1FH", 31},
        {"0FFH", 255},
        {"1A2", 0x1A2},  // letters inside make it hexadecimal
        {"12B", 0},      // binary takes only 0 and 1
        {"1B", 1},
        {"101B", 5},
        {"+5", 0},  // a leading "+" converts to 0
        {"-5", -5},
        {"12D", 12},
        {"12AD", std::nullopt},  // hexadecimal letters and a decimal suffix at once
        {"1DB", std::nullopt},
        {"1BH", 0x1B},
        {"12X", std::nullopt},
        {"H", std::nullopt},
        {"ABH", std::nullopt},  // must start with a digit or a sign
        {"", std::nullopt},
        {"0", 0},
        {"1023", 1023},
        {"-1FH", 0},         // only decimal takes a sign
        {"1G2", 0},          // a number, but not a valid decimal one
        {"0FFFFFFFFH", -1},  // 32 bits
        {"1fh", 31},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.token);
        EXPECT_EQ(ParseNumber(c.token), c.value);
    }
}

TEST(CutLIPara, TokensStopAtTheCommentAndBlanksSeparate) {
    const TIncLine line = SplitIncLine("  03ch\tAdCon  ; bits \"quoted\"");
    ASSERT_EQ(line.TokenCount(), 2);
    EXPECT_EQ(line.Token(1), "03CH");
    EXPECT_EQ(line.Token(2), "ADCON");  // upper-cased before the split
    EXPECT_EQ(line.Token(3), "");
    EXPECT_EQ(line.Comment(), "; BITS \"QUOTED\"");
    EXPECT_EQ(line.fields[TIncLine::kCommentField].start, 15);
    // Token fields are 1-based positions into the text; fields 2 and 3 are never filled.
    EXPECT_EQ(line.fields[4].start, 3);
    EXPECT_EQ(line.fields[4].length, 4);
    EXPECT_EQ(line.fields[2].start, 0);
    EXPECT_EQ(line.fields[3].start, 0);

    const TIncLine quoted = SplitIncLine("\"text; with\" both");
    EXPECT_EQ(quoted.TokenCount(), 0);
    EXPECT_EQ(quoted.fields[TIncLine::kCommentField].start, 1);

    const TIncLine blank = SplitIncLine(" \t ");
    EXPECT_EQ(blank.TokenCount(), 0);
    EXPECT_FALSE(blank.HasComment());
}

TEST(CutLIPara, LongLinesAreCutAt160AndTokensBeyond28AreDropped) {
    std::string many;
    for (int i = 1; i <= 40; ++i) many += std::to_string(i) + " ";
    const TIncLine line = SplitIncLine(many);
    EXPECT_EQ(line.TokenCount(), 28);
    EXPECT_EQ(line.Token(28), "28");
    EXPECT_EQ(line.Token(29), "");

    const std::string longToken = "A" + std::string(300, 'B');
    const TIncLine cut = SplitIncLine(longToken + " C ;comment");
    EXPECT_EQ(cut.text.size(), 160u);
    EXPECT_EQ(cut.TokenCount(), 1);
    EXPECT_EQ(cut.Token(1).size(), 160u);
    EXPECT_FALSE(cut.HasComment());  // the comment lay beyond the cut

    TIncLine reused = SplitIncLine("A B C");
    reused.text.assign(1, 'X');
    CutLIPara(reused);
    EXPECT_EQ(reused.TokenCount(), 1);  // old fields do not survive a new split
    reused.Init();
    EXPECT_EQ(reused.TokenCount(), 0);
    EXPECT_TRUE(reused.text.empty());
}

TEST(IsPseudo, EveryDirectiveHasItsCodeAnd28IsUnused) {
    const std::pair<const char*, int> codes[] = {
        {"#PRODUCT", 1},
        {"#COMPILER", 2},
        {"#ID", 3},
        {"#ROM", 4},
        {"#REG0", 5},
        {"#REG1", 6},
        {"#RAMBANK0", 7},
        {"#RAMBANK4", 11},
        {"#REGBIT", 12},
        {"#REGBIT1", 13},
        {"#REGBIT3", 15},
        {"#REGBYTE", 16},
        {"#REGWORD", 17},
        {"#REG3BYTE", 18},
        {"#STACK", 19},
        {"#SBMADDR", 20},
        {"#SIMIC", 21},
        {"#REGBITSTR", 22},
        {"#REGBYTESTR", 23},
        {"#REGWORDSTR", 24},
        {"#REGBITSTRCN", 25},
        {"#REGBYTESTRCN", 26},
        {"#REGWORDSTRCN", 27},
        {"#OP", 29},
        {"#CMP0S", 30},
        {"#DMM", 31},
        {"#DMMADCCLK", 32},
        {"#PROGRAMCOUNTER", 33},
        {"#MPN", 34},
        {"#ADS", 35},
        {"#ADF", 36},
        {"#FLUKE", 37},
        {"#ADCNUM", 38},
    };
    for (const auto& [name, code] : codes) {
        SCOPED_TRACE(name);
        EXPECT_EQ(IsPseudo(name), code);
        EXPECT_EQ(DirectiveName(static_cast<uint8_t>(code)), name);
    }
    EXPECT_EQ(IsPseudo("#regbit"), 255);  // compared exactly; the loader upper-cases first
    EXPECT_EQ(IsPseudo("#REGBIT4"), 255);
    EXPECT_EQ(IsPseudo(""), 255);
    EXPECT_EQ(DirectiveName(28), "");
}

}  // namespace
}  // namespace dmm
