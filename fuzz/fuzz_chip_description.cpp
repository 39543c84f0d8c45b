// Fuzzes the chip list and chip description readers: any bytes must load without a
// crash, an out-of-bounds access or undefined behaviour, and leave a consistent model.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/chip/chip_list.h"
#include "core/chip/chip_model.h"
#include "core/chip/inc_line.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void CheckModel(const dmm::TChipModel& m) {
    Check(m.bitRegisters.Count() <= dmm::TCRREGBitPtr::kCapacity);
    int paged = 0;
    for (uint16_t c : m.pageCounts) paged += c;
    Check(paged == m.bitRegisters.Count());
    Check(m.byteGrid.RowCount() == (m.ByteCount() + 8) / 9 * 2);
    for (int i = 0; i < m.bitRegisters.Count(); ++i) {
        Check(m.bitRegisters.Items(i)->address < dmm::kChipAddressCount);
        Check(m.bitRegisters.Items(i)->description.size() <= dmm::kRegisterDescriptionLength);
    }
    for (int i = 0; i < m.wordRegisters.Count(); ++i) {
        Check(m.wordRegisters.Items(i)->highAddress < dmm::kChipAddressCount);
    }
    for (size_t i = 0; i < dmm::kFieldDirectorySize; ++i) {
        const dmm::TRegField& f = m.FieldAt(i);
        if (!f.defined) continue;
        Check(f.width >= 1 && f.shift >= 0 && f.width + f.shift <= 8);
        Check(m.PanelDataAt(i).comboItems.size() <= 256);
    }
    Check(m.currentRamBank >= 0 && m.currentRamBank <= 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    for (const dmm::ChipListEntry& chip : dmm::ParseChipList(text))
        Check(chip.descriptionFile.size() >= 3);
    for (std::string_view line : dmm::SplitLines(text)) {
        const dmm::TIncLine inc = dmm::SplitIncLine(line);
        Check(inc.TokenCount() <= dmm::TIncLine::kMaxTokens);
        (void)dmm::ParseNumber(inc.Token(1));
        (void)dmm::IsPseudo(inc.Token(1));
    }

    // A second load over the first meets the lists and panel data the first one left.
    dmm::TChipModel model;
    dmm::ReadChipDescription(text, model);
    CheckModel(model);
    dmm::ReadChipDescription(text.substr(size / 2), model);
    CheckModel(model);
    return 0;
}
