#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string_view>

#include "core/app/user_numbers.h"
#include "core/chip/reg_field.h"
#include "core/link/chip_access.h"
#include "core/link/interface_kind.h"
#include "core/measure/capture_source.h"
#include "core/measure/spectral_window.h"

namespace dmm {

// Items of the analysis window's selectors, in item order.
inline constexpr std::array<int, 11> kSamplePointItems{64,   128,  256,   512,   1024, 2048,
                                                       4096, 8192, 16384, 32768, 65536};
inline constexpr int kDefaultSamplePointIndex = 2;  // "256"
inline constexpr int kDefaultCaptureLength = 256;
inline constexpr int kMinResultBits = 8;   // TXScale item 0 is "8" ...
inline constexpr int kMaxResultBits = 24;  // ... item 16 is "24"
inline constexpr int kScaleItemCount = kMaxResultBits - kMinResultBits + 1;
inline constexpr std::array<int, 6> kAverageItems{1, 2, 4, 8, 16, 32};
inline constexpr std::array<std::string_view, 4> kCFunADCItems{"Free", "Cancel Pos Zero",
                                                               "Cancel Neg Zero", "Chopper"};
inline constexpr std::array<std::string_view, 2> kComFunItems{"Scale", "DMM"};
inline constexpr char kDefaultReferenceText[] = "1.2";
// Spectra averaged for the noise spectrum: the block is cut into this many segments.
inline constexpr std::array<int, 5> kSpectrumAverageItems{1, 2, 4, 8, 16};

// The numbers typed for a capture: the result bits b, the reference voltage of the
// figures (the EREFV entry and the drift test's ACM column), the spectra averaged and the
// time a capture without samples waits.
inline constexpr WholeRule kResultBitsRule{"a number of result bits", kMinResultBits,
                                           kMaxResultBits, "b"};
inline constexpr RealRule kReferenceVoltageRule{
    "a reference voltage", 0, 10, true, false, "V", "V"};
inline constexpr WholeRule kSpectraRule{"a number of spectra", 1, 16};
inline constexpr DurationRule kCaptureTimeoutRule{"a time-out", 0, 86400, true, "s"};

// The interrupt-flag register polled by a capture and each source's bit in it. The chip
// description says where they are: the register of `SADC_IF`, and the fields
// `SADC_IF` (ADCS), `FADC_IF` (ADCF), `LPF_IF` (AVG) and `RMS_IF` (RMS).
struct InterruptFlagLayout {
    uint16_t address = 0;
    // Indexed by CaptureSource. The family's usual bits: FADC_IF 1, SADC_IF 2, LPF_IF 3, RMS_IF 4.
    std::array<uint8_t, kCaptureSourceCount> sourceMasks{0x04, 0x02, 0x08, 0x10};

    // From the description's flag fields; an undefined field keeps the usual bit.
    static InterruptFlagLayout FromFields(const TRegField& sadcIf, const TRegField& fadcIf,
                                          const TRegField& lpfIf, const TRegField& rmsIf);
};

// A gain field of the chip description: where the field sits and the gain of each of its
// four values.
struct GainField {
    TRegField field;
    std::array<double, 4> gains{1.0, 1.0, 1.0, 1.0};
};

// The gain fields that scale noise voltages: ADCS uses AD1GN x VRGNAD1, the other
// sources AD2GN x VRGNAD2.
struct GainTables {
    GainField AD1GN, VRGNAD1, AD2GN, VRGNAD2;
};

// The analysis scale: result bits b chosen with TXScale, the divisor D = 2^(24 - b) that
// scales raw results to b-bit counts, and the bit count B of the ENOB formulas.
struct AnalysisScale {
    int resultBits = kMaxResultBits;
    int32_t divisor = 1;
    int analysisBits = kMaxResultBits;
};

// B = b on the DMM interface kind (its results carry a sign bit of their own), b - 1 on
// every other kind.
AnalysisScale AnalysisScaleFor(int resultBits, InterfaceKind kind);
// The channel switch test's own selector always takes B = b - 1.
AnalysisScale SwitchTestScaleFor(int resultBits);

// What the analysis window's controls hold. Item indexes are kept as the controls (and
// the settings file) keep them; out-of-range indexes read as the defaults below.
struct CaptureSettings {
    int NPointIndex = kDefaultSamplePointIndex;  // capture length item
    int TXScale = kScaleItemCount - 1;           // result bits item ("24")
    bool ENInterrupt = false;                    // capture through the board's ADC stream
    QString EREFV = kDefaultReferenceText;       // reference voltage text, volts
    int CMAVR = 0;                               // averaging factor item
    int CFunADC = 0;                             // conversion-read function item
    ComFunChoice ComFun = ComFunChoice::Scale;   // which register copy "Restore ADC" writes
    InterruptFlagLayout flags;                   // from the loaded chip description
    GainTables gains;                            // from the loaded chip description
    // Ends a capture that has taken no sample for this long (0: never). The window leaves
    // it at 0 and has its stop button; scripts set it so a silent chip cannot hang them.
    int64_t idleTimeoutMs = 0;
    // The spectrum beside the program's own: its window and how many spectra it averages.
    // Rectangular and 1 give the program's own spectrum.
    SpectrumWindow spectrumWindow = SpectrumWindow::Rectangular;
    int spectrumAverages = 1;

    int CaptureLength() const;  // 64..65536; an unknown item gives 256
    int ResultBits() const;     // 8..24
    int AverageFactor() const;  // 1..32; no choice gives 1
};

// The capture length of a sample-point item; an unknown item gives 256.
int CaptureLengthOfItem(int index);
// The item of a capture length, or -1.
int SamplePointItemOf(int length);

}  // namespace dmm
