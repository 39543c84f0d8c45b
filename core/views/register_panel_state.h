#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/views/panel_chip.h"

namespace dmm {

using RegisterImageBytes = std::array<uint8_t, kRegisterImageSize>;

// Fixed addresses of the register panel's status strip.
inline constexpr uint16_t kWorkingRegister = 0x29;
inline constexpr uint16_t kFsr0High = 0x0F;
inline constexpr uint16_t kFsr0Low = 0x10;
inline constexpr uint16_t kFsr1High = 0x11;
inline constexpr uint16_t kFsr1Low = 0x12;

// The status strip as the last refresh found it.
struct RegisterStrip {
    struct Shown {
        int value = 0;
        bool highlighted = false;
        bool operator==(const Shown&) const = default;
    };
    Shown work;                    // image[0x29]
    std::array<Shown, 2> pointer;  // FSR0, FSR1: high * 256 + low
    std::array<Shown, 2> target;   // image[FSR0], image[FSR1]
    bool operator==(const RegisterStrip&) const = default;
};

// The values and change highlights of the register panel, computed from the register
// image at every refresh. A register is highlighted when its value differs from the
// value the previous refresh showed; a chip load starts from the values the load left
// (0 for its registers), so right after a load every register that is not 0 stands out.
class RegisterPanelState {
  public:
    // A new chip: its lists, masks and starting values. Nothing is highlighted until the
    // next refresh.
    void SetChip(std::shared_ptr<const PanelChip> chip);
    const PanelChip* chip() const { return chip_.get(); }
    const std::shared_ptr<const PanelChip>& sharedChip() const { return chip_; }

    // Recomputes everything from image. first: the strip compares with nothing (its
    // highlights go off); registers always compare with the previous refresh.
    void Refresh(const RegisterImageBytes& image, bool first);

    // Current value (image AND mask) of an entry of each list.
    uint8_t BitValue(int index) const { return At(bitValues_, index); }
    uint8_t ByteValue(int index) const { return At(byteValues_, index); }
    uint16_t WordValue(int index) const { return At(wordValues_, index); }
    // Whether the last refresh found the address changed.
    bool Changed(int address) const {
        return address >= 0 && address < kRegisterImageSize &&
               changed_[static_cast<size_t>(address)];
    }
    const RegisterStrip& strip() const { return strip_; }

  private:
    template <typename T>
    static T At(const std::vector<T>& v, int index) {
        return index >= 0 && index < static_cast<int>(v.size()) ? v[static_cast<size_t>(index)]
                                                                : T{};
    }
    static uint8_t Masked(const PanelChip& chip, const RegisterImageBytes& image, int address);

    std::shared_ptr<const PanelChip> chip_;
    RegisterImageBytes shown_{};
    std::array<bool, kRegisterImageSize> changed_{};
    std::vector<uint8_t> bitValues_;
    std::vector<uint8_t> byteValues_;
    std::vector<uint16_t> wordValues_;
    RegisterStrip strip_;
};

}  // namespace dmm
