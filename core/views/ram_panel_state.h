#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/views/panel_chip.h"
#include "core/views/ram_notes.h"
#include "core/views/register_panel_state.h"

namespace dmm {

// One bank of the RAM panel: 256 cells of the addresses bank * 256 .. bank * 256 + 255,
// their texts, change highlights, marks and hints.
//
// Bank 4 lies beyond the 1024-byte address space: the chip has nothing there, so all its
// cells show "-" and none can be edited, marked or given a hint.
class RamPanelState {
  public:
    static constexpr int kCells = 256;
    static constexpr int kBanks = PanelChip::kBanks;

    struct Cell {
        QString text;  // two hex digits, or "-"
        bool changed = false;
        bool operator==(const Cell&) const = default;
    };

    void SetChip(std::shared_ptr<const PanelChip> chip) { chip_ = std::move(chip); }
    const PanelChip* chip() const { return chip_.get(); }

    int bank() const { return bank_; }
    void SetBank(int bank) { bank_ = bank >= 0 && bank < kBanks ? bank : 0; }
    int Address(int cell) const { return bank_ * kCells + cell; }
    // An address the chip implements (some bit of it exists) inside the image.
    bool Implemented(int address) const {
        return chip_ && address >= 0 && address < kRegisterImageSize && chip_->Mask(address) != 0;
    }

    // Recomputes the bank's cells from image; returns the cells whose text or highlight
    // changed. first: nothing is highlighted (shown after a bank change, a file load).
    std::vector<int> Refresh(const RegisterImageBytes& image, bool first);
    const Cell& CellAt(int cell) const { return cells_[static_cast<size_t>(cell)]; }

    RamNotes& notes() { return notes_; }
    const RamNotes& notes() const { return notes_; }
    // The note of an address; addresses beyond the image have none.
    const RamCellNote* NoteAt(int address) const {
        return address >= 0 && address < kRegisterImageSize ? &notes_[static_cast<size_t>(address)]
                                                            : nullptr;
    }

  private:
    std::shared_ptr<const PanelChip> chip_;
    int bank_ = 0;
    std::array<Cell, kCells> cells_{};
    RegisterImageBytes shown_{};
    RamNotes notes_{};
};

}  // namespace dmm
