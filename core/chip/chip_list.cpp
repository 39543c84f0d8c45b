#include "core/chip/chip_list.h"

#include "core/chip/inc_line.h"

namespace dmm {

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    return lines;
}

std::vector<ChipListEntry> ParseChipList(std::string_view text) {
    std::vector<ChipListEntry> chips;
    for (std::string_view raw : SplitLines(text)) {
        const TIncLine line = SplitIncLine(raw);
        if (line.Token(1).size() < 3) break;
        ChipListEntry entry;
        entry.descriptionFile = std::string(line.Token(1));
        entry.selectorText = std::string(line.Token(2)) + "  " + std::string(line.Token(3));
        chips.push_back(std::move(entry));
    }
    return chips;
}

std::vector<std::string> FallbackChipSelector() {
    static constexpr const char* kTexts[] = {"RZ409 (16k)", "RX409  (8k)", "RX405  (4k)",
                                             "RX402  (2k)"};
    std::vector<std::string> texts;
    texts.reserve(64);
    for (int round = 0; round < 16; ++round) {
        for (const char* t : kTexts) texts.emplace_back(t);
    }
    return texts;
}

}  // namespace dmm
