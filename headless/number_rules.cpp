#include "headless/number_rules.h"

#include "core/measure/capture_settings.h"

namespace dmm::headless {

std::optional<int64_t> ReadCaptureLength(std::string_view text, std::string* refusal) {
    constexpr WholeRule kAny{"a capture length", 1, 65536};
    const auto length = ReadWhole(text, kAny);
    if (length && SamplePointItemOf(static_cast<int>(*length)) >= 0) return length;
    if (refusal) *refusal = Refusal(text, "a capture length", "64, 128, 256, ... 65536");
    return std::nullopt;
}

}  // namespace dmm::headless
