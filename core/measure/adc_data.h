#pragma once

#include <memory>
#include <span>

#include "core/link/stnd.h"
#include "core/measure/analysis_results.h"
#include "core/measure/capture_settings.h"

namespace dmm {

// The program-wide ADC capture data, allocated once: the sample buffers (65536 values
// each), the analysis scale and capture length that the analysis window and the channel
// switch test share, the chart mode and the figures of the last analysis, which the
// temperature drift test reads. Thread: the bench thread.
class AdcData {
  public:
    AdcData();
    AdcData(const AdcData&) = delete;
    AdcData& operator=(const AdcData&) = delete;

    // The decoded, unscaled value of each sample (the root for RMS captures).
    std::span<double> values() { return {values_.get(), kSampleBufferSize}; }
    std::span<const double> values() const { return {values_.get(), kSampleBufferSize}; }
    // Input and output of the in-place FFT.
    std::span<double> spectrumReal() { return {real_.get(), kSampleBufferSize}; }
    std::span<const double> spectrumReal() const { return {real_.get(), kSampleBufferSize}; }
    std::span<double> spectrumImag() { return {imag_.get(), kSampleBufferSize}; }
    // One dB level per spectral line, relative to line 0.
    std::span<double> levels() { return {levels_.get(), kSampleBufferSize}; }
    std::span<const double> levels() const { return {levels_.get(), kSampleBufferSize}; }

    // Zeroes the first count entries of the four buffers.
    void Clear(int count);

    int captureLength = kDefaultCaptureLength;
    AnalysisScale scale;
    bool spectrumView = false;  // chart mode: false time domain, true frequency domain
    AnalysisResults results;

  private:
    std::unique_ptr<double[]> values_, real_, imag_, levels_;
};

}  // namespace dmm
