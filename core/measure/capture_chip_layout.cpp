#include "core/measure/capture_chip_layout.h"

#include <algorithm>

namespace dmm {
namespace {

TRegField FieldOf(const TChipModel& model, std::string_view name) {
    const TRegField* field = model.Field(name);
    return field ? *field : TRegField{};
}

GainField GainOf(const TChipModel& model, std::string_view name) {
    GainField gain;
    gain.field = FieldOf(model, name);
    if (const FieldPanelData* data = model.PanelData(name)) {
        const size_t n = std::min(gain.gains.size(), data->gains.size());
        std::copy_n(data->gains.begin(), n, gain.gains.begin());
    }
    return gain;
}

}  // namespace

void ApplyChipLayout(const TChipModel& model, CaptureSettings& settings) {
    settings.flags =
        InterruptFlagLayout::FromFields(FieldOf(model, "SADC_IF"), FieldOf(model, "FADC_IF"),
                                        FieldOf(model, "LPF_IF"), FieldOf(model, "RMS_IF"));
    settings.gains.AD1GN = GainOf(model, "AD1GN");
    settings.gains.VRGNAD1 = GainOf(model, "VRGNAD1");
    settings.gains.AD2GN = GainOf(model, "AD2GN");
    settings.gains.VRGNAD2 = GainOf(model, "VRGNAD2");
}

}  // namespace dmm
