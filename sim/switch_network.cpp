#include "sim/switch_network.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace dmm::sim {
namespace {

// "NAME<k>" -> k for the given name; nothing otherwise.
std::optional<int> TapIndex(std::string_view node, std::string_view name) {
    if (node.size() < name.size() + 3 || node.substr(0, name.size()) != name) return std::nullopt;
    const std::string_view rest = node.substr(name.size());
    if (rest.front() != '<' || rest.back() != '>') return std::nullopt;
    const std::string_view digits = rest.substr(1, rest.size() - 2);
    int k = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), k);
    if (error != std::errc() || end != digits.data() + digits.size() || k < 0) return std::nullopt;
    return k;
}

TRegField BoundField(const TChipModel& model, const char* name) {
    const TRegField* field = model.Field(name);
    return field && field->IsDefined() ? *field : TRegField{};
}

}  // namespace

std::optional<double> DividerTapVolts(std::string_view node, double supply, double agnd) {
    if (node == "VDSC") return supply;
    for (const char* ladder : {"VDSC", "VDS"}) {
        if (const auto k = TapIndex(node, ladder))
            return supply * std::min(*k, kLadderSteps) / kLadderSteps;
    }
    if (const auto k = TapIndex(node, "AGNDP")) return agnd + *k * kAgndTapStepVolts;
    if (const auto k = TapIndex(node, "AGNDN")) return agnd - *k * kAgndTapStepVolts;
    return std::nullopt;
}

Comparator::Comparator(const TChipModel& model)
    : enable_(BoundField(model, "EN_CMP")),
      level_(BoundField(model, "ACPO")),
      rise_(BoundField(model, "FGRISE")) {}

void Comparator::Update(DmmFrontEnd::Memory& memory, const DmmFrontEnd& frontEnd,
                        const AnalogNodes& nodes, double seconds) {
    if (!Bound(enable_)) return;
    auto byte = [&](const TRegField& f) -> uint8_t& {
        return memory[static_cast<size_t>(f.registerIndex) % memory.size()];
    };
    const bool enabled = enable_.Extract(byte(enable_)) != 0;
    const bool switchedOn = enabled && !enabled_;
    enabled_ = enabled;
    const bool before = output_;
    if (!enabled) {
        output_ = false;
    } else {
        double input = frontEnd.SelectedVolts("S_CMPI", memory, nodes);
        const std::string driver =
            frontEnd.DrivingNode(frontEnd.SelectedNode("S_CMPI", memory), memory);
        if (const auto tone = nodes.tones.find(driver);
            tone != nodes.tones.end() && nodes.pinned.count(driver) == 0) {
            input += tone->second.VoltsAt(seconds);
        }
        const double high = frontEnd.SelectedVolts("S_CMPRH", memory, nodes);
        const double low = frontEnd.SelectedVolts("S_CMPRL", memory, nodes);
        if (input > std::max(high, low))
            output_ = true;
        else if (input < std::min(high, low))
            output_ = false;
        else if (switchedOn)
            output_ = false;  // between the thresholds a comparator starts low
    }
    if (Bound(level_)) byte(level_) = level_.Insert(byte(level_), output_ ? 1 : 0);
    if (Bound(rise_)) {
        if (switchedOn) byte(rise_) = rise_.Insert(byte(rise_), 0);
        if (output_ && !before) byte(rise_) = rise_.Insert(byte(rise_), 1);
    }
}

}  // namespace dmm::sim
