#include "gui/analog/panel_fields.h"

namespace dmm::gui {

const PanelFieldInfo& ChipFields::Info(std::string_view name) const {
    static const PanelFieldInfo unbound;
    const auto it = fields_.find(name);
    return it == fields_.end() ? unbound : it->second;
}

void ChipFields::Set(std::string name, PanelFieldInfo info) {
    fields_[std::move(name)] = std::move(info);
}

}  // namespace dmm::gui
