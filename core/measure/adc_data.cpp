#include "core/measure/adc_data.h"

#include <algorithm>

namespace dmm {

AdcData::AdcData()
    : values_(std::make_unique<double[]>(kSampleBufferSize)),
      real_(std::make_unique<double[]>(kSampleBufferSize)),
      imag_(std::make_unique<double[]>(kSampleBufferSize)),
      levels_(std::make_unique<double[]>(kSampleBufferSize)) {}

void AdcData::Clear(int count) {
    const auto n = static_cast<size_t>(std::clamp(count, 0, kSampleBufferSize));
    for (double* buffer : {values_.get(), real_.get(), imag_.get(), levels_.get()}) {
        std::fill_n(buffer, n, 0.0);
    }
}

}  // namespace dmm
