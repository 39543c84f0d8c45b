#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The fixed directory of named register fields of the analog blocks: which binding
// section may name a field, and what extra tokens its line carries. The chip description
// supplies the register, width and shift of each field; this table supplies the rest.
namespace dmm {

// The six binding sections, by the directive that opens them.
enum class BindingSection : uint8_t { Op, DmmAdcClk, ProgramCounter, Mpn, Ads, Adf };

// What the tokens after "address name width shift" mean for a field.
enum class FieldKind : uint8_t {
    Plain,                 // nothing more
    Caption,               // token 5: caption of the bound control
    PrefixSelector,        // token 5: prefix of the combo-box entries
    LabelledSelector,      // one label per option ("-" hides it), then the combo-box prefix
    DualLabelledSelector,  // two label rows (positive, negative inputs), then the prefix
    GainList,              // four gains, one per field value 0..3
    GainPair,              // two gains for values 0 and 1, then a caption
    AddressOnly,           // the whole register; width and shift are not read
};

struct DirectoryEntry {
    std::string_view name;
    BindingSection section;
    FieldKind kind;
    std::string_view fixedPrefix;  // combo-box prefix when the line gives none
};

// Every field of the directory, in directory order within each section.
std::span<const DirectoryEntry> FieldDirectory();
inline constexpr size_t kFieldDirectorySize = 132;

// Index of the named field in FieldDirectory(), or nullopt.
std::optional<size_t> FieldIndex(std::string_view name);
// Index of the field that section binds under name, or nullopt when the section does not
// list that name (the line then has no effect).
std::optional<size_t> FieldIndexInSection(BindingSection section, std::string_view name);

std::string_view SectionDirective(BindingSection section);
std::string_view FieldKindName(FieldKind kind);

// The panel data a binding line may carry besides the register position. It belongs to
// the bound window's controls, so it persists across loads until a line replaces it.
struct OptionLabel {
    std::optional<std::string> text;  // nullopt: the window's own label
    bool hidden = false;              // the line gave "-" for this option
};

struct ComboEntry {
    std::string text;  // prefix + "<" + option in binary + ">"
    int option = 0;    // the field value this entry stands for
};

struct FieldPanelData {
    std::optional<std::string> caption;      // replaces the bound control's caption
    std::vector<OptionLabel> options;        // labelled selectors: label of option k
    std::vector<OptionLabel> secondOptions;  // the negative-input row of a two-row selector
    std::vector<ComboEntry> comboItems;      // the rebuilt combo box; hidden options left out
    bool comboRebuilt = false;               // false: the window keeps its design-time items
    bool selectFirstItem = false;            // a prefix selector selects entry 0 after the rebuild
    std::vector<double> gains;               // gain lists: 4 values; gain pairs: 2 values
};

}  // namespace dmm
