#include "core/measure/drift_plan.h"

#include <charconv>
#include <cmath>

namespace dmm {

std::vector<PlanRow> BuildTemperaturePlan(int& count, double start, double step) {
    if (count < 1) count = 1;
    if ((count + 1) * step + start > kPlanMaxCelsius) {
        while (count > 1 && start + (count - 1) * step > kPlanMaxCelsius) --count;
    }
    std::vector<PlanRow> plan(static_cast<size_t>(count));
    for (int r = 0; r < count; ++r) plan[static_cast<size_t>(r)].temperature = start + r * step;
    return plan;
}

int ChamberTenths(unsigned word) {
    const int value = static_cast<int>(word & 0xFFFF);
    return value > 32768 ? value - 65536 : value;
}

bool AtPlanTemperature(int tenths, double planCelsius) {
    return std::fabs(tenths - 10.0 * planCelsius) < 15.0;
}

bool ParsePlanNumber(const std::string& text, double& value) {
    size_t from = text.find_first_not_of(' ');
    if (from == std::string::npos) return false;
    size_t to = text.find_last_not_of(' ') + 1;
    const char* begin = text.data() + from;
    if (*begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, text.data() + to, value);
    return ec == std::errc() && ptr == text.data() + to;
}

}  // namespace dmm
