#pragma once

#include <QObject>

#include <functional>
#include <vector>

#include "core/app/bench.h"
#include "core/views/register_writes.h"

namespace dmm::gui {

// Sends a panel's register writes to the bench thread (in order, each with read-back)
// and calls done(ok) on the GUI thread afterwards, while context lives.
void WritePanelRegisters(Bench& bench, QObject* context, std::vector<RegisterWrite> writes,
                         std::function<void(bool)> done = {});

}  // namespace dmm::gui
