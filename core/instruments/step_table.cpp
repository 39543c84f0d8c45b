#include "core/instruments/step_table.h"

#include <algorithm>

#include "core/link/number_text.h"

namespace dmm {

void StepTable::INI(int steps) {
    rows_.resize(static_cast<size_t>(std::max(steps, 0)));
}

const StepRow& StepTable::Step(int k) const {
    static const StepRow empty;
    if (k < 1 || k > StepCount()) return empty;
    return rows_[static_cast<size_t>(k - 1)];
}

void StepTable::SetStep(int k, StepRow row) {
    if (k < 1 || k > StepCount()) return;
    rows_[static_cast<size_t>(k - 1)] = std::move(row);
}

bool StepTable::Active(int k) const {
    return HexText(Step(k).active) != 0;
}

}  // namespace dmm
