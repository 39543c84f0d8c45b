#include "core/views/register_panel_state.h"

namespace dmm {

uint8_t RegisterPanelState::Masked(const PanelChip& chip, const RegisterImageBytes& image,
                                   int address) {
    if (address < 0 || address >= kRegisterImageSize) return 0;
    return image[static_cast<size_t>(address)] & chip.mask[static_cast<size_t>(address)];
}

void RegisterPanelState::SetChip(std::shared_ptr<const PanelChip> chip) {
    chip_ = std::move(chip);
    changed_.fill(false);
    if (chip_) shown_ = chip_->shown;
    bitValues_.assign(chip_ ? chip_->bitRegisters.size() : 0, 0);
    byteValues_.assign(chip_ ? chip_->byteRegisters.size() : 0, 0);
    wordValues_.assign(chip_ ? chip_->wordRegisters.size() : 0, 0);
}

void RegisterPanelState::Refresh(const RegisterImageBytes& image, bool first) {
    auto byte = [&](int address) {
        return address >= 0 && address < kRegisterImageSize ? image[static_cast<size_t>(address)]
                                                            : 0;
    };
    auto show = [first](RegisterStrip::Shown& shown, int value) {
        shown.highlighted = !first && value != shown.value;
        shown.value = value;
    };
    show(strip_.work, byte(kWorkingRegister));
    const std::array<int, 2> pointers = {byte(kFsr0High) * 256 + byte(kFsr0Low),
                                         byte(kFsr1High) * 256 + byte(kFsr1Low)};
    for (size_t i = 0; i < 2; ++i) {
        show(strip_.pointer[i], pointers[i]);
        // The indirect value panels show what the pointer reaches, and light up when
        // that text changes, whether the pointer or the memory behind it moved.
        show(strip_.target[i], byte(pointers[i]));
    }

    if (!chip_) return;
    const PanelChip& chip = *chip_;
    // One comparison per address, against the previous refresh: a register listed twice
    // (as bits and as a byte) must not find its own new value on the second look.
    std::array<bool, kRegisterImageSize> seen{};
    auto compare = [&](int address) {
        if (address < 0 || address >= kRegisterImageSize) return;
        const auto a = static_cast<size_t>(address);
        if (seen[a]) return;
        seen[a] = true;
        const uint8_t value = Masked(chip, image, address);
        changed_[a] = value != shown_[a];
        shown_[a] = value;
    };
    for (size_t i = 0; i < chip.bitRegisters.size(); ++i) {
        const int address = chip.bitRegisters[i].address;
        compare(address);
        bitValues_[i] = Masked(chip, image, address);
    }
    for (size_t i = 0; i < chip.byteRegisters.size(); ++i) {
        const int address = chip.byteRegisters[i].address;
        compare(address);
        byteValues_[i] = Masked(chip, image, address);
    }
    for (size_t i = 0; i < chip.wordRegisters.size(); ++i) {
        const PanelChip::WordRegister& word = chip.wordRegisters[i];
        compare(word.high);
        compare(word.low);
        wordValues_[i] = static_cast<uint16_t>(Masked(chip, image, word.high) * 256 +
                                               Masked(chip, image, word.low));
    }
}

}  // namespace dmm
