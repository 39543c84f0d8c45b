// Reading a chip description into the chip model.
//
// Choices made where the format says nothing:
// - A token that must be a number and is not makes the whole line void; nothing keeps a
//   number from an earlier line.
// - Register lines with an address outside the chip's 0x000..0x3FF, and binding lines
//   whose field does not fit an 8-bit register, are void too.
// - Every successful load unbinds all fields first, so a field is bound only when the
//   loaded chip names it; a panel never drives a register position of an earlier chip.
//   Captions, option labels and gains belong to the windows' controls and persist.
// - The page counts, implemented-bit masks, grids, page tabs and bank buttons are derived
//   from the final register lists, so a list kept from the previous chip (its directive
//   missing from this file) stays fully visible and editable.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/chip/chip_list.h"
#include "core/chip/chip_model.h"
#include "core/chip/inc_line.h"
#include "core/link/number_text.h"

namespace dmm {
namespace {

std::string Cut(std::string_view text, size_t length) {
    return std::string(text.substr(0, std::min(text.size(), length)));
}

std::optional<uint16_t> ChipAddress(std::string_view token) {
    const auto n = ParseNumber(token);
    if (!n || *n < 0 || *n >= kChipAddressCount) return std::nullopt;
    return static_cast<uint16_t>(*n);
}

std::optional<uint8_t> Mask(std::string_view token) {
    if (token.empty()) return uint8_t{0xFF};  // no mask given: every bit is implemented
    const auto n = ParseNumber(token);
    if (!n) return std::nullopt;
    return static_cast<uint8_t>(*n & 0xFF);
}

std::optional<double> ParseGain(std::string_view token) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    if (token.empty()) return std::nullopt;
    double v = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), v);
    if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<BindingSection> BindingSectionOf(uint8_t code) {
    switch (code) {
        case kOp:
            return BindingSection::Op;
        case kDmmAdcClk:
            return BindingSection::DmmAdcClk;
        case kProgramCounter:
            return BindingSection::ProgramCounter;
        case kMpn:
            return BindingSection::Mpn;
        case kAds:
            return BindingSection::Ads;
        case kAdf:
            return BindingSection::Adf;
        default:
            return std::nullopt;
    }
}

// The negative-input labels of a two-row selector (ADSIP) start here.
constexpr int kSecondLabelsToken = 9;

class DescriptionReader {
  public:
    explicit DescriptionReader(TChipModel& model) : m_(model) {}

    void Run(std::string_view text) {
        Reset();
        for (std::string_view raw : SplitLines(text)) Line(raw);
        Finish();
    }

  private:
    struct Cursor {
        int index = -1;  // list index of the register being described, -1 for none
        int slot = 0;    // bit registers: 0 register text, 1..8 bit 7..bit 0
    };

    void Reset() {
        m_.RegMask.fill(0);
        m_.chipId = 0;
        m_.programMemorySize = 4096;
        m_.registerAreas = {};
        m_.ramBanks = {};
        m_.threeByteCount = 0;
        // Each load decides afresh: the instrument controls follow the loaded chip.
        m_.instrumentUiHidden = false;
        for (size_t i = 0; i < kFieldDirectorySize; ++i) m_.FieldAt(i) = TRegField{};
    }

    void Line(std::string_view raw) {
        const TIncLine line = SplitIncLine(raw);
        const uint8_t code = IsPseudo(line.Token(1));
        if (code != kNotDirective) {
            Open(code);
            return;
        }
        if (section_ == 0) return;  // lines before the first directive
        if (const auto binding = BindingSectionOf(section_)) {
            Binding(*binding, line);
            return;
        }
        const bool hasTokens = line.TokenCount() > 0;
        switch (section_) {
            case kFluke:
                m_.instrumentUiHidden = true;
                return;
            case kAdcNum:
                if (auto n = ParseNumber(line.Token(1))) m_.adcCount = *n;
                return;
            case kRegBitStr:
            case kRegByteStr:
            case kRegWordStr:
                if (m_.language == DescriptionLanguage::English)
                    Description(section_ - kRegBitStr, line, raw);
                return;
            case kRegBitStrCn:
            case kRegByteStrCn:
            case kRegWordStrCn:
                if (m_.language == DescriptionLanguage::Chinese)
                    Description(section_ - kRegBitStrCn, line, raw);
                return;
            default:
                break;
        }
        if (!hasTokens) return;
        switch (section_) {
            case kProduct:
                m_.productTitle = std::string(line.Token(1));
                m_.registerPanelCaption = m_.productTitle + " Register";
                m_.mainCaption = m_.productTitle + "-" + kProgramCaption;
                return;
            case kCompiler:
                m_.compilerName = std::string(line.Token(1));
                return;
            case kId:
                if (auto n = ParseNumber(line.Token(1))) m_.chipId = static_cast<uint16_t>(*n);
                return;
            case kRom:
                if (auto n = ParseNumber(line.Token(1))) {
                    const auto size = static_cast<uint32_t>(*n);
                    m_.programMemorySize = size < 256 ? 4096 : size;
                }
                return;
            case kReg0:
            case kReg1: {
                auto start = ParseNumber(line.Token(1)), end = ParseNumber(line.Token(2));
                if (start && end) {
                    m_.registerAreas[section_ - kReg0] = {static_cast<uint16_t>(*start),
                                                          static_cast<uint16_t>(*end)};
                }
                return;
            }
            case kRegByte:
                ByteRegister(line);
                return;
            case kRegWord:
                WordRegister(line);
                return;
            case kReg3Byte:
                ++m_.threeByteCount;
                return;
            case kStack:
                if (auto n = ParseNumber(line.Token(1))) {
                    m_.stackDepth = std::max<uint8_t>(4, static_cast<uint8_t>(*n & 0xFF));
                }
                return;
            case kSimic:
                if (auto n = ParseNumber(line.Token(1))) m_.simicValue = static_cast<uint16_t>(*n);
                return;
            default:
                break;
        }
        if (section_ >= kRamBank0 && section_ < kRamBank0 + 5) {
            auto start = ParseNumber(line.Token(1)), end = ParseNumber(line.Token(2));
            if (start && end) {
                const RamBank bank{static_cast<uint16_t>(*start), static_cast<uint16_t>(*end)};
                m_.ramBanks[static_cast<size_t>(section_ - kRamBank0)] = bank;
                if (bank.Exists()) {
                    const int last = std::min<int>(bank.end, kChipAddressCount - 1);
                    for (int a = bank.start; a <= last; ++a) SetMask(a, 0xFF);
                }
            }
        } else if (section_ >= kRegBit && section_ < kRegBit + 4) {
            BitRegister(section_ - kRegBit, line);
        }
    }

    void Open(uint8_t code) {
        section_ = code;
        cursor_ = {};
        if (code == kRegBit) {
            m_.bitRegisters.Clear();
            bitListOpened_ = true;
        }
        if (code == kRegByte) {
            m_.byteRegisters.Clear();
            byteListOpened_ = true;
        }
        if (code == kRegWord) {
            m_.wordRegisters.Clear();
            wordListOpened_ = true;
        }
    }

    void BitRegister(int page, const TIncLine& line) {
        const auto address = ChipAddress(line.Token(1));
        if (!address || m_.bitRegisters.Count() >= TCRREGBitPtr::kCapacity) return;
        TBitRegEntry entry;
        entry.address = *address;
        entry.page = static_cast<uint8_t>(page);
        entry.name = Cut(line.Token(2), kRegisterNameLength);
        for (size_t slot = 0; slot < 8; ++slot) {
            entry.bits[slot].name =
                Cut(line.Token(3 + static_cast<int>(slot)), kRegisterNameLength);
        }
        if (m_.bitRegisters.Add(entry) == 0) SetMask(entry.address, entry.ImplementedMask());
    }

    void ByteRegister(const TIncLine& line) {
        const auto address = ChipAddress(line.Token(1));
        const auto mask = Mask(line.Token(3));
        if (!address || !mask || m_.byteRegisters.Count() >= TCRREGBytePtr::kCapacity) return;
        TByteRegEntry entry;
        entry.address = *address;
        entry.name = std::string(line.Token(2));
        entry.mask = *mask;
        if (m_.byteRegisters.Add(entry) == 0) SetMask(entry.address, entry.mask);
    }

    void WordRegister(const TIncLine& line) {
        const auto high = ChipAddress(line.Token(1));
        const auto low = ChipAddress(line.Token(3));
        const auto highMask = Mask(line.Token(5));
        const auto lowMask = Mask(line.Token(6));
        if (!high || !low || !highMask || !lowMask) return;
        if (m_.wordRegisters.Count() >= TCRREGWordPtr::kCapacity) return;
        TWordRegEntry entry;
        entry.highAddress = *high;
        entry.lowAddress = *low;
        entry.name = std::string(line.Token(2));
        entry.highMask = *highMask;
        entry.lowMask = *lowMask;
        if (m_.wordRegisters.Add(entry) == 0) {
            SetMask(entry.highAddress, entry.highMask);
            SetMask(entry.lowAddress, entry.lowMask);
        }
    }

    // list: 0 bit, 1 byte, 2 word registers.
    void Description(int list, const TIncLine& line, std::string_view raw) {
        if (auto key = ParseNumber(line.Token(1))) {
            cursor_ = {FindKey(list, *key), 0};
            return;
        }
        // A key that matched no register leaves nothing selected: its text must not land
        // on the register described before it.
        if (!line.HasComment() || cursor_.index < 0) return;
        // The line as written without its first character (a closing quote stays).
        const std::string_view text = raw.substr(std::min<size_t>(raw.size(), 1));
        if (list == 0) {
            TBitRegEntry* entry = m_.bitRegisters.Items(cursor_.index);
            if (!entry) return;
            if (cursor_.slot == 0)
                entry->description = Cut(text, kRegisterDescriptionLength);
            else if (cursor_.slot <= 8) {
                entry->bits[static_cast<size_t>(cursor_.slot - 1)].description =
                    Cut(text, kBitDescriptionLength);
            }
            if (cursor_.slot <= 8) ++cursor_.slot;
        } else if (list == 1) {
            if (TByteRegEntry* entry = m_.byteRegisters.Items(cursor_.index)) {
                entry->description = Cut(text, kRegisterDescriptionLength);
            }
        } else if (TWordRegEntry* entry = m_.wordRegisters.Items(cursor_.index)) {
            entry->description = Cut(text, kRegisterDescriptionLength);
        }
    }

    int FindKey(int list, int32_t key) const {
        auto find = [key](const auto& registers) {
            for (int i = 0; i < registers.Count(); ++i) {
                if (registers.Address(i) == key) return i;
            }
            return -1;
        };
        if (list == 0) return find(m_.bitRegisters);
        if (list == 1) return find(m_.byteRegisters);
        return find(m_.wordRegisters);
    }

    void Binding(BindingSection section, const TIncLine& line) {
        const auto index = FieldIndexInSection(section, line.Token(2));
        const auto address = ChipAddress(line.Token(1));
        if (!index || !address) return;
        const DirectoryEntry& entry = FieldDirectory()[*index];

        TRegField field;
        field.registerIndex = *address;
        if (entry.kind == FieldKind::AddressOnly) {
            // The panel reads and writes the whole register.
            field.width = 8;
            field.shift = 0;
        } else {
            const auto width = ParseNumber(line.Token(3));
            const auto shift = ParseNumber(line.Token(4));
            if (!width || !shift) return;
            field.width = *width & 0xFF;
            field.shift = *shift & 0xFF;
            if (field.width < 1 || field.shift > 7 || field.width + field.shift > 8) return;
        }
        field.value = 0;
        field.defined = 1;
        m_.FieldAt(*index) = field;
        PanelExtras(entry, field, line, m_.PanelDataAt(*index));
    }

    void PanelExtras(const DirectoryEntry& entry, const TRegField& field, const TIncLine& line,
                     FieldPanelData& data) {
        const int n = field.OptionCount();
        switch (entry.kind) {
            case FieldKind::Caption:
                if (!line.Token(5).empty()) data.caption = std::string(line.Token(5));
                break;
            case FieldKind::GainPair:
                data.gains = {Gain(line.Token(5)), Gain(line.Token(6))};
                if (!line.Token(7).empty()) data.caption = std::string(line.Token(7));
                break;
            case FieldKind::GainList:
                data.gains = {Gain(line.Token(5)), Gain(line.Token(6)), Gain(line.Token(7)),
                              Gain(line.Token(8))};
                break;
            case FieldKind::PrefixSelector:
                BuildCombo(data, Prefix(entry, line.Token(5)), field.width, {});
                data.selectFirstItem = true;
                break;
            case FieldKind::LabelledSelector:
                data.options = Labels(line, 5, n);
                BuildCombo(data, Prefix(entry, line.Token(5 + n)), field.width, data.options);
                data.selectFirstItem = false;
                break;
            case FieldKind::DualLabelledSelector:
                // The negative-input labels start at token 9 whatever the width, and the
                // prefix follows them.
                data.options = Labels(line, 5, n);
                data.secondOptions = Labels(line, kSecondLabelsToken, n);
                BuildCombo(data, Prefix(entry, line.Token(kSecondLabelsToken + n)), field.width,
                           data.options);
                data.selectFirstItem = false;
                break;
            case FieldKind::Plain:
            case FieldKind::AddressOnly:
                break;
        }
    }

    // A missing or non-numeric gain repeats the last gain read in this load; a gain not
    // above 0 reads as 1.
    double Gain(std::string_view token) {
        if (auto v = ParseGain(token)) lastGain_ = *v;
        return lastGain_ > 0 ? lastGain_ : 1.0;
    }

    static std::string Prefix(const DirectoryEntry& entry, std::string_view token) {
        return token.empty() ? std::string(entry.fixedPrefix) : std::string(token);
    }

    // A missing label token leaves that option with the window's own label.
    static std::vector<OptionLabel> Labels(const TIncLine& line, int firstToken, int count) {
        std::vector<OptionLabel> labels(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k) {
            const std::string_view token = line.Token(firstToken + k);
            if (token.empty()) continue;
            labels[static_cast<size_t>(k)].text = std::string(token);
            labels[static_cast<size_t>(k)].hidden = token == "-";
        }
        return labels;
    }

    static void BuildCombo(FieldPanelData& data, const std::string& prefix, int width,
                           const std::vector<OptionLabel>& labels) {
        data.comboItems.clear();
        data.comboRebuilt = true;
        const int n = 1 << width;
        for (int k = 0; k < n; ++k) {
            if (static_cast<size_t>(k) < labels.size() && labels[static_cast<size_t>(k)].hidden)
                continue;
            data.comboItems.push_back(
                {prefix + "<" + BinStr(static_cast<uint16_t>(k), width) + ">", k});
        }
    }

    // RegMask is built in file order, a later line winning over an earlier one.
    void SetMask(int address, uint8_t mask) {
        if (address < 0 || address >= kChipAddressCount) return;
        m_.RegMask[static_cast<size_t>(address)] = mask;
        setByFile_[static_cast<size_t>(address)] = true;
    }
    // A list kept from the previous load (this file has no opening directive for it)
    // still marks its registers, where no line of this file did.
    void KeptMask(bool opened, int address, uint8_t mask) {
        if (opened || address < 0 || address >= kChipAddressCount) return;
        if (!setByFile_[static_cast<size_t>(address)])
            m_.RegMask[static_cast<size_t>(address)] = mask;
    }

    // The register panel shows page p as the run of entries after those of pages before
    // it: the list is kept in page order, file order within a page.
    void SortBitRegistersByPage() {
        std::vector<TBitRegEntry> entries;
        for (int i = 0; i < m_.bitRegisters.Count(); ++i)
            entries.push_back(*m_.bitRegisters.Items(i));
        std::stable_sort(entries.begin(), entries.end(),
                         [](const TBitRegEntry& a, const TBitRegEntry& b) {
                             return (a.page & 3) < (b.page & 3);
                         });
        m_.bitRegisters.Clear();
        for (const TBitRegEntry& e : entries) m_.bitRegisters.Add(e);
    }

    void Finish() {
        for (size_t b = 0; b < m_.ramBanks.size(); ++b) m_.bankShown[b] = m_.ramBanks[b].Exists();

        SortBitRegistersByPage();
        m_.pageCounts = {};
        for (int i = 0; i < m_.bitRegisters.Count(); ++i) {
            const TBitRegEntry& e = *m_.bitRegisters.Items(i);
            KeptMask(bitListOpened_, e.address, e.ImplementedMask());
            m_.RegShown[e.address] = 0;
            ++m_.pageCounts[e.page & 3];
        }
        for (size_t p = 0; p < 4; ++p) m_.pageShown[p] = m_.pageCounts[p] > 0;

        const int bytes = m_.byteRegisters.Count();
        m_.byteGrid.SetRowCount(0);
        m_.byteGrid.SetRowCount((bytes + RegisterGrid::kColumns - 1) / RegisterGrid::kColumns * 2);
        for (int n = 0; n < bytes; ++n) {
            const TByteRegEntry& e = *m_.byteRegisters.Items(n);
            KeptMask(byteListOpened_, e.address, e.mask);
            m_.RegShown[e.address] = 0;
            m_.byteGrid.SetCell(RegisterGrid::Column(n), RegisterGrid::NameRow(n), e.name);
        }

        const int words = m_.wordRegisters.Count();
        m_.wordGrid.SetRowCount(0);
        m_.wordGrid.SetRowCount((words + RegisterGrid::kColumns - 1) / RegisterGrid::kColumns * 2);
        for (int n = 0; n < words; ++n) {
            const TWordRegEntry& e = *m_.wordRegisters.Items(n);
            KeptMask(wordListOpened_, e.highAddress, e.highMask);
            KeptMask(wordListOpened_, e.lowAddress, e.lowMask);
            m_.RegShown[e.highAddress] = 0;
            m_.RegShown[e.lowAddress] = 0;
            m_.wordGrid.SetCell(RegisterGrid::Column(n), RegisterGrid::NameRow(n), e.name);
        }

        // A bank without addresses (start >= end) cannot stay selected, nor an empty page.
        if (m_.currentRamBank < 0 || m_.currentRamBank > 4 ||
            !m_.ramBanks[static_cast<size_t>(m_.currentRamBank)].Exists()) {
            m_.currentRamBank = 0;
        }
        if (m_.currentRegisterPage < 0 || m_.currentRegisterPage > 3 ||
            m_.pageCounts[static_cast<size_t>(m_.currentRegisterPage)] == 0) {
            m_.currentRegisterPage = 0;
        }
        ++m_.loadCount;
    }

    TChipModel& m_;
    uint8_t section_ = 0;
    Cursor cursor_;
    double lastGain_ = 1.0;
    std::array<bool, kChipAddressCount> setByFile_{};
    bool bitListOpened_ = false;
    bool byteListOpened_ = false;
    bool wordListOpened_ = false;
};

}  // namespace

void ReadChipDescription(std::string_view text, TChipModel& model) {
    DescriptionReader(model).Run(text);
}

}  // namespace dmm
