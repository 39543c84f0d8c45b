#include "core/measure/capture_settings.h"

#include <algorithm>
#include <cctype>

namespace dmm {

std::optional<CaptureSource> CaptureSourceFromName(std::string_view name) {
    for (int i = 0; i < kCaptureSourceCount; ++i) {
        const std::string_view caption = kCaptureSources[static_cast<size_t>(i)].caption;
        if (caption.size() == name.size() &&
            std::equal(caption.begin(), caption.end(), name.begin(), [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) ==
                       std::toupper(static_cast<unsigned char>(b));
            })) {
            return static_cast<CaptureSource>(i);
        }
    }
    return std::nullopt;
}

InterruptFlagLayout InterruptFlagLayout::FromFields(const TRegField& sadcIf,
                                                    const TRegField& fadcIf, const TRegField& lpfIf,
                                                    const TRegField& rmsIf) {
    InterruptFlagLayout layout;
    layout.address = static_cast<uint16_t>(sadcIf.registerIndex);
    const TRegField* bySource[kCaptureSourceCount] = {&sadcIf, &fadcIf, &lpfIf, &rmsIf};
    for (size_t i = 0; i < kCaptureSourceCount; ++i) {
        if (bySource[i]->IsDefined()) layout.sourceMasks[i] = bySource[i]->Mask();
    }
    return layout;
}

AnalysisScale AnalysisScaleFor(int resultBits, InterfaceKind kind) {
    AnalysisScale scale = SwitchTestScaleFor(resultBits);
    if (kind == InterfaceKind::DMM) scale.analysisBits = scale.resultBits;
    return scale;
}

AnalysisScale SwitchTestScaleFor(int resultBits) {
    AnalysisScale scale;
    scale.resultBits = std::clamp(resultBits, kMinResultBits, kMaxResultBits);
    scale.divisor = int32_t{1} << (kMaxResultBits - scale.resultBits);
    scale.analysisBits = scale.resultBits - 1;
    return scale;
}

int CaptureLengthOfItem(int index) {
    if (index < 0 || index >= static_cast<int>(kSamplePointItems.size()))
        return kDefaultCaptureLength;
    return kSamplePointItems[static_cast<size_t>(index)];
}

int SamplePointItemOf(int length) {
    const auto at = std::find(kSamplePointItems.begin(), kSamplePointItems.end(), length);
    return at == kSamplePointItems.end() ? -1 : static_cast<int>(at - kSamplePointItems.begin());
}

int CaptureSettings::CaptureLength() const {
    return CaptureLengthOfItem(NPointIndex);
}

int CaptureSettings::ResultBits() const {
    return std::clamp(kMinResultBits + TXScale, kMinResultBits, kMaxResultBits);
}

int CaptureSettings::AverageFactor() const {
    if (CMAVR < 0 || CMAVR >= static_cast<int>(kAverageItems.size())) return 1;
    return kAverageItems[static_cast<size_t>(CMAVR)];
}

}  // namespace dmm
