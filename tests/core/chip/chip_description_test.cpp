#include <gtest/gtest.h>

#include "core/chip/chip_model.h"

namespace dmm {
namespace {

TChipModel Loaded(std::string_view text) {
    TChipModel model;
    ReadChipDescription(text, model);
    return model;
}

TEST(ChipDescription, ScalarDirectivesAndTheCaptionsOfTheProduct) {
    const TChipModel m = Loaded(
        "PRODUCT IGNORED BEFORE THE FIRST DIRECTIVE\n"
        "#PRODUCT extra tokens ignored\n"
        "abc\n"
        "#COMPILER\nvzasm\n"
        "#ID\n6401H\n"
        "#ROM\n8K\n"  // not a number: the default stays
        "#REG0\n000H 07FH\n"
        "#REG1\n100H 10FH\n"
        "#STACK\n2\n"
        "#SIMIC\n1234\n"
        "#SBMADDR\n0FFH\n"
        "#REG3BYTE\n000H A\n\n; comment only\n003H B\n"
        "#ADCNUM\n2\n");
    EXPECT_EQ(m.productTitle, "ABC");
    EXPECT_EQ(m.registerPanelCaption, "ABC Register");
    EXPECT_EQ(m.mainCaption, "ABC-DMM V1.40");
    EXPECT_EQ(m.compilerName, "VZASM");
    EXPECT_EQ(m.chipId, 0x6401);
    EXPECT_EQ(m.programMemorySize, 4096u);
    EXPECT_EQ(m.registerAreas[0].start, 0);
    EXPECT_EQ(m.registerAreas[0].end, 0x7F);
    EXPECT_EQ(m.registerAreas[1].start, 0x100);
    EXPECT_EQ(m.stackDepth, 4);  // at least 4
    EXPECT_EQ(m.simicValue, 1234);
    EXPECT_EQ(m.threeByteCount, 2);  // lines with tokens only
    EXPECT_EQ(m.adcCount, 2);
    EXPECT_TRUE(m.SecondConverterShown());
    EXPECT_EQ(m.loadCount, 1u);
}

TEST(ChipDescription, ProgramMemoryBelow256ComparedWithoutSignBecomes4096) {
    EXPECT_EQ(Loaded("#ROM\n255\n").programMemorySize, 4096u);
    EXPECT_EQ(Loaded("#ROM\n256\n").programMemorySize, 256u);
    EXPECT_EQ(Loaded("#ROM\n-1\n").programMemorySize, 0xFFFFFFFFu);
}

TEST(ChipDescription, EachLoadResetsIdentityButKeepsWhatTheFileDoesNotName) {
    TChipModel m =
        Loaded("#PRODUCT\nONE\n#ID\n7\n#ROM\n1024\n#REG0\n1 2\n#RAMBANK0\n10H 20H\n#ADCNUM\n2\n");
    ReadChipDescription("#COMPILER\nC2\n", m);
    EXPECT_EQ(m.chipId, 0);
    EXPECT_EQ(m.programMemorySize, 4096u);
    EXPECT_EQ(m.registerAreas[0].end, 0);
    EXPECT_FALSE(m.ramBanks[0].Exists());
    EXPECT_EQ(m.RegMask[0x10], 0);
    // Not reset by a load: the title (and captions) and the converter count.
    EXPECT_EQ(m.productTitle, "ONE");
    EXPECT_EQ(m.mainCaption, "ONE-DMM V1.40");
    EXPECT_EQ(m.adcCount, 2);
    EXPECT_EQ(m.loadCount, 2u);
}

TEST(ChipDescription, ImplementedBitsComeFromBitNamesAndMasks) {
    const TChipModel m = Loaded(
        "#REGBIT\n"
        "020H ADCON - B6 B5 B4 B3 B2 B1 -\n"
        "021H SHORT A B\n"  // missing trailing bit names count as implemented
        "#REGBYTE\n"
        "030H DATA 0FH\n"
        "031H FULL\n"  // no mask: every bit
        "#REGWORD\n"
        "041H CNT 040H 0 03H 0FFH\n");
    EXPECT_EQ(m.RegMask[0x20], 0x7E);
    EXPECT_EQ(m.RegMask[0x21], 0xFF);
    EXPECT_EQ(m.RegMask[0x30], 0x0F);
    EXPECT_EQ(m.RegMask[0x31], 0xFF);
    EXPECT_EQ(m.RegMask[0x41], 0x03);
    EXPECT_EQ(m.RegMask[0x40], 0xFF);
    EXPECT_EQ(m.RegMask[0x22], 0);
    const TBitRegEntry& adcon = *m.bitRegisters.Items(0);
    EXPECT_EQ(adcon.name, "ADCON");
    EXPECT_EQ(adcon.Bit(7).name, "-");
    EXPECT_EQ(adcon.Bit(6).name, "B6");
    EXPECT_EQ(m.bitRegisters.Items(1)->Bit(0).name, "");
    EXPECT_EQ(m.wordRegisters.Address(0), 0x4140);
}

TEST(ChipDescription, RegShownIsClearedAtRegisterAddressesOnly) {
    TChipModel m;
    m.RegShown.fill(0x55);
    ReadChipDescription("#REGBIT\n020H R A\n#REGBYTE\n030H B\n#REGWORD\n041H W 040H\n", m);
    EXPECT_EQ(m.RegShown[0x20], 0);
    EXPECT_EQ(m.RegShown[0x30], 0);
    EXPECT_EQ(m.RegShown[0x40], 0);
    EXPECT_EQ(m.RegShown[0x41], 0);
    EXPECT_EQ(m.RegShown[0x22], 0x55);
}

TEST(ChipDescription, RamBanksExistOnlyWithStartBelowEnd) {
    TChipModel m;
    m.currentRamBank = 2;
    ReadChipDescription(
        "#RAMBANK0\n080H 08FH\n"
        "#RAMBANK2\n100H 100H\n"   // equal bounds: no bank
        "#RAMBANK3\n3F0H 500H\n",  // beyond the address space: marked up to 0x3FF only
        m);
    EXPECT_TRUE(m.bankShown[0]);
    EXPECT_FALSE(m.bankShown[1]);
    EXPECT_FALSE(m.bankShown[2]);
    EXPECT_TRUE(m.bankShown[3]);
    EXPECT_EQ(m.RegMask[0x80], 0xFF);
    EXPECT_EQ(m.RegMask[0x8F], 0xFF);
    EXPECT_EQ(m.RegMask[0x90], 0);
    EXPECT_EQ(m.RegMask[0x100], 0);
    EXPECT_EQ(m.RegMask[0x3FF], 0xFF);
    EXPECT_EQ(m.currentRamBank, 0);  // bank 2 has no addresses

    m.currentRamBank = 3;
    ReadChipDescription("#RAMBANK3\n300H 3FFH\n", m);
    EXPECT_EQ(m.currentRamBank, 3);
}

TEST(ChipDescription, PagesCountTheirRegistersAndAnEmptyCurrentPageFallsBackToPage1) {
    TChipModel m;
    m.currentRegisterPage = 2;
    ReadChipDescription(
        "#REGBIT\n010H A\n011H B\n"
        "#REGBIT1\n012H C\n"
        "#REGBIT3\n013H D\n014H E\n015H F\n",
        m);
    EXPECT_EQ(m.pageCounts, (std::array<uint16_t, 4>{2, 1, 0, 3}));
    EXPECT_EQ(m.pageShown, (std::array<bool, 4>{true, true, false, true}));
    EXPECT_EQ(m.PageRange(0), std::make_pair(0, 2));
    EXPECT_EQ(m.PageRange(1), std::make_pair(2, 3));
    EXPECT_EQ(m.PageRange(3), std::make_pair(3, 6));
    EXPECT_EQ(m.currentRegisterPage, 0);
}

TEST(ChipDescription, ByteAndWordGridsHoldNamesInEvenRows) {
    std::string text = "#REGBYTE\n";
    for (int i = 0; i < 10; ++i) text += std::to_string(0x20 + i) + " R" + std::to_string(i) + "\n";
    text += "#REGWORD\n041H W0 040H\n";
    const TChipModel m = Loaded(text);
    EXPECT_EQ(m.ByteCount(), 10);
    EXPECT_EQ(m.byteGrid.RowCount(), 4);  // two row pairs for ten registers
    EXPECT_EQ(m.byteGrid.Cell(0, 0), "R0");
    EXPECT_EQ(m.byteGrid.Cell(8, 0), "R8");
    EXPECT_EQ(m.byteGrid.Cell(0, 2), "R9");
    EXPECT_EQ(m.byteGrid.Cell(0, 1), "");  // value rows are the panel's
    EXPECT_EQ(m.byteGrid.Cell(1, 2), "");
    EXPECT_EQ(m.byteGrid.Cell(0, 4), "");  // outside the grid
    EXPECT_EQ(m.byteGrid.Cell(9, 0), "");
    EXPECT_EQ(m.wordGrid.RowCount(), 2);
    EXPECT_EQ(m.wordGrid.Cell(0, 0), "W0");
}

TEST(ChipDescription, AListIsReplacedOnlyByAFileWithItsOpeningDirective) {
    TChipModel m = Loaded(
        "#REGBIT\n020H OLDBIT A B C D E F G -\n"
        "#REGBYTE\n030H OLDBYTE 0FH\n#REGBYTESTR\n030H\n\"old byte\"\n"
        "#REGWORD\n041H OLDWORD 040H\n");
    ReadChipDescription("#REGBIT\n022H NEWBIT\n", m);
    ASSERT_EQ(m.bitRegisters.Count(), 1);
    EXPECT_EQ(m.bitRegisters.Items(0)->name, "NEWBIT");
    // The byte and word lists of the previous chip stay, and stay visible and usable.
    ASSERT_EQ(m.byteRegisters.Count(), 1);
    EXPECT_EQ(m.byteRegisters.Items(0)->description, "old byte\"");
    EXPECT_EQ(m.byteGrid.Cell(0, 0), "OLDBYTE");
    EXPECT_EQ(m.RegMask[0x30], 0x0F);
    EXPECT_EQ(m.wordRegisters.Count(), 1);
    EXPECT_EQ(m.RegMask[0x20], 0);  // the replaced bit register is gone

    // "#REGBIT1" to "#REGBIT3" append without emptying.
    ReadChipDescription("#REGBIT2\n023H MORE\n", m);
    ASSERT_EQ(m.bitRegisters.Count(), 2);
    EXPECT_EQ(m.pageCounts, (std::array<uint16_t, 4>{1, 0, 1, 0}));
    EXPECT_EQ(m.RegMask[0x22], 0xFF);

    ReadChipDescription("#REGBYTE\n#REGWORD\n", m);
    EXPECT_EQ(m.byteRegisters.Count(), 0);
    EXPECT_EQ(m.byteGrid.RowCount(), 0);
    EXPECT_EQ(m.wordRegisters.Count(), 0);
}

TEST(ChipDescription, The513thRegisterIsDroppedWithoutTrace) {
    std::string text = "#REGBIT\n";
    for (int i = 0; i <= 512; ++i) text += std::to_string(i) + " R" + std::to_string(i) + " -\n";
    const TChipModel m = Loaded(text);
    EXPECT_EQ(m.bitRegisters.Count(), 512);
    EXPECT_EQ(m.pageCounts[0], 512);
    EXPECT_EQ(m.RegMask[511], 0x7F);
    EXPECT_EQ(m.RegMask[512], 0);  // the dropped register marks nothing
}

TEST(ChipDescription, LinesOutsideTheChipOrWithoutNumbersHaveNoEffect) {
    const TChipModel m = Loaded(
        "#REGBIT\n400H HIGH\nXYZ NAME\n"
        "#REGBYTE\n3FFH LAST\n1024 OUT\n030H BAD 1FQ\n"
        "#REGWORD\n041H W\n"  // no low address
        "#RAMBANK0\n10H\n");  // no end
    EXPECT_EQ(m.bitRegisters.Count(), 0);
    ASSERT_EQ(m.byteRegisters.Count(), 1);
    EXPECT_EQ(m.byteRegisters.Items(0)->address, 0x3FF);
    EXPECT_EQ(m.wordRegisters.Count(), 0);
    EXPECT_FALSE(m.bankShown[0]);
}

TEST(ChipDescription, DescriptionLinesKeepTheirCaseAndTheClosingQuote) {
    const TChipModel m = Loaded(
        "#REGBIT\n020H ADCON A B C D E F G H\n021H OTHER\n"
        "#REGBYTE\n030H DATA\n"
        "#REGWORD\n041H CNT 040H\n"
        "#REGBITSTR\n"
        "020H\n"
        "\"Converter control\"\n"
        "not a description\n"  // no comment field: skipped
        "\"Bit 7 text\"\n"
        "   ;Bit 6, indented\n"
        "\"b5\"\n\"b4\"\n\"b3\"\n\"b2\"\n\"b1\"\n\"b0\"\n"
        "\"a tenth line is ignored\"\n"
        "#REGBYTESTR\n030H\n\"first\"\n\"Second wins\"\n"
        "#REGWORDSTR\n4140H\n\"Word text\"\n");
    const TBitRegEntry& adcon = *m.bitRegisters.Items(0);
    EXPECT_EQ(adcon.description, "Converter control\"");
    EXPECT_EQ(adcon.Bit(7).description, "Bit 7 text\"");
    // The line as written without its first character, whatever that character is.
    EXPECT_EQ(adcon.Bit(6).description, "  ;Bit 6, indented");
    EXPECT_EQ(adcon.Bit(0).description, "b0\"");
    EXPECT_EQ(m.bitRegisters.Items(1)->description, "");
    EXPECT_EQ(m.byteRegisters.Items(0)->description, "Second wins\"");
    EXPECT_EQ(m.wordRegisters.Items(0)->description, "Word text\"");
}

TEST(ChipDescription, Big5TextKeepsItsTrailBytesWhileNamesAreUpperCased) {
    // 存取 is A6 73 A8 FA and 暫存器 BC C8 A6 73 BE B9: trail bytes 0x73 ("s") must not
    // become 0x53 ("S").
    const std::string access = "\xA6\x73\xA8\xFA";
    const std::string registerName = "\xBC\xC8\xA6\x73\xBE\xB9";
    const TChipModel m = Loaded("#PRODUCT\nchip" + access + "\n#REGBYTE\n030H " + registerName +
                                "x 0FFH\n#REGBYTESTR\n030H\n\"" + access + "\"\n");
    EXPECT_EQ(m.productTitle, "CHIP" + access);
    ASSERT_EQ(m.byteRegisters.Count(), 1);
    EXPECT_EQ(m.byteRegisters.Items(0)->name, registerName + "X");
    EXPECT_EQ(m.byteRegisters.Items(0)->description, access + "\"");
}

TEST(ChipDescription, RegMaskFollowsFileOrderLaterLinesWinning) {
    const TChipModel m = Loaded(
        "#REGBYTE\n050H LATCH 0FH\n"
        "#RAMBANK0\n040H 05FH\n"                   // covers 0x50 after the byte register: all bits
        "#REGBIT\n045H FLAGS A - - - - - - B\n");  // and a bit register inside the bank
    EXPECT_EQ(m.RegMask[0x50], 0xFF);
    EXPECT_EQ(m.RegMask[0x45], 0x81);
    EXPECT_EQ(m.RegMask[0x44], 0xFF);
}

TEST(ChipDescription, BitRegistersAreKeptInPageOrderFileOrderWithinAPage) {
    const TChipModel m = Loaded(
        "#REGBIT1\n020H P2A\n"
        "#REGBIT\n010H P1A\n"  // opens (and empties) the list: P2A is gone
        "#REGBIT2\n030H P3A\n"
        "#REGBIT1\n021H P2B\n"
        "#REGBIT\n011H P1B\n");  // empties it again
    ASSERT_EQ(m.bitRegisters.Count(), 1);
    const TChipModel n = Loaded(
        "#REGBIT\n010H P1A\n"
        "#REGBIT2\n030H P3A\n"
        "#REGBIT1\n021H P2A\n"
        "#REGBIT2\n031H P3B\n"
        "#REGBIT1\n022H P2B\n");
    std::vector<std::string> names;
    for (int i = 0; i < n.bitRegisters.Count(); ++i) names.push_back(n.bitRegisters.Items(i)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"P1A", "P2A", "P2B", "P3A", "P3B"}));
    EXPECT_EQ(n.pageCounts, (std::array<uint16_t, 4>{1, 2, 2, 0}));
}

TEST(ChipDescription, TextAfterAKeyThatMatchesNoRegisterIsDropped) {
    const TChipModel m = Loaded(
        "#REGBYTE\n030H DATA\n"
        "#REGBYTESTR\n030H\n\"data\"\n031H\n\"belongs to no register\"\n");
    EXPECT_EQ(m.byteRegisters.Items(0)->description, "data\"");
}

TEST(ChipDescription, DescriptionsAreCutTo160And250Characters) {
    const std::string longText(400, 'x');
    const TChipModel m =
        Loaded("#REGBIT\n020H R\n#REGBITSTR\n020H\n\"" + longText + "\n\"" + longText + "\n");
    EXPECT_EQ(m.bitRegisters.Items(0)->description.size(), 160u);
    EXPECT_EQ(m.bitRegisters.Items(0)->Bit(7).description.size(), 250u);
}

TEST(ChipDescription, OnlyTheSectionsOfTheChosenLanguageAreRead) {
    const std::string text =
        "#REGBYTE\n030H DATA\n"
        "#REGBYTESTR\n030H\n\"english\"\n"
        "#REGBYTESTRCN\n030H\n\"\xA4\xA4\xA4\xE5\"\n";
    EXPECT_EQ(Loaded(text).byteRegisters.Items(0)->description, "english\"");
    TChipModel chinese;
    chinese.language = DescriptionLanguage::Chinese;
    ReadChipDescription(text, chinese);
    EXPECT_EQ(chinese.byteRegisters.Items(0)->description, "\xA4\xA4\xA4\xE5\"");
}

TEST(ChipDescription, AnyLineOfTheFlukeSectionHidesTheInstrumentsForThatChipOnly) {
    EXPECT_TRUE(Loaded("#FLUKE\n\n").instrumentUiHidden);       // an empty line counts
    EXPECT_FALSE(Loaded("#FLUKE\n#DMM\n").instrumentUiHidden);  // no line in the section
    TChipModel m = Loaded("#FLUKE\nX\n");
    ReadChipDescription("#PRODUCT\nOTHER\n", m);
    EXPECT_FALSE(m.instrumentUiHidden);
}

TEST(ChipDescription, ConverterCountFollowsEveryAdcNumLine) {
    TChipModel m = Loaded("#ADCNUM\n2\n");
    EXPECT_TRUE(m.SecondConverterShown());
    ReadChipDescription("#ADCNUM\n1\n", m);
    EXPECT_FALSE(m.SecondConverterShown());
    ReadChipDescription("#ADCNUM\n\n", m);  // not a number: unchanged
    EXPECT_EQ(m.adcCount, 1);
}

}  // namespace
}  // namespace dmm
