#include <gtest/gtest.h>

#include <set>

#include "core/chip/chip_model.h"

namespace dmm {
namespace {

TChipModel Loaded(std::string_view text) {
    TChipModel model;
    ReadChipDescription(text, model);
    return model;
}

std::vector<std::string> ComboTexts(const FieldPanelData& data) {
    std::vector<std::string> texts;
    for (const ComboEntry& e : data.comboItems) texts.push_back(e.text);
    return texts;
}

TEST(FieldDirectory, EveryNameIsUniqueAndBindsInItsOwnSectionOnly) {
    std::set<std::string_view> names;
    for (const DirectoryEntry& entry : FieldDirectory()) names.insert(entry.name);
    EXPECT_EQ(names.size(), kFieldDirectorySize);

    // One description naming every field in its section binds all 132.
    std::string text;
    for (BindingSection section :
         {BindingSection::Op, BindingSection::DmmAdcClk, BindingSection::ProgramCounter,
          BindingSection::Mpn, BindingSection::Ads, BindingSection::Adf}) {
        text += std::string(SectionDirective(section)) + "\n";
        int address = 0x10;
        for (const DirectoryEntry& entry : FieldDirectory()) {
            if (entry.section == section) {
                text += std::to_string(address++) + " " + std::string(entry.name) + " 1 3\n";
            }
        }
    }
    const TChipModel m = Loaded(text);
    for (size_t i = 0; i < kFieldDirectorySize; ++i) {
        SCOPED_TRACE(FieldDirectory()[i].name);
        EXPECT_TRUE(m.FieldAt(i).IsDefined());
    }
}

TEST(FieldBinding, ALineFillsRegisterWidthShiftAndClearsTheValue) {
    TChipModel m = Loaded("#ADS\n03CH ENAD_S 1 7\n03CH AD1OSR 3 4\n");
    const TRegField* enable = m.Field("ENAD_S");
    ASSERT_NE(enable, nullptr);
    EXPECT_EQ(enable->registerIndex, 0x3C);
    EXPECT_EQ(enable->width, 1);
    EXPECT_EQ(enable->shift, 7);
    EXPECT_EQ(enable->value, 0);
    EXPECT_EQ(enable->defined, 1);
    EXPECT_EQ(m.Field("AD1OSR")->Mask(), 0x70);
    EXPECT_EQ(m.Field("NOSUCHFIELD"), nullptr);
    EXPECT_EQ(m.PanelData("NOSUCHFIELD"), nullptr);
}

TEST(FieldBinding, KeywordsOfAnotherSectionAndFieldsThatDoNotFitHaveNoEffect) {
    const TChipModel m = Loaded(
        "#OP\n03CH ENAD_S 1 7\n"  // an ADC1 field under the OP-amp section
        "#ADS\n"
        "03DH AD1GN 0 5\n"  // no bits
        "03DH DCOS 3 6\n"   // runs past bit 7
        "03DH ADSIP 9 0\n"
        "XYZ S_FT1 2 0\n"     // address not a number
        "400H SADC_IF 1 2\n"  // beyond the chip
        "03DH VRGNAD1 1\n");  // no shift
    for (const char* name : {"ENAD_S", "AD1GN", "DCOS", "ADSIP", "S_FT1", "SADC_IF", "VRGNAD1"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(m.Field(name)->IsDefined());
    }
}

TEST(FieldBinding, ALoadUnbindsTheFieldsItDoesNotName) {
    TChipModel m = Loaded("#ADS\n03CH ENAD_S 1 7 MYCAPTION\n");
    m.Field("ENAD_S")->value = 1;
    ReadChipDescription("#ADS\n03CH AD1OSR 3 4\n", m);
    EXPECT_FALSE(m.Field("ENAD_S")->IsDefined());
    EXPECT_EQ(m.Field("ENAD_S")->registerIndex, 0);
    // The caption belongs to the window's control and stays.
    EXPECT_EQ(m.PanelData("ENAD_S")->caption, "MYCAPTION");
}

TEST(FieldBinding, CaptionsComeFromToken5AndALineWithoutOneKeepsTheOldCaption) {
    TChipModel m = Loaded("#ADS\n03CH ENAD_S 1 7 ENADC1\n");
    EXPECT_EQ(m.PanelData("ENAD_S")->caption, "ENADC1");
    ReadChipDescription("#ADS\n03CH ENAD_S 1 7\n", m);
    EXPECT_EQ(m.PanelData("ENAD_S")->caption, "ENADC1");
    EXPECT_FALSE(m.PanelData("VIPBUF")->caption.has_value());
}

TEST(FieldBinding, LabelledSelectorHidesDashOptionsAndUsesTheFixedPrefix) {
    const TChipModel m = Loaded("#ADF\n030H S_AD2IP 2 0 A - C D\n");
    const FieldPanelData& data = *m.PanelData("S_AD2IP");
    EXPECT_TRUE(data.comboRebuilt);
    EXPECT_EQ(ComboTexts(data),
              (std::vector<std::string>{"SAD2IP<00>", "SAD2IP<10>", "SAD2IP<11>"}));
    EXPECT_EQ(data.comboItems[1].option, 2);  // entries keep the field value they stand for
    ASSERT_EQ(data.options.size(), 4u);
    EXPECT_EQ(data.options[0].text, "A");
    EXPECT_TRUE(data.options[1].hidden);
    EXPECT_FALSE(data.options[2].hidden);
}

TEST(FieldBinding, FixedPrefixesOfTheConverterSelectors) {
    const TChipModel m = Loaded(
        "#ADS\n024H S_AD1IP 1 0\n024H S_AD1IN 1 1\n024H S_AD1RL 1 2\n024H S_AD1RH 1 3\n"
        "#ADF\n030H S_AD2IN 1 0\n030H S_AD2RL 1 1\n030H S_AD2RH 1 2\n030H SADPIP 1 3\n"
        "030H SADPIN 1 4\n"
        "#OP\n021H S_OP1P 1 0\n021H S_OP2P 1 1\n"
        "#MPN\n027H SFUVR 1 0\n027H S_CMPI 1 1\n027H S_CMPRL 1 2\n027H S_CMPRH 1 3\n");
    const std::pair<const char*, const char*> prefixes[] = {
        {"S_AD1IP", "ADSIP<0>"}, {"S_AD1IN", "ADSIN<0>"},   {"S_AD1RL", "ADSRN<0>"},
        {"S_AD1RH", "ADSRP<0>"}, {"S_AD2IN", "SAD2IN<0>"},  {"S_AD2RL", "ADFRN<0>"},
        {"S_AD2RH", "ADFRP<0>"}, {"SADPIP", "ADPIP<0>"},    {"SADPIN", "ADPIN<0>"},
        {"S_OP1P", "S_OP1P<0>"}, {"S_OP2P", "S_OP2P<0>"},   {"SFUVR", "S_FUVR<0>"},
        {"S_CMPI", "S_CMPI<0>"}, {"S_CMPRL", "S_CMPRL<0>"}, {"S_CMPRH", "S_CMPRH<0>"},
    };
    for (const auto& [field, first] : prefixes) {
        SCOPED_TRACE(field);
        const FieldPanelData& data = *m.PanelData(field);
        ASSERT_EQ(data.comboItems.size(), 2u);
        EXPECT_EQ(data.comboItems[0].text, first);
    }
}

TEST(FieldBinding, APrefixTokenFollowsTheLabelsAndMissingLabelsKeepTheWindowsOwn) {
    const TChipModel m = Loaded(
        "#ADS\n024H S_AD1IN 3 4 SENSE RLU VSS AGND PB<2> PB<3> PB<4> PB<5> SAD1FN\n"
        "03EH S_AD1RL 3 0 FB REFO\n");
    EXPECT_EQ(m.PanelData("S_AD1IN")->comboItems[5].text, "SAD1FN<101>");
    const FieldPanelData& rl = *m.PanelData("S_AD1RL");
    ASSERT_EQ(rl.options.size(), 8u);
    EXPECT_EQ(rl.options[1].text, "REFO");
    EXPECT_FALSE(rl.options[2].text.has_value());
    EXPECT_EQ(rl.comboItems.size(), 8u);
    EXPECT_EQ(rl.comboItems[7].text, "ADSRN<111>");
}

TEST(FieldBinding, TwoRowSelectorReadsBothRowsThenThePrefix) {
    const TChipModel m = Loaded("#ADS\n03DH ADSIP 2 0 FB REFO VREF - N0 N1 N2 N3 MYPFX\n");
    const FieldPanelData& data = *m.PanelData("ADSIP");
    ASSERT_EQ(data.options.size(), 4u);
    ASSERT_EQ(data.secondOptions.size(), 4u);
    EXPECT_EQ(data.options[2].text, "VREF");
    EXPECT_EQ(data.secondOptions[0].text, "N0");
    EXPECT_EQ(data.secondOptions[3].text, "N3");
    EXPECT_EQ(ComboTexts(data), (std::vector<std::string>{"MYPFX<00>", "MYPFX<01>", "MYPFX<10>"}));
    EXPECT_EQ(ComboTexts(*Loaded("#ADS\n03DH ADSIP 2 0\n").PanelData("ADSIP"))[3], "ADSIP<11>");

    // One bit wide: positive labels 5 and 6, negative labels from token 9 on, prefix after.
    const TChipModel narrow = Loaded("#ADS\n03DH ADSIP 1 0 P0 P1 X7 X8 N0 N1 PFX\n");
    const FieldPanelData& one = *narrow.PanelData("ADSIP");
    ASSERT_EQ(one.secondOptions.size(), 2u);
    EXPECT_EQ(one.secondOptions[0].text, "N0");
    EXPECT_EQ(one.secondOptions[1].text, "N1");
    EXPECT_EQ(ComboTexts(one), (std::vector<std::string>{"PFX<0>", "PFX<1>"}));
}

TEST(FieldBinding, PrefixSelectorListsEveryOptionAndSelectsTheFirst) {
    const FieldPanelData fixed = *Loaded("#OP\n020H S_AGND 2 0\n").PanelData("S_AGND");
    EXPECT_EQ(ComboTexts(fixed),
              (std::vector<std::string>{"S_AGND<00>", "S_AGND<01>", "S_AGND<10>", "S_AGND<11>"}));
    EXPECT_TRUE(fixed.selectFirstItem);
    const FieldPanelData given = *Loaded("#OP\n020H S_AGND 1 0 AG\n").PanelData("S_AGND");
    EXPECT_EQ(ComboTexts(given), (std::vector<std::string>{"AG<0>", "AG<1>"}));
}

TEST(FieldBinding, GainsRepeatTheLastOneReadAndAreNeverBelowOrAtZero) {
    EXPECT_EQ(Loaded("#ADS\n03DH AD1GN 2 5 2 4\n").PanelData("AD1GN")->gains,
              (std::vector<double>{2, 4, 4, 4}));
    EXPECT_EQ(Loaded("#ADS\n03DH AD1GN 2 5 0 -3 1.5 X\n").PanelData("AD1GN")->gains,
              (std::vector<double>{1, 1, 1.5, 1.5}));
    // The first gain of a load has nothing to repeat: 1.
    EXPECT_EQ(Loaded("#ADS\n03DH AD1GN 2 5\n").PanelData("AD1GN")->gains,
              (std::vector<double>{1, 1, 1, 1}));
    // The last gain read carries over to the next line of the same load.
    const TChipModel m = Loaded("#ADS\n03DH AD1GN 2 5 1 2 4 8\n03DH VRGNAD1 1 7\n");
    EXPECT_EQ(m.PanelData("VRGNAD1")->gains, (std::vector<double>{8, 8}));
}

TEST(FieldBinding, GainPairTakesTwoGainsAndACaption) {
    const TChipModel m = Loaded("#ADF\n040H VRGNAD2 1 1 1.0 0.5 AD2RG\n025H ADPRG 1 5 2 1E-1\n");
    EXPECT_EQ(m.PanelData("VRGNAD2")->gains, (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(m.PanelData("VRGNAD2")->caption, "AD2RG");
    EXPECT_EQ(m.PanelData("ADPRG")->gains, (std::vector<double>{2.0, 0.1}));
    EXPECT_FALSE(m.PanelData("ADPRG")->caption.has_value());
}

TEST(FieldBinding, AddressOnlyFieldsCoverTheWholeRegister) {
    const TRegField f = *Loaded("#ADF\n041H CPTL\n").Field("CPTL");
    EXPECT_TRUE(f.IsDefined());
    EXPECT_EQ(f.registerIndex, 0x41);
    EXPECT_EQ(f.Mask(), 0xFF);
}

TEST(RegField, OutOfRangeWidthsAndShiftsNeverShiftPastTheByte) {
    TRegField f{0x10, 40, 3, 0, 1};
    EXPECT_EQ(f.Mask(), 0xF8);
    f.shift = 40;
    EXPECT_EQ(f.Mask(), 0);
    EXPECT_EQ(f.Extract(0xFF), 0);
    EXPECT_EQ(f.Insert(0x5A, 1), 0x5A);
    f = {0x10, 2, 6, 0, 1};
    EXPECT_EQ(f.Insert(0x00, 3), 0xC0);
    EXPECT_EQ(f.Extract(0x80), 2);
    EXPECT_EQ(f.OptionCount(), 4);
}

}  // namespace
}  // namespace dmm
