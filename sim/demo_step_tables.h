#pragma once

#include <QString>

namespace dmm::sim {

// The simulated bench comes with a small drift test: two modes of ADC1 on SENSE against
// the 1.2 V reference at two oversampling ratios, with their delays, references and the
// calibrator's outputs (the shipped DEMO/ folder). A fresh bench directory named with
// --dir (just filled with the shipped data) without a mode table gets them (the per-user
// default directory is shared with the real bench, so it never does), so that a first `drift` or
// "T-Begin" on the simulated bench runs; a bench directory that has its own Register.txt
// is left alone, whatever else it lacks.
// Returns what was copied, for the user ("" when nothing was), or why it failed.
QString ProvideDemoStepTables(const QString& benchDir);

}  // namespace dmm::sim
