#include "core/views/panel_chip.h"

#include <algorithm>

#include "core/chip/chip_model.h"
#include "core/views/big5_text.h"

namespace dmm {
namespace {

QString Text(const std::string& bytes) {
    return DescriptionFileText(bytes);
}

QString Description(const std::string& bytes) {
    return ShownDescription(bytes);
}

}  // namespace

std::shared_ptr<const PanelChip> PanelChip::FromModel(const TChipModel& model) {
    auto chip = std::make_shared<PanelChip>();
    chip->productTitle = Text(model.productTitle);
    chip->registerCaption = Text(model.registerPanelCaption);

    for (int i = 0; i < model.bitRegisters.Count(); ++i) {
        const TBitRegEntry& entry = *model.bitRegisters.Items(i);
        BitRegister row;
        row.address = entry.address;
        row.name = Text(entry.name);
        row.description = Description(entry.description);
        for (size_t slot = 0; slot < 8; ++slot) {
            row.bitNames[slot] = Text(entry.bits[slot].name);
            row.bitDescriptions[slot] = Description(entry.bits[slot].description);
        }
        chip->bitRegisters.push_back(std::move(row));
    }
    // Page counts never reach past the list (a full list drops entries, not counts).
    int left = static_cast<int>(chip->bitRegisters.size());
    for (size_t p = 0; p < kPages; ++p) {
        chip->pageCounts[p] = std::min<int>(model.pageCounts[p], left);
        left -= chip->pageCounts[p];
    }

    const int byteCells = model.byteGrid.RowCount() / 2 * RegisterGrid::kColumns;
    for (int n = 0; n < std::min(model.byteRegisters.Count(), byteCells); ++n) {
        const TByteRegEntry& entry = *model.byteRegisters.Items(n);
        chip->byteRegisters.push_back(
            {entry.address,
             Text(model.byteGrid.Cell(RegisterGrid::Column(n), RegisterGrid::NameRow(n))),
             Description(entry.description)});
    }
    const int wordCells = model.wordGrid.RowCount() / 2 * RegisterGrid::kColumns;
    for (int n = 0; n < std::min(model.wordRegisters.Count(), wordCells); ++n) {
        const TWordRegEntry& entry = *model.wordRegisters.Items(n);
        chip->wordRegisters.push_back(
            {entry.highAddress, entry.lowAddress,
             Text(model.wordGrid.Cell(RegisterGrid::Column(n), RegisterGrid::NameRow(n))),
             Description(entry.description)});
    }

    chip->mask = model.RegMask;
    chip->shown = model.RegShown;
    for (size_t k = 0; k < kBanks; ++k)
        chip->ramBanks[k] = {model.ramBanks[k].start, model.ramBanks[k].end};
    return chip;
}

}  // namespace dmm
