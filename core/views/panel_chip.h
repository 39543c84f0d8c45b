#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/link/stnd.h"

namespace dmm {

struct TChipModel;

// What the register and RAM panels need to know of the loaded chip: its registers as the
// panels lay them out, which bits each address implements and which RAM banks exist.
// Built once per chip load and then shared read-only with the windows.
struct PanelChip {
    static constexpr int kPages = 4;
    static constexpr int kBanks = 5;
    static constexpr int kGridColumns = 9;

    struct BitRegister {
        uint16_t address = 0;
        QString name;
        QString description;
        std::array<QString, 8> bitNames;  // bit 7 first
        std::array<QString, 8> bitDescriptions;
    };
    struct ByteRegister {
        uint16_t address = 0;
        QString name;
        QString description;
    };
    struct WordRegister {
        uint16_t high = 0;
        uint16_t low = 0;
        QString name;
        QString description;
    };
    struct Range {
        uint16_t start = 0;
        uint16_t end = 0;
    };

    QString productTitle;
    QString registerCaption;  // the register panel's caption, once a description names the product
    std::vector<BitRegister> bitRegisters;  // pages one after the other
    std::array<int, kPages> pageCounts{};
    std::vector<ByteRegister> byteRegisters;
    std::vector<WordRegister> wordRegisters;
    std::array<uint8_t, kRegisterImageSize> mask{};   // implemented bits per address
    std::array<uint8_t, kRegisterImageSize> shown{};  // values last shown, as the load left them
    std::array<Range, kBanks> ramBanks{};

    bool BankDefined(int bank) const {
        return bank >= 0 && bank < kBanks &&
               ramBanks[static_cast<size_t>(bank)].start < ramBanks[static_cast<size_t>(bank)].end;
    }
    uint8_t Mask(int address) const {
        return address >= 0 && address < kRegisterImageSize ? mask[static_cast<size_t>(address)]
                                                            : 0;
    }
    // First and end index of a page (0..3) within bitRegisters.
    std::pair<int, int> PageRange(int page) const {
        int first = 0;
        for (int p = 0; p < page && p < kPages; ++p) first += pageCounts[static_cast<size_t>(p)];
        const int count = page >= 0 && page < kPages ? pageCounts[static_cast<size_t>(page)] : 0;
        return {first, first + count};
    }

    // The panels' view of a loaded chip model. Byte and word registers are taken as the
    // loader laid out their grids: a register whose grid cell does not exist (a list kept
    // from an earlier chip) is not shown.
    static std::shared_ptr<const PanelChip> FromModel(const TChipModel& model);
};

}  // namespace dmm
