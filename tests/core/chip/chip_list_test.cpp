#include <gtest/gtest.h>

#include "core/chip/chip_list.h"

namespace dmm {
namespace {

TEST(ChipList, SelectorTextJoinsTokensTwoAndThreeAndFileNamesAreUpperCased) {
    const auto chips = ParseChipList("vz6401.inc VZ6401 dmm ; comment\r\nrx402.inc RX402 (2k)\n");
    ASSERT_EQ(chips.size(), 2u);
    EXPECT_EQ(chips[0].descriptionFile, "VZ6401.INC");
    EXPECT_EQ(chips[0].selectorText, "VZ6401  DMM");
    EXPECT_EQ(chips[1].selectorText, "RX402  (2K)");
}

TEST(ChipList, TheListEndsAtAFirstTokenShorterThanThreeCharacters) {
    // The third line is empty: two chips, whatever follows.
    EXPECT_EQ(ParseChipList("AAA.INC A B\nBBB.INC C D\n\nCCC.INC E F\n").size(), 2u);
    EXPECT_EQ(ParseChipList("AAA.INC A B\nAB X Y\nCCC.INC E F\n").size(), 1u);
    EXPECT_EQ(ParseChipList("; only a comment\nAAA.INC A B\n").size(), 0u);
    EXPECT_EQ(ParseChipList("ABC").size(), 1u);  // a last line without LF counts
    EXPECT_EQ(ParseChipList("").size(), 0u);
}

TEST(ChipList, FallbackOffersFourTextsSixteenTimes) {
    const auto texts = FallbackChipSelector();
    ASSERT_EQ(texts.size(), 64u);
    EXPECT_EQ(texts[0], "RZ409 (16k)");
    EXPECT_EQ(texts[1], "RX409  (8k)");
    EXPECT_EQ(texts[2], "RX405  (4k)");
    EXPECT_EQ(texts[3], "RX402  (2k)");
    EXPECT_EQ(texts[63], "RX402  (2k)");
    EXPECT_EQ(texts[60], "RZ409 (16k)");
}

TEST(ChipList, LinesSplitAtLfWithOrWithoutCr) {
    const auto lines = SplitLines("a\r\nb\n\nc");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "c");
}

}  // namespace
}  // namespace dmm
