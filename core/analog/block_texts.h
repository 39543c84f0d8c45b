#pragma once

#include <QString>

#include <optional>
#include <vector>

// The derived labels of the converter panels: what a field value means in words.
namespace dmm {

// DC offset as a fraction of the reference: bit 2 is the sign, bits 1..0 count quarters
// ("+1/4 * VR", "-3/4 * VR"; zero is "+0 * VR" either way). Nothing for values above 7.
std::optional<QString> DcOffsetText(int value);

// ADC1 oversampling: "ADCK1 / " and 256 x 2^value.
QString Adc1OversamplingText(int value);
// ADC2 oversampling: "ADCK2 / " and 32 x 2^value, which stops doubling at 1024.
QString Adc2OversamplingText(int value);
// Low-pass filter length: "OSR2 / " and 64 x 2^value.
QString LowPassLengthText(int value);

// "Gain = " or "VRGain = " with the table entry for the value, four decimals. The
// description gives no gain for a value beyond its table: that shows dashes.
QString GainText(const QString& prefix, const std::vector<double>& table, int value);

// The slow (ADC1) converter clock: the crystal or the external clock, divided by 30.
QString SlowAdcClockText(int externalClock);
// The fast (ADC2) converter clock: divided by 4 or 2.
QString FastAdcClockText(int externalClock, int fastClockSelect);
// The system clock's source: "clk_sys = XIN" or "clk_sys = CRY_OSC".
QString SystemClockText(int externalClock);
// Neither the crystal nor the external clock runs: the chip sleeps.
inline bool ClockAsleep(int oscillator, int externalClock) {
    return oscillator == 0 && externalClock == 0;
}

// The analog ground level S_AGND sets ("= 0.5 VDDA" ... "= Floating"); nothing beyond 3.
std::optional<QString> AnalogGroundText(int value);

}  // namespace dmm
