#include "core/chip/field_directory.h"

#include <array>

namespace dmm {
namespace {

using S = BindingSection;
using K = FieldKind;

// Combo-box entries read prefix + "<" + option bits + ">", so the fixed prefixes are
// stored without their "<".
constexpr std::array<DirectoryEntry, kFieldDirectorySize> kDirectory{{
    // OP-amp and power block
    {"ENVS", S::Op, K::Caption, {}},
    {"EN_REFO", S::Op, K::Caption, {}},
    {"EN_BIAS", S::Op, K::Caption, {}},
    {"EN_OP1", S::Op, K::Caption, {}},
    {"EN_OP2", S::Op, K::Caption, {}},
    {"SREFO", S::Op, K::Caption, {}},
    {"S_AGND", S::Op, K::PrefixSelector, "S_AGND"},
    {"S_OP1P", S::Op, K::LabelledSelector, "S_OP1P"},
    {"S_OP2P", S::Op, K::LabelledSelector, "S_OP2P"},
    {"OPS1", S::Op, K::Plain, {}},
    {"OPS2", S::Op, K::Plain, {}},
    {"OPCHP", S::Op, K::Plain, {}},
    // ADC clock block
    {"EN_OSC", S::DmmAdcClk, K::Caption, {}},
    {"ENI_XI", S::DmmAdcClk, K::Caption, {}},
    {"FCLK_SEL", S::DmmAdcClk, K::Caption, {}},
    // counter block
    {"EN_CTR", S::ProgramCounter, K::Caption, {}},
    {"CNS", S::ProgramCounter, K::Caption, {}},
    {"CTIF", S::ProgramCounter, K::Plain, {}},
    {"CTC0", S::ProgramCounter, K::Plain, {}},
    {"CTC1", S::ProgramCounter, K::Plain, {}},
    {"CTC2", S::ProgramCounter, K::Plain, {}},
    {"CTB0", S::ProgramCounter, K::Plain, {}},
    {"CTB1", S::ProgramCounter, K::Plain, {}},
    {"CTB2", S::ProgramCounter, K::Plain, {}},
    {"CTA0", S::ProgramCounter, K::Plain, {}},
    {"CTA1", S::ProgramCounter, K::Plain, {}},
    {"CTA2", S::ProgramCounter, K::Plain, {}},
    // switch network and comparator
    {"EN_CMP", S::Mpn, K::Caption, {}},
    {"SADCPO", S::Mpn, K::Caption, {}},
    {"SFUVR", S::Mpn, K::LabelledSelector, "S_FUVR"},
    {"S_CMPI", S::Mpn, K::LabelledSelector, "S_CMPI"},
    {"S_CMPRL", S::Mpn, K::LabelledSelector, "S_CMPRL"},
    {"S_CMPRH", S::Mpn, K::LabelledSelector, "S_CMPRH"},
    {"PS0", S::Mpn, K::Plain, {}},
    {"PS1", S::Mpn, K::Plain, {}},
    {"PS2", S::Mpn, K::Plain, {}},
    {"PS3", S::Mpn, K::Plain, {}},
    {"PS4", S::Mpn, K::Plain, {}},
    {"PS5", S::Mpn, K::Plain, {}},
    {"PS6", S::Mpn, K::Plain, {}},
    {"PS7", S::Mpn, K::Plain, {}},
    {"PS8", S::Mpn, K::Plain, {}},
    {"PS9", S::Mpn, K::Plain, {}},
    {"DS0", S::Mpn, K::Plain, {}},
    {"DS1", S::Mpn, K::Plain, {}},
    {"DS2", S::Mpn, K::Plain, {}},
    {"DS3", S::Mpn, K::Plain, {}},
    {"DS4", S::Mpn, K::Plain, {}},
    {"DS5", S::Mpn, K::Plain, {}},
    {"DS6", S::Mpn, K::Plain, {}},
    {"DS7", S::Mpn, K::Plain, {}},
    {"DS8", S::Mpn, K::Plain, {}},
    {"DS9", S::Mpn, K::Plain, {}},
    {"FS0", S::Mpn, K::Plain, {}},
    {"FS1", S::Mpn, K::Plain, {}},
    {"FS2", S::Mpn, K::Plain, {}},
    {"FS3", S::Mpn, K::Plain, {}},
    {"FS4", S::Mpn, K::Plain, {}},
    {"FS5", S::Mpn, K::Plain, {}},
    {"FS6", S::Mpn, K::Plain, {}},
    {"FS7", S::Mpn, K::Plain, {}},
    {"FS8", S::Mpn, K::Plain, {}},
    {"FS9", S::Mpn, K::Plain, {}},
    {"SS0", S::Mpn, K::Plain, {}},
    {"SS1", S::Mpn, K::Plain, {}},
    {"SS2", S::Mpn, K::Plain, {}},
    {"SS3", S::Mpn, K::Plain, {}},
    {"SS4", S::Mpn, K::Plain, {}},
    {"SS5", S::Mpn, K::Plain, {}},
    {"SS6", S::Mpn, K::Plain, {}},
    {"SS7", S::Mpn, K::Plain, {}},
    {"SS8", S::Mpn, K::Plain, {}},
    {"SS9", S::Mpn, K::Plain, {}},
    {"SMODE", S::Mpn, K::Plain, {}},
    {"SMODE4", S::Mpn, K::Plain, {}},
    {"SMODE5", S::Mpn, K::Plain, {}},
    {"SDIO", S::Mpn, K::Plain, {}},
    {"ACC", S::Mpn, K::Plain, {}},
    {"FGRISE", S::Mpn, K::Plain, {}},
    {"ACPO", S::Mpn, K::Plain, {}},
    // ADC1
    {"VIPBUF", S::Ads, K::Caption, {}},
    {"VINBUF", S::Ads, K::Caption, {}},
    {"VRPBUF", S::Ads, K::Caption, {}},
    {"VRNBUF", S::Ads, K::Caption, {}},
    {"ENAD_S", S::Ads, K::Caption, {}},
    {"VRGNAD1", S::Ads, K::GainPair, {}},
    {"AD1GN", S::Ads, K::GainList, {}},
    {"S_AD1IP", S::Ads, K::LabelledSelector, "ADSIP"},
    {"S_AD1IN", S::Ads, K::LabelledSelector, "ADSIN"},
    {"S_AD1RL", S::Ads, K::LabelledSelector, "ADSRN"},
    {"S_AD1RH", S::Ads, K::LabelledSelector, "ADSRP"},
    {"ADSIP", S::Ads, K::DualLabelledSelector, "ADSIP"},
    {"AD1OSR", S::Ads, K::Plain, {}},
    {"AD1CHO", S::Ads, K::Plain, {}},
    {"DCOS", S::Ads, K::Plain, {}},
    {"S_FT1", S::Ads, K::Plain, {}},
    {"SADC_IF", S::Ads, K::Plain, {}},
    // ADC2 and ADP
    {"AD2CHO", S::Adf, K::Caption, {}},
    {"SELAVG", S::Adf, K::Caption, {}},
    {"ENAD_F", S::Adf, K::Caption, {}},
    {"EN_AVG", S::Adf, K::Caption, {}},
    {"EN_RMS", S::Adf, K::Caption, {}},
    {"ENPKH", S::Adf, K::Caption, {}},
    {"ADPCHO", S::Adf, K::Caption, {}},
    {"ENADP", S::Adf, K::Caption, {}},
    {"MULFP", S::Adf, K::Caption, {}},
    {"DISFP", S::Adf, K::Caption, {}},
    {"ENDCP", S::Adf, K::Caption, {}},
    {"DCPOS", S::Adf, K::Caption, {}},
    {"VRGNAD2", S::Adf, K::GainPair, {}},
    {"ADPRG", S::Adf, K::GainPair, {}},
    {"AD2GN", S::Adf, K::GainList, {}},
    {"ADPGN", S::Adf, K::GainList, {}},
    {"S_AD2IP", S::Adf, K::LabelledSelector, "SAD2IP"},
    {"S_AD2IN", S::Adf, K::LabelledSelector, "SAD2IN"},
    {"S_AD2RL", S::Adf, K::LabelledSelector, "ADFRN"},
    {"S_AD2RH", S::Adf, K::LabelledSelector, "ADFRP"},
    {"SADPIP", S::Adf, K::LabelledSelector, "ADPIP"},
    {"SADPIN", S::Adf, K::LabelledSelector, "ADPIN"},
    {"AD2OSR", S::Adf, K::Plain, {}},
    {"SELPKH", S::Adf, K::Plain, {}},
    {"FADC_IF", S::Adf, K::Plain, {}},
    {"LPF_IF", S::Adf, K::Plain, {}},
    {"RMS_IF", S::Adf, K::Plain, {}},
    {"CPTH", S::Adf, K::AddressOnly, {}},
    {"CPTL", S::Adf, K::AddressOnly, {}},
    {"CPBH", S::Adf, K::AddressOnly, {}},
    {"CPBL", S::Adf, K::AddressOnly, {}},
    {"CPHH", S::Adf, K::AddressOnly, {}},
    {"CPHL", S::Adf, K::AddressOnly, {}},
    {"CPLH", S::Adf, K::AddressOnly, {}},
    {"CPLL", S::Adf, K::AddressOnly, {}},
}};

}  // namespace

std::span<const DirectoryEntry> FieldDirectory() {
    return kDirectory;
}

std::optional<size_t> FieldIndex(std::string_view name) {
    for (size_t i = 0; i < kDirectory.size(); ++i) {
        if (kDirectory[i].name == name) return i;
    }
    return std::nullopt;
}

std::optional<size_t> FieldIndexInSection(BindingSection section, std::string_view name) {
    for (size_t i = 0; i < kDirectory.size(); ++i) {
        if (kDirectory[i].section == section && kDirectory[i].name == name) return i;
    }
    return std::nullopt;
}

std::string_view SectionDirective(BindingSection section) {
    switch (section) {
        case S::Op:
            return "#OP";
        case S::DmmAdcClk:
            return "#DMMADCCLK";
        case S::ProgramCounter:
            return "#PROGRAMCOUNTER";
        case S::Mpn:
            return "#MPN";
        case S::Ads:
            return "#ADS";
        case S::Adf:
            return "#ADF";
    }
    return {};
}

std::string_view FieldKindName(FieldKind kind) {
    switch (kind) {
        case K::Plain:
            return "plain";
        case K::Caption:
            return "caption";
        case K::PrefixSelector:
            return "prefix selector";
        case K::LabelledSelector:
            return "labelled selector";
        case K::DualLabelledSelector:
            return "two-row labelled selector";
        case K::GainList:
            return "gain list";
        case K::GainPair:
            return "gain pair";
        case K::AddressOnly:
            return "address only";
    }
    return {};
}

}  // namespace dmm
