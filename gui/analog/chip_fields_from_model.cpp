#include "gui/analog/chip_fields_from_model.h"

namespace dmm::gui {
namespace {

std::vector<PanelOption> Options(const std::vector<OptionLabel>& labels) {
    std::vector<PanelOption> options;
    options.reserve(labels.size());
    for (const OptionLabel& label : labels) {
        PanelOption option;
        if (label.text) option.text = QString::fromStdString(*label.text);
        option.hidden = label.hidden;
        options.push_back(option);
    }
    return options;
}

}  // namespace

ChipFieldsSnapshot ChipFieldsFromModel(const TChipModel& model) {
    auto fields = std::make_shared<ChipFields>();
    fields->adcCount = model.adcCount;
    const auto directory = FieldDirectory();
    for (size_t i = 0; i < directory.size(); ++i) {
        const FieldPanelData& data = model.PanelDataAt(i);
        PanelFieldInfo info;
        info.field = model.FieldAt(i);
        if (data.caption) info.caption = QString::fromStdString(*data.caption);
        info.options = Options(data.options);
        info.secondOptions = Options(data.secondOptions);
        if (data.comboRebuilt) {
            std::vector<std::pair<QString, int>> items;
            for (const ComboEntry& entry : data.comboItems)
                items.emplace_back(QString::fromStdString(entry.text), entry.option);
            info.comboItems = std::move(items);
        }
        info.gains = data.gains;
        fields->Set(std::string(directory[i].name), std::move(info));
    }
    return fields;
}

}  // namespace dmm::gui
