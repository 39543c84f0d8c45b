#include <gtest/gtest.h>

#include "core/views/ram_panel_state.h"
#include "core/views/register_panel_state.h"

namespace dmm {
namespace {

// A small chip: bit registers 0x20 (bit 7 and bit 0 missing) and 0x21, a byte register
// at 0x21 as well (listed twice on purpose), a byte register 0x30, a word 0x40/0x41,
// RAM bank 1 (0x100..0x17F).
std::shared_ptr<PanelChip> SmallChip() {
    auto chip = std::make_shared<PanelChip>();
    chip->bitRegisters.push_back(
        {0x20, "ADCON", {}, {"-", "B6", "B5", "B4", "B3", "B2", "B1", "-"}, {}});
    chip->bitRegisters.push_back(
        {0x21, "PCON", {}, {"P7", "P6", "P5", "P4", "P3", "P2", "P1", "P0"}, {}});
    chip->pageCounts = {1, 1, 0, 0};
    chip->byteRegisters.push_back({0x21, "PCONB", {}});
    chip->byteRegisters.push_back({0x30, "GAIN", {}});
    chip->wordRegisters.push_back({0x40, 0x41, "CNT", {}});
    chip->mask[0x20] = 0x7E;
    chip->mask[0x21] = 0xFF;
    chip->mask[0x30] = 0x0F;
    chip->mask[0x40] = 0xFF;
    chip->mask[0x41] = 0xFF;
    chip->ramBanks[1] = {0x100, 0x17F};
    for (int a = 0x100; a <= 0x17F; ++a) chip->mask[static_cast<size_t>(a)] = 0xFF;
    return chip;
}

TEST(RegisterPanelState, HighlightsWhatChangedSinceThePreviousRefresh) {
    RegisterPanelState state;
    state.SetChip(SmallChip());
    RegisterImageBytes image{};
    image[0x20] = 0xFF;  // masked to 0x7E
    image[0x30] = 0x00;
    image[0x41] = 0x05;
    state.Refresh(image, true);
    // Right after a load the registers start from 0: the non-zero ones stand out.
    EXPECT_TRUE(state.Changed(0x20));
    EXPECT_FALSE(state.Changed(0x21));
    EXPECT_FALSE(state.Changed(0x30));
    EXPECT_TRUE(state.Changed(0x41));
    EXPECT_EQ(state.BitValue(0), 0x7E);  // bits named "-" read as 0
    EXPECT_EQ(state.WordValue(0), 0x0005);

    state.Refresh(image, false);
    for (int a : {0x20, 0x21, 0x30, 0x40, 0x41}) EXPECT_FALSE(state.Changed(a)) << a;

    image[0x20] = 0x7E;  // only masked-out bits move: not a change
    image[0x21] = 0x10;
    image[0x30] = 0xF3;
    state.Refresh(image, false);
    EXPECT_FALSE(state.Changed(0x20));
    // Listed both as bits and as a byte: still a change for both rows.
    EXPECT_TRUE(state.Changed(0x21));
    EXPECT_EQ(state.BitValue(1), 0x10);
    EXPECT_EQ(state.ByteValue(0), 0x10);
    EXPECT_TRUE(state.Changed(0x30));
    EXPECT_EQ(state.ByteValue(1), 0x03);

    image[0x40] = 0x12;
    image[0x41] = 0x34;
    state.Refresh(image, false);
    EXPECT_TRUE(state.Changed(0x40));
    EXPECT_EQ(state.WordValue(0), 0x1234);
    EXPECT_FALSE(state.Changed(0x21));
}

TEST(RegisterPanelState, StripHighlightsOnlyOnLaterRefreshes) {
    RegisterPanelState state;
    state.SetChip(SmallChip());
    RegisterImageBytes image{};
    image[kWorkingRegister] = 0x5A;
    image[kFsr0High] = 0x01;
    image[kFsr0Low] = 0x23;
    image[0x123] = 0x77;
    image[kFsr1High] = 0xFF;  // points far beyond the image
    image[kFsr1Low] = 0xFF;
    state.Refresh(image, true);
    const RegisterStrip& s = state.strip();
    EXPECT_EQ(s.work.value, 0x5A);
    EXPECT_FALSE(s.work.highlighted);
    EXPECT_EQ(s.pointer[0].value, 0x123);
    EXPECT_EQ(s.target[0].value, 0x77);
    EXPECT_EQ(s.pointer[1].value, 0xFFFF);
    EXPECT_EQ(s.target[1].value, 0);

    image[kWorkingRegister] = 0x5B;
    image[0x123] = 0x78;
    state.Refresh(image, false);
    EXPECT_TRUE(s.work.highlighted);
    EXPECT_FALSE(s.pointer[0].highlighted);
    EXPECT_TRUE(s.target[0].highlighted);
    state.Refresh(image, false);
    EXPECT_FALSE(s.work.highlighted);
    EXPECT_FALSE(s.target[0].highlighted);
}

TEST(RegisterPanelState, RegistersBeyondTheImageReadAsZero) {
    auto chip = SmallChip();
    chip->byteRegisters.push_back({0x7FF, "FAR", {}});
    chip->wordRegisters.push_back({0xFFFF, 0x400, "FARW", {}});
    RegisterPanelState state;
    state.SetChip(chip);
    RegisterImageBytes image;
    image.fill(0xFF);
    state.Refresh(image, false);
    EXPECT_EQ(state.ByteValue(2), 0);
    EXPECT_EQ(state.WordValue(1), 0);
    EXPECT_FALSE(state.Changed(0x7FF));
    EXPECT_EQ(state.ByteValue(99), 0);  // outside the list
}

TEST(RamPanelState, ShowsOneBankAndHighlightsChangesUntilTheNextRefresh) {
    RamPanelState ram;
    ram.SetChip(SmallChip());
    ram.SetBank(1);
    EXPECT_EQ(ram.Address((2 - 1) * 16 + (3 - 1)), 0x112);  // row 2, column 3 of the grid
    RegisterImageBytes image{};
    image[0x112] = 0xAB;
    image[0x180] = 0x55;  // beyond the bank's defined range
    std::vector<int> repaint = ram.Refresh(image, true);
    EXPECT_EQ(repaint.size(), 256u);  // first drawing
    EXPECT_EQ(ram.CellAt(0x12).text, QStringLiteral("AB"));
    EXPECT_FALSE(ram.CellAt(0x12).changed);
    EXPECT_EQ(ram.CellAt(0x80).text, QStringLiteral("-"));
    EXPECT_FALSE(ram.Implemented(0x180));

    image[0x112] = 0xAC;
    image[0x113] = 0x01;
    image[0x012] = 0x99;  // another bank: nothing to repaint here
    repaint = ram.Refresh(image, false);
    EXPECT_EQ(repaint, (std::vector<int>{0x12, 0x13}));
    EXPECT_TRUE(ram.CellAt(0x12).changed);
    EXPECT_EQ(ram.CellAt(0x12).text, QStringLiteral("AC"));

    repaint = ram.Refresh(image, false);  // unchanged now: the highlights go off
    EXPECT_EQ(repaint, (std::vector<int>{0x12, 0x13}));
    EXPECT_FALSE(ram.CellAt(0x12).changed);
    EXPECT_TRUE(ram.Refresh(image, false).empty());
}

TEST(RamPanelState, BankFourIsBeyondTheChipAndShowsNothing) {
    auto chip = SmallChip();
    chip->ramBanks[4] = {0x300, 0x3FF};
    chip->mask.fill(0xFF);
    RamPanelState ram;
    ram.SetChip(chip);
    ram.SetBank(4);
    EXPECT_EQ(ram.Address(0), 1024);
    RegisterImageBytes image;
    image.fill(0x42);
    ram.Refresh(image, false);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(ram.CellAt(i).text, QStringLiteral("-"));
        ASSERT_FALSE(ram.Implemented(ram.Address(i)));
        ASSERT_EQ(ram.NoteAt(ram.Address(i)), nullptr);
    }
    ram.SetBank(7);  // no such bank
    EXPECT_EQ(ram.bank(), 0);
}

}  // namespace
}  // namespace dmm
