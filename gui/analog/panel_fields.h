#pragma once

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/chip/reg_field.h"

namespace dmm::gui {

// One option of a selector as the chip description gives it.
struct PanelOption {
    std::optional<QString> text;  // nullopt: the panel keeps its own label
    bool hidden = false;          // the option does not exist on this chip
};

// What a block panel knows about one of its fields: where the field lies and the panel
// data its description line carries (caption, option labels, combo entries, gains).
struct PanelFieldInfo {
    TRegField field;  // undefined (defined == 0) when the chip has no such field
    std::optional<QString> caption;
    std::vector<PanelOption> options;
    std::vector<PanelOption> secondOptions;  // the second label row of a paired selector
    // The combo box entries (text, field value); nullopt keeps the panel's own entries.
    std::optional<std::vector<std::pair<QString, int>>> comboItems;
    std::vector<double> gains;
};

// The fields of the loaded chip as the block panels see them: an immutable snapshot,
// made on the bench thread after every load and read on the GUI thread.
class ChipFields {
  public:
    // The field's information; an undefined field for a name the chip does not bind.
    const PanelFieldInfo& Info(std::string_view name) const;
    void Set(std::string name, PanelFieldInfo info);

    // Converters of the chip; 2 shows the ADC2 panel's second converter.
    int adcCount = 0;

  private:
    std::map<std::string, PanelFieldInfo, std::less<>> fields_;
};

using ChipFieldsSnapshot = std::shared_ptr<const ChipFields>;

}  // namespace dmm::gui
