#pragma once

#include <string>
#include <vector>

#include "core/app/user_numbers.h"

namespace dmm {

// One row of the temperature plan (the TMPGrid grid): set points and ramps.
struct PlanRow {
    double temperature = 0;
    double humidity = 0;
    double temperatureRamp = 0;
    double humidityRamp = 5;
};

// The hottest temperature a plan may reach.
inline constexpr double kPlanMaxCelsius = 150.0;

// The numbers typed for a plan and a run ("SET" and the settings beside it). The plan's
// rows go to the chamber: the chamber's own rules check them (chamber_frames.h).
inline constexpr WholeRule kPlanCountRule{"a number of temperatures", 1, 1000};
inline constexpr RealRule kPlanStartRule{
    "a start temperature", -3276, kPlanMaxCelsius, false, false, "T", "\u00B0C"};
inline constexpr RealRule kPlanStepRule{
    "a temperature step", -1000, 1000, false, false, "step", "\u00B0C"};
inline constexpr WholeRule kSoakMinutesRule{"a soak time", 0, 100000, "t", "min"};
inline constexpr WholeRule kReconnectWaitRule{"a reconnect wait", 0, 100000, "t", "min"};
inline constexpr WholeRule kPowerDelayRule{"a power-supply delay", 0, 600000, "t", "ms"};

// The plan from the window's fields ("SET"): count temperatures from start in steps of
// step, humidity 0, ramps 0 and 5. A count of 0 (or no number) gives 1; a plan that would
// pass 150 degC is cut to the last count whose temperature stays at or below 150, and
// count then holds the count used.
std::vector<PlanRow> BuildTemperaturePlan(int& count, double start, double step);

// A chamber reading's first word as tenths of a degree: above 32768 it is negative.
int ChamberTenths(unsigned word);
// True when a reading in tenths is within 1.5 degC of the plan temperature.
bool AtPlanTemperature(int tenths, double planCelsius);

// Decimal text read the same in any locale; false for anything else.
bool ParsePlanNumber(const std::string& text, double& value);

}  // namespace dmm
