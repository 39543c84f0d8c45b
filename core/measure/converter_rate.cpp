#include "core/measure/converter_rate.h"

#include <algorithm>
#include <cmath>

namespace dmm {

std::optional<double> OutputRateHz(CaptureSource source, const RateFields& f) {
    if (!f.ENI_XI || *f.ENI_XI != 0) return std::nullopt;
    const double clock = kBoardCrystalHz;
    if (source == CaptureSource::ADCS) {
        if (!f.AD1OSR) return std::nullopt;
        return clock / 30.0 / (256.0 * std::ldexp(1.0, std::clamp(*f.AD1OSR, 0, 7)));
    }
    if (!f.FCLK_SEL || !f.AD2OSR) return std::nullopt;
    const double adck2 = clock / (*f.FCLK_SEL != 0 ? 4.0 : 2.0);
    const double fast = adck2 / (32.0 * std::ldexp(1.0, std::clamp(*f.AD2OSR, 0, 5)));
    if (source == CaptureSource::ADCF) return fast;
    if (!f.SELAVG) return std::nullopt;
    return fast / (64.0 * std::ldexp(1.0, std::clamp(*f.SELAVG, 0, 7)));
}

}  // namespace dmm
