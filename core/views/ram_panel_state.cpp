#include "core/views/ram_panel_state.h"

namespace dmm {
namespace {

// The 256 two-digit texts, shared by every refresh instead of built 256 times each.
const std::array<QString, 256>& ByteTexts() {
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> t;
        for (int v = 0; v < 256; ++v) t[static_cast<size_t>(v)] = QString::asprintf("%02X", v);
        return t;
    }();
    return texts;
}

}  // namespace

std::vector<int> RamPanelState::Refresh(const RegisterImageBytes& image, bool first) {
    const std::array<QString, 256>& texts = ByteTexts();
    std::vector<int> repaint;
    for (int i = 0; i < kCells; ++i) {
        const int address = Address(i);
        Cell cell;
        if (Implemented(address)) {
            const auto a = static_cast<size_t>(address);
            const uint8_t v = image[a] & chip_->mask[a];
            cell.text = texts[v];
            cell.changed = !first && v != shown_[a];
            shown_[a] = v;
        } else {
            cell.text = QStringLiteral("-");
        }
        Cell& current = cells_[static_cast<size_t>(i)];
        if (!(current == cell)) {
            current = std::move(cell);
            repaint.push_back(i);
        }
    }
    return repaint;
}

}  // namespace dmm
